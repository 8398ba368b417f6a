/* SPDX-License-Identifier: MIT */
/* kestrix_checked.h from C11 (-Wall -Wextra -pedantic -Werror): the calls
 * that the plain functions get wrong without a warning print the right
 * values through the macros; each kind of argument is widened as the header
 * says, with the host's snprintf as the oracle for digits; the bounded
 * functions keep to their size inside guard bytes, at every cut of every
 * shape, with sources inside the buffer and while a %s string grows during
 * the call; kestrix_fd.h writes as its table says through interruptions,
 * partial writes and failures (write(2) is wrapped below).
 *
 * Built with KESTRIX_CASE set to a number, the file is instead one call that
 * must not compile; CMakeLists.txt lists the diagnostic each one must give
 * (13 to 19: a literal format that does not fit its arguments, refused
 * while compiling at -O0 and at -O2).
 * GCC's analyser (-fanalyzer) finds no unsafe call in the signal handler
 * print(), and case 12, the same handler with snprintf, is its control. */
#if KESTRIX_CASE == 40 /* common words defined before the include change nothing */
#define size 16
#define count 2
#define buf nothing
#define ctx nothing
#define unused nothing
#define args nothing
#define fmt nothing
#define out nothing
#define k nothing
#define x nothing
#define f nothing
#include <kestrix_checked.h>
#include <kestrix_fd.h>
void words(void);
void words(void)
{
    char line[32];
    int size_ = 3;
    KESTRIX_SNPRINTF(line, sizeof line, "%d %s %p", size_, "x", (void *)line);
    KESTRIX_FNPRINTF((kestrix_out_fn)0, line, "%u", 1u);
    KESTRIX_DPRINTF(2, "%s", line);
    KESTRIX_BPRINTF((kestrix_flush_fn)0, line, line, sizeof line, "%u", 1u);
    (void)KESTRIX_WIDEN("%s", line);
}
#undef size
#undef count
#undef buf
#undef ctx
#undef unused
#undef args
#undef fmt
#undef out
#undef k
#undef x
#undef f
#endif
#include <kestrix_checked.h> /* first: before C11 it must refuse to compile */
#include <kestrix_fd.h>

#include <errno.h>
#include <fcntl.h>
#include <inttypes.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#ifndef KESTRIX_CASE

static int checks, failures;

static void check(int ok, int line, const char *what, const char *got, const char *expected)
{
    ++checks;
    if (!ok) {
        ++failures;
        fprintf(stderr, "c_checked.c:%d: %s \"%s\", expected \"%s\"\n", line, what, got, expected);
    }
}

struct text {
    char buf[512];
    size_t len;
};

static int32_t last_char;
static void keep_char(void *ctx, int32_t c)
{
    (void)ctx;
    last_char = c;
}

static void to_text(void *ctx, int32_t c)
{
    struct text *t = (struct text *)ctx;
    if (t->len + 1 < sizeof t->buf)
        t->buf[t->len++] = (char)c;
    t->buf[t->len] = '\0';
}

/* Left in the argument registers and on the stack before each call, so
 * that a conversion that read an argument not passed would read these. */
__attribute__((noinline)) static void junk(uintptr_t a, uintptr_t b, uintptr_t c, uintptr_t d, uintptr_t e,
                                           uintptr_t f)
{
    volatile uintptr_t fill[64];
    (void)fill;
    int k;
    for (k = 0; k < 64; ++k)
        fill[k] = a + (uintptr_t)k;
    __asm__ volatile("" ::"r"(a), "r"(b), "r"(c), "r"(d), "r"(e), "r"(f));
}
#define JUNK() junk(0x11, 0x13, 0x15, 0x17, 0x19, 0x1B)

/* A flush that appends each piece to a struct text, first lengthening the
 * string `grow` points to (below), as another thread might. */
static void grow_once(void);
static int32_t to_pieces(void *ctx, const char *bytes, size_t len)
{
    struct text *t = (struct text *)ctx;
    grow_once();
    if (len < sizeof t->buf - t->len) {
        memcpy(t->buf + t->len, bytes, len);
        t->len += len;
    }
    t->buf[t->len] = '\0';
    return 0;
}

static int pipe_fds[2];
static const char *from_pipe(void)
{
    static char buf[512];
    ssize_t n = read(pipe_fds[0], buf, sizeof buf - 1);
    buf[n > 0 ? n : 0] = '\0';
    return buf;
}

/* The same format and arguments through all five macros, with junk left
 * where arguments go; each must give expected (the arguments are evaluated
 * once per macro). KESTRIX_BPRINTF goes through 7 bytes. */
#define CHECK_FORMAT(expected, ...)                                                  \
    do {                                                                             \
        char s_[512], n_[512], b_[7];                                                \
        struct text t_ = {{0}, 0}, p_ = {{0}, 0};                                    \
        char *end_;                                                                  \
        size_t len_;                                                                 \
        long fd_, bp_;                                                               \
        JUNK();                                                                      \
        end_ = KESTRIX_SPRINTF(s_, __VA_ARGS__);                                     \
        JUNK();                                                                      \
        len_ = KESTRIX_SNPRINTF(n_, sizeof n_, __VA_ARGS__);                         \
        JUNK();                                                                      \
        KESTRIX_FNPRINTF(to_text, &t_, __VA_ARGS__);                                 \
        JUNK();                                                                      \
        fd_ = KESTRIX_DPRINTF(pipe_fds[1], __VA_ARGS__);                             \
        JUNK();                                                                      \
        bp_ = KESTRIX_BPRINTF(to_pieces, &p_, b_, sizeof b_, __VA_ARGS__);           \
        check(!strcmp(p_.buf, (expected)) && bp_ == (long)strlen(p_.buf), __LINE__,  \
              "KESTRIX_BPRINTF", p_.buf, (expected));                                \
        check(!strcmp(s_, (expected)) && end_ == s_ + strlen(s_), __LINE__,          \
              "KESTRIX_SPRINTF", s_, (expected));                                    \
        check(!strcmp(n_, (expected)) && len_ == strlen(n_), __LINE__,               \
              "KESTRIX_SNPRINTF", n_, (expected));                                   \
        check(!strcmp(t_.buf, (expected)), __LINE__, "KESTRIX_FNPRINTF", t_.buf,     \
              (expected));                                                           \
        check(fd_ == (long)strlen(expected) && (fd_ == 0 || !strcmp(from_pipe(), (expected))), \
              __LINE__, "KESTRIX_DPRINTF", "", (expected));                          \
    } while (0)

/* What the host prints for the 64-bit value w as %d|%u|%x (16 digits). */
static const char *oracle(uint64_t w)
{
    static char buf[80];
    snprintf(buf, sizeof buf, "%" PRId64 "|%" PRIu64 "|%016" PRIX64, (int64_t)w, w, w);
    return buf;
}
#define CHECK_WIDENED(value, widened) CHECK_FORMAT(oracle(widened), "%d|%u|%p", value, value, value)
/* Pointers take only %p and %P (and %s, strings). */
static const char *pointer_oracle(uint64_t w)
{
    static char buf[40];
    snprintf(buf, sizeof buf, "%016" PRIX64 "|%016" PRIX64, w, w);
    return buf;
}
#define CHECK_POINTER(value, widened) CHECK_FORMAT(pointer_oracle(widened), "%p|%P", value, value)

static void issue_table(void)
{
    /* Each of these prints garbage through kestrix_sprintf without a cast. */
    int minus_one = -1;
    signed char minus_three = -3;
    char e9 = (char)0xE9;
    CHECK_FORMAT("-1", "%d", minus_one);
    CHECK_FORMAT("-3", "%d", minus_three);
    CHECK_FORMAT("233", "%u", e9);
    /* Past the argument registers the upper half of a slot is stale: from
     * the fifth argument on x86-64, the seventh on aarch64. */
    CHECK_FORMAT("1 2 3 4 -1 -1 -1 -1 -1 -1 -1 -1 -1", "%d %d %d %d %d %d %d %d %d %d %d %d %d", 1, 2, 3, 4,
                 minus_one, minus_one, minus_one, minus_one, minus_one, minus_one, minus_one, minus_one,
                 minus_one);
    /* %d of a double does not compile: KESTRIX_CASE 2. */
}

enum sign { minus_seven = -7, plus_seven = 7 };
struct bits {
    int s3 : 3;
    unsigned u5 : 5;
    _Bool flag : 1;
    long long s40 : 40;
    unsigned long long u63 : 63;
};
struct __attribute__((packed)) packed {
    char c;
    int64_t i;
};

static int marker(void) { return 0; }

static void widening(void)
{
    /* Signed types with their sign, unsigned ones with zeros. */
    CHECK_WIDENED((signed char)-128, (uint64_t)-128);
    CHECK_WIDENED((short)-32768, (uint64_t)-32768);
    CHECK_WIDENED((int)INT32_MIN, (uint64_t)(int64_t)INT32_MIN);
    CHECK_WIDENED(-5L, (uint64_t)-5);
    CHECK_WIDENED((long long)INT64_MIN, (uint64_t)INT64_MIN);
    CHECK_WIDENED((unsigned char)0xFF, 0xFFu);
    CHECK_WIDENED((unsigned short)0xFFFF, 0xFFFFu);
    CHECK_WIDENED(0xFFFFFFFFu, 0xFFFFFFFFu);
    CHECK_WIDENED(0xFFFFFFFFFFFFFFFFul, UINT64_MAX);
    CHECK_WIDENED((_Bool)5, 1u);
    CHECK_WIDENED((char)0xFF, 0xFFu);
    CHECK_WIDENED('A', 65u);
    /* Qualified objects, enums, bit-fields and packed fields alike. */
    {
        const int c = -3;
        volatile short v = -4;
        enum sign e = minus_seven;
        struct bits b = {-2, 31, 1, -5, 0x7FFFFFFFFFFFFFFFull};
        struct packed p = {'x', -9};
        CHECK_WIDENED(c, (uint64_t)-3);
        CHECK_WIDENED(v, (uint64_t)-4);
        CHECK_WIDENED(e, (uint64_t)-7);
        CHECK_WIDENED(plus_seven, 7u);
        CHECK_WIDENED(b.s3, (uint64_t)-2);
        CHECK_WIDENED(b.u5, 31u);
        CHECK_WIDENED(b.flag, 1u);
        CHECK_WIDENED(b.s40, (uint64_t)-5);
        CHECK_WIDENED(b.u63, 0x7FFFFFFFFFFFFFFFu);
        CHECK_WIDENED(p.i, (uint64_t)-9);
    }
    /* Pointers by their address: objects, qualified, null, functions. */
    {
        int x = 0;
        char array[] = "array";
        const volatile int *q = &x;
        CHECK_POINTER(&x, (uint64_t)(uintptr_t)&x);
        CHECK_POINTER(q, (uint64_t)(uintptr_t)&x);
        CHECK_POINTER((void *)0, 0u);
        CHECK_POINTER(marker, (uint64_t)(uintptr_t)marker);
        CHECK_POINTER(&marker, (uint64_t)(uintptr_t)marker);
        CHECK_FORMAT("array literal (null)", "%s %s %s", array, "literal", (const char *)0);
        CHECK_FORMAT("a b c", "%s %s %s", (signed char *)"a", (const unsigned char *)"b", (char *)"c");
    }
#ifdef KESTRIX_CHECKED_HAS_NULLPTR
    /* C23's nullptr is a null pointer for %s and %p. */
    CHECK_FORMAT("(null) 0000000000000000", "%s %p", nullptr, nullptr);
#endif
#if defined(__BITINT_MAXWIDTH__) && __STDC_VERSION__ > 201710L
    /* C23's bit-precise integers of up to 64 bits, by their signedness. */
    {
        _BitInt(37) s = -5;
        unsigned _BitInt(37) u = 0x1FFFFFFFFFu;
        unsigned _BitInt(64) m = 0xFFFFFFFFFFFFFFFFu;
        CHECK_WIDENED(s, (uint64_t)-5);
        CHECK_WIDENED(u, 0x1FFFFFFFFFu);
        CHECK_WIDENED(m, UINT64_MAX);
    }
#endif
    /* A call nested in another's arguments (compiled with -Wshadow). */
    {
        char outer[32], inner[8];
        CHECK_FORMAT("2 ab", "%u %s", KESTRIX_SNPRINTF(inner, sizeof inner, "%s", KESTRIX_SPRINTF(outer, "ab") - 2 + 0 * KESTRIX_SNPRINTF(0, 0, "%d", 1)), inner);
    }
    /* A format in a const pointer is not a literal at any -O: checked as it
     * runs. */
    {
        static const char *const format = "%d %d";
        CHECK_FORMAT("5 (missing)", format, 5);
    }
    /* One evaluation of each argument. */
    {
        char buf[8];
        int i = 0;
        KESTRIX_SPRINTF(buf, "%d", i++);
        check(i == 1 && !strcmp(buf, "0"), __LINE__, "KESTRIX_ARG(i++)", buf, "0");
    }
}

static const char *volatile runtime[] = {"%d %s %x", "%s|%s", "%d", "%%%d|", "%q%d", "[%c]", "%s|%s|%p"};

static void counts(void)
{
    char expected[128];
    size_t at = 0;
    int k;
    for (k = 1; k <= 32; ++k)
        at += (size_t)snprintf(expected + at, sizeof expected - at, "%d.", k - 17);
    CHECK_FORMAT("plain 100%", "plain 100%%");
    /* Formats made at run time read only the arguments passed: a
     * conversion past them writes "(missing)", arguments past the last
     * conversion are not read, and %% reads none. */
    CHECK_FORMAT("5 (missing) (missing)", runtime[0], 5);
    CHECK_FORMAT("(missing)|(missing)", runtime[1]);
    CHECK_FORMAT("1", runtime[2], 1, 2, 3);
    CHECK_FORMAT("%7|", runtime[3], 7, 8);
    CHECK_FORMAT("?(missing)", runtime[4], 1);
    CHECK_FORMAT("[(missing)]", runtime[5]);
    /* A %s given an integer reads nothing through it: whatever the format
     * made at run time, no integer is taken as an address. */
    CHECK_FORMAT("(not a pointer)|ok|0000000000000000", runtime[6], 42, "ok", (void *)0);
    CHECK_FORMAT("(not a pointer)|(not a pointer)|0000000000000007", runtime[6], (char)'x', 0, 7);
    /* A literal of more than 256 bytes is read whole while compiling. */
    CHECK_FORMAT("................................................................................................"
                 "................................................................................................"
                 "................................................................ 1 2 3 4 5 6 7 8 9 end",
                 "................................................................................................"
                 "................................................................................................"
                 "................................................................ %d %d %d %d %d %d %d %d %d end",
                 1, 2, 3, 4, 5, 6, 7, 8, 9);
    CHECK_FORMAT(expected, "%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.",
                 -16, -15, -14, -13, -12, -11, -10, -9, -8, -7, -6, -5, -4, -3, -2, -1, 0, 1, 2, 3, 4, 5, 6, 7,
                 8, 9, 10, 11, 12, 13, 14, 15);
}

enum { guard = 16, room = 64 };

/* While `grow` is set, the first write(2) of KESTRIX_DPRINTF lengthens the
 * string it points to to grow_to bytes, as another thread might while the
 * call runs (the bounded calls call nothing that could). */
static char *grow;
static size_t grow_to;
static void grow_once(void)
{
    if (grow) {
        memset(grow, 'y', grow_to);
        grow[grow_to] = '\0';
        grow = NULL;
    }
}

/* KESTRIX_SNPRINTF at size into buf[guard..guard + room) of raw, filled
 * with 0xA5: it must return the length of whole, store whole cut to size
 * and its NUL, and touch nothing else. */
static void check_cut(unsigned char *raw, size_t size, size_t got, const char *whole, int line)
{
    const size_t len = strlen(whole), kept = size == 0 ? 0 : (size - 1 < len ? size - 1 : len);
    const char *buf = (const char *)raw + guard;
    char what[96];
    size_t k;
    int ok = got == len && memcmp(buf, whole, kept) == 0 && (size == 0 || buf[kept] == '\0');
    for (k = 0; k < guard + room + guard; ++k)
        if ((size == 0 || k < guard || k > guard + kept) && raw[k] != 0xA5)
            ok = 0;
    snprintf(what, sizeof what, "KESTRIX_SNPRINTF, size %u, length %u:", (unsigned)size, (unsigned)got);
    check(ok, line, what, size ? buf : "", whole);
}

static void bounded(void)
{
    /* Numbers at their longest, cut at each edge of the output. */
    static const char full[] = "v=-9223372036854775808 x=FFFFFFFFFFFFFFFF s=xyz";
    const size_t len = sizeof full - 1;
    const size_t sizes[] = {0, 1, len, len + 1, room};
    size_t i, k;
    unsigned char raw[guard + room + guard];
    char *const buf = (char *)raw + guard;
    for (i = 0; i < sizeof sizes / sizeof sizes[0]; ++i) {
        memset(raw, 0xA5, sizeof raw);
        check_cut(raw, sizes[i], KESTRIX_SNPRINTF(buf, sizes[i], "v=%d x=%x s=%s", INT64_MIN, UINT64_MAX, "xyz"),
                  full, __LINE__);
    }
    /* Text, a string and a number of every length up to 23 at every offset,
     * cut at every size: a copy that skips or repeats a byte, or misplaces
     * the bound, at any position shows. kestrix_sprintf is the oracle. */
    for (i = 0; i < 24; ++i) {
        static const char letters[] = "abcdefghijklmnopqrstuvwxyz";
        char fmt[64], arg[32], whole[room];
        const int64_t number = -(int64_t)(i * 987654321u);
        snprintf(fmt, sizeof fmt, "%.*s%%s%.*s%%d|", (int)i, letters, (int)(i % 9), letters + 3);
        snprintf(arg, sizeof arg, "%.*s", (int)((i * 5) % 16), "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
        KESTRIX_SPRINTF(whole, fmt, arg, number);
        for (k = 0; k <= strlen(whole) + 1; ++k) {
            memset(raw, 0xA5, sizeof raw);
            check_cut(raw, k, KESTRIX_SNPRINTF(buf, k, fmt, arg, number), whole, __LINE__);
        }
    }
    /* A null buffer of size 0 measures; %c stores its low byte. */
    {
        char small[4];
        size_t got = KESTRIX_SNPRINTF((char *)0, 0, "%s=%u", "id", 123456u);
        check(got == 9, __LINE__, "measuring", "", "9");
        got = KESTRIX_SNPRINTF(small, sizeof small, "%c%c", 0x41, 0x142);
        check(got == 2 && !strcmp(small, "AB"), __LINE__, "%c", small, "AB");
        /* A sink gets %c's 32 bits as they are. */
        last_char = 0;
        KESTRIX_FNPRINTF(keep_char, (void *)0, "%c", 0x1F600);
        check(last_char == 0x1F600, __LINE__, "KESTRIX_FNPRINTF %c", "", "0x1F600");
    }
    /* A source inside the buffer, which the output overwrites as it is
     * read, is read no further than the buffer's end: a %s string, and a
     * format, which ends where the output has written over it. */
    {
        char *b = malloc(8);
        size_t got;
        memcpy(b, "ab\0qqqqq", 8);
        got = KESTRIX_SNPRINTF(b, 8, "xx%s", b);
        check(got == 10 && !strcmp(b, "xxxxxxx"), __LINE__, "%s in the buffer", b, "xxxxxxx");
        memcpy(b, "%d\0qqqqq", 8);
        got = KESTRIX_SNPRINTF(b, 8, b, 123456789);
        check(got == 9 && !strcmp(b, "1234567"), __LINE__, "the format in the buffer", b, "1234567");
        free(b);
    }
    /* A format in the buffer that the output rewrites is never read where
     * it was written over: "%s %d" becomes "%d%s" before its " %d" is
     * reached, and 7 is not taken for a pointer. */
    {
        char b[16];
        size_t got;
        strcpy(b, "%s %d");
        got = KESTRIX_SNPRINTF(b, sizeof b, b, "%d%s", 7);
        check(got == 4 && !strcmp(b, "%d%s"), __LINE__, "a format the output rewrites", b, "%d%s");
    }
    /* A format that runs out at each offset around the bound, read as the
     * bound's model says: one below the buffer up to the buffer's start,
     * one inside it (not yet written) up to its end, with no NUL before.
     * The model copies what may be read, closes it, and formats the copy,
     * which overlaps nothing, into a buffer of the same size. */
    for (i = 0; i < 2 * 16; ++i) {
        static const char text[] = "abcdefghi%%jkl%d"; /* 16 bytes */
        char mem[64], want[16], model[40];
        char *const b = mem + 24;
        const size_t size = i < 16 ? 16 : 8 + (i - 16) % 9;
        /* Below the buffer, 1 to 16 bytes that end at its start; inside,
         * 1 to 7 that end at its last byte. */
        const size_t tail = i < 16 ? 1 + i : 1 + (i - 16) % 7;
        char *const fmt = i < 16 ? b - tail : b + size - tail;
        size_t got, expected;
        memset(mem, 'q', sizeof mem);
        memcpy(fmt, text + sizeof text - 1 - tail, tail);
        memcpy(model, fmt, tail);
        model[tail] = '\0';
        expected = KESTRIX_SNPRINTF(want, size, model, -7);
        got = KESTRIX_SNPRINTF(b, size, fmt, -7);
        check(got == expected && !strcmp(b, want), __LINE__, "a format that runs out at the bound:", b, want);
    }
    /* In pieces: a source inside the buffer is read no further than its
     * end; a format, nowhere the output has written over, which after the
     * first flush is all of the buffer. A %s string that grows at the
     * first flush is read as each byte is reached. */
    {
        char b[8], s[40];
        struct text t = {{0}, 0};
        long got;
        memcpy(b, "ab\0qqqqq", 8);
        got = KESTRIX_BPRINTF(to_pieces, &t, b, 8, "xx%s", b);
        check(got == 10 && !strcmp(t.buf, "xxxxxxxxxx"), __LINE__, "%s in the buffer, in pieces", t.buf, "x * 10");
        t.len = 0;
        memcpy(b, "%d%s\0qqq", 8);
        got = KESTRIX_BPRINTF(to_pieces, &t, b, 8, b, 123456789, "never");
        check(got == 9 && !strcmp(t.buf, "123456789"), __LINE__, "the format in the buffer, in pieces", t.buf,
              "123456789");
        t.len = 0;
        memset(s, 'a', 10);
        s[10] = '\0';
        grow = s + 10, grow_to = 20;
        got = KESTRIX_BPRINTF(to_pieces, &t, b, 8, "%s|", s);
        check(got == 31 && !strcmp(t.buf, "aaaaaaaaaayyyyyyyyyyyyyyyyyyyy|"), __LINE__, "a string grown at the first flush",
              t.buf, "a * 10, y * 20, |");
        grow = NULL;
    }
    /* Sizes up to SIZE_MAX mean no bound, past the end of memory too. */
    for (i = 0; i < 3; ++i) {
        char b[16];
        const size_t size = i == 0 ? SIZE_MAX : i == 1 ? SIZE_MAX / 2 + 2 : (size_t)(UINTPTR_MAX - (uintptr_t)b) + 9;
        const size_t got = KESTRIX_SNPRINTF(b, size, "%s=%d", "key", -5);
        check(got == 6 && !strcmp(b, "key=-5"), __LINE__, "no bound:", b, "key=-5");
    }
}

/* write(2) as the table scripts it (-Wl,--wrap=write): in order, 0 writes all, n > 0 at
 * most n bytes, ZERO returns 0, -e fails with errno e; past the script, all. While
 * `discard` is set, every write takes all its bytes and none goes anywhere. */
enum { ZERO = -1000, N = KESTRIX_FD_BUFFER };
static const int *script;
static int calls, fd, discard;
static char text[4 * N];
static long result;

ssize_t __real_write(int f, const void *p, size_t n);
ssize_t __wrap_write(int f, const void *p, size_t n);
ssize_t __wrap_write(int f, const void *p, size_t n)
{
    const int act = calls < 3 ? script[calls] : 0;
    ++calls;
    grow_once();
    if (discard)
        return (ssize_t)n;
    if (act == ZERO)
        return 0;
    if (act < 0) {
        errno = -act;
        return -1;
    }
    return __real_write(f, p, act > 0 && (size_t)act < n ? (size_t)act : n);
}

static void print(int sig)
{
    (void)sig;
    result = KESTRIX_DPRINTF(fd, "%s|%d\n", text, -5);
}

static const int none[3] = {0};

static void descriptor(void)
{
    /* The output is `chars` bytes of %s and "|-5\n"; how: 1 to fd -1, 2 from a signal handler,
     * 3 with the string grown by N bytes at the call's first write, halfway through it. */
    static const struct {
        int script[3], how, err, messages, calls;
        size_t chars;
    } cases[] = {
        {{0}, 0, 0, 1, 1, 3},                   /* fits: one write */
        {{0}, 0, 0, 1, 1, N - 4},               /* the whole buffer, through the sink: one write */
        {{5, -EINTR, 7}, 0, 0, 6, 7, 3 * N},    /* in order through a short write and an interruption */
        {{-EINTR}, 0, 0, 1, 2, 3},              /* repeated, errno as it was */
        {{0, -ENOSPC}, 0, ENOSPC, 1, 2, 3 * N}, /* the failing write's errno; no write after it */
        {{ZERO}, 0, EIO, 0, 1, 3},              /* a write of nothing fails */
        {{0}, 1, EBADF, 0, 1, 3},
        {{0}, 2, 0, 1, 1, 3},
        {{1}, 0, 0, 2, 2, 3},                   /* a 1-byte partial write, then the rest */
        {{6}, 0, 0, 2, 2, 3},                   /* a partial write short by one byte, then that byte */
        {{0}, 3, 0, 4, 4, 2 * N},               /* the string read once, as each byte is reached */
    };
    size_t i, at;
    for (i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        char want[5 * N], got[5 * N];
        int sock[2], messages = 0, err;
        ssize_t n;
        memset(text, 'a' + (int)i, cases[i].chars);
        text[cases[i].chars] = '\0';
        snprintf(want, sizeof want, "%s|%d\n", text, -5);
        socketpair(AF_UNIX, SOCK_SEQPACKET, 0, sock);
        script = cases[i].script, calls = 0, errno = EDOM;
        fd = cases[i].how == 1 ? -1 : sock[0];
        if (cases[i].how == 3)
            grow = text + cases[i].chars, grow_to = N;
        if (cases[i].how != 2)
            print(0);
        else if (signal(SIGUSR1, print) != SIG_ERR)
            raise(SIGUSR1);
        err = errno;
        if (cases[i].how == 3)
            snprintf(want, sizeof want, "%s|%d\n", text, -5);
        close(sock[0]);
        for (at = 0; (n = recv(sock[1], got + at, sizeof got - at, 0)) > 0; at += (size_t)n)
            ++messages;
        close(sock[1]);
        got[at] = '\0';
        check(result == (cases[i].err ? -1 : (long)strlen(want)) && err == (cases[i].err ? cases[i].err : EDOM) &&
                  messages == cases[i].messages && calls == cases[i].calls &&
                  !strncmp(got, want, cases[i].err ? at : sizeof want),
              __LINE__, "descriptor:", got, want);
        grow = NULL;
    }
    /* Empty output writes nothing, and still tells a bad descriptor. */
    script = none, calls = 0, errno = EDOM;
    result = KESTRIX_DPRINTF(1, "");
    check(result == 0 && calls == 0 && errno == EDOM, __LINE__, "empty output to fd 1", "", "0");
    result = KESTRIX_DPRINTF(-1, "");
    check(result == -1 && errno == EBADF && calls == 0, __LINE__, "empty output to fd -1", "", "-1, EBADF");
    fd = open("/dev/null", O_RDONLY);
    result = KESTRIX_DPRINTF(fd, "");
    check(result == -1 && errno == EBADF && calls == 0, __LINE__, "empty output, read-only fd", "", "-1, EBADF");
    close(fd);
}

#if SIZE_MAX == 0xFFFFFFFFu
/* Where size_t and long have 32 bits: a %s argument whose low half is 0 is
 * a null pointer, as the library takes it; lengths past SIZE_MAX saturate,
 * and KESTRIX_DPRINTF past LONG_MAX writes all and says EOVERFLOW. */
static void narrow(void)
{
    enum { MiB128 = 128 << 20 };
    static const char s16[] = "%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s";
    char fmt[2 * sizeof s16 + 8], buf[16];
    char *big = malloc(MiB128 + 1);
    size_t got;
    got = kestrix_snprintf(buf, sizeof buf, "%s|", (uint64_t)1 << 32);
    check(got == 7 && !strcmp(buf, "(null)|"), __LINE__, "%s of 1 << 32", buf, "(null)|");
    if (!big) {
        check(0, __LINE__, "malloc", "", "128 MiB");
        return;
    }
    memset(big, 'z', MiB128);
    big[MiB128] = '\0';
    /* 32 strings of 128 MiB and "tail": 4 GiB and 4 bytes. */
    snprintf(fmt, sizeof fmt, "%s%stail", s16, s16);
    got = KESTRIX_SNPRINTF(buf, sizeof buf, fmt, big, big, big, big, big, big, big, big, big, big, big, big, big,
                           big, big, big, big, big, big, big, big, big, big, big, big, big, big, big, big, big, big,
                           big);
    check(got == SIZE_MAX && !strcmp(buf, "zzzzzzzzzzzzzzz"), __LINE__, "4 GiB, cut to 16", buf, "SIZE_MAX");
    /* 16 strings of 128 MiB and "tail": 2 GiB and 4 bytes, past LONG_MAX,
     * all of it written. */
    script = none, calls = 0, discard = 1, errno = EDOM;
    snprintf(fmt, sizeof fmt, "%stail", s16);
    result = KESTRIX_DPRINTF(1, fmt, big, big, big, big, big, big, big, big, big, big, big, big, big, big, big, big);
    discard = 0;
    check(result == -1 && errno == EOVERFLOW && calls == (int)((0x80000004u + N - 1) / N), __LINE__,
          "2 GiB to a descriptor", "", "-1, EOVERFLOW");
    free(big);
}
#endif

int main(void)
{
    script = none;
    if (pipe(pipe_fds) != 0)
        return 2;
    issue_table();
    widening();
    counts();
    bounded();
    descriptor();
#if SIZE_MAX == 0xFFFFFFFFu
    narrow();
#endif
    printf("c_checked (C %ld): %d checks, %d failed\n", (long)__STDC_VERSION__, checks, failures);
    return failures == 0 ? 0 : 1;
}

#elif KESTRIX_CASE == 12 /* the static analyser's control: print() above with snprintf */

static char line[64];
static void print(int sig)
{
    snprintf(line, sizeof line, "%s|%d\n", "text", sig);
}
void install(void);
void install(void)
{
    signal(SIGUSR1, print);
}

#else /* KESTRIX_CASE: calls that must not compile */

struct point {
    int x, y;
};
union word {
    int i;
    char c[4];
};

void refused(char *buf);
void refused(char *buf)
{
    struct point p = {1, 2};
    union word w = {1};
    (void)p;
    (void)w;
    (void)buf;
#if KESTRIX_CASE == 1
    KESTRIX_SPRINTF(buf, "%d", 2.5f);
#elif KESTRIX_CASE == 2
    KESTRIX_SNPRINTF(buf, 8, "%d", 2.5);
#elif KESTRIX_CASE == 3
    KESTRIX_SPRINTF(buf, "%d", 2.5L);
#elif KESTRIX_CASE == 4
    _Complex double z = 1;
    KESTRIX_SPRINTF(buf, "%d", z);
#elif KESTRIX_CASE == 5
    KESTRIX_SPRINTF(buf, "%d", p);
#elif KESTRIX_CASE == 6
    KESTRIX_SPRINTF(buf, "%d", w);
#elif KESTRIX_CASE == 7
    __extension__ __int128 wide = 1;
    KESTRIX_SPRINTF(buf, "%d", wide);
#elif KESTRIX_CASE == 9 /* the GNU floating types */
#ifdef __clang__
    __float128 f = 1;
#else
    __extension__ _Float32 f = 1;
#endif
    KESTRIX_SPRINTF(buf, "%d", f);
#elif KESTRIX_CASE == 10
#ifdef __clang__
    __fp16 h = 1;
    KESTRIX_SPRINTF(buf, "%d", h);
#else
    __extension__ _Float64x f = 1;
    KESTRIX_SPRINTF(buf, "%d", f);
#endif
#elif KESTRIX_CASE == 11 /* C23 */
    _BitInt(65) wide = 1;
    KESTRIX_SPRINTF(buf, "%d", wide);
#elif KESTRIX_CASE == 8
    KESTRIX_SPRINTF(buf, "%d%d%d%d%d%d%d%d%d%d%d%d%d%d%d%d%d%d%d%d%d%d%d%d%d%d%d%d%d%d%d%d%d", 1, 2, 3, 4, 5, 6, 7,
                    8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32,
                    33);
/* A literal format that does not fit its arguments, through each macro. */
#elif KESTRIX_CASE == 13
    KESTRIX_SNPRINTF(buf, 8, "%s: %d", "name");
#elif KESTRIX_CASE == 14
    KESTRIX_SPRINTF(buf, "%d", 1, 2);
#elif KESTRIX_CASE == 15
    KESTRIX_FNPRINTF((kestrix_out_fn)0, buf, "%ld", 7L);
#elif KESTRIX_CASE == 16
    KESTRIX_DPRINTF(2, "at 100%");
#elif KESTRIX_CASE == 17
    KESTRIX_SNPRINTF(buf, 8, "%d %s", 1, 42);
#elif KESTRIX_CASE == 18 /* more than 256 bytes, the last conversion without its argument */
    KESTRIX_SNPRINTF(buf, 8,
                     "................................................................................................"
                     "................................................................................................"
                     "................................................................ %d %d %d %d %d %d %d %d %d %u",
                     1, 2, 3, 4, 5, 6, 7, 8, 9);
#elif KESTRIX_CASE == 19 /* a variadic function of one's own */
    void log_line(const char *, ...);
    log_line(KESTRIX_WIDEN("%s=%x", "mask"));
/* The type rules of kestrix.hpp. */
#elif KESTRIX_CASE == 20
    KESTRIX_SNPRINTF(buf, 8, "%s", &p.x);
#elif KESTRIX_CASE == 21
    KESTRIX_SPRINTF(buf, "%s", &p);
#elif KESTRIX_CASE == 22
    static char *list[] = {0};
    KESTRIX_FNPRINTF((kestrix_out_fn)0, buf, "%s", list);
#elif KESTRIX_CASE == 23
    KESTRIX_DPRINTF(2, "%d", "string");
#elif KESTRIX_CASE == 24
    KESTRIX_SPRINTF(buf, "%x", (void *)buf);
#elif KESTRIX_CASE == 25
    KESTRIX_SPRINTF(buf, "%c", refused);
#elif KESTRIX_CASE == 26 /* heavy in %%: read whole */
    KESTRIX_SPRINTF(buf, "%%%%%%%%%%%%%%%%%%%s", 42);
#elif KESTRIX_CASE == 27
    KESTRIX_SPRINTF(buf, "%%%%%%%%%%%%%%%%%%%d");
#elif KESTRIX_CASE == 28 /* more %% than the check reads */
    KESTRIX_SPRINTF(buf, "%d%%%% %%%%%%%%", 1);
#elif KESTRIX_CASE == 29 /* the size left out, as sprintf would take it */
    KESTRIX_SNPRINTF(buf, "%d", 1);
#elif KESTRIX_CASE == 30
    KESTRIX_BPRINTF((kestrix_flush_fn)0, 0, buf, 8, "%d %s", 1, 42);
#endif
}

#if KESTRIX_CASE == 41 /* each call's values live for the call alone: frames_are_flat.cmake */
#define KESTRIX_CASE_CALL KESTRIX_SNPRINTF(buf, 8, "%s %d %p %u %x", "s", n, (void *)buf, 2u, 3u);
#define KESTRIX_CASE_FIVE KESTRIX_CASE_CALL KESTRIX_CASE_CALL KESTRIX_CASE_CALL KESTRIX_CASE_CALL KESTRIX_CASE_CALL
void two(char *buf, int n);
void two(char *buf, int n)
{
    KESTRIX_CASE_CALL KESTRIX_CASE_CALL
}
void twenty(char *buf, int n);
void twenty(char *buf, int n)
{
    KESTRIX_CASE_FIVE KESTRIX_CASE_FIVE KESTRIX_CASE_FIVE KESTRIX_CASE_FIVE
}
#endif

#endif /* KESTRIX_CASE */
