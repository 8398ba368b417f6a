/* SPDX-License-Identifier: MIT */
// The single pass behind the bounded and piecewise calls
// (kestrix_snprintf.cpp), and so descriptor output (kestrix_dprintf.cpp).
// Optimised for size, they have a smaller walk of their own in
// kestrix_snprintf.cpp instead, which keeps the bounds below the same way,
// and only the argument lists below are compiled.
//
// It writes every byte of the output itself: the format's text and each
// %s string copied, every other conversion turned into its characters by
// the library's own rules (conversions.h), which the library's emitters
// follow too. It calls no function of the library, so a program's own
// kestrix_dec or kestrix_hex, which replaces the library's for the
// library's own calls, changes nothing here and cannot make a conversion
// longer than the bound allows for.
//
// Each byte of the format and of a string is read once, and each store is
// checked against the end of the room where the store happens. A string
// that another thread, a signal handler or the output itself changes while
// the call runs is therefore cut where the bound says, never measured first
// and copied later. The end of the room is kept as an address in an
// integer, never as a pointer: a size of SIZE_MAX reaches the end of the
// address space, and no pointer is formed past the bytes that are stored.
//
// A source that lies in the output is read no further than the end of the
// buffer being written, so no byte outside the buffer and the sources is
// read. A %s string there is copied as the output has made it. The format
// is read more strictly, since what it reads decides what is read next: no
// byte of it is read once the output has written over it, or will have
// before it is read. A format that lies where the output has already been
// written ends there, and one that starts below the buffer is read no
// further than the buffer's start once anything is to be written into it
// (Bounded::format_readable). With the format "%s %d" in the buffer and
// the arguments "%d%s" and 7, the output is "%d%s": the rewritten bytes
// are never taken for conversions, and 7 is never taken for an address.
#ifndef KESTRIX_BOUNDED_H
#define KESTRIX_BOUNDED_H

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

#include "conversions.h"

// GCC at -O3 would otherwise clone a function for a constant argument, a
// second copy of its code.
#if defined(__GNUC__) && !defined(__clang__)
#define KESTRIX_BOUNDED_ONE_COPY __attribute__((noinline, noclone))
#else
#define KESTRIX_BOUNDED_ONE_COPY __attribute__((noinline))
#endif

namespace kestrix_bounded {

namespace conv = kestrix_conversions;

// Addresses as integers: a buffer's end is one, and may lie more than
// PTRDIFF_MAX bytes past its start.
KESTRIX_INLINE uintptr_t address(const void *p)
{
    return reinterpret_cast<uintptr_t>(p);
}

// The bytes between d and end.
KESTRIX_INLINE size_t room(const char *d, uintptr_t end)
{
    return static_cast<size_t>(end - address(d));
}

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

// Where a pass takes its arguments from: the caller's va_list, which holds
// as many as the format reads (the plain calls' precondition), or, when
// `counted`, `left` values, past whose end a conversion reads nothing and
// writes kMissing instead. Bit i of `pointers` is set where value i was
// passed as a pointer; a %s of any other value writes kNotAPointer and
// reads nothing through it.
KESTRIX_INLINE uint64_t counted_value(uint64_t v, uint32_t letter, uint32_t &pointers)
{
    if (letter == 's' && !(pointers & 1))
        v = reinterpret_cast<uintptr_t>(conv::kNotAPointer);
    pointers >>= 1;
    return v;
}

// The macros' counted values, where kestrix_checked.h's zeros have filled
// the argument registers: in the caller's frame in order, 8 bytes each, at
// the address the va_list holds for its next value in memory, its first
// field on 64-bit Arm and its third, after two 4-byte offsets, on x86-64.
// `va` is the address of a va_list that va_start has begun. Optimised for
// speed the calls read them there as an array (KESTRIX_BOUNDED_STACKED);
// optimised for size, with va_arg, which shares the plain calls' pass.
#if defined(KESTRIX_CHECKED_STACKED) && KESTRIX_CHECKED_STACKED && !defined(__OPTIMIZE_SIZE__)
#define KESTRIX_BOUNDED_STACKED 1
KESTRIX_INLINE const uint64_t *stacked(const void *va)
{
#if defined(__x86_64__)
    const size_t at = 8;
#else
    const size_t at = 0;
#endif
    // Read through a type that may alias the va_list's own, and not with
    // memcpy, which an unoptimised build would call.
    struct __attribute__((may_alias)) Field {
        const uint64_t *values;
    };
    return reinterpret_cast<const Field *>(static_cast<const char *>(va) + at)->values;
}
#endif

#if defined(__OPTIMIZE_SIZE__)
// Optimised for size the plain and the counted calls share one type, and so
// one copy of each walk; the _array calls' values are a type of their own,
// whose pass a program that never calls them does not link.
struct Args {
    ArgList va;
    bool counted;
    size_t left;
    uint32_t pointers;
    // Constructors, not aggregate initialisers: GCC for Thumb-1 clears an
    // aggregate with a call to memset first.
    explicit Args(ArgList v) : va(v), counted(false), left(0), pointers(0) {}
    Args(ArgList v, size_t n, uint32_t ptrs) : va(v), counted(true), left(n), pointers(ptrs) {}
    KESTRIX_INLINE bool next(uint64_t &v, uint32_t letter)
    {
        if (!counted) {
            v = va_arg(va, uint64_t);
            return true;
        }
        if (!left)
            return false;
        --left;
        v = counted_value(va_arg(va, uint64_t), letter, pointers);
        return true;
    }
};

using CountedArgs = Args;

struct ArrayArgs {
    const uint64_t *array;
    size_t left;
    uint32_t pointers;
    ArrayArgs(const uint64_t *p, size_t n, uint32_t ptrs) : array(p), left(n), pointers(ptrs) {}
    KESTRIX_INLINE bool next(uint64_t &v, uint32_t letter)
    {
        if (!left)
            return false;
        --left;
        v = counted_value(*array++, letter, pointers);
        return true;
    }
};
#else
// Optimised for speed the plain and the _array calls share one type, and so
// one copy of each pass: counted values come from `array`, and the _array
// calls bind a va_list that is never read. So do the macros' calls where
// their values lie in memory as an array (stacked() above). Elsewhere, and
// for kestrix_vbprintf_counted, counted values are a type of their own,
// read from the va_list, so that their pass tests neither `counted` nor an
// array at each conversion.
struct Args {
    ArgList va;
    bool counted;
    const uint64_t *array;
    size_t left;
    uint32_t pointers;
    explicit Args(ArgList v) : va(v), counted(false), array(nullptr), left(0), pointers(0) {}
    Args(ArgList v, const uint64_t *p, size_t n, uint32_t ptrs)
        : va(v), counted(true), array(p), left(n), pointers(ptrs) {}
    KESTRIX_INLINE bool next(uint64_t &v, uint32_t letter)
    {
        if (!counted) {
            v = va_arg(va, uint64_t);
            return true;
        }
        if (!left)
            return false;
        --left;
        v = counted_value(*array++, letter, pointers);
        return true;
    }
};

struct CountedArgs {
    ArgList va;
    size_t left;
    uint32_t pointers;
    CountedArgs(ArgList v, size_t n, uint32_t ptrs) : va(v), left(n), pointers(ptrs) {}
    KESTRIX_INLINE bool next(uint64_t &v, uint32_t letter)
    {
        if (!left)
            return false;
        --left;
        v = counted_value(va_arg(va, uint64_t), letter, pointers);
        return true;
    }
};
#endif

#if !defined(__OPTIMIZE_SIZE__)
// Where a 64-bit byte swap is one instruction and words are little-endian,
// the bounded pass makes hex digits eight at a time in a register (the
// library's emitters and other targets keep conv::hex); on x86-64, where
// an unaligned word may be loaded and stored as well, it copies a
// conversion's text a word at a time (under aarch64's -mstrict-align the
// compiler would call memcpy for one, and GCC does not say which applies).
#if (defined(__x86_64__) || defined(__aarch64__)) && \
    defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#define KESTRIX_BOUNDED_HEX_WORDS 1
#else
#define KESTRIX_BOUNDED_HEX_WORDS 0
#endif
#if defined(__x86_64__)
#define KESTRIX_BOUNDED_COPY_WORDS 1
#else
#define KESTRIX_BOUNDED_COPY_WORDS 0
#endif

// An Out has `d`, where its next byte goes, and `end`, the address one
// past the last byte it may take; full() is called when a byte is due at
// end, and leaves room for at least one more, unless Out::kStops and
// stopped() is true after it: then the pass stores nothing more, reads
// nothing more and ends. readable(p) is how many bytes
// from p a source may be read: SIZE_MAX, unless Out::kSourcesMayOverlap and
// p lies below the end of the caller's buffer; format_readable(p), how many
// bytes from p the output has not written over and will not before they
// are read (SIZE_MAX where it never will).
template <class Out>
inline void put(Out &o, char c)
{
    if (address(o.d) == o.end) {
        o.full();
        if (Out::kStops && o.stopped())
            return;
    }
    *o.d++ = c;
}

// Copies bytes from `from` up to the first NUL or stop byte (which is '%' in
// a format, NUL in a string), reading at most `left` bytes, and returns
// that byte, or NUL when `left` ran out first; `from` is left at it and
// `left` less what was read. Each byte is read only once the one before it
// was found not to stop the copy, so nothing past a terminating NUL is
// read. While 8 bytes of room are left, the loop branches back once per 8
// bytes; the last few bytes before the end go one at a time, each checked
// against it.
template <class Out>
__attribute__((always_inline)) inline uint32_t copy(Out &o, const unsigned char *&from, uint32_t stop, size_t &left)
{
    // Locals, not the references: a char store may alias anything, and the
    // compiler would otherwise reload them after every byte.
    const unsigned char *p = from;
    char *d = o.d;
    for (;;) {
        // Where the copy stops for want of room, or of source to read.
        size_t n = room(d, o.end);
        const bool short_source = Out::kSourcesMayOverlap && left < n;
        if (short_source)
            n = left;
        const uintptr_t end = address(d) + n;
        for (; room(d, end) >= 8; p += 8, d += 8) {
#pragma GCC unroll 8
            for (int k = 0; k < 8; ++k) {
                const uint32_t c = p[k];
                if (__builtin_expect(c <= '%', 0) && (c == '\0' || c == stop)) {
                    if (Out::kSourcesMayOverlap)
                        left -= n - room(d + k, end);
                    from = p + k;
                    o.d = d + k;
                    return c;
                }
                d[k] = static_cast<char>(c);
            }
        }
        for (; address(d) != end; ++p, ++d) {
            const uint32_t c = *p;
            if (c <= '%' && (c == '\0' || c == stop)) {
                if (Out::kSourcesMayOverlap)
                    left -= n - room(d, end);
                from = p;
                o.d = d;
                return c;
            }
            *d = static_cast<char>(c);
        }
        o.d = d;
        if (Out::kSourcesMayOverlap) {
            left -= n;
            if (short_source) {
                from = p;
                return '\0';
            }
        }
        o.full();
        if (Out::kStops && o.stopped())
            return '\0';
        d = o.d;
    }
}

#if KESTRIX_BOUNDED_COPY_WORDS
// n bytes from p to d, 1 to 8 at a time: 8 or 4 bytes load and store as
// one word, the last word ending at the last byte (so a byte may be stored
// twice, with its own value), and every store lies in d[0..n). p never
// lies in d's buffer: it is a conversion's text or a constant.
template <size_t N>
KESTRIX_INLINE void word(char *d, const char *p)
{
    unsigned char w[N];
    __builtin_memcpy(w, p, N);
    __builtin_memcpy(d, w, N);
}
KESTRIX_INLINE void words(char *d, const char *p, size_t n)
{
    if (n >= 8) {
        for (size_t k = 0; k + 8 < n; k += 8)
            word<8>(d + k, p + k);
        word<8>(d + n - 8, p + n - 8);
    } else if (n >= 4) {
        word<4>(d, p);
        word<4>(d + n - 4, p + n - 4);
    } else {
        for (size_t k = 0; k < n; ++k)
            d[k] = p[k];
    }
}
#endif

// The n bytes at p, each store checked.
template <class Out>
inline void append(Out &o, const char *p, size_t n)
{
#if KESTRIX_BOUNDED_COPY_WORDS
    if (room(o.d, o.end) >= n) {
        words(o.d, p, n);
        o.d += n;
        return;
    }
#else
    if (room(o.d, o.end) >= n) {
        char *d = o.d;
        for (; n; --n)
            *d++ = *p++;
        o.d = d;
        return;
    }
#endif
    for (; n; --n)
        put(o, *p++);
}

// The library's conversions, turned into characters by its own rules. A
// %s string is copied where it lies; every other conversion is made in
// `text` and returned as its first byte, to be stored like any other.
template <class Out>
struct Convert {
    Out &o;
    explicit Convert(Out &out) : o(out) {}
    // A sign and 20 digits, closed at an even offset: decimal digits are
    // stored in pairs at even offsets from the end. 16 hex digits fit too,
    // as two aligned words before the end.
    static_assert(conv::kHexDigits <= conv::kDecimalDigits, "a hexadecimal conversion fits the text");
    // The hex words are stored through `words`, read back as `text`.
    union {
        char text[conv::kDecimalDigits + 4];
        uint64_t words[3];
    };

    char *end() { return text + sizeof text; }

#if KESTRIX_BOUNDED_HEX_WORDS
    // The 8 hex digits of x as one little-endian word, the first digit in
    // its lowest byte: each nibble spread into a byte of its own, the bytes
    // reversed, then each turned into '0'..'9' or 'A'..'F' (7 more from 10
    // on), with no carry between bytes.
    static KESTRIX_INLINE uint64_t hex_word(uint32_t x)
    {
        uint64_t s = x;
        s = (s | s << 16) & 0x0000FFFF0000FFFFull;
        s = (s | s << 8) & 0x00FF00FF00FF00FFull;
        s = (s | s << 4) & 0x0F0F0F0F0F0F0F0Full;
        s = __builtin_bswap64(s);
        const uint64_t ten_up = ((s + 0x0606060606060606ull) >> 4) & 0x0101010101010101ull;
        return s + 0x3030303030303030ull + ten_up * 7;
    }
#endif

    KESTRIX_INLINE const char *dec(uint64_t v, int32_t is_signed)
    {
        const bool negative = conv::negative(v, is_signed);
        char *p = conv::decimal(end(), conv::magnitude(v, negative));
        if (negative)
            *--p = '-';
        return p;
    }
    KESTRIX_INLINE const char *hex(uint64_t v, int32_t nbytes)
    {
#if KESTRIX_BOUNDED_HEX_WORDS
        // As conv::hex: the low nbytes bytes, nbytes outside 1..8 taken as 8.
        const uint32_t n = conv::hex_bytes(nbytes);
        words[2] = hex_word(static_cast<uint32_t>(v));
        if (n > 4)
            words[1] = hex_word(static_cast<uint32_t>(v >> 32));
        return end() - 2 * n;
#else
        return conv::hex(end(), v, nbytes);
#endif
    }
    KESTRIX_INLINE const char *str(const char *s)
    {
        const unsigned char *q = conv::string(s);
        size_t left = o.readable(q);
        copy(o, q, '\0', left);
        return nullptr;
    }
    KESTRIX_INLINE const char *chr(int32_t c)
    {
        end()[-1] = static_cast<char>(c);
        return end() - 1;
    }
    KESTRIX_INLINE const char *unknown() { return chr('?'); }
};

template <class Out, class A>
__attribute__((always_inline)) inline void pass(Out &o, const char *fmt, A &args)
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(fmt);
    size_t left = o.readable(p);
    for (;;) {
        // Before each run of text: a conversion may have written over the
        // format's next bytes.
        if (Out::kSourcesMayOverlap) {
            const size_t unwritten = o.format_readable(p);
            if (unwritten < left)
                left = unwritten;
        }
        if (copy(o, p, '%', left) == '\0')
            return;
        // A lone '%' at the end writes nothing and reads nothing, nor does
        // one that is the last byte the format may be read to.
        if (Out::kSourcesMayOverlap && left < 2)
            return;
        const uint32_t letter = p[1];
        if (letter == '\0')
            return;
        p += 2;
        if (Out::kSourcesMayOverlap)
            left -= 2;
        if (letter == '%') {
            put(o, '%');
            continue;
        }
        // The argument is read before the letter is examined further, so an
        // unknown letter consumes its argument like any other.
        uint64_t v;
        if (!args.next(v, letter)) {
            append(o, conv::kMissing, sizeof conv::kMissing - 1);
            continue;
        }
        Convert<Out> c(o);
        if (const char *t = conv::apply(c, letter, v))
            append(o, t, room(t, address(c.end())));
    }
}

#endif // !__OPTIMIZE_SIZE__

} // namespace kestrix_bounded


#endif // KESTRIX_BOUNDED_H
