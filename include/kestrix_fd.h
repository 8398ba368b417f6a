/*
 * kestrix_fd.h: formatted output to a file descriptor, safe in a signal
 * handler.
 *
 * Hosted POSIX code, unlike the library: header only, built on the functions
 * of kestrix.h and kestrix_checked.h and on write(2), which is all it calls
 * (the shared library exports nothing more). It needs C11 from C, like
 * kestrix_checked.h; from C++ the functions work as they are and
 * kestrix::print of kestrix.hpp checks the format while compiling.
 *
 *   long KESTRIX_DPRINTF(fd, fmt, ...)      widens every argument as
 *                                           KESTRIX_SNPRINTF does
 *   long kestrix_dprintf(int fd, const char *fmt, ...)
 *   long kestrix_vdprintf(int fd, const char *fmt, va_list args)
 *
 * The output is formatted into a buffer of KESTRIX_FD_BUFFER bytes on the
 * stack and written to fd:
 *   - output of at most KESTRIX_FD_BUFFER bytes goes out in one write, so
 *     lines from several writers do not interleave on a pipe or a socket;
 *   - longer output goes out in writes of KESTRIX_FD_BUFFER bytes, in order;
 *   - a write interrupted by a signal (EINTR) is repeated and a partial
 *     write is continued, until every byte is out.
 * They return the number of bytes written, which is the output's length. A
 * write that fails ends the writing: the result is then -1 with errno from
 * that write (EBADF for fd -1; EIO for a write that returned 0), and the
 * rest of the output is formatted but not written. On success errno is
 * what it was before the call, even after an interrupted write.
 *
 * Async-signal-safe: no allocation, no lock, no state, and no call but the
 * library's and write(2). The whole call, the library's deepest chain
 * included, stays within 1 KiB of stack on x86-64 and aarch64 with the
 * default buffer (tests/stack_test.cpp measures it). Arguments are 64 bits each, as for
 * every function of the library: call kestrix_dprintf through
 * KESTRIX_DPRINTF, or pass (int64_t)x, (uint64_t)x or a pointer.
 */
#ifndef KESTRIX_FD_H
#define KESTRIX_FD_H

#include "kestrix_checked.h"

#include <errno.h>
#include <limits.h>
#include <unistd.h>

/* The buffer's size. 192 keeps one whole call within 1 KiB of stack with
 * GCC and Clang on x86-64 and aarch64; a program with stack to spare may
 * define a larger one before including this header. */
#ifndef KESTRIX_FD_BUFFER
#define KESTRIX_FD_BUFFER 192
#endif

struct kestrix_fd_out {
    int fd;
    int error;      /* errno of the write that failed; 0 while none has */
    size_t written; /* bytes handed to write(2) before those in buf */
    size_t used;    /* bytes in buf */
    char buf[KESTRIX_FD_BUFFER];
};

/* Writes the n bytes at p to fd, repeating an interrupted write and
 * continuing a partial one. Returns 0, or the errno of the write that failed
 * (EIO when one wrote nothing: there is no errno then, and trying again
 * could go on forever). */
KESTRIX_CHECKED_INLINE int kestrix_fd_write(int fd, const char *p, size_t n)
{
    while (n > 0) {
        const ssize_t w = write(fd, p, n);
        if (w > 0) {
            p += w;
            n -= KESTRIX_CHECKED_CAST(size_t, w);
        } else if (w == 0) {
            return EIO;
        } else if (errno != EINTR) {
            return errno;
        }
    }
    return 0;
}

/* The sink for output that may not fit the buffer: a full buffer is written
 * when the next character comes, so output of exactly KESTRIX_FD_BUFFER
 * bytes is still one write. After a failed write it only counts. */
KESTRIX_CHECKED_INLINE void kestrix_fd_put(void *ctx, int32_t c)
{
    struct kestrix_fd_out *o = KESTRIX_CHECKED_CAST(struct kestrix_fd_out *, ctx);
    if (o->used == sizeof o->buf) {
        if (!o->error)
            o->error = kestrix_fd_write(o->fd, o->buf, o->used);
        o->written += o->used;
        o->used = 0;
    }
    o->buf[o->used++] = KESTRIX_CHECKED_CAST(char, c);
}

KESTRIX_CHECKED_INLINE long kestrix_vdprintf(int fd, const char *fmt, va_list args)
{
    const int saved = errno;
    struct kestrix_fd_out o;
    va_list scan;
    int fits;
    o.fd = fd;
    o.error = 0;
    o.written = 0;
    o.used = 0;
    /* Output known to fit, its NUL included, is formatted straight into
     * the buffer; the rest goes through the sink. */
    va_copy(scan, args);
    fits = kestrix_checked_fits(o.buf, sizeof o.buf, fmt, scan);
    va_end(scan);
    if (fits)
        o.used = KESTRIX_CHECKED_CAST(size_t, kestrix_vsprintf(o.buf, fmt, args) - o.buf);
    else
        kestrix_vfnprintf(kestrix_fd_put, &o, fmt, args);
    if (!o.error)
        o.error = kestrix_fd_write(fd, o.buf, o.used);
    if (!o.error && o.written + o.used > KESTRIX_CHECKED_CAST(size_t, LONG_MAX))
        o.error = EOVERFLOW; /* written, but its length is no long */
    if (o.error) {
        errno = o.error;
        return -1;
    }
    errno = saved;
    return KESTRIX_CHECKED_CAST(long, o.written + o.used);
}

KESTRIX_CHECKED_INLINE long kestrix_dprintf(int fd, const char *fmt, ...)
{
    va_list args;
    long result;
    va_start(args, fmt);
    result = kestrix_vdprintf(fd, fmt, args);
    va_end(args);
    return result;
}

#define KESTRIX_DPRINTF(fd, ...) kestrix_dprintf((fd), KESTRIX_WIDEN(__VA_ARGS__))

#endif /* KESTRIX_FD_H */
