// SPDX-License-Identifier: MIT
// The floor for kestrix's per-call cost: the least a formatter can do for
// "%c" and "%d" under kestrix's own rules. It is built as a shared library
// of its own with the library's flags and the same exported call chain
//   floor_sprintf -> floor_vfnprintf -> floor_dec -> floor_str
// each hop through its exported name (a PLT slot), a private buffer sink
// that the interpreter and floor_str store through directly, byte stores,
// and no byte read past a terminating NUL. It knows nothing else: any other
// conversion ends the output.
#include <stdarg.h>
#include <stdint.h>

#define FLOOR_API extern "C" __attribute__((visibility("default")))

typedef void (*floor_out_fn)(void *ctx, int32_t c);

FLOOR_API void floor_str(floor_out_fn out, void *ctx, const char *str);
FLOOR_API void floor_dec(floor_out_fn out, void *ctx, uint64_t value, int32_t is_signed);
FLOOR_API void floor_vfnprintf(floor_out_fn out, void *ctx, const char *fmt, va_list args);
FLOOR_API char *floor_sprintf(char *buf, const char *fmt, ...);

static void buffer_sink(void *ctx, int32_t c)
{
    char **cursor = static_cast<char **>(ctx);
    *(*cursor)++ = static_cast<char>(c);
}

void floor_str(floor_out_fn out, void *ctx, const char *str)
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(str);
    if (out != buffer_sink) {
        for (; *p; ++p)
            out(ctx, *p);
        return;
    }
    char **cursor = static_cast<char **>(ctx);
    char *d = *cursor;
    for (; *p; ++p)
        *d++ = static_cast<char>(*p);
    *cursor = d;
}

void floor_dec(floor_out_fn out, void *ctx, uint64_t value, int32_t is_signed)
{
    const bool negative = is_signed && static_cast<int64_t>(value) < 0;
    uint64_t m = negative ? 0 - value : value;
    char buf[21];
    char *p = buf + 20;
    *p = '\0';
    // Two digits per division by 100, as plain as that can be written.
    while (m >= 100) {
        const uint32_t r = static_cast<uint32_t>(m % 100);
        m /= 100;
        *--p = static_cast<char>('0' + r % 10);
        *--p = static_cast<char>('0' + r / 10);
    }
    if (m >= 10)
        *--p = static_cast<char>('0' + m % 10), m /= 10;
    *--p = static_cast<char>('0' + m);
    if (negative)
        out(ctx, '-');
    floor_str(out, ctx, p);
}

void floor_vfnprintf(floor_out_fn out, void *ctx, const char *fmt, va_list args)
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(fmt);
    if (out != buffer_sink) {
        for (uint32_t c; (c = *p++) != '\0';) {
            if (c != '%')
                out(ctx, static_cast<int32_t>(c));
            else if ((c = *p++) == 'c')
                out(ctx, static_cast<int32_t>(va_arg(args, uint64_t)));
            else if (c == 'd')
                floor_dec(out, ctx, va_arg(args, uint64_t), 1);
            else
                return;
        }
        return;
    }
    char **cursor = static_cast<char **>(ctx);
    char *d = *cursor;
    for (uint32_t c; (c = *p++) != '\0';) {
        if (c != '%') {
            *d++ = static_cast<char>(c);
        } else if ((c = *p++) == 'c') {
            *d++ = static_cast<char>(va_arg(args, uint64_t));
        } else if (c == 'd') {
            *cursor = d;
            floor_dec(out, ctx, va_arg(args, uint64_t), 1);
            d = *cursor;
        } else {
            break;
        }
    }
    *cursor = d;
}

char *floor_sprintf(char *buf, const char *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    char *cursor = buf;
    floor_vfnprintf(buffer_sink, &cursor, fmt, args);
    va_end(args);
    *cursor = '\0';
    return cursor;
}
