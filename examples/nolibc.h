/* SPDX-License-Identifier: MIT */
/* The few things a Linux program needs when it has no C library: an entry
 * point (nolibc_start.c), and raw write and exit system calls. The start
 * code calls main() and exits with its result. */
#ifndef KESTRIX_EXAMPLE_NOLIBC_H
#define KESTRIX_EXAMPLE_NOLIBC_H

long nolibc_write(int fd, const void *buf, unsigned long len);
__attribute__((noreturn)) void nolibc_exit(int status);
int main(void);

#endif
