// kestrix: the whole library. Freestanding: it includes only the compiler's
// <stdarg.h> and <stdint.h>, calls nothing but the caller's sink and its own
// exported functions, and keeps no state outside the current call's frame.

#include <stdarg.h>
#include <stdint.h>

// Everything the public header declares is exported; the build hides the rest.
#pragma GCC visibility push(default)
#include "kestrix.h"
#pragma GCC visibility pop

// The buffer sink behind kestrix_sprintf and kestrix_vsprintf. ctx is the
// address of the call's write cursor; only the low byte of %c is stored.
static void _kestrix_out_char(void *ctx, int32_t c)
{
    char **cursor = static_cast<char **>(ctx);
    **cursor = static_cast<char>(c);
    ++*cursor;
}

// Calls between exported functions below go through their exported names on
// purpose: an interposed definition replaces them for the library's own calls.

extern "C" void kestrix_str(kestrix_out_fn out, void *ctx, const char *str)
{
    if (!str)
        str = "(null)";
    // Bytes are read unsigned so 0x80..0xFF reach the sink as 128..255
    // whatever the signedness of plain char.
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(str); *p; ++p)
        out(ctx, *p);
}

extern "C" void kestrix_hex(kestrix_out_fn out, void *ctx, uint64_t value, int32_t nbytes)
{
    // nbytes - 1 as unsigned is below 8 exactly when nbytes is 1..8; zero,
    // negative and oversized widths all fall back to the full 16 digits.
    const uint32_t last = static_cast<uint32_t>(nbytes) - 1u < 8u
                              ? 2u * static_cast<uint32_t>(nbytes) - 1u
                              : 15u;
    char buf[17];
    char *p = buf + 16;
    *p = '\0';
    for (uint32_t k = 0; k <= last; ++k) {
        *--p = "0123456789ABCDEF"[value & 0xF];
        value >>= 4;
    }
    kestrix_str(out, ctx, p);
}

extern "C" void kestrix_dec(kestrix_out_fn out, void *ctx, uint64_t value, int32_t is_signed)
{
    const bool negative = is_signed && static_cast<int64_t>(value) < 0;
    // Negating in unsigned arithmetic maps INT64_MIN to 2^63, its magnitude.
    uint64_t m = negative ? 0 - value : value;
    char buf[21]; // UINT64_MAX has 20 digits
    char *p = buf + 20;
    *p = '\0';
    do {
        *--p = static_cast<char>('0' + m % 10);
        m /= 10;
    } while (m);
    if (negative)
        out(ctx, '-');
    kestrix_str(out, ctx, p);
}

extern "C" void kestrix_vfnprintf(kestrix_out_fn out, void *ctx, const char *fmt, va_list args)
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(fmt);
    for (;;) {
        const uint32_t c = p[0];
        if (c == '\0')
            return;
        if (c != '%') {
            out(ctx, static_cast<int32_t>(c));
            ++p;
            continue;
        }
        const uint32_t n = p[1];
        if (n == '\0') // a lone '%' at the end writes nothing and reads nothing
            return;
        p += 2;
        if (n == '%') {
            out(ctx, '%');
            continue;
        }
        // The argument is read before the letter is examined further, so an
        // unknown letter consumes its argument like any other conversion.
        const uint64_t v = va_arg(args, uint64_t);
        switch (n) {
        case 'd':
        case 'i':
        case 'u':
            // n ^ 'u' is 0 for 'u' and nonzero (0x11, 0x1C) for 'd' and 'i'.
            kestrix_dec(out, ctx, v, static_cast<int32_t>(n ^ 'u'));
            break;
        case 'x':
        case 'X':
            // Smallest of 1, 2 or 4 bytes that holds v; else 0, which the hex
            // emitter widens to 16 digits. There is no 3-byte width.
            kestrix_hex(out, ctx, v, v <= 0xFFu ? 1 : v <= 0xFFFFu ? 2 : v <= 0xFFFFFFFFu ? 4 : 0);
            break;
        case 'p':
        case 'P':
            kestrix_hex(out, ctx, v, 8);
            break;
        case 'c':
            out(ctx, static_cast<int32_t>(static_cast<uint32_t>(v)));
            break;
        case 's':
            kestrix_str(out, ctx, reinterpret_cast<const char *>(static_cast<uintptr_t>(v)));
            break;
        default:
            out(ctx, '?');
            break;
        }
    }
}

extern "C" void kestrix_fnprintf(kestrix_out_fn out, void *ctx, const char *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    kestrix_vfnprintf(out, ctx, fmt, args);
    va_end(args);
}

// Both buffer front ends: format through the private sink, then close the
// output with one NUL at the cursor, which is not advanced past it.
static char *format_into(char *buf, const char *fmt, va_list args)
{
    char *cursor = buf;
    kestrix_vfnprintf(_kestrix_out_char, &cursor, fmt, args);
    *cursor = '\0';
    return cursor;
}

extern "C" char *kestrix_vsprintf(char *buf, const char *fmt, va_list args)
{
    return format_into(buf, fmt, args);
}

extern "C" char *kestrix_sprintf(char *buf, const char *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    char *end = format_into(buf, fmt, args);
    va_end(args);
    return end;
}
