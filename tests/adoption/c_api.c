/* SPDX-License-Identifier: MIT */
/* The C interface from a C translation unit: every function called from C
 * (built as C99 and as C11, -Wall -Wextra -pedantic -Werror), the
 * argument-list variants through variadic wrappers of our own. The host's
 * snprintf is the oracle for digits. */
#include <kestrix.h>
#include <kestrix_fd.h> /* before C11: the functions, not the macro */

#include <inttypes.h>
#include <stdio.h>
#include <string.h>

static int checks, failures;

/* Every argument is read as 64 bits, so from plain C a pointer is widened by
 * hand: on a 32-bit target the bare pointer leaves half of it unknown. */
#define P(p) ((uint64_t)(uintptr_t)(p))

static void check_str(const char *got, const char *expected, int line)
{
    ++checks;
    if (strcmp(got, expected) != 0) {
        ++failures;
        fprintf(stderr, "c_api.c:%d: \"%s\", expected \"%s\"\n", line, got, expected);
    }
}
#define CHECK_STR(got, expected) check_str((got), (expected), __LINE__)

struct text {
    char buf[256];
    size_t len;
    int wrong_ctx;
};

static struct text *expected_ctx;

static void to_text(void *ctx, int32_t c)
{
    struct text *t = (struct text *)ctx;
    if (t != expected_ctx)
        t->wrong_ctx = 1;
    if (t->len + 1 < sizeof t->buf)
        t->buf[t->len++] = (char)c;
    t->buf[t->len] = '\0';
}

static void reset(struct text *t)
{
    t->len = 0;
    t->buf[0] = '\0';
    t->wrong_ctx = 0;
    expected_ctx = t;
}

static void via_vfnprintf(struct text *t, const char *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    kestrix_vfnprintf(to_text, t, fmt, args);
    va_end(args);
}

static char *via_vsprintf(char *buf, const char *fmt, ...)
{
    va_list args;
    char *end;
    va_start(args, fmt);
    end = kestrix_vsprintf(buf, fmt, args);
    va_end(args);
    return end;
}

int main(void)
{
    struct text t;
    char expected[128], buf[128];
    const int64_t values[] = {0, 1, -1, 255, 256, 65535, 65536, INT64_MIN, INT64_MAX, -1234567890123};
    const size_t n_values = sizeof values / sizeof values[0];
    uint64_t v, ten = 1, x = 0x9E3779B97F4A7C15u;
    size_t i;
    char *end;

    /* Emitters. */
    reset(&t);
    kestrix_str(to_text, &t, "plain \xE9 bytes");
    CHECK_STR(t.buf, "plain \xE9 bytes");
    /* The table, then every power of ten and its neighbours, then
     * pseudo-random values of every length. */
    for (i = 0; i < n_values + 60 + 2000; ++i) {
        const size_t k = i - n_values;
        if (i < n_values)
            v = (uint64_t)values[i];
        else if (k < 60)
            v = (ten *= k % 3 == 0 && k ? 10 : 1) + k % 3 - 1;
        else
            v = (x ^= x << 13, x ^= x >> 7, x ^= x << 17) >> i % 64;
        reset(&t);
        kestrix_dec(to_text, &t, v, 1);
        kestrix_str(to_text, &t, " ");
        kestrix_dec(to_text, &t, v, 0);
        kestrix_str(to_text, &t, " ");
        kestrix_hex(to_text, &t, v, 8);
        kestrix_str(to_text, &t, " ");
        kestrix_hex(to_text, &t, v, 2);
        snprintf(expected, sizeof expected, "%" PRId64 " %" PRIu64 " %016" PRIX64 " %04" PRIX64, (int64_t)v, v, v,
                 v & 0xFFFF);
        CHECK_STR(t.buf, expected);
    }

    /* Formatting through a sink, both entries, every conversion. */
    reset(&t);
    kestrix_fnprintf(to_text, &t, "%d|%i|%u|%x|%X|%p|%s|%c|%%|%q.", (int64_t)-42, (int64_t)7,
                     (uint64_t)42, (uint64_t)0x1FF, (uint64_t)0x10000, P(0), P("str"),
                     (uint64_t)'k', (uint64_t)0);
    CHECK_STR(t.buf, "-42|7|42|01FF|00010000|0000000000000000|str|k|%|?.");
    reset(&t);
    via_vfnprintf(&t, "%s=%d", P("v"), (int64_t)INT64_MIN);
    CHECK_STR(t.buf, "v=-9223372036854775808");
    ++checks;
    if (t.wrong_ctx) {
        ++failures;
        fprintf(stderr, "c_api.c: the sink got another ctx\n");
    }

    /* Into a buffer, both entries; the result is the terminating NUL. */
    end = kestrix_sprintf(buf, "x=%x s=%s", (uint64_t)0x1FF, P("ab"));
    CHECK_STR(buf, "x=01FF s=ab");
    ++checks;
    if (end != buf + 11 || *end != '\0') {
        ++failures;
        fprintf(stderr, "c_api.c: kestrix_sprintf returned buf + %d\n", (int)(end - buf));
    }
    end = via_vsprintf(buf, "%u%s", (uint64_t)UINT64_MAX, P("!"));
    CHECK_STR(buf, "18446744073709551615!");
    ++checks;
    if (end != buf + 21) {
        ++failures;
        fprintf(stderr, "c_api.c: kestrix_vsprintf returned buf + %d\n", (int)(end - buf));
    }

    /* kestrix_fd.h's functions, which C99 has without the macro. */
    fflush(stdout);
    ++checks;
    if (kestrix_dprintf(1, "%s %u\n", P("c_api: kestrix_dprintf"), (uint64_t)99) != 26) {
        ++failures;
        fprintf(stderr, "c_api.c: kestrix_dprintf did not write its line\n");
    }
#if defined(KESTRIX_DPRINTF) && __STDC_VERSION__ < 201112L
#error "KESTRIX_DPRINTF needs C11"
#endif
    printf("c_api (C %ld): %d checks, %d failed\n", (long)__STDC_VERSION__, checks, failures);
    return failures == 0 ? 0 : 1;
}
