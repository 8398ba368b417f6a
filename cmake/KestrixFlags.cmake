# SPDX-License-Identifier: MIT
# The compiler options the library is built with, one reason each. They are
# given to the library's targets after whatever CMAKE_CXX_FLAGS a parent
# project sets, so for every option below that has an opposite (a parent's
# -fno-semantic-interposition, -fstack-protector-strong, -flto...), ours is
# the one the compiler keeps. The freestanding tests and scripts/targets.sh
# compile the same source with other compilers from this same list.
#
# kestrix_library_flags(<var> <compiler id> <processor> [<system name>])
#   processor   CMAKE_SYSTEM_PROCESSOR: x86_64, i686, aarch64, arm (any
#               32-bit Arm, cortex-m0 and the like too), riscv32, riscv64,
#               s390x, ppc64le
#   system      CMAKE_SYSTEM_NAME; Generic (no operating system) drops the
#               unwind tables; UEFI (an application or driver for the
#               firmware, docs/uefi.md) drops them too, and keeps nothing
#               below the stack pointer on x86-64. Its list is the same for
#               a PE object (Clang's *-unknown-windows targets, linked by
#               lld-link) and an ELF one made into PE by objcopy (gnu-efi):
#               the two differ in the target and in position independence,
#               which the build's own words give, as on every system.
#
# As a script it prints them on one line, for builds outside CMake:
#   cmake -D ID=GNU -D PROCESSOR=arm -D SYSTEM=Generic -P cmake/KestrixFlags.cmake
#   cmake -D ID=Clang -D PROCESSOR=x86_64 -D SYSTEM=UEFI -P cmake/KestrixFlags.cmake
# and with -D "EXPECT=<flags>" fails unless they are exactly those, in that
# order: meson.build keeps a copy of this list, and its 'flags' tests check
# the copy this way.
function(kestrix_library_flags var compiler_id processor)
  set(system Linux)
  if(ARGC GREATER 3)
    set(system ${ARGV3})
  endif()
  set(flags
    # No implicit memset/memcpy or other library calls.
    -ffreestanding
    # No __stack_chk_fail to import.
    -fno-stack-protector
    -fno-exceptions -fno-rtti)
  if(NOT system STREQUAL "UEFI")
    # Calls between exported functions go through their exported names, so a
    # definition found first by the dynamic linker replaces them. GCC assumes
    # this by default and Clang does not; a parent's
    # -fno-semantic-interposition would let either bind them directly.
    # A UEFI image has no dynamic linker, and for a PE target Clang reports
    # the option unused (an error with -Werror).
    list(APPEND flags -fsemantic-interposition)
  endif()
  # Machine code in every object, never compiler bytecode: the archive is
  # linked by toolchains that know nothing of ours.
  list(APPEND flags -fno-lto)
  if(system STREQUAL "Generic" OR system STREQUAL "UEFI")
    # Firmware has no unwinder, and on Arm the tables would name the C++
    # runtime's personality routines: without them nothing is imported.
    # (gnu-efi's objcopy step leaves .eh_frame out of the image anyway.)
    list(APPEND flags -fno-unwind-tables -fno-asynchronous-unwind-tables)
  else()
    # Nothing is caught, but unwind tables stay so that an exception thrown
    # by a C++ sink passes through every library frame to the caller.
    list(APPEND flags -fasynchronous-unwind-tables)
  endif()
  # Never touch FP/SIMD registers, so that the library runs where that unit
  # is off and never makes a kernel save its state. Each target says so its
  # own way.
  if(processor MATCHES "^(aarch64|arm64)")
    # An aarch64 variadic prologue would otherwise save q0-q7. Every load
    # and store naturally aligned: with the MMU off, or alignment checking
    # on, an unaligned access faults, and without -mstrict-align a compiler
    # may merge byte accesses into wider unaligned ones.
    list(APPEND flags -mgeneral-regs-only -mstrict-align)
  elseif(processor MATCHES "^(arm|thumb|cortex-m)")
    # Clang has no -mgeneral-regs-only for 32-bit Arm; -mfpu=none keeps VFP
    # and NEON out of the code, not out of the calling convention.
    if(compiler_id STREQUAL "GNU")
      # A switch's jump table on Thumb-1 (Cortex-M0) is a call to libgcc's
      # __gnu_thumb1_case_*; elsewhere on Arm it would save 4 bytes at most.
      list(APPEND flags -mgeneral-regs-only -fno-jump-tables)
    else()
      list(APPEND flags -mfpu=none)
    endif()
  elseif(processor MATCHES "^s390")
    # Without it GCC saves %f0-%f6 in the variadic prologues.
    list(APPEND flags -msoft-float)
  elseif(processor MATCHES "^(ppc|powerpc)")
    list(APPEND flags -msoft-float -mno-altivec -mno-vsx)
  elseif(processor MATCHES "^riscv")
    # No option keeps a RISC-V compiler off the FP registers and the ABI
    # that passes doubles in them (Linux's lp64d) at once; the code uses
    # none (the library inspection reads its disassembly), and firmware
    # picks an -march without F and D for the whole image.
  else()
    list(APPEND flags -mgeneral-regs-only)
  endif()
  if(system STREQUAL "UEFI" AND processor MATCHES "^(x86_64|AMD64|amd64)$")
    # The firmware's interrupt handlers run on the application's stack:
    # nothing may be kept below the stack pointer (the System V ABI's red
    # zone, which an ELF build for gnu-efi would otherwise use; a PE
    # target has none, and the option states it for both).
    list(APPEND flags -mno-red-zone)
  endif()
  if(compiler_id STREQUAL "GNU")
    # Keep GCC from turning byte loops into memset/memcpy calls.
    list(APPEND flags -fno-tree-loop-distribute-patterns)
  endif()
  set(${var} ${flags} PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  kestrix_library_flags(flags "${ID}" "${PROCESSOR}" "${SYSTEM}")
  string(REPLACE ";" " " flags "${flags}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${flags}")
  if(DEFINED EXPECT AND NOT EXPECT STREQUAL flags)
    message(FATAL_ERROR "the flags for ${ID} on ${PROCESSOR} (${SYSTEM}) are\n  ${flags}\nnot\n  ${EXPECT}")
  endif()
endif()
