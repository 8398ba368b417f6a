/* SPDX-License-Identifier: MIT */
/* A few lines through a sink that writes to standard output, and one
 * through kestrix_sprintf. */
#include <kestrix.h>
#include <unistd.h>

/* Collects characters in a small line buffer and writes it with write(2) at
 * each newline: no stdio, so the same sink works in a signal handler. */
struct line {
    char buf[128];
    unsigned len;
};

static void flush(struct line *l)
{
    unsigned done = 0;
    while (done < l->len) {
        ssize_t n = write(1, l->buf + done, l->len - done);
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

/* Every argument is read as 64 bits: integers go as (int64_t) or (uint64_t),
 * and pointers through uintptr_t, so that a 32-bit target passes them whole. */
#define PTR(p) ((uint64_t)(uintptr_t)(p))

int main(void)
{
    struct line l = {{0}, 0};
    static const char name[] = "kestrix";

    kestrix_fnprintf(to_stdout, &l, "hello from %s, pid %u\n", PTR(name), (uint64_t)getpid());
    kestrix_fnprintf(to_stdout, &l, "decimal: %d %u %i\n", (int64_t)-42, (uint64_t)42, (int64_t)INT64_MIN);
    kestrix_fnprintf(to_stdout, &l, "hex: %x %x %x %x\n", (uint64_t)0x7F, (uint64_t)0x1FF,
                     (uint64_t)0x12345, (uint64_t)0xDEADBEEFCAFEull);
    kestrix_fnprintf(to_stdout, &l, "pointer: %p, char: %c, percent: %%\n", PTR(&l), (uint64_t)'k');

    char buf[64];
    char *end = kestrix_sprintf(buf, "x=%x s=%s", (uint64_t)0x1FF, PTR("ab"));
    kestrix_fnprintf(to_stdout, &l, "sprintf wrote \"%s\" (%u bytes)\n", PTR(buf), (uint64_t)(end - buf));
    return 0;
}
