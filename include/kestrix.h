/* SPDX-License-Identifier: MIT */
/*
 * kestrix: small formatted output through a caller's sink.
 *
 * Freestanding: no allocation, no state, no system calls, no other library.
 * Every function is reentrant and may be called from any thread or a signal
 * handler. Nothing is reported: the functions return no status.
 *
 * Format language: ordinary bytes are copied; "%%" writes '%'; each of
 *   %c %d %i %u %x %X %p %P %s
 * reads exactly one 64-bit argument. There are no flags, widths, precision or
 * length modifiers: any other byte after '%' writes '?' and still consumes one
 * argument. A '%' at the very end of the format writes nothing.
 *
 * Caller's duty: every argument must be passed as a 64-bit value, e.g.
 * (uint64_t)x, (int64_t)x or a pointer; where pointers have 32 bits, as
 * (uint64_t)(uintptr_t)p. A plain int is still read as 64 bits, so its upper
 * half is whatever the register or stack slot held.
 */
#ifndef KESTRIX_H
#define KESTRIX_H

/* The release, which is also the version of the CMake and pkg-config
 * packages (CMakeLists.txt reads it from here). */
#define KESTRIX_VERSION_MAJOR 1
#define KESTRIX_VERSION_MINOR 1
#define KESTRIX_VERSION_PATCH 0

/* Kernel code (kbuild's -nostdinc) has the kernel's own headers instead. */
#ifdef __KERNEL__
#include <linux/stdarg.h>
#include <linux/types.h>
#else
#include <stdarg.h>
#include <stdint.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The character sink: called once per output character, in order, with the
 * caller's ctx unchanged. Characters are byte values 0..255, except that %c
 * passes the low 32 bits of its argument as they are. */
typedef void (*kestrix_out_fn)(void *__ctx, int32_t __c);

/* Writes every byte of str before its NUL. A null str writes "(null)". */
void kestrix_str(kestrix_out_fn __out, void *__ctx, const char *__str);

/* Writes the low nbytes bytes of value as 2*nbytes uppercase hex digits,
 * leading zeros kept, no prefix. nbytes outside 1..8 means 16 digits. */
void kestrix_hex(kestrix_out_fn __out, void *__ctx, uint64_t __value, int32_t __nbytes);

/* Writes value in decimal: as a signed 64-bit number when is_signed is
 * nonzero (with a leading '-' when negative), else as unsigned. */
void kestrix_dec(kestrix_out_fn __out, void *__ctx, uint64_t __value, int32_t __signedness);

/* Formats fmt through the sink, reading arguments from args. */
void kestrix_vfnprintf(kestrix_out_fn __out, void *__ctx, const char *__fmt, va_list __args);
void kestrix_fnprintf(kestrix_out_fn __out, void *__ctx, const char *__fmt, ...);

/* Formats fmt into buf and closes it with one NUL. buf must hold the whole
 * output plus the NUL: there is no size and no check. Returns the address of
 * the terminating NUL, so the length is the result minus buf. A %c of 0
 * stores a zero byte inside the output like any other character. */
char *kestrix_sprintf(char *__buf, const char *__fmt, ...);
char *kestrix_vsprintf(char *__buf, const char *__fmt, va_list __args);

#ifdef __cplusplus
}
#endif

#endif /* KESTRIX_H */
