# SPDX-License-Identifier: MIT
# Cross build of libkestrix.a for a bare RISC-V core, no operating system,
# with Debian's riscv64-linux-gnu-g++ (g++-riscv64-linux-gnu), the compiler
# the Linux build and scripts/targets.sh use: given -march and -mabi it
# compiles for any RV32 or RV64 core, and the library takes nothing from its
# C library or start files. The build then makes the archive alone (no
# shared library, tests, examples or descriptor output) and the archive
# imports nothing. The instruction set and ABI are cache entries; an RV64
# core also gets -mcmodel=medany, so the code may sit at any address (QEMU's
# virt machine starts at 0x80000000):
#   cmake -S . -B build-rv64 -DCMAKE_TOOLCHAIN_FILE=cmake/riscv-bare.cmake \
#         -DKESTRIX_RISCV_ARCH=rv64imac -DKESTRIX_RISCV_ABI=lp64
set(CMAKE_SYSTEM_NAME Generic)
set(KESTRIX_RISCV_ARCH rv32imac CACHE STRING "The RISC-V instruction set to build for (-march=), e.g. rv32i, rv32imac, rv64imac")
set(KESTRIX_RISCV_ABI ilp32 CACHE STRING "The RISC-V calling convention (-mabi=), e.g. ilp32, lp64")
set(kestrix_riscv_flags "-march=${KESTRIX_RISCV_ARCH} -mabi=${KESTRIX_RISCV_ABI}")
if(KESTRIX_RISCV_ARCH MATCHES "^rv64")
  set(CMAKE_SYSTEM_PROCESSOR riscv64)
  string(APPEND kestrix_riscv_flags " -mcmodel=medany")
else()
  set(CMAKE_SYSTEM_PROCESSOR riscv32)
endif()
set(CMAKE_C_COMPILER riscv64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER riscv64-linux-gnu-g++)
set(CMAKE_C_FLAGS_INIT "${kestrix_riscv_flags}")
set(CMAKE_CXX_FLAGS_INIT "${kestrix_riscv_flags}")
include(${CMAKE_CURRENT_LIST_DIR}/KestrixBareToolchain.cmake)
