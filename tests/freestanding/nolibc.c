/* SPDX-License-Identifier: MIT */
/* A static Linux executable with no C library: the example's start code
 * (examples/nolibc_start.c) and the self-test linked with libkestrix.a and
 * nothing else. Exits 0 only when every case passes. */
#include "nolibc.h"
#include "selftest.h"

/* Whole lines to standard output. */
struct line {
    char buf[160];
    unsigned len;
};

static void flush(struct line *l)
{
    for (unsigned done = 0; done < l->len;) {
        long n = nolibc_write(1, l->buf + done, l->len - done);
        if (n <= 0)
            break;
        done += (unsigned)n;
    }
    l->len = 0;
}

static void to_stdout(void *ctx, int32_t c)
{
    struct line *l = (struct line *)ctx;
    l->buf[l->len++] = (char)c;
    if (c == '\n' || l->len == sizeof l->buf)
        flush(l);
}

int main(void)
{
    struct line l;
    l.len = 0;
    const int failed = kestrix_selftest(to_stdout, &l);
    flush(&l);
    return failed ? 1 : 0;
}
