/* SPDX-License-Identifier: MIT */
/* The freestanding self-test: one table of cases, run where there is no C
 * library (a bare machine, a static executable with its own _start, an image
 * copied to an address chosen at run time). Each environment supplies the
 * sink its report goes to. */
#ifndef KESTRIX_SELFTEST_H
#define KESTRIX_SELFTEST_H

#include <kestrix.h>

/* Runs every case and writes one line per case and then "N passed, M failed"
 * through out. Returns M. */
int kestrix_selftest(kestrix_out_fn out, void *ctx);

#endif
