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

#if UINTPTR_MAX == 0xFFFFFFFFu
// With 32-bit registers a 64-bit division is a call to the compiler's
// helper (__udivdi3, __aeabi_uldivmod), which a program without libgcc
// cannot link; so is a 64-bit multiply on a core without a 32x32->64 one
// (Cortex-M0, rv32i). m / 10 is built from shifts and adds instead. Before
// its last shift q is 0.8 * m * (1 - 2^-64) less what the shifts drop (under
// 5.4 in all), so between 0.8 * m - 6.2 and 0.8 * m, and q / 8 is m / 10 or
// one less. The remainder is then below 20 and fits the low word.
static inline uint64_t div10(uint64_t m, uint32_t &rem)
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
#else
// "00" "01" ... "99": decimal digits two at a time. Aligned to 2 so that a
// compiler that loads a pair as one halfword loads it from an even address:
// where alignment is checked (aarch64 with the MMU off, say), an odd one
// faults. The number buffers below are aligned for the same reason, since
// pairs are stored at even offsets from their ends.
alignas(2) static constexpr char kPairs[201] =
    "0001020304050607080910111213141516171819"
    "2021222324252627282930313233343536373839"
    "4041424344454647484950515253545556575859"
    "6061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";
#endif

static constexpr char kHexDigits[16] = {'0', '1', '2', '3', '4', '5', '6', '7',
                                        '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};

// Calls between exported functions below go through their exported names on
// purpose: an interposed definition replaces them for the library's own calls.

// kestrix_str through a caller's sink: one call per byte. Kept out of line
// so that the buffer path of kestrix_str saves no registers.
__attribute__((noinline)) static void str_to_sink(kestrix_out_fn out, void *ctx, const unsigned char *p)
{
    for (; *p; ++p)
        out(ctx, *p);
}

extern "C" void kestrix_str(kestrix_out_fn out, void *ctx, const char *str)
{
    // Bytes are read unsigned so 0x80..0xFF reach the sink as 128..255
    // whatever the signedness of plain char. One byte at a time: nothing
    // past the terminating NUL is ever read.
    const unsigned char *p = reinterpret_cast<const unsigned char *>(str ? str : "(null)");
    // The compiler is not to copy the code below for the null case, whose
    // bytes it knows: one copy of it is enough.
    __asm__("" : "+r"(p));
    if (!is_buffer_sink(out))
        return str_to_sink(out, ctx, p);
    char **cursor = static_cast<char **>(ctx);
    char *d = *cursor;
    copy_run(p, d, '\0');
    *cursor = d;
}

extern "C" void kestrix_hex(kestrix_out_fn out, void *ctx, uint64_t value, int32_t nbytes)
{
    // nbytes - 1 as unsigned is below 8 exactly when nbytes is 1..8; zero,
    // negative and oversized widths all fall back to the full 8 bytes.
    uint32_t n = static_cast<uint32_t>(nbytes) - 1u < 8u ? static_cast<uint32_t>(nbytes) : 8u;
    alignas(2) char buf[17];
    char *p = buf + 16;
    *p = '\0';
    // Kept a loop: -O3 would unroll it into a few hundred more bytes.
#pragma GCC unroll 1
    do {
        p -= 2;
        p[0] = kHexDigits[(value >> 4) & 0xF];
        p[1] = kHexDigits[value & 0xF];
        value >>= 8;
    } while (--n);
    kestrix_str(out, ctx, p);
}

extern "C" void kestrix_dec(kestrix_out_fn out, void *ctx, uint64_t value, int32_t is_signed)
{
    const bool negative = is_signed && static_cast<int64_t>(value) < 0;
    // Negating in unsigned arithmetic maps INT64_MIN to 2^63, its magnitude.
    uint64_t m = negative ? 0 - value : value;
    alignas(2) char buf[21]; // UINT64_MAX has 20 digits
    char *p = buf + 20;
    *p = '\0';
#if UINTPTR_MAX == 0xFFFFFFFFu
    do {
        uint32_t digit;
        m = div10(m, digit);
        *--p = static_cast<char>('0' + digit);
    } while (m);
#else
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
    p += m < 10;
#endif
    if (negative)
        out(ctx, '-');
    kestrix_str(out, ctx, p);
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
    int32_t width = 8;
    switch (letter) {
    case 'd':
    case 'i':
    case 'u':
        // letter ^ 'u' is 0 for 'u' and nonzero (0x11, 0x1C) for 'd' and 'i'.
        return kestrix_dec(out, ctx, v, static_cast<int32_t>(letter ^ 'u'));
    case 'x':
    case 'X':
        // Smallest of 1, 2 or 4 bytes that holds v; else 0, which the hex
        // emitter widens to 16 digits. There is no 3-byte width.
        width = v <= 0xFFu ? 1 : v <= 0xFFFFu ? 2 : v <= 0xFFFFFFFFu ? 4 : 0;
        __attribute__((fallthrough));
    case 'p':
    case 'P':
        return kestrix_hex(out, ctx, v, width);
    case 's':
        return kestrix_str(out, ctx, reinterpret_cast<const char *>(static_cast<uintptr_t>(v)));
    case 'c':
        return out(ctx, static_cast<int32_t>(v));
    default:
        return out(ctx, '?');
    }
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
