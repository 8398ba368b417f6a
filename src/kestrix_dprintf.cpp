// SPDX-License-Identifier: MIT
// kestrix_dprintf and kestrix_vdprintf, declared in kestrix_fd.h: hosted
// POSIX code, unlike the library, and built beside it as
// kestrix_snprintf.cpp is. Async-signal-safe: no allocation, no lock, no
// state, and no call but the library's, write(2) and, for output that is
// empty, fcntl(2).
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include "bounded.h"
#include "kestrix_fd.h"

namespace {

using kestrix_bounded::Args;

// Writes the n bytes at p to fd, repeating an interrupted write and
// continuing a partial one. Returns 0, or the errno of the write that
// failed (EIO when one wrote nothing: there is no errno then, and trying
// again could go on forever).
int write_all(int fd, const char *p, size_t n)
{
    while (n > 0) {
        const ssize_t w = write(fd, p, n);
        if (w > 0) {
            p += w;
            n -= static_cast<size_t>(w);
        } else if (w == 0) {
            return EIO;
        } else if (errno != EINTR) {
            return errno;
        }
    }
    return 0;
}

// 0 when fd is open for writing, else the errno a write to it would give:
// EBADF for a descriptor that is closed, open for reading only or, on
// Linux, an O_PATH one. A write of no bytes would not tell: POSIX leaves
// it unspecified for anything but a regular file, and on a datagram socket
// it sends an empty datagram.
int writable(int fd)
{
    const int flags = fcntl(fd, F_GETFL);
    if (flags == -1)
        return errno;
#ifdef O_PATH
    if (flags & O_PATH)
        return EBADF;
#endif
    const int mode = flags & O_ACCMODE;
    return mode == O_WRONLY || mode == O_RDWR ? 0 : EBADF;
}

// A full buffer is written when the next byte comes, so output of exactly
// KESTRIX_FD_BUFFER bytes is still one write. After a failed write the rest
// is only counted.
struct Descriptor {
    static constexpr bool kSourcesMayOverlap = false; // buf is the call's own
    char *d;
    uintptr_t end;
    int fd;
    int error;        // errno of the write that failed; 0 while none has
    uint64_t written; // bytes before those in buf
    char buf[KESTRIX_FD_BUFFER];

    static size_t readable(const unsigned char *) { return SIZE_MAX; }
    static size_t format_readable(const unsigned char *) { return SIZE_MAX; }

    void full()
    {
        if (!error)
            error = write_all(fd, buf, static_cast<size_t>(d - buf));
        written += static_cast<uint64_t>(d - buf);
        d = buf;
    }
};

KESTRIX_BOUNDED_ONE_COPY long descriptor(int fd, const char *fmt, Args &args)
{
    const int saved = errno;
    Descriptor o;
    o.d = o.buf;
    o.end = kestrix_bounded::address(o.d) + sizeof o.buf;
    o.fd = fd;
    o.error = 0;
    o.written = 0;
    kestrix_bounded::pass(o, fmt, args);
    const size_t used = static_cast<size_t>(o.d - o.buf);
    if (!o.error && used > 0)
        o.error = write_all(fd, o.buf, used);
    else if (!o.error && o.written == 0)
        o.error = writable(fd); // nothing to write: the descriptor is still checked
    const uint64_t length = o.written + used;
    if (!o.error && length > static_cast<uint64_t>(LONG_MAX))
        o.error = EOVERFLOW; // written, but its length is no long
    if (o.error) {
        errno = o.error;
        return -1;
    }
    errno = saved;
    return static_cast<long>(length);
}

} // namespace

extern "C" long kestrix_vdprintf(int fd, const char *fmt, va_list args)
{
    Args a(args);
    return descriptor(fd, fmt, a);
}

extern "C" long kestrix_dprintf(int fd, const char *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    Args a(args);
    const long result = descriptor(fd, fmt, a);
    va_end(args);
    return result;
}

extern "C" long kestrix_dprintf_array(int fd, const char *fmt, size_t count, const uint64_t *args,
                                     uint32_t pointers)
{
    va_list none; // never read: the arguments are counted
    Args a(none, args, count, pointers);
    return descriptor(fd, fmt, a);
}
