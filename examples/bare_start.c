/* SPDX-License-Identifier: MIT */
/* Start-up code for a program on a bare Cortex-M or RISC-V machine with no
 * firmware, such as QEMU's mps2-an385 and microbit, or virt with -bios none:
 * a Cortex-M vector table or a RISC-V entry, output and exit through
 * semihosting, and a report of any fault or trap, made without the library,
 * that ends the run with status 2. It calls main() and exits with its
 * result; bare.ld places the image. See bare.c. */
#include "bare.h"

extern char bare_stack_top[];

#if defined(__arm__)
/* The operation in r0, the address of its argument in r1. */
static void semihost(uintptr_t op, const void *arg)
{
    register uintptr_t r0 __asm__("r0") = op;
    register const void *r1 __asm__("r1") = arg;
    __asm__ volatile("bkpt 0xAB" : "+r"(r0) : "r"(r1) : "memory");
}

/* The exception's number, from IPSR: 3 for a HardFault, which is where a
 * Cortex-M0 takes every fault, and a Cortex-M3 too while the others are off,
 * as they are from reset. */
static uintptr_t trap_cause(void)
{
    uintptr_t ipsr;
    __asm__ volatile("mrs %0, ipsr" : "=r"(ipsr));
    return ipsr;
}

void bare_start(void);
void bare_trap(void);
/* At address 0: the stack pointer the core starts with, the reset entry,
 * and every other exception to the report. */
__attribute__((section(".vectors"), used)) static void (*const vectors[16])(void) = {
    (void (*)(void))bare_stack_top, bare_start, [2 ... 15] = bare_trap};

#elif defined(__riscv)
static void semihost(uintptr_t op, const void *arg)
{
    register uintptr_t a0 __asm__("a0") = op;
    register const void *a1 __asm__("a1") = arg;
    /* The sequence QEMU looks for, never compressed. */
    __asm__ volatile(".option push\n.option norvc\nslli zero, zero, 0x1f\nebreak\nsrai zero, zero, 7\n.option pop"
                     : "+r"(a0)
                     : "r"(a1)
                     : "memory");
}

/* Control registers are an extension of their own to the assembler, which
 * the image may use whatever -march says. */
static uintptr_t trap_cause(void)
{
    uintptr_t mcause;
    __asm__ volatile(".option push\n.option arch, +zicsr\ncsrr %0, mcause\n.option pop" : "=r"(mcause));
    return mcause;
}

/* Entered at the image's first byte with nothing set up: a stack, and every
 * trap to the report (mtvec needs its 4-byte alignment). */
__asm__(".section .text.start, \"ax\"\n.globl _start\n_start:\n la sp, bare_stack_top\n la t0, bare_trap\n"
        ".option push\n.option arch, +zicsr\n csrw mtvec, t0\n.option pop\n call bare_start\n");
#endif

void bare_console(void *ctx, int32_t c)
{
    const char ch = (char)c;
    (void)ctx;
    semihost(0x03, &ch); /* SYS_WRITEC */
}

/* SYS_EXIT_EXTENDED: "application exit" (0x20026) and the status QEMU
 * exits with. */
void bare_exit(int status)
{
    const uintptr_t block[2] = {0x20026, (uintptr_t)status};
    semihost(0x20, block);
    for (;;)
        ;
}

__attribute__((noreturn, used, aligned(4))) void bare_trap(void)
{
    static const char text[] = "\ntrap: cause 0x";
    const uintptr_t cause = trap_cause();
    for (const char *s = text; *s; ++s)
        bare_console(0, *s);
    for (int shift = 8 * sizeof cause - 4; shift >= 0; shift -= 4)
        bare_console(0, "0123456789ABCDEF"[cause >> shift & 0xF]);
    bare_console(0, '\n');
    bare_exit(2);
}

__attribute__((noreturn, used)) void bare_start(void)
{
    bare_exit(main());
}
