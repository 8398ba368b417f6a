/* SPDX-License-Identifier: MIT */
/* kestrix in a program with no C library at all: nolibc_start.c gives it an
 * entry point and raw system calls, and libkestrix.a is all it links.
 *
 *   cc -ffreestanding -fno-stack-protector -static -nostdlib -Iinclude \
 *      examples/nolibc.c examples/nolibc_start.c build/libkestrix.a -o nolibc
 */
#include "nolibc.h"

#include <kestrix_checked.h>

/* Whole lines to standard output: characters gather in ctx's buffer, and
 * each newline writes them with one system call. */
struct line {
    char buf[128];
    unsigned long len;
};

static void to_stdout(void *ctx, int32_t c)
{
    struct line *l = (struct line *)ctx;
    l->buf[l->len++] = (char)c;
    if (c == '\n' || l->len == sizeof l->buf) {
        nolibc_write(1, l->buf, l->len);
        l->len = 0;
    }
}

int main(void)
{
    struct line l; /* not zeroed: that could call memset, which is not here */
    l.len = 0;
    int answer = -42;
    char buf[32];

    KESTRIX_FNPRINTF(to_stdout, &l, "no C library: %s %d %x\n", "kestrix", answer, 0xBEEFu);
    size_t len = KESTRIX_SNPRINTF(buf, sizeof buf, "main is at %p", main);
    KESTRIX_FNPRINTF(to_stdout, &l, "%s (%u bytes)\n", buf, len);
    return 0;
}
