# SPDX-License-Identifier: MIT
# 32-bit Windows with mingw-w64: the library's main target, Zorvan.dll.
# Programs run through wine where it is installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZORVAN_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
