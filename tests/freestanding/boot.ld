/* SPDX-License-Identifier: MIT */
/* The bare aarch64 image: loaded by QEMU at the addresses it is linked for,
 * in RAM above 0x40000000, with its stack after everything else. The
 * library's read-only data (from libkestrix.a, or an object named
 * libkestrix-*.o) starts at an even address plus
 * kestrix_rodata_shift (0 or 1, given with --defsym): linked both ways,
 * every object in it that the compiler left byte-aligned lands at an odd
 * address in one of the two images. */
ENTRY(_start)
SECTIONS
{
    . = 0x40080000;
    .text : { KEEP(*(.text.boot)) *(.text .text.*) }
    .rodata : {
        *(EXCLUDE_FILE(*libkestrix.a:* *libkestrix-*.o) .rodata
          EXCLUDE_FILE(*libkestrix.a:* *libkestrix-*.o) .rodata.*)
        . = ALIGN(2) + kestrix_rodata_shift;
        *(.rodata .rodata.*)
    }
    .data : { *(.data .data.*) }
    .bss : { *(.bss .bss.* COMMON) }
    . = ALIGN(16);
    . += 0x10000;
    boot_stack_top = .;
}
