/* SPDX-License-Identifier: MIT */
/* Every conversion, the three emitters, both buffer front ends and the
 * companion header's bounded buffer, checked with nothing underneath: no C
 * library, no loader, no writable data.
 *
 * The table holds no pointer, since a pointer in static data needs a
 * relocation that an image copied to an arbitrary address never gets: a %s
 * argument is an index into strings[]. Before each call the format, every
 * %s string and the output buffer are placed at odd addresses, so that an
 * access the library makes wider than a byte at such an address faults
 * where alignment is checked. */
#include "selftest.h"

#include <kestrix_checked.h>
#include <stdarg.h>
#include <stdint.h>

enum kind { FORMAT, STR, HEX, DEC };

struct test_case {
    uint8_t kind;
    uint8_t strings; /* FORMAT: bit i set when arg[i] indexes strings[] */
    char in[28];     /* FORMAT: the format; STR: the string */
    char want[40];
    uint64_t arg[6]; /* HEX: value, nbytes; DEC: value, is_signed */
};

static const char strings[][4] = {"ab", "", "\xE9z"};

#define NEG(v) ((uint64_t)0 - (v))

static const struct test_case cases[] = {
    {FORMAT, 0, "", "", {0}},
    {FORMAT, 0, "plain \xE9 bytes", "plain \xE9 bytes", {0}},
    {FORMAT, 0, "%%|a%%b|%", "%|a%b|", {0}},
    {FORMAT, 0, "%d|%i|%d", "-9223372036854775808|12345|-1", {(uint64_t)1 << 63, 12345, NEG(1)}},
    {FORMAT, 0, "%u|%u|%u", "18446744073709551615|0|1000", {NEG(1), 0, 1000}},
    {FORMAT, 0, "%x %x %x %X", "00 FF 0100 FFFF", {0, 0xFF, 0x100, 0xFFFF}},
    {FORMAT, 0, "%x %X %x", "00010000 FFFFFFFF 0000000100000000", {0x10000, 0xFFFFFFFF, 0x100000000}},
    {FORMAT, 0, "%x", "DEADBEEFCAFEBABE", {0xDEADBEEFCAFEBABE}},
    {FORMAT, 0, "%p %P", "0000000000001234 0000000000000000", {0x1234, 0}},
    {FORMAT, 3, "[%s|%s|%s]", "[ab||(null)]", {0, 1, 0}},
    {FORMAT, 1, "%s!", "\xE9z!", {2}},
    {FORMAT, 0, "%ld|%d", "?d|8", {7, 8}},
    {FORMAT, 0, "%q%d|%08x|%x", "?6|?8x|34", {5, 6, 0x12, 0x34}},
    {FORMAT, 0, "%d,%d,%d,%d,%d,%d", "1,2,3,4,5,6", {1, 2, 3, 4, 5, 6}},
    {STR, 0, "ab\xFF" "c", "ab\xFF" "c", {0}},
    {STR, 0, "", "", {0}},
    {HEX, 0, "", "EF", {0x0123456789ABCDEF, 1}},
    {HEX, 0, "", "ABCDEF", {0x0123456789ABCDEF, 3}},
    {HEX, 0, "", "0123456789ABCDEF", {0x0123456789ABCDEF, 8}},
    {HEX, 0, "", "0123456789ABCDEF", {0x0123456789ABCDEF, 0}},
    {HEX, 0, "", "0123456789ABCDEF", {0x0123456789ABCDEF, NEG(1)}},
    {HEX, 0, "", "00000000", {0, 4}},
    {DEC, 0, "", "-9223372036854775808", {(uint64_t)1 << 63, 1}},
    {DEC, 0, "", "-1", {NEG(1), 1}},
    {DEC, 0, "", "18446744073709551611", {NEG(5), 0}},
    {DEC, 0, "", "0", {0, 1}},
};

/* Records what a sink receives, checks the context arrives unchanged, and
 * echoes printable characters to the environment's own sink. */
struct record {
    struct record *self;
    int32_t v[48];
    unsigned n;
    int wrong_ctx;
    kestrix_out_fn echo;
    void *echo_ctx;
};

static void record_sink(void *ctx, int32_t c)
{
    struct record *r = (struct record *)ctx;
    if (r->self != r)
        r->wrong_ctx = 1;
    if (r->n < sizeof r->v / sizeof r->v[0])
        r->v[r->n] = c;
    ++r->n;
    r->echo(r->echo_ctx, c >= 0x20 && c < 0x7F ? c : '.');
}

static void record_start(struct record *r, kestrix_out_fn echo, void *echo_ctx)
{
    r->self = r;
    r->n = 0;
    r->wrong_ctx = 0;
    r->echo = echo;
    r->echo_ctx = echo_ctx;
}

static unsigned length(const char *s)
{
    unsigned n = 0;
    while (s[n])
        ++n;
    return n;
}

/* The sink saw exactly the n values of want, each byte as 0..255. */
static int recorded(const struct record *r, const int32_t *want, unsigned n)
{
    if (r->wrong_ctx || r->n != n)
        return 0;
    for (unsigned i = 0; i < n; ++i)
        if (r->v[i] != want[i])
            return 0;
    return 1;
}

static int recorded_text(const struct record *r, const char *want)
{
    int32_t v[48];
    unsigned n = length(want);
    for (unsigned i = 0; i < n; ++i)
        v[i] = (unsigned char)want[i];
    return recorded(r, v, n);
}

/* Scratch space whose first byte is 8-aligned: data placed at b + 1 sits
 * at an odd address. */
#define GUARD 16
union scratch {
    uint64_t align;
    char b[2 * GUARD + 48];
};

static char *odd_copy(union scratch *s, const char *from)
{
    char *to = s->b + 1;
    unsigned i = 0;
    do
        to[i] = from[i];
    while (from[i++]);
    return to;
}

static char *via_vsprintf(char *buf, const char *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    char *end = kestrix_vsprintf(buf, fmt, args);
    va_end(args);
    return end;
}

/* An output buffer at an odd address inside guard bytes. */
static char *guarded(union scratch *s)
{
    for (unsigned i = 0; i < sizeof s->b; ++i)
        s->b[i] = (char)0xA5;
    return s->b + GUARD + 1;
}

/* The buffer holds the n bytes of want and one NUL, end points at that NUL,
 * and no other byte changed. */
static int buffer_holds(const union scratch *s, const char *end, const char *want, unsigned n)
{
    const char *buf = s->b + GUARD + 1;
    if (end != buf + n || *end != '\0')
        return 0;
    for (unsigned i = 0; i < sizeof s->b; ++i) {
        const char *p = s->b + i;
        if (p >= buf && p < end ? *p != want[p - buf] : p != end && *p != (char)0xA5)
            return 0;
    }
    return 1;
}

/* kestrix_bprintf's pieces, joined after each other into a scratch buffer
 * (guarded() there) while each one but the last is full; bad counts those
 * that are empty, too long, or follow a short one. */
struct joined {
    char *at;
    size_t size, last;
    int bad;
};

static int32_t join_piece(void *ctx, const char *bytes, size_t len)
{
    struct joined *j = (struct joined *)ctx;
    j->bad += len == 0 || len > j->size || j->last != j->size;
    j->last = len;
    for (size_t i = 0; i < len && i < j->size; ++i)
        *j->at++ = bytes[i];
    return 0;
}

struct tally {
    kestrix_out_fn out;
    void *ctx;
    int passed, failed;
};

static void verdict(struct tally *t, int ok, const char *what, const char *want)
{
    if (ok) {
        ++t->passed;
        kestrix_str(t->out, t->ctx, " ok\n");
    } else {
        ++t->failed;
        kestrix_fnprintf(t->out, t->ctx, " FAIL: %s, want \"%s\"\n", what, want);
    }
}

static void run_case(struct tally *t, unsigned index, const struct test_case *c)
{
    union scratch in, str[6], out;
    struct record r;
    uint64_t a[6];
    const unsigned n = length(c->want);

    for (unsigned i = 0; i < 6; ++i)
        a[i] = c->strings >> i & 1 ? (uint64_t)(uintptr_t)odd_copy(&str[i], strings[c->arg[i]]) : c->arg[i];
    const char *text = odd_copy(&in, c->in);

    kestrix_fnprintf(t->out, t->ctx, "case %u: ", (uint64_t)index);
    record_start(&r, t->out, t->ctx);
    switch (c->kind) {
    case FORMAT:
        kestrix_fnprintf(record_sink, &r, text, a[0], a[1], a[2], a[3], a[4], a[5]);
        break;
    case STR:
        kestrix_str(record_sink, &r, text);
        break;
    case HEX:
        kestrix_hex(record_sink, &r, a[0], (int32_t)a[1]);
        break;
    default:
        kestrix_dec(record_sink, &r, a[0], (int32_t)a[1]);
        break;
    }
    verdict(t, recorded_text(&r, c->want), "through the sink", c->want);
    if (c->kind != FORMAT)
        return;

    char *end = kestrix_sprintf(guarded(&out), text, a[0], a[1], a[2], a[3], a[4], a[5]);
    kestrix_fnprintf(t->out, t->ctx, "case %u: kestrix_sprintf", (uint64_t)index);
    verdict(t, buffer_holds(&out, end, c->want, n), "kestrix_sprintf", c->want);
    end = via_vsprintf(guarded(&out), text, a[0], a[1], a[2], a[3], a[4], a[5]);
    kestrix_fnprintf(t->out, t->ctx, "case %u: kestrix_vsprintf", (uint64_t)index);
    verdict(t, buffer_holds(&out, end, c->want, n), "kestrix_vsprintf", c->want);
    /* One byte short, the bounded buffer cuts the last character. */
    const size_t size = n ? n : 1;
    char *buf = guarded(&out);
    const size_t length = kestrix_snprintf(buf, size, text, a[0], a[1], a[2], a[3], a[4], a[5]);
    kestrix_fnprintf(t->out, t->ctx, "case %u: kestrix_snprintf", (uint64_t)index);
    verdict(t, length == n && buffer_holds(&out, buf + size - 1, c->want, (unsigned)size - 1), "kestrix_snprintf",
            c->want);
    /* With room to spare: straight into the buffer where the bound read off the format fits. */
    kestrix_fnprintf(t->out, t->ctx, "case %u: kestrix_snprintf, room", (uint64_t)index);
    buf = guarded(&out);
    verdict(t, kestrix_snprintf(buf, 48, text, a[0], a[1], a[2], a[3], a[4], a[5]) == n &&
                   buffer_holds(&out, buf + n, c->want, n), "kestrix_snprintf with room", c->want);
    /* In pieces of 5 bytes through a buffer between guards, joined. */
    union scratch through;
    char *five = guarded(&through);
    struct joined j = {guarded(&out), 5, 5, 0};
    const long pieces = kestrix_bprintf(join_piece, &j, five, 5, text, a[0], a[1], a[2], a[3], a[4], a[5]);
    *j.at = '\0';
    int guards = 1;
    for (unsigned i = 0; i < sizeof through.b; ++i)
        guards &= (through.b + i >= five && through.b + i < five + 5) || through.b[i] == (char)0xA5;
    kestrix_fnprintf(t->out, t->ctx, "case %u: kestrix_bprintf", (uint64_t)index);
    verdict(t, pieces == (long)n && !j.bad && buffer_holds(&out, j.at, c->want, n) && guards,
            "kestrix_bprintf in pieces of 5", c->want);
}

int kestrix_selftest(kestrix_out_fn out, void *ctx)
{
    struct tally t = {out, ctx, 0, 0};
    for (unsigned i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        run_case(&t, i, &cases[i]);

    /* %c hands the sink the low 32 bits of its argument as they are; the
     * buffers keep the low byte, a zero byte included. */
    struct record r;
    union scratch in, buf;
    const char *fmt = odd_copy(&in, "%c%c[%c]%c");
    static const int32_t wide[] = {0x41, 0x142, '[', 0, ']', -1};
    kestrix_str(out, ctx, "%c: ");
    record_start(&r, out, ctx);
    kestrix_fnprintf(record_sink, &r, fmt, (uint64_t)0x41, (uint64_t)0x142, (uint64_t)0, NEG(1));
    verdict(&t, recorded(&r, wide, 6), "%c through the sink", "0x41 0x142 [ 0 ] -1");
    char *end = kestrix_sprintf(guarded(&buf), fmt, (uint64_t)0x41, (uint64_t)0x142, (uint64_t)0, NEG(1));
    kestrix_str(out, ctx, "%c: kestrix_sprintf");
    verdict(&t, buffer_holds(&buf, end, "AB[\0]\xFF", 6), "%c into a buffer", "AB[\\0]\\xFF");

    kestrix_fnprintf(out, ctx, "%d passed, %d failed\n", (int64_t)t.passed, (int64_t)t.failed);
    return t.failed;
}
