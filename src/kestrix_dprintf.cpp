// SPDX-License-Identifier: MIT
// kestrix_dprintf and kestrix_vdprintf, declared in kestrix_fd.h: hosted
// POSIX code, unlike the library, and built beside it as
// kestrix_snprintf.cpp is. The output goes through kestrix_vbprintf and a
// buffer on the stack, each piece written with write(2). Async-signal-safe:
// no allocation, no lock, no state, and no call but kestrix_vbprintf,
// write(2) and, for output that is empty, fcntl(2).
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "kestrix_fd.h"
#include "bounded.h"

namespace {

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

struct Descriptor {
    int fd;
    int error; // errno of the write that failed; 0 while none has
};

// Each piece: the whole buffer, written when the next byte comes (so
// output of exactly KESTRIX_FD_BUFFER bytes is still one write), or the
// rest at the end. A failed write stops the call.
int32_t write_piece(void *ctx, const char *bytes, size_t len)
{
    Descriptor *d = static_cast<Descriptor *>(ctx);
    d->error = write_all(d->fd, bytes, len);
    return d->error;
}

// The result and errno from kestrix_vbprintf's: -1 there with no failed
// write is output past LONG_MAX, all of it written.
long finish(long length, Descriptor &d, int saved)
{
    if (length == 0)
        d.error = writable(d.fd); // nothing to write: the descriptor is still checked
    else if (length < 0 && !d.error)
        d.error = EOVERFLOW;
    if (d.error) {
        errno = d.error;
        return -1;
    }
    errno = saved;
    return length;
}

} // namespace

extern "C" long kestrix_vdprintf(int fd, const char *fmt, va_list args)
{
    const int saved = errno;
    char buf[KESTRIX_FD_BUFFER];
    Descriptor d = {fd, 0};
    return finish(kestrix_vbprintf(write_piece, &d, buf, sizeof buf, fmt, args), d, saved);
}

extern "C" long kestrix_dprintf(int fd, const char *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    const long result = kestrix_vdprintf(fd, fmt, args);
    va_end(args);
    return result;
}

extern "C" long kestrix_dprintf_array(int fd, const char *fmt, size_t count, const uint64_t *args,
                                     uint32_t pointers)
{
    const int saved = errno;
    char buf[KESTRIX_FD_BUFFER];
    Descriptor d = {fd, 0};
    return finish(kestrix_bprintf_array(write_piece, &d, buf, sizeof buf, fmt, count, args, pointers), d, saved);
}

extern "C" long kestrix_dprintf_counted(KESTRIX_CHECKED_FILL4 int fd, const char *fmt, size_t count, uint32_t pointers,
                                        ...)
{
    const int saved = errno;
    char buf[KESTRIX_FD_BUFFER];
    Descriptor d = {fd, 0};
    va_list args;
    va_start(args, pointers);
#if defined(KESTRIX_BOUNDED_STACKED)
    // As kestrix_snprintf_counted: the values are an array in memory.
    const long length = kestrix_bprintf_array(write_piece, &d, buf, sizeof buf, fmt, count,
                                              kestrix_bounded::stacked(&args), pointers);
#else
    const long length = kestrix_vbprintf_counted(write_piece, &d, buf, sizeof buf, fmt, count, pointers, args);
#endif
    va_end(args);
    return finish(length, d, saved);
}
