/* SPDX-License-Identifier: MIT */
/* The entry of an image that is copied to an address nobody chose in
 * advance and called there with no loader: the self-test, reporting
 * through a sink of the caller's. The linker script puts it at offset 0. */
#include "selftest.h"

__attribute__((section(".text.entry"))) int kestrix_image_entry(kestrix_out_fn out, void *ctx)
{
    return kestrix_selftest(out, ctx);
}
