/* SPDX-License-Identifier: MIT */
// Start code for the bare aarch64 machine (QEMU virt, entered at EL1 with
// no firmware). It sets up only what checking the library needs: a stack,
// a vector table, FP/SIMD trapped, the MMU and caches off and alignment
// checking on. Nothing else: no relocation, no thread pointer, no C library.

    .section .text.boot, "ax"
    .globl _start
_start:
    adrp    x0, boot_stack_top
    add     x0, x0, :lo12:boot_stack_top
    mov     sp, x0

    adrp    x0, vectors
    add     x0, x0, :lo12:vectors
    msr     vbar_el1, x0

    // CPACR_EL1.FPEN = 0: every FP/SIMD instruction traps (class 0x07).
    msr     cpacr_el1, xzr

    // SCTLR_EL1: M (bit 0), C (bit 2) and I (bit 12) clear, A (bit 1) set,
    // so that every unaligned data access faults (class 0x25).
    mrs     x0, sctlr_el1
    bic     x0, x0, #(1 << 0)
    bic     x0, x0, #(1 << 2)
    bic     x0, x0, #(1 << 12)
    orr     x0, x0, #(1 << 1)
    msr     sctlr_el1, x0
    isb

    bl      boot_main
    bl      semihosting_exit        // with boot_main's result in w0
1:  b       1b

// Sixteen entries of 128 bytes, every one to the same report: any
// exception at all ends the run.
    .balign 2048
vectors:
    .rept 16
    .balign 128
    mrs     x0, esr_el1
    mrs     x1, elr_el1
    mrs     x2, far_el1
    b       boot_exception
    .endr
