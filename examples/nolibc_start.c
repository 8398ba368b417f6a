/* _start and raw system calls for a static Linux executable with no C
 * library. Build with -ffreestanding -fno-stack-protector and link with
 * -static -nostdlib; see nolibc.c. */
#include "nolibc.h"

#if defined(__x86_64__)
static long syscall3(long nr, long a, long b, long c)
{
    long ret;
    __asm__ volatile("syscall" : "=a"(ret) : "a"(nr), "D"(a), "S"(b), "d"(c) : "rcx", "r11", "memory");
    return ret;
}
enum { SYS_WRITE = 1, SYS_EXIT_GROUP = 231 };
/* The kernel enters with the stack 16-aligned; the call pushes a return
 * address, as the ABI expects at a function's entry. */
__asm__(".globl _start\n_start:\n xor %ebp, %ebp\n call nolibc_start_c\n hlt\n");

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
__asm__(".globl _start\n_start:\n mov x29, #0\n mov x30, #0\n bl nolibc_start_c\n brk #0\n");

#else
#error "no start code for this architecture"
#endif

/* Returns the count written, or a negative errno. */
long nolibc_write(int fd, const void *buf, unsigned long len)
{
    return syscall3(SYS_WRITE, fd, (long)buf, (long)len);
}

void nolibc_exit(int status)
{
    for (;;)
        syscall3(SYS_EXIT_GROUP, status, 0, 0);
}

__attribute__((noreturn, used)) void nolibc_start_c(void)
{
    nolibc_exit(main());
}
