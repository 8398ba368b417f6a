/* SPDX-License-Identifier: MIT */
/* A program on a bare machine (bare_start.c): code and read-only data from
 * bare_code, which QEMU loads and the core starts at (the Cortex-M's vector
 * table at 0, RISC-V virt's 0x80000000), and 16 KiB of RAM at bare_ram for
 * the stack, the most a Cortex-M0 microbit has. Both come with --defsym.
 * The image keeps no writable data: there is nobody to copy it. */
ENTRY(bare_start)
SECTIONS
{
    . = bare_code;
    .text : {
        KEEP(*(.vectors)) KEEP(*(.text.start))
        *(.text .text.*) *(.rodata .rodata.* .srodata .srodata.*)
    }
    . = bare_ram;
    .data : { *(.data .data.* .sdata .sdata.* .bss .bss.* .sbss .sbss.* COMMON) }
    ASSERT(SIZEOF(.data) == 0, "the image keeps no writable data")
    bare_stack_top = bare_ram + 0x4000;
    /DISCARD/ : { *(.note .note.* .comment .eh_frame .eh_frame_hdr) }
}
