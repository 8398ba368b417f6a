# SPDX-License-Identifier: MIT
# Cross build for 32-bit x86 Linux.
set(kestrix_triple i686-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(kestrix_qemu qemu-i386)
include(${CMAKE_CURRENT_LIST_DIR}/KestrixCrossToolchain.cmake)
