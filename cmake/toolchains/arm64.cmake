# SPDX-License-Identifier: MIT
# 64-bit ARM Linux with clang and Debian's aarch64 cross libraries and
# binutils. clang rather than Debian's cross g++: that one conflicts with
# gcc-multilib, which the 32-bit build needs on the same machine. clang
# finds the cross libstdc++ and crt files in /usr/lib/gcc-cross. Test
# programs run through qemu-aarch64 with the cross libraries' loader and
# libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET aarch64-linux-gnu)
set(CMAKE_CXX_COMPILER_TARGET aarch64-linux-gnu)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/aarch64-linux-gnu)
