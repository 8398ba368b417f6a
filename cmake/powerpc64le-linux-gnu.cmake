# SPDX-License-Identifier: MIT
# Cross build for 64-bit little-endian POWER Linux (ELFv2).
set(kestrix_triple powerpc64le-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR ppc64le)
set(kestrix_qemu qemu-ppc64le)
include(${CMAKE_CURRENT_LIST_DIR}/KestrixCrossToolchain.cmake)
