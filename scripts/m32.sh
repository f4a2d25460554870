#!/usr/bin/env bash
# The library and its tests as 32-bit x86 programs (gcc -m32), run under
# qemu-i386: the context's 32-bit layout is pinned by static_asserts in
# api/zorvan.h, so the build itself checks it, and the tests run on top.
# GoogleTest is built for 32 bits from Debian's googletest sources into
# build-m32/googletest, since the packaged library is 64-bit only; the
# preset m32 then builds and tests (the command-line tool is left out, its
# image libraries are 64-bit here).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh m32
gtest=$PWD/build-m32/googletest
cmake -S /usr/src/googletest -B "$gtest" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchains/m32.cmake" \
  -DCMAKE_INSTALL_PREFIX="$gtest/install" -DBUILD_GMOCK=OFF
cmake --build "$gtest" --target install > /dev/null
cmake --workflow --preset m32
