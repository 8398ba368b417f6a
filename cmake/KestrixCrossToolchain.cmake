# SPDX-License-Identifier: MIT
# Shared by the cross toolchain files <triple>.cmake, which set
# kestrix_triple, CMAKE_SYSTEM_PROCESSOR and kestrix_qemu before including
# it: Debian's <triple>-gcc and -g++, the target's libraries and headers
# under /usr/<triple>, and test programs run by qemu-user from there.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${kestrix_triple}-gcc)
set(CMAKE_CXX_COMPILER ${kestrix_triple}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${kestrix_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${kestrix_qemu} -L /usr/${kestrix_triple})
