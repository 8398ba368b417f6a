/* The log line through kestrix_checked.h, compiled as C as a C caller
 * would: KESTRIX_SNPRINTF widens each argument and bounds the output. */
#include <kestrix_checked.h>

size_t bench_log_bounded(char *buf, size_t size, const char *fmt, uint64_t counter, const char *name,
                         int64_t value, uint64_t addr, uint64_t flags);

size_t bench_log_bounded(char *buf, size_t size, const char *fmt, uint64_t counter, const char *name,
                         int64_t value, uint64_t addr, uint64_t flags)
{
    return KESTRIX_SNPRINTF(buf, size, fmt, counter, name, value, addr, flags);
}
