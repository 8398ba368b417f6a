# SPDX-License-Identifier: MIT
# Cross build for IBM Z Linux (s390x, big-endian).
set(kestrix_triple s390x-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(kestrix_qemu qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/KestrixCrossToolchain.cmake)
