/* SPDX-License-Identifier: MIT */
// The format language's conversions, in one place for every formatter
// built from this source: what each letter does with its argument, and the
// digits of a number. The library's interpreter (kestrix.cpp) applies them
// through its exported emitters; the bounded and descriptor pass
// (bounded.h) applies them straight into its own output, so that it calls
// no function at all and nothing another definition puts in place of an
// emitter can make it write past its bound.
//
// Freestanding like the library: <stdint.h> and kestrix.h only, and no
// data that is not constant. Everything here is inlined where it is used.
#ifndef KESTRIX_CONVERSIONS_H
#define KESTRIX_CONVERSIONS_H

#include <stdint.h>

#include "kestrix.h"

#define KESTRIX_INLINE __attribute__((always_inline)) inline

namespace kestrix_conversions {

// The longest text one conversion other than %s and %c makes: the 20
// digits of UINT64_MAX (a minus sign comes with at most 19). Hexadecimal
// has at most 16.
constexpr int kDecimalDigits = 20;
constexpr int kHexDigits = 16;

// What a conversion writes, in the calls that know how many arguments they
// were given (the C macros, and C++ with a format made at run time), when
// the arguments have run out: it reads none.
// (Unused in the library itself, which reads what the format asks.)
__attribute__((unused)) static constexpr char kMissing[] = "(missing)";
// What %s writes in those calls for an argument that was passed as an
// integer: it is never taken as an address.
__attribute__((unused)) static constexpr char kNotAPointer[] = "(not a pointer)";

// The conversion table. `Do` has one member per kind of output; each
// conversion ends in exactly one of them, which returns what the caller
// wants back (the interpreter's are tail calls to the emitters).
//   dec(v, is_signed)   d, i (signed) and u (unsigned)
//   hex(v, nbytes)      x and X at the smallest of 1, 2 or 4 bytes that
//                       holds v, else 0 (16 digits: there is no 3-byte
//                       width); p and P at 8
//   str(s)              s, the argument narrowed to a pointer
//   chr(c)              c, the low 32 bits unchanged
//   unknown()           any other letter: its argument is read and dropped
// %% and a lone % at the end take no argument and never come here.
template <class Do>
KESTRIX_INLINE auto apply(Do &d, uint32_t letter, uint64_t v) -> decltype(d.unknown())
{
    int32_t width = 8;
    switch (letter) {
    case 'd':
    case 'i':
    case 'u':
        // letter ^ 'u' is 0 for 'u' and nonzero (0x11, 0x1C) for 'd' and 'i'.
        return d.dec(v, static_cast<int32_t>(letter ^ 'u'));
    case 'x':
    case 'X':
        width = v <= 0xFFu ? 1 : v <= 0xFFFFu ? 2 : v <= 0xFFFFFFFFu ? 4 : 0;
        __attribute__((fallthrough));
    case 'p':
    case 'P':
        return d.hex(v, width);
    case 's':
        // Narrowed before anything tests it: on a 32-bit target a value
        // whose low half is 0 is a null pointer.
        return d.str(reinterpret_cast<const char *>(static_cast<uintptr_t>(v)));
    case 'c':
        return d.chr(static_cast<int32_t>(v));
    default:
        return d.unknown();
    }
}

// The bytes %s writes for s, read unsigned: 0x80..0xFF are 128..255
// whatever the signedness of plain char. A null s writes "(null)".
KESTRIX_INLINE const unsigned char *string(const char *s)
{
    return reinterpret_cast<const unsigned char *>(s ? s : "(null)");
}

// The table applied through a caller's sink: each conversion is a tail call
// of the library's emitter for it, through its exported name, so that a
// definition found first takes its place; %c and an unknown letter go
// straight to the sink.
struct Emit {
    kestrix_out_fn out;
    void *ctx;
    KESTRIX_INLINE void dec(uint64_t v, int32_t is_signed) { return kestrix_dec(out, ctx, v, is_signed); }
    KESTRIX_INLINE void hex(uint64_t v, int32_t nbytes) { return kestrix_hex(out, ctx, v, nbytes); }
    KESTRIX_INLINE void str(const char *s) { return kestrix_str(out, ctx, s); }
    KESTRIX_INLINE void chr(int32_t c) { return out(ctx, c); }
    KESTRIX_INLINE void unknown() { return out(ctx, '?'); }
};

// Whether the signed value v of kestrix_dec is negative, and its magnitude.
// Negating in unsigned arithmetic maps INT64_MIN to 2^63, its magnitude.
KESTRIX_INLINE bool negative(uint64_t v, int32_t is_signed)
{
    return is_signed && static_cast<int64_t>(v) < 0;
}
KESTRIX_INLINE uint64_t magnitude(uint64_t v, bool negative)
{
    return negative ? 0 - v : v;
}

static constexpr char kHex[16] = {'0', '1', '2', '3', '4', '5', '6', '7',
                                  '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};

// How many bytes of a value hex() makes: nbytes - 1 as unsigned is below
// 8 exactly when nbytes is 1..8; zero, negative and oversized widths all
// fall back to the full 8 bytes.
KESTRIX_INLINE uint32_t hex_bytes(int32_t nbytes)
{
    return static_cast<uint32_t>(nbytes) - 1u < 8u ? static_cast<uint32_t>(nbytes) : 8u;
}

#if defined(__OPTIMIZE_SIZE__) && UINTPTR_MAX == 0xFFFFFFFFu
// Optimised for size on a 32-bit core, one routine makes the digits of
// both bases: the digits of v in base 10 or 16, at least `count` of them,
// stored just before end; returns the first. v / base comes from binary
// long division, one quotient bit per turn: no multiply, no divide and no
// helper of the compiler's, in a few instructions, at the cost of 64 turns
// a digit. In base 16 exactly `count` digits are made, those of the low
// count / 2 bytes; in base 10 as many as v has.
__attribute__((noinline)) inline char *digits(char *end, uint64_t v, uint32_t base, int32_t count)
{
    char *p = end;
    do {
        uint32_t rem = 0;
        for (int i = 0; i < 64; ++i) {
            rem = (rem << 1) | static_cast<uint32_t>(v >> 63);
            v <<= 1;
            if (rem >= base) {
                rem -= base;
                v |= 1;
            }
        }
        *--p = kHex[rem];
    } while (--count > 0 || (base == 10 && v));
    return p;
}

KESTRIX_INLINE char *hex(char *end, uint64_t value, int32_t nbytes)
{
    return digits(end, value, 16, static_cast<int32_t>(2 * hex_bytes(nbytes)));
}

KESTRIX_INLINE char *decimal(char *end, uint64_t m)
{
    return digits(end, m, 10, 1);
}
#else
// The digits of the low nbytes bytes of value, nbytes outside 1..8 taken
// as 8, stored just before end; returns the first. end - 16 must be
// 2-aligned where the buffer pairs are stored to is (see decimal()).
KESTRIX_INLINE char *hex(char *end, uint64_t value, int32_t nbytes)
{
    uint32_t n = hex_bytes(nbytes);
    char *p = end;
    // Kept a loop: -O3 would unroll it into a few hundred more bytes.
#pragma GCC unroll 1
    do {
        p -= 2;
        p[0] = kHex[(value >> 4) & 0xF];
        p[1] = kHex[value & 0xF];
        value >>= 8;
    } while (--n);
    return p;
}

#if UINTPTR_MAX == 0xFFFFFFFFu
// With 32-bit registers a 64-bit division is a call to the compiler's
// helper (__udivdi3, __aeabi_uldivmod), which a program without libgcc
// cannot link; so is a 64-bit multiply on a core without a 32x32->64 one
// (Cortex-M0, rv32i). m / 10 is built from shifts and adds instead. Before
// its last shift q is 0.8 * m * (1 - 2^-64) less what the shifts drop (under
// 5.4 in all), so between 0.8 * m - 6.2 and 0.8 * m, and q / 8 is m / 10 or
// one less. The remainder is then below 20 and fits the low word.
KESTRIX_INLINE uint64_t div10(uint64_t m, uint32_t &rem)
{
    uint64_t q = (m >> 1) + (m >> 2);
    q += q >> 4;
    q += q >> 8;
    q += q >> 16;
    q += q >> 32;
    q >>= 3;
    // m - 10 * q. The empty asm hides 2 * q from Clang, which would fold
    // 2 * q + 8 * q into a multiply and then call a helper for it.
    uint32_t twice = static_cast<uint32_t>(q) << 1;
    __asm__("" : "+r"(twice));
    const uint32_t r = static_cast<uint32_t>(m) - twice - (static_cast<uint32_t>(q) << 3);
    const bool over = r > 9;
    rem = r - (over ? 10 : 0);
    return q + over;
}

// The decimal digits of m, stored just before end; returns the first.
KESTRIX_INLINE char *decimal(char *end, uint64_t m)
{
    char *p = end;
    do {
        uint32_t digit;
        m = div10(m, digit);
        *--p = static_cast<char>('0' + digit);
    } while (m);
    return p;
}
#else
// "00" "01" ... "99": decimal digits two at a time. Aligned to 2 so that a
// compiler that loads a pair as one halfword loads it from an even address:
// where alignment is checked (aarch64 with the MMU off, say), an odd one
// faults. For the same reason the buffer that end closes must be aligned
// to 2, as pairs are stored at even offsets from it.
alignas(2) static constexpr char kPairs[201] =
    "0001020304050607080910111213141516171819"
    "2021222324252627282930313233343536373839"
    "4041424344454647484950515253545556575859"
    "6061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The decimal digits of m, stored just before end; returns the first.
KESTRIX_INLINE char *decimal(char *end, uint64_t m)
{
    char *p = end;
    while (m >= 100) {
        const uint64_t q = m / 100;
        const uint32_t r = static_cast<uint32_t>(m - q * 100);
        m = q;
        p -= 2;
        p[0] = kPairs[2 * r];
        p[1] = kPairs[2 * r + 1];
    }
    // The last one or two digits as a pair, the pair's leading zero then
    // skipped when m < 10: no branch on whether the count of digits is odd.
    p -= 2;
    p[0] = kPairs[2 * m];
    p[1] = kPairs[2 * m + 1];
    return p + (m < 10);
}
#endif
#endif

#if defined(__OPTIMIZE_SIZE__)
// Optimised for size, kestrix_dec and kestrix_hex share their code with
// the bounded calls' conversions: the text of the number, made on the
// stack and handed to `str` (kestrix_str, through its exported name, or
// the bounded calls' own copy), with out and ctx.
using StrFn = void (*)(kestrix_out_fn, void *, const char *);

// The text of value in base 10, signed when arg is nonzero, or in base 16,
// the low arg bytes: one routine for both, so that a program that prints
// both carries one. On a 32-bit core, one call of digits() makes either.
__attribute__((noinline)) inline void number_then(kestrix_out_fn out, void *ctx, uint64_t value, int32_t arg,
                                                  uint32_t base, StrFn str)
{
    static_assert(kHexDigits <= kDecimalDigits, "hex digits fit the decimal text");
    alignas(2) char buf[kDecimalDigits + 1];
    buf[kDecimalDigits] = '\0';
    char *const end = buf + kDecimalDigits;
    const bool minus = base == 10 && negative(value, arg);
#if UINTPTR_MAX == 0xFFFFFFFFu
    const uint32_t n = hex_bytes(arg);
    char *const p = digits(end, magnitude(value, minus), base, base == 10 ? 1 : static_cast<int32_t>(2 * n));
#else
    char *const p = base == 10 ? decimal(end, magnitude(value, minus)) : hex(end, value, arg);
#endif
    if (minus)
        out(ctx, '-');
    str(out, ctx, p);
}

KESTRIX_INLINE void dec_then(kestrix_out_fn out, void *ctx, uint64_t value, int32_t is_signed, StrFn str)
{
    number_then(out, ctx, value, is_signed, 10, str);
}

KESTRIX_INLINE void hex_then(kestrix_out_fn out, void *ctx, uint64_t value, int32_t nbytes, StrFn str)
{
    number_then(out, ctx, value, nbytes, 16, str);
}
#endif

} // namespace kestrix_conversions

#endif // KESTRIX_CONVERSIONS_H
