#!/usr/bin/env bash
# The library and its tests as 32-bit x86 programs (gcc -m32), run under
# qemu-i386: the context's 32-bit layout is pinned by static_asserts in
# api/zorvan.h, so the build itself checks it, and the tests run on top.
# GoogleTest is built for 32 bits from Debian's googletest sources, since the
# packaged library is 64-bit only. The command-line tool is left out (its
# image libraries are 64-bit here). Further arguments go to cmake.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh m32
build=build-m32
toolchain=$PWD/cmake/toolchains/m32.cmake
gtest=$PWD/$build/googletest
cmake -S /usr/src/googletest -B "$gtest" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$gtest/install" -DBUILD_GMOCK=OFF
cmake --build "$gtest" --target install > /dev/null
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_PREFIX_PATH="$gtest/install" -DZORVAN_TOOLS=OFF "$@"
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j2
