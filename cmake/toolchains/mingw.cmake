# SPDX-License-Identifier: MIT
# What the two mingw-w64 toolchains share; ZORVAN_MINGW_PREFIX names the
# target triple. The posix-thread compilers are used for C++ (std::thread).
set(CMAKE_C_COMPILER ${ZORVAN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZORVAN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZORVAN_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZORVAN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Debian's /usr/bin/wine takes the 32-bit loader whenever wine32 is there,
# so 64-bit programs go to wine64 by name.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL x86_64)
  find_program(ZORVAN_WINE NAMES wine64 wine PATHS /usr/lib/wine)
elseif(EXISTS /usr/lib/wine/wine)
  # The 32-bit loader is wine32's; without it wine cannot start a 32-bit
  # program and the host tests are left out.
  find_program(ZORVAN_WINE NAMES wine)
endif()
if(ZORVAN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZORVAN_WINE})
endif()
