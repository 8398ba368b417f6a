/* SPDX-License-Identifier: MIT */
/*
 * kestrix_fd.h: formatted output to a file descriptor, safe in a signal
 * handler.
 *
 * Hosted POSIX code, unlike the library: kestrix_dprintf and
 * kestrix_vdprintf are kestrix_vbprintf of kestrix_checked.h with write(2)
 * as its flush (and fcntl(2), for empty output). They are compiled once, beside the library
 * (src/kestrix_dprintf.cpp), and linked into each program that calls them,
 * as kestrix_checked.h's bounded functions are: from libkestrix.a, or from
 * libkestrix_nonshared.a for a program linked with libkestrix.so. The macro
 * needs C11 from C, like kestrix_checked.h: before C11 the header declares
 * the functions alone. From C++ the functions work as they are and
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
 *     lines from several writers do not interleave on a pipe (which keeps
 *     writes of up to PIPE_BUF bytes whole; a stream socket may split one);
 *   - longer output goes out in writes of KESTRIX_FD_BUFFER bytes, in order;
 *   - a write interrupted by a signal (EINTR) is repeated and a partial
 *     write is continued, until every byte is out.
 * The format and each %s string are read once, each byte stored only where
 * the buffer has room, as kestrix_snprintf does.
 *
 * They return the number of bytes written, which is the output's length. A
 * write that fails stops the call: nothing more is formatted or written,
 * and the result is -1 with errno from that write (EBADF for a fd that is
 * closed or not open for writing, empty output included; EIO for a write
 * that returned 0); how much was written before is not reported. Output
 * longer than LONG_MAX is written, and the result is -1 with errno
 * EOVERFLOW. On success errno is what it was before the call, even after
 * an interrupted write.
 *
 * Async-signal-safe: no allocation, no lock, no state, and no call but
 * kestrix_vbprintf, write(2) and fcntl(2), none of the library's seven
 * (kestrix_vbprintf applies the library's rules in its own frame). The
 * whole call stays within 1 KiB of stack on x86-64 and aarch64 when
 * optimised, 2 KiB unoptimised
 * (tests/stack_test.cpp measures it). Arguments are 64 bits each, as for
 * every function of the library: call kestrix_dprintf through
 * KESTRIX_DPRINTF, or pass (int64_t)x, (uint64_t)x or a pointer.
 */
#ifndef KESTRIX_FD_H
#define KESTRIX_FD_H

/* The macro needs kestrix_checked.h, and so C11; before C11 the functions
 * are declared alone. */
#if defined(__cplusplus) || (defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L)
#include "kestrix_checked.h"
#else
#include "kestrix.h"
#include <stddef.h>
#if defined(__GNUC__)
#define KESTRIX_CHECKED_LINKED_IN __attribute__((visibility("hidden")))
#else
#define KESTRIX_CHECKED_LINKED_IN
#endif
#endif

/* The buffer's size, fixed when the functions are compiled. 192 keeps one
 * whole optimised call within 1 KiB of stack with GCC and Clang on x86-64
 * and aarch64.
 * For one write of a longer line, format it with KESTRIX_SNPRINTF into a
 * buffer of your own and write(2) that. */
#define KESTRIX_FD_BUFFER 192

#ifdef __cplusplus
extern "C" {
#endif

KESTRIX_CHECKED_LINKED_IN long kestrix_dprintf(int __fd, const char *__fmt, ...);
KESTRIX_CHECKED_LINKED_IN long kestrix_vdprintf(int __fd, const char *__fmt, va_list __args);
/* The arguments counted, as kestrix_checked.h's kestrix_snprintf_array and
 * kestrix_snprintf_counted take them; KESTRIX_DPRINTF calls the second,
 * declared with the macro's header. */
KESTRIX_CHECKED_LINKED_IN long kestrix_dprintf_array(int __fd, const char *__fmt, size_t __count, const uint64_t *__args,
                                                    uint32_t __pointers);
#if defined(KESTRIX_CHECKED_FILL4)
KESTRIX_CHECKED_LINKED_IN long kestrix_dprintf_counted(KESTRIX_CHECKED_FILL4 int __fd, const char *__fmt, size_t __count,
                                                      uint32_t __pointers, ...);
#endif

#ifdef __cplusplus
}
#endif

#if defined(__cplusplus)
#define KESTRIX_DPRINTF(fd, ...) kestrix_dprintf((fd), KESTRIX_WIDEN(__VA_ARGS__))
#elif defined(KESTRIX_WIDEN)
#define KESTRIX_DPRINTF(fd, ...) \
    KESTRIX_CHECKED_CALL(__COUNTER__, 0, kestrix_dprintf_counted, (KESTRIX_CHECKED_ZERO4 (fd), ), __VA_ARGS__)
#endif

#endif /* KESTRIX_FD_H */
