/* SPDX-License-Identifier: MIT */
/* The bare aarch64 machine's side of the self-test: output on the PL011
 * UART, an exception report that does not use the library, and the exit
 * status handed to QEMU through semihosting. */
#include "selftest.h"

#include <stdint.h>

#define UART_DATA ((volatile uint32_t *)0x09000000)

static void uart_put(uint32_t c)
{
    *UART_DATA = c;
}

static void to_uart(void *ctx, int32_t c)
{
    (void)ctx;
    uart_put((uint32_t)c & 0xFF);
}

/* Semihosting SYS_EXIT (0x18) with "application exit" (0x20026): QEMU exits
 * with status. */
__attribute__((noreturn)) void semihosting_exit(uint32_t status)
{
    volatile uint64_t block[2] = {0x20026, status};
    register uint64_t op __asm__("x0") = 0x18;
    register volatile uint64_t *arg __asm__("x1") = block;
    __asm__ volatile("hlt #0xf000" : : "r"(op), "r"(arg) : "memory");
    for (;;)
        ;
}

/* Reached from every vector: prints the exception class, ESR_EL1, ELR_EL1
 * and FAR_EL1 with nothing but its own code, then fails the run. The
 * class is ESR bits 31:26 (0x07 an FP/SIMD trap, 0x25 a data abort, with
 * DFSC 0x21 for an alignment fault). */
static void uart_str(const char *s)
{
    while (*s)
        uart_put((unsigned char)*s++);
}

static void uart_hex(uint64_t v, int digits)
{
    uart_str("0x");
    while (digits--)
        uart_put((uint32_t)"0123456789ABCDEF"[(v >> (4 * digits)) & 0xF]);
}

__attribute__((noreturn)) void boot_exception(uint64_t esr, uint64_t elr, uint64_t far)
{
    uart_str("\nexception: class ");
    uart_hex(esr >> 26 & 0x3F, 2);
    uart_str(" ESR_EL1 ");
    uart_hex(esr, 8);
    uart_str(" ELR_EL1 ");
    uart_hex(elr, 16);
    uart_str(" FAR_EL1 ");
    uart_hex(far, 16);
    uart_str("\n");
    semihosting_exit(2);
}

int boot_main(void)
{
    return kestrix_selftest(to_uart, 0) == 0 ? 0 : 1;
}
