# SPDX-License-Identifier: MIT
# Cross build for 64-bit Arm Linux.
set(kestrix_triple aarch64-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(kestrix_qemu qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/KestrixCrossToolchain.cmake)
