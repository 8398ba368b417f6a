# SPDX-License-Identifier: MIT
# Cross build of libkestrix.a for a bare Cortex-M core: Debian's
# arm-none-eabi-g++ (gcc-arm-none-eabi), no operating system. The build then
# makes the archive alone (no shared library, tests, examples or descriptor
# output) and the archive imports nothing. The core is a cache entry:
#   cmake -S . -B build-m0 -DCMAKE_TOOLCHAIN_FILE=cmake/arm-none-eabi.cmake -DKESTRIX_CPU=cortex-m0
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(KESTRIX_CPU cortex-m3 CACHE STRING "The Cortex-M core to build for (-mcpu=), e.g. cortex-m0, cortex-m3, cortex-m4")
set(CMAKE_C_COMPILER arm-none-eabi-gcc)
set(CMAKE_CXX_COMPILER arm-none-eabi-g++)
set(CMAKE_C_FLAGS_INIT "-mcpu=${KESTRIX_CPU} -mthumb")
set(CMAKE_CXX_FLAGS_INIT "-mcpu=${KESTRIX_CPU} -mthumb")
include(${CMAKE_CURRENT_LIST_DIR}/KestrixBareToolchain.cmake)
