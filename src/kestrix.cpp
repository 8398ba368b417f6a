// SPDX-License-Identifier: MIT
// kestrix: the whole library. Freestanding: it includes only the compiler's
// <stdarg.h> and <stdint.h> (and conversions.h, its own), calls nothing but the caller's sink and its own
// exported functions, and keeps no state outside the current call's frame.

#include <stdarg.h>
#include <stdint.h>

// Everything the public header declares is exported; the build hides the rest.
#pragma GCC visibility push(default)
#include "kestrix.h"
#pragma GCC visibility pop

#include "conversions.h"

// The buffer sink behind kestrix_sprintf and kestrix_vsprintf. ctx is the
// address of the call's write cursor; only the low byte of %c is stored.
static void _kestrix_out_char(void *ctx, int32_t c)
{
    char **cursor = static_cast<char **>(ctx);
    **cursor = static_cast<char>(c);
    ++*cursor;
}

// Nobody outside the library can observe a call to the buffer sink, so when
// it is the sink the interpreter and kestrix_str store straight at the cursor,
// byte for byte what the sink would have stored. Calls between exported
// functions still go through their exported names.
static inline bool is_buffer_sink(kestrix_out_fn out)
{
    return out == _kestrix_out_char;
}

// Copies bytes from p to d up to the first NUL or stop byte, which is '%' in
// a format and NUL in a string, and returns that byte; p is left at it and d
// past the last byte copied. Each byte is read only once the one before it
// has been found not to stop the copy, so nothing past a terminating NUL is
// ever read. In text most bytes lie above '%', so one test passes them.
// Unrolled, the loop branches back once per eight bytes.
__attribute__((always_inline)) static inline uint32_t copy_run(const unsigned char *&p, char *&d, uint32_t stop)
{
    for (;; p += 8, d += 8) {
#pragma GCC unroll 8
        for (int k = 0; k < 8; ++k) {
            const uint32_t c = p[k];
            if (__builtin_expect(c <= '%', 0) && (c == '\0' || c == stop)) {
                p += k, d += k;
                return c;
            }
            d[k] = static_cast<char>(c);
        }
    }
}

namespace conv = kestrix_conversions;

// Calls between exported functions below go through their exported names on
// purpose: an interposed definition replaces them for the library's own calls.

#if !defined(__OPTIMIZE_SIZE__)
// kestrix_str through a caller's sink: one call per byte. Kept out of line
// so that the buffer path of kestrix_str saves no registers.
__attribute__((noinline)) static void str_to_sink(kestrix_out_fn out, void *ctx, const unsigned char *p)
{
    for (; *p; ++p)
        out(ctx, *p);
}
#endif

extern "C" void kestrix_str(kestrix_out_fn out, void *ctx, const char *str)
{
    // Bytes are read unsigned so 0x80..0xFF reach the sink as 128..255
    // whatever the signedness of plain char. One byte at a time: nothing
    // past the terminating NUL is ever read.
    const unsigned char *p = conv::string(str);
#if defined(__OPTIMIZE_SIZE__)
    // Optimised for size, every byte goes through the sink, the buffer's
    // own included.
    for (; *p; ++p)
        out(ctx, *p);
#else
    // The compiler is not to copy the code below for the null case, whose
    // bytes it knows: one copy of it is enough.
    __asm__("" : "+r"(p));
    if (!is_buffer_sink(out))
        return str_to_sink(out, ctx, p);
    char **cursor = static_cast<char **>(ctx);
    char *d = *cursor;
    copy_run(p, d, '\0');
    *cursor = d;
#endif
}

#if defined(__OPTIMIZE_SIZE__)
// kestrix_str through its exported name, for the number routines that take
// a string emitter: the address of a local function needs no GOT entry.
static void str_by_name(kestrix_out_fn out, void *ctx, const char *str)
{
    kestrix_str(out, ctx, str);
}
#endif

extern "C" void kestrix_hex(kestrix_out_fn out, void *ctx, uint64_t value, int32_t nbytes)
{
#if defined(__OPTIMIZE_SIZE__)
    conv::hex_then(out, ctx, value, nbytes, str_by_name);
#else
    alignas(2) char buf[conv::kHexDigits + 1];
    buf[conv::kHexDigits] = '\0';
    kestrix_str(out, ctx, conv::hex(buf + conv::kHexDigits, value, nbytes));
#endif
}

extern "C" void kestrix_dec(kestrix_out_fn out, void *ctx, uint64_t value, int32_t is_signed)
{
#if defined(__OPTIMIZE_SIZE__)
    conv::dec_then(out, ctx, value, is_signed, str_by_name);
#else
    const bool negative = conv::negative(value, is_signed);
    alignas(2) char buf[conv::kDecimalDigits + 1];
    buf[conv::kDecimalDigits] = '\0';
    char *p = conv::decimal(buf + conv::kDecimalDigits, conv::magnitude(value, negative));
    if (negative)
        out(ctx, '-');
    kestrix_str(out, ctx, p);
#endif
}

// The interpreter writes through one of two writers. Into the library's own
// buffer, the cursor stays in a register and text is stored straight at it;
// it goes back through ctx only around a call to an emitter, which takes the
// private sink and the cursor's address like any sink and context. Through
// a caller's sink, every character is one call.
struct BufferWriter {
    static constexpr bool inline_char = true;
    char **cursor;
    char *d;
    explicit BufferWriter(void *ctx) : cursor(static_cast<char **>(ctx)), d(*cursor) {}
    kestrix_out_fn out() const { return _kestrix_out_char; }
    void *ctx() const { return cursor; }
    // The run of ordinary bytes up to the next '%' or the end.
    __attribute__((always_inline)) uint32_t text(const unsigned char *&p) { return copy_run(p, d, '%'); }
    void put(uint32_t c) { *d++ = static_cast<char>(c); }
    void before_call() { *cursor = d; }
    void after_call() { d = *cursor; }
    void done() { *cursor = d; }
};

struct SinkWriter {
    static constexpr bool inline_char = false;
    kestrix_out_fn sink;
    void *context;
    kestrix_out_fn out() const { return sink; }
    void *ctx() const { return context; }
    uint32_t text(const unsigned char *&p)
    {
        uint32_t c;
        for (c = *p; c != '\0' && c != '%'; c = *++p)
            sink(context, static_cast<int32_t>(c));
        return c;
    }
    void put(uint32_t c) { sink(context, static_cast<int32_t>(c)); }
    void before_call() {}
    void after_call() {}
    void done() {}
};

// How the interpreter takes the argument list, so that it reads the list in
// place and never copies it: where va_list is an array (x86-64) a va_list
// parameter already is a pointer, and is passed on as one; elsewhere
// (aarch64, where it is a structure) by reference.
template <typename T>
struct ArgListOf {
    using type = T &;
};
template <typename T, decltype(sizeof 0) N>
struct ArgListOf<T[N]> {
    using type = T *;
};
using ArgList = ArgListOf<va_list>::type;

// GCC at -O3 would otherwise clone a function for a constant argument,
// a second copy of its code.
#if defined(__GNUC__) && !defined(__clang__)
#define KESTRIX_ONE_COPY __attribute__((noinline, noclone))
#else
#define KESTRIX_ONE_COPY __attribute__((noinline))
#endif

// A conversion that takes an argument, for both interpreters (into the
// buffer, %c is stored without coming here): the emitter for the letter,
// called through its exported name, the character for %c, or a '?' for a
// letter the language does not know. Each is a tail call. One function for
// both keeps the library small; the buffer's interpreter pays one direct
// call per conversion for it.
KESTRIX_ONE_COPY static void convert(kestrix_out_fn out, void *ctx, uint32_t letter, uint64_t v)
{
    conv::Emit e{out, ctx};
    return conv::apply(e, letter, v);
}

template <typename Writer>
static inline void interpret(Writer w, const unsigned char *p, ArgList args)
{
    for (;;) {
        const uint32_t c = w.text(p);
        if (c == '\0')
            break;
        const uint32_t n = p[1];
        if (n == '\0') // a lone '%' at the end writes nothing and reads nothing
            break;
        p += 2;
        if (n == '%') {
            w.put('%');
            continue;
        }
        // The argument is read before the letter is examined further, so an
        // unknown letter consumes its argument like any other.
        const uint64_t v = va_arg(args, uint64_t);
        if (w.inline_char && n == 'c') {
            w.put(static_cast<uint32_t>(v));
            continue;
        }
        w.before_call();
        convert(w.out(), w.ctx(), n, v);
        w.after_call();
    }
    w.done();
}

// Each writer's interpreter is a function of its own, so that each saves
// only the registers its own loop needs. Both take kestrix_vfnprintf's own
// parameters, which then need no moving.
KESTRIX_ONE_COPY static void interpret_into_buffer(kestrix_out_fn, void *ctx, const unsigned char *p, ArgList args)
{
    interpret(BufferWriter(ctx), p, args);
}

KESTRIX_ONE_COPY static void interpret_through_sink(kestrix_out_fn out, void *ctx, const unsigned char *p, ArgList args)
{
    interpret(SinkWriter{out, ctx}, p, args);
}

extern "C" void kestrix_vfnprintf(kestrix_out_fn out, void *ctx, const char *fmt, va_list args)
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(fmt);
    if (is_buffer_sink(out))
        return interpret_into_buffer(out, ctx, p, args);
    return interpret_through_sink(out, ctx, p, args);
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
#if defined(__aarch64__) && defined(__OPTIMIZE_SIZE__) && !defined(__clang__)
    // aarch64's va_list is a 32-byte structure, passed on below as a copy.
    // Optimising for size with -mstrict-align, GCC makes that copy with a
    // call to memcpy unless it knows the source to be 16-aligned, which a
    // caller's list need not be. Copied word by word into a 16-aligned list
    // first, it needs no call.
    typedef uint64_t __attribute__((may_alias)) Word;
    alignas(16) va_list copy;
    for (unsigned i = 0; i < sizeof copy / sizeof(Word); ++i)
        reinterpret_cast<Word *>(&copy)[i] = reinterpret_cast<const Word *>(&args)[i];
    return format_into(buf, fmt, copy);
#else
    return format_into(buf, fmt, args);
#endif
}

extern "C" char *kestrix_sprintf(char *buf, const char *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    char *end = format_into(buf, fmt, args);
    va_end(args);
    return end;
}
