/* SPDX-License-Identifier: MIT */
/* The self-test on a bare machine, started by examples/bare_start.c.
 * RISC-V's virt starts with the FP unit off (mstatus.FS = 0), so any FP
 * instruction traps; built with -DBARE_FP_PROBE the image executes one
 * first, the control that shows the trap is caught. */
#include "bare.h"
#include "selftest.h"

int main(void)
{
#ifdef BARE_FP_PROBE
    __asm__ volatile(".4byte 0xF0000053"); /* fmv.w.x ft0, zero */
#endif
    return kestrix_selftest(bare_console, 0) == 0 ? 0 : 1;
}
