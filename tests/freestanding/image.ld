/* SPDX-License-Identifier: MIT */
/* A flat, position-independent image: the entry first, at offset 0, then
 * the code and read-only data. The image must hold nothing that a loader
 * would have to patch, so the build fails on any dynamic relocation. */
ENTRY(kestrix_image_entry)
SECTIONS
{
    . = 0;
    .text : { KEEP(*(.text.entry)) *(.text .text.*) }
    .rodata : { *(.rodata .rodata.*) }
    .data : { *(.data .data.*) *(.got .got.*) }
    .bss : { *(.bss .bss.* COMMON) }
    /DISCARD/ : { *(.comment) *(.note .note.*) *(.eh_frame .eh_frame_hdr) }
}
