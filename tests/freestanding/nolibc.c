/* A static Linux executable with no C library: its own _start, raw write
 * and exit_group system calls, and the self-test linked with libkestrix.a
 * and nothing else. Exits 0 only when every case passes. */
#include "selftest.h"

#include <stdint.h>

#if defined(__x86_64__)
static long syscall3(long nr, long a, long b, long c)
{
    long ret;
    __asm__ volatile("syscall" : "=a"(ret) : "a"(nr), "D"(a), "S"(b), "d"(c) : "rcx", "r11", "memory");
    return ret;
}
enum { SYS_WRITE = 1, SYS_EXIT_GROUP = 231 };
/* The kernel enters with the stack 16-aligned; a call pushes the return
 * address as the ABI expects. */
__asm__(".globl _start\n_start:\n xor %ebp, %ebp\n call start_c\n hlt\n");
#elif defined(__aarch64__)
static long syscall3(long nr, long a, long b, long c)
{
    register long x8 __asm__("x8") = nr;
    register long x0 __asm__("x0") = a;
    register long x1 __asm__("x1") = b;
    register long x2 __asm__("x2") = c;
    __asm__ volatile("svc #0" : "+r"(x0) : "r"(x8), "r"(x1), "r"(x2) : "memory");
    return x0;
}
enum { SYS_WRITE = 64, SYS_EXIT_GROUP = 94 };
__asm__(".globl _start\n_start:\n mov x29, #0\n mov x30, #0\n bl start_c\n brk #0\n");
#else
#error "no system call sequence for this architecture"
#endif

/* Whole lines to standard output. */
struct line {
    char buf[160];
    unsigned len;
};

static void flush(struct line *l)
{
    for (unsigned done = 0; done < l->len;) {
        long n = syscall3(SYS_WRITE, 1, (long)(uintptr_t)(l->buf + done), (long)(l->len - done));
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

__attribute__((noreturn, used)) void start_c(void)
{
    struct line l;
    l.len = 0;
    const int failed = kestrix_selftest(to_stdout, &l);
    flush(&l);
    syscall3(SYS_EXIT_GROUP, failed ? 1 : 0, 0, 0);
    __builtin_unreachable();
}
