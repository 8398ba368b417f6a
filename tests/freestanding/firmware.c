/* SPDX-License-Identifier: MIT */
/* The firmware images whose size scripts/footprint.sh reports and the
 * targets leg holds to the limits in tests/freestanding/firmware.limits:
 * one call of six conversions through each front end a firmware uses, in a
 * program linked with --gc-sections against the archive and libgcc. Built
 * with -DFIRMWARE_IMAGE=N:
 *   0  no call: the start and the arguments, subtracted from the others
 *   1  KESTRIX_SNPRINTF alone
 *   2  KESTRIX_FNPRINTF alone, with a sink
 *   3  both, and KESTRIX_SPRINTF
 *   4  KESTRIX_BPRINTF alone, through 16 bytes, with a flush
 * The arguments are read through volatile objects, so that no call is made
 * at compile time and every image reads the same ones. */
#include <kestrix_checked.h>

static const char *volatile name = "m0";
static volatile int32_t code = -42;
static volatile uint32_t count = 42;
static volatile uint32_t mask = 0xBEEF;
static volatile char letter = 'k';
__attribute__((unused)) static char line[64];
static volatile int32_t last;

__attribute__((unused)) static int32_t flush(void *ctx, const char *bytes, size_t len)
{
    (void)ctx;
    last = bytes[len - 1];
    return 0;
}

__attribute__((unused)) static void sink(void *ctx, int32_t c)
{
    (void)ctx;
    last = c;
}

void firmware_start(void)
{
    const char *s = name;
    int32_t d = code;
    uint32_t u = count, x = mask;
    char c = letter;
#if FIRMWARE_IMAGE == 1 || FIRMWARE_IMAGE == 3
    last = (int32_t)KESTRIX_SNPRINTF(line, sizeof line, "%s %d %u %x %p %c", s, d, u, x, (void *)line, c);
#endif
#if FIRMWARE_IMAGE == 2 || FIRMWARE_IMAGE == 3
    KESTRIX_FNPRINTF(sink, 0, "%s %d %u %x %p %c", s, d, u, x, (void *)line, c);
#endif
#if FIRMWARE_IMAGE == 3
    last = (int32_t)(KESTRIX_SPRINTF(line, "%s %d %u %x %p %c", s, d, u, x, (void *)line, c) - line);
#endif
#if FIRMWARE_IMAGE == 4
    last = (int32_t)KESTRIX_BPRINTF(flush, 0, line, 16, "%s %d %u %x %p %c", s, d, u, x, (void *)line, c);
#endif
#if FIRMWARE_IMAGE == 0
    last = (int32_t)(uintptr_t)s + d + (int32_t)(u + x) + c;
#endif
    for (;;)
        ;
}
