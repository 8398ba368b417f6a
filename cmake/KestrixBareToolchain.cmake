# SPDX-License-Identifier: MIT
# Shared by the bare toolchain files (arm-none-eabi.cmake, riscv-bare.cmake),
# which set the system, the processor, the compilers and their flags first.
# There is nothing to link a test program against, so CMake's checks of the
# compiler build a static library instead; they see the same cache entries
# (the core, the instruction set) as the build does.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KESTRIX_CPU KESTRIX_RISCV_ARCH KESTRIX_RISCV_ABI)
