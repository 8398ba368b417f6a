/* SPDX-License-Identifier: MIT */
/* kestrix on a bare Cortex-M or RISC-V machine with no firmware:
 * bare_start.c starts it and gives it a console, and the library, its one
 * source compiled for the core into kestrix.o as docs/targets.md shows, is
 * all it links. On a Cortex-M3 under QEMU:
 *
 *   arm-none-eabi-gcc -mcpu=cortex-m3 -mthumb -Os -ffreestanding -nostdlib -Iinclude \
 *       -T examples/bare.ld -Wl,--defsym=bare_code=0,--defsym=bare_ram=0x20000000 \
 *       examples/bare.c examples/bare_start.c kestrix.o -o bare.elf
 *   qemu-system-arm -M mps2-an385 -nographic -monitor none -serial none \
 *       -semihosting-config enable=on,target=native -kernel bare.elf
 */
#include "bare.h"

#include <kestrix_checked.h>

int main(void)
{
    char buf[32];
    size_t len = KESTRIX_SNPRINTF(buf, sizeof buf, "main is at %p", main);
    KESTRIX_FNPRINTF(bare_console, NULL, "no firmware: %s %d %x\n%s (%u bytes)\n", "kestrix", -42, 0xBEEFu, buf, len);
    return 0;
}
