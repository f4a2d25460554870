#!/usr/bin/env bash
# The test suite under sanitizers, each in its own build tree; any report
# fails the run.
#   bash scripts/sanitize.sh          every test under AddressSanitizer and
#                                     UndefinedBehaviorSanitizer (build-asan)
#   bash scripts/sanitize.sh thread   the tests of threads (their names contain
#                                     "Thread") under ThreadSanitizer (build-tsan)
# Further arguments go to cmake, e.g. -DZORVAN_TOOLS=OFF.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-address,undefined}
shift || true
bash scripts/deps.sh
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
if [ "$mode" = thread ]; then
  build=build-tsan
  export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
else
  build=build-asan
  export ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORVAN_SANITIZE="$mode" "$@"
cmake --build "$build"
if [ "$mode" = thread ]; then
  ctest --test-dir "$build" --output-on-failure -j2 -R Thread
else
  ctest --test-dir "$build" --output-on-failure -j2
fi
