/* SPDX-License-Identifier: MIT */
/* One bounded call of two arguments, as a program writes it. The bounded
 * call's own code is in the archive (src/kestrix_snprintf.cpp), so a unit
 * that calls it carries only the call: compiled for a Cortex-M3 at -Os,
 * this one's .text is held to 160 bytes (scripts/targets.sh). */
#include <kestrix_checked.h>

struct report {
    char line[48];
};

size_t report_failure(struct report *r, int code, const char *device)
{
    return KESTRIX_SNPRINTF(r->line, sizeof r->line, "error %d on %s", code, device);
}
