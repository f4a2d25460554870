#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Every GoogleTest program of a build under valgrind's memcheck, with the
# programs they start (the zorvan tool; not the system's, such as nm): any
# invalid read or write, use of uninitialised memory or leaked block fails
# the run.
# Usage: bash scripts/valgrind.sh [build-dir]   (default build; made when missing)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
bash scripts/deps.sh valgrind
cmake -S . -B "$build" -G Ninja -DZORVAN_WERROR=ON
cmake --build "$build"
if ! grep -qw rdtscp /proc/cpuinfo; then
  c++ -O2 -shared -fPIC tests/valgrind/hwy_timer.cpp -o "$build/hwy_timer.so"
  export LD_PRELOAD=$(realpath "$build")/hwy_timer.so
  echo "valgrind.sh: no RDTSCP here: libhwy's timer is replaced (tests/valgrind/hwy_timer.cpp)"
fi
find "$build/tests" -type f -executable -name '*_test' -print0 | sort -z |
  xargs -0 -P2 -I{} valgrind -q --error-exitcode=1 \
    --trace-children=yes --trace-children-skip='/usr/*,/bin/*' --leak-check=full \
    --show-leak-kinds=definite,indirect,possible --errors-for-leak-kinds=definite,indirect,possible \
    {} --gtest_brief=1
