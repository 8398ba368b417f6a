# SPDX-License-Identifier: MIT
# Cross build for 64-bit RISC-V Linux (rv64gc, the lp64d ABI).
set(kestrix_triple riscv64-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR riscv64)
set(kestrix_qemu qemu-riscv64)
include(${CMAKE_CURRENT_LIST_DIR}/KestrixCrossToolchain.cmake)
