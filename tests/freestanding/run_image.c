/* SPDX-License-Identifier: MIT */
/* Runs a flat image the way injected code runs: copied to an address chosen
 * only now, never the one it was linked for, with no loader to patch it.
 * Each round maps fresh memory wherever the kernel puts it, moves the image
 * by a random distance, copies it there, makes it executable and calls its
 * entry with a sink of ours. aarch64 code reaches its data with adrp, which
 * counts whole 4 KiB pages, so there the distance is whole pages; on x86-64
 * it is any number of bytes, odd ones included.
 * usage: run_image IMAGE */
#include <kestrix.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

typedef int (*entry_fn)(kestrix_out_fn out, void *ctx);

struct text {
    char buf[1 << 16];
    size_t len;
};

static void collect(void *ctx, int32_t c)
{
    struct text *t = ctx;
    if (t->len + 1 < sizeof t->buf)
        t->buf[t->len++] = (char)c;
    t->buf[t->len] = '\0';
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s IMAGE\n", argv[0]);
        return 2;
    }
    FILE *f = fopen(argv[1], "rb");
    static unsigned char image[1 << 20];
    size_t size = f ? fread(image, 1, sizeof image, f) : 0;
    if (!f || size == 0 || size == sizeof image) {
        fprintf(stderr, "cannot read the image %s\n", argv[1]);
        return 2;
    }
    fclose(f);

    const size_t page = (size_t)sysconf(_SC_PAGESIZE);
    const size_t span = 64 * page;
#if defined(__aarch64__)
    const size_t step = 4096;
#else
    const size_t step = 1;
#endif
    srand((unsigned)time(NULL) ^ (unsigned)getpid());
    static struct text out;
    for (int round = 0; round < 8; ++round) {
        const size_t length = size + span + page;
        unsigned char *map = mmap(NULL, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (map == MAP_FAILED) {
            perror("mmap");
            return 2;
        }
        /* Round 0 keeps the mapping's own start; the others move on by a
         * random multiple of step within the span, byte 1 at least. */
        const size_t shift = round == 0 ? 0 : step * (1 + (size_t)rand() % (span / step - 1));
        unsigned char *at = map + shift;
        memcpy(at, image, size);
        if (mprotect(map, length, PROT_READ | PROT_EXEC) != 0) {
            perror("mprotect");
            return 2;
        }
        __builtin___clear_cache((char *)at, (char *)at + size);

        out.len = 0;
        out.buf[0] = '\0';
        const int failed = ((entry_fn)(uintptr_t)at)(collect, &out);
        /* The last line is the self-test's summary. */
        const char *last = out.buf + out.len;
        while (last > out.buf && last[-1] == '\n')
            --last;
        while (last > out.buf && last[-1] != '\n')
            --last;
        int passed = 0, failures = -1;
        sscanf(last, "%d passed, %d failed", &passed, &failures);
        printf("image at %p (mapping + %zu bytes): %s", (void *)at, shift, last);
        if (failed != 0 || passed == 0 || failures != 0) {
            fputs(out.buf, stdout);
            printf("the image failed at %p\n", (void *)at);
            return 1;
        }
        munmap(map, length);
    }
    return 0;
}
