/* The log line through kestrix_checked.h and kestrix_fd.h, compiled as C as
 * a C caller would: the macros widen each argument; KESTRIX_SNPRINTF bounds
 * the output and KESTRIX_DPRINTF writes it to a file descriptor. */
#include <kestrix_fd.h>

size_t bench_log_bounded(char *buf, size_t size, const char *fmt, uint64_t counter, const char *name,
                         int64_t value, uint64_t addr, uint64_t flags);
size_t bench_log_counting(char *buf, size_t size, const char *fmt, ...);
long bench_log_fd(int fd, const char *fmt, uint64_t counter, const char *name, int64_t value, uint64_t addr,
                  uint64_t flags);

size_t bench_log_bounded(char *buf, size_t size, const char *fmt, uint64_t counter, const char *name,
                         int64_t value, uint64_t addr, uint64_t flags)
{
    return KESTRIX_SNPRINTF(buf, size, fmt, counter, name, value, addr, flags);
}

/* The bounded call as it was before the pre-scan: every character through
 * the counting sink, whatever the size. */
size_t bench_log_counting(char *buf, size_t size, const char *fmt, ...)
{
    va_list args;
    size_t length;
    va_start(args, fmt);
    length = kestrix_checked_count(buf, size, fmt, args);
    va_end(args);
    return length;
}

long bench_log_fd(int fd, const char *fmt, uint64_t counter, const char *name, int64_t value, uint64_t addr,
                  uint64_t flags)
{
    return KESTRIX_DPRINTF(fd, fmt, counter, name, value, addr, flags);
}
