/* SPDX-License-Identifier: MIT */
/* What a program on a bare machine gets from bare_start.c: a console and an
 * exit, both through the host's semihosting. The start code calls main()
 * and exits with its result. */
#ifndef KESTRIX_EXAMPLE_BARE_H
#define KESTRIX_EXAMPLE_BARE_H

#include <stdint.h>

/* One character to the host's console; a kestrix sink, ctx unused. */
void bare_console(void *ctx, int32_t c);
/* Ends the run: QEMU exits with status. */
__attribute__((noreturn)) void bare_exit(int status);
int main(void);

#endif
