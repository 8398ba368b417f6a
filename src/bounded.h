// The single pass behind the bounded call (kestrix_snprintf.cpp) and
// descriptor output (kestrix_dprintf.cpp).
//
// It copies the format's text and every %s string itself, and has the
// library format each other conversion: kestrix_sprintf of "%" and the
// letter, straight into the output when the longest conversion fits there,
// else into a small buffer of its own that is then copied. So it knows only
// which conversions read an argument (all but %% and a final lone %), and
// every other rule stays the library's.
//
// Each byte of the format and of a string is read once, and each store is
// checked against the end of the room where the store happens. A string
// that another thread, a signal handler or the output itself changes while
// the call runs is therefore cut where the bound says, never measured first
// and copied later.
#ifndef KESTRIX_BOUNDED_H
#define KESTRIX_BOUNDED_H

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

#include "kestrix.h"

// GCC at -O3 would otherwise clone a function for a constant argument, a
// second copy of its code.
#if defined(__GNUC__) && !defined(__clang__)
#define KESTRIX_BOUNDED_ONE_COPY __attribute__((noinline, noclone))
#else
#define KESTRIX_BOUNDED_ONE_COPY __attribute__((noinline))
#endif

namespace kestrix_bounded {

// The most one conversion other than %s writes, with the NUL that
// kestrix_sprintf stores after it: 20 digits of %d, %i or %u.
constexpr ptrdiff_t kConversionRoom = 21;

// How a pass takes the argument list, so that it reads the caller's list in
// place: where va_list is an array (x86-64) a va_list parameter already is a
// pointer, and is passed on as one; elsewhere (aarch64, where it is a
// structure that GCC would otherwise copy) by reference.
template <typename T>
struct ArgListOf {
    using type = T &;
};
template <typename T, size_t N>
struct ArgListOf<T[N]> {
    using type = T *;
};
using ArgList = ArgListOf<va_list>::type;

// An Out has `d`, where its next byte goes, and `end`, one past the last
// byte it may take; full() is called when a byte is due at end, and leaves
// room for at least one more.
template <class Out>
inline void put(Out &o, char c)
{
    if (o.d == o.end)
        o.full();
    *o.d++ = c;
}

// Copies bytes from `from` up to the first NUL or stop byte (which is '%' in
// a format, NUL in a string) and returns that byte; `from` is left at it.
// Each byte is read only once the one before it was found not to stop the
// copy, so nothing past a terminating NUL is read. While 8 bytes of room are
// left, the loop branches back once per 8 bytes; the last few bytes before
// the end go one at a time, each checked against it. Optimised for size,
// there is one copy of the loop, which takes one byte at a time.
#if defined(__OPTIMIZE_SIZE__)
#define KESTRIX_BOUNDED_COPY KESTRIX_BOUNDED_ONE_COPY
#else
#define KESTRIX_BOUNDED_COPY __attribute__((always_inline)) inline
#endif
template <class Out>
KESTRIX_BOUNDED_COPY uint32_t copy(Out &o, const unsigned char *&from, uint32_t stop)
{
    // Locals, not the references: a char store may alias anything, and the
    // compiler would otherwise reload them after every byte.
    const unsigned char *p = from;
    char *d = o.d;
    for (;;) {
        char *const end = o.end;
#if !defined(__OPTIMIZE_SIZE__)
        for (; end - d >= 8; p += 8, d += 8) {
#pragma GCC unroll 8
            for (int k = 0; k < 8; ++k) {
                const uint32_t c = p[k];
                if (__builtin_expect(c <= '%', 0) && (c == '\0' || c == stop)) {
                    from = p + k;
                    o.d = d + k;
                    return c;
                }
                d[k] = static_cast<char>(c);
            }
        }
#endif
        for (; d != end; ++p, ++d) {
            const uint32_t c = *p;
            if (c <= '%' && (c == '\0' || c == stop)) {
                from = p;
                o.d = d;
                return c;
            }
            *d = static_cast<char>(c);
        }
        o.d = d;
        o.full();
        d = o.d;
    }
}

// One conversion other than %s, formatted by the library.
template <class Out>
inline void convert(Out &o, uint32_t letter, uint64_t v)
{
    // Stored byte by byte: unoptimised GCC for Thumb-1 clears an
    // initialised array with a call to memset first.
    char format[3];
    format[0] = '%';
    format[1] = static_cast<char>(letter);
    format[2] = '\0';
    if (o.end - o.d >= kConversionRoom) {
        o.d = kestrix_sprintf(o.d, format, v);
        return;
    }
    char text[kConversionRoom];
    const char *const stop = kestrix_sprintf(text, format, v);
    for (const char *t = text; t != stop; ++t)
        put(o, *t);
}

template <class Out>
__attribute__((always_inline)) inline void pass(Out &o, const char *fmt, ArgList args)
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(fmt);
    for (;;) {
        if (copy(o, p, '%') == '\0')
            return;
        const uint32_t letter = p[1];
        if (letter == '\0') // a lone '%' at the end writes nothing and reads nothing
            return;
        p += 2;
        if (letter == '%') {
            put(o, '%');
            continue;
        }
        const uint64_t v = va_arg(args, uint64_t);
        if (letter != 's') {
            convert(o, letter, v);
            continue;
        }
        // Narrowed to a pointer before it is tested, as the library does: on
        // a 32-bit target a value whose low half is 0 is a null pointer.
        const char *const s = reinterpret_cast<const char *>(static_cast<uintptr_t>(v));
        const unsigned char *q = reinterpret_cast<const unsigned char *>(s ? s : "(null)");
        copy(o, q, '\0');
    }
}

} // namespace kestrix_bounded


#endif // KESTRIX_BOUNDED_H
