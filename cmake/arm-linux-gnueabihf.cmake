# SPDX-License-Identifier: MIT
# Cross build for 32-bit Arm Linux with hardware floating point (armhf: ARMv7-A, Thumb-2).
set(kestrix_triple arm-linux-gnueabihf)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(kestrix_qemu qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/KestrixCrossToolchain.cmake)
