/* SPDX-License-Identifier: MIT */
/* Given to the shared library's link on 32-bit Arm Linux. The unwind
 * tables there name the C++ runtime's personality routines
 * __aeabi_unwind_cpp_pr0 and pr1, so that a static link pulls them in; they
 * are markers, never called through these names: a program that unwinds
 * through the library brings its own unwinder, which runs them. Resolved
 * here, to nothing and hidden, they leave the library with no undefined
 * symbol and no export beyond its seven. */
PROVIDE_HIDDEN(__aeabi_unwind_cpp_pr0 = 0);
PROVIDE_HIDDEN(__aeabi_unwind_cpp_pr1 = 0);
