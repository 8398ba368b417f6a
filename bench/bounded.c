/* SPDX-License-Identifier: MIT */
/* The log line through kestrix_checked.h and kestrix_fd.h, compiled as C as
 * a C caller would: the macros widen each argument; KESTRIX_SNPRINTF bounds
 * the output, KESTRIX_BPRINTF hands it to a flush in pieces and
 * KESTRIX_DPRINTF writes it to a file descriptor. */
#include <kestrix_fd.h>

size_t bench_log_bounded(char *buf, size_t size, const char *fmt, uint64_t counter, const char *name,
                         int64_t value, uint64_t addr, uint64_t flags);
size_t bench_log_before(char *buf, size_t size, const char *fmt, ...);
char *bench_log_macro(char *buf, const char *fmt, uint64_t counter, const char *name, int64_t value, uint64_t addr,
                      uint64_t flags);
long bench_log_fd(int fd, const char *fmt, uint64_t counter, const char *name, int64_t value, uint64_t addr,
                  uint64_t flags);
long bench_log_pieces(kestrix_flush_fn flush, void *ctx, char *buf, size_t size, const char *fmt, uint64_t counter,
                      const char *name, int64_t value, uint64_t addr, uint64_t flags);

long bench_log_pieces(kestrix_flush_fn flush, void *ctx, char *buf, size_t size, const char *fmt, uint64_t counter,
                      const char *name, int64_t value, uint64_t addr, uint64_t flags)
{
    return KESTRIX_BPRINTF(flush, ctx, buf, size, fmt, counter, name, value, addr, flags);
}

size_t bench_log_bounded(char *buf, size_t size, const char *fmt, uint64_t counter, const char *name,
                         int64_t value, uint64_t addr, uint64_t flags)
{
    return KESTRIX_SNPRINTF(buf, size, fmt, counter, name, value, addr, flags);
}

/* KESTRIX_SPRINTF, which passes its arguments counted. */
char *bench_log_macro(char *buf, const char *fmt, uint64_t counter, const char *name, int64_t value, uint64_t addr,
                      uint64_t flags)
{
    return KESTRIX_SPRINTF(buf, fmt, counter, name, value, addr, flags);
}

/* The bounded call as 1.0 had it, copied here to be timed
 * beside it: every character through a sink that stores while there is room
 * for it and the NUL, and counts it, whatever the size. */
struct before_bound {
    char *buf;
    size_t size, length;
};

static void before_put(void *ctx, int32_t c)
{
    struct before_bound *b = (struct before_bound *)ctx;
    if (b->length + 1 < b->size)
        b->buf[b->length] = (char)c;
    ++b->length;
}

size_t bench_log_before(char *buf, size_t size, const char *fmt, ...)
{
    struct before_bound b;
    va_list args;
    b.buf = buf;
    b.size = size;
    b.length = 0;
    va_start(args, fmt);
    kestrix_vfnprintf(before_put, &b, fmt, args);
    va_end(args);
    if (size > 0)
        buf[b.length < size ? b.length : size - 1] = '\0';
    return b.length;
}

long bench_log_fd(int fd, const char *fmt, uint64_t counter, const char *name, int64_t value, uint64_t addr,
                  uint64_t flags)
{
    return KESTRIX_DPRINTF(fd, fmt, counter, name, value, addr, flags);
}
