#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A cross build and its tests under an emulator: preset NAME, with the
# packages of deps.sh's group NAME and cmake/toolchains/NAME.cmake.
# GoogleTest is built for the target from Debian's googletest sources into
# build-NAME/googletest, since the packaged library is for this machine
# only; the preset then builds and tests.
set -euo pipefail
cd "$(dirname "$0")/.."
name=$1
bash scripts/deps.sh "$name"
gtest=$PWD/build-$name/googletest
cmake -S /usr/src/googletest -B "$gtest" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchains/$name.cmake" \
  -DCMAKE_INSTALL_PREFIX="$gtest/install" -DBUILD_GMOCK=OFF
cmake --build "$gtest" --target install > /dev/null
cmake --workflow --preset "$name"
