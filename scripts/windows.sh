#!/usr/bin/env bash
# Zorvan.dll cross-built with mingw-w64 for 32-bit (build-mingw32) and 64-bit
# (build-mingw64) Windows. In each build, ctest checks the DLL's export and
# import tables with objdump -p and runs a host program that loads the DLL
# under wine. Further arguments go to cmake.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh windows
for target in i686:build-mingw32 x86_64:build-mingw64; do
  arch=${target%%:*} build=${target#*:}
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchains/mingw-$arch.cmake" -DZORVAN_TOOLS=OFF "$@"
  cmake --build "$build"
  ctest --test-dir "$build" --output-on-failure
done
