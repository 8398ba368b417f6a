/* SPDX-License-Identifier: MIT */
/* _start and raw system calls for a static Linux executable with no C
 * library. Build with -ffreestanding -fno-stack-protector and link with
 * -static -nostdlib; see nolibc.c. */
#include "nolibc.h"

/* On most targets the number and the three arguments go in named registers,
 * the first argument's register also bringing back the result, and the
 * instruction clobbers memory and maybe more. */
#define SYSCALL3(insn, nr_reg, a_reg, b_reg, c_reg, ...)                                                    \
    static long syscall3(long nr, long a, long b, long c)                                                   \
    {                                                                                                       \
        register long r_a __asm__(a_reg) = a;                                                               \
        register long r_nr __asm__(nr_reg) = nr;                                                            \
        register long r_b __asm__(b_reg) = b;                                                               \
        register long r_c __asm__(c_reg) = c;                                                               \
        __asm__ volatile(insn : "+r"(r_a), "+r"(r_nr), "+r"(r_b), "+r"(r_c) : : __VA_ARGS__);           \
        return r_a;                                                                                         \
    }

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
SYSCALL3("svc #0", "x8", "x0", "x1", "x2", "memory")
enum { SYS_WRITE = 64, SYS_EXIT_GROUP = 94 };
__asm__(".globl _start\n_start:\n mov x29, #0\n mov x30, #0\n bl nolibc_start_c\n brk #0\n");

#elif defined(__riscv) && __riscv_xlen == 64
SYSCALL3("ecall", "a7", "a0", "a1", "a2", "memory")
enum { SYS_WRITE = 64, SYS_EXIT_GROUP = 94 };
/* The linker may reach data relative to gp, which is ours to set. */
__asm__(".globl _start\n_start:\n .option push\n .option norelax\n la gp, __global_pointer$\n .option pop\n"
        " li ra, 0\n li s0, 0\n call nolibc_start_c\n unimp\n");

#elif defined(__s390x__)
SYSCALL3("svc 0", "r1", "r2", "r3", "r4", "memory")
enum { SYS_WRITE = 4, SYS_EXIT_GROUP = 248 };
/* A called function may store registers in the 160 bytes above the stack
 * pointer; the back chain there ends at zero. */
__asm__(".globl _start\n_start:\n aghi %r15, -160\n xc 0(8,%r15), 0(%r15)\n brasl %r14, nolibc_start_c\n j .\n");

#elif defined(__powerpc64__) && defined(__LITTLE_ENDIAN__)
/* An error comes back as a positive errno with CR0.SO set. */
SYSCALL3("sc\n\tbns+ 1f\n\tneg %0, %0\n1:", "r0", "r3", "r4", "r5", "r6", "r7", "r8", "r9", "r10", "r11", "r12", "cr0",
         "ctr", "xer", "memory")
enum { SYS_WRITE = 4, SYS_EXIT_GROUP = 234 };
/* r2 is the TOC pointer, found from our own address; a called function
 * keeps its caller's LR and CR in a 32-byte frame that ends the back chain. */
__asm__(".globl _start\n_start:\n bcl 20, 31, 1f\n1: mflr 12\n addis 2, 12, (.TOC. - 1b)@ha\n"
        " addi 2, 2, (.TOC. - 1b)@l\n clrrdi 1, 1, 4\n li 0, 0\n stdu 0, -32(1)\n bl nolibc_start_c\n nop\n trap\n");

#elif defined(__arm__) && defined(__ARM_EABI__)
/* The number goes in r7, which Thumb code may keep its frame pointer in:
 * saved around the call rather than named. */
static long syscall3(long nr, long a, long b, long c)
{
    register long r0 __asm__("r0") = a;
    register long r1 __asm__("r1") = b;
    register long r2 __asm__("r2") = c;
    __asm__ volatile("push {r7}\n\tmov r7, %1\n\tsvc #0\n\tpop {r7}" : "+r"(r0) : "r"(nr), "r"(r1), "r"(r2) : "memory");
    return r0;
}
enum { SYS_WRITE = 4, SYS_EXIT_GROUP = 248 };
__asm__(".globl _start\n.type _start, %function\n_start:\n mov fp, #0\n mov lr, #0\n bl nolibc_start_c\n udf #0\n");
/* Unwind tables (libkestrix.a's for armhf Linux, and this program's own)
 * name the C++ runtime's personality routines. Nothing unwinds in a
 * program without that runtime, so empty ones stand in, weak so that a
 * real one wins. */
__attribute__((weak)) void __aeabi_unwind_cpp_pr0(void) {}
__attribute__((weak)) void __aeabi_unwind_cpp_pr1(void) {}

#elif defined(__i386__)
static long syscall3(long nr, long a, long b, long c)
{
    long ret;
    __asm__ volatile("int $0x80" : "=a"(ret) : "a"(nr), "b"(a), "c"(b), "d"(c) : "memory");
    return ret;
}
enum { SYS_WRITE = 4, SYS_EXIT_GROUP = 252 };
__asm__(".globl _start\n_start:\n xor %ebp, %ebp\n and $-16, %esp\n call nolibc_start_c\n hlt\n");

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
