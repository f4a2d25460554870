#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds everything and runs the whole test suite, then the robustness
# checks: the suite under AddressSanitizer + UndefinedBehaviorSanitizer and
# under valgrind, 45 seconds of fuzzing for each formula target (18 for the
# others), the 32-bit build under qemu-i386, the 64-bit ARM one under
# qemu-aarch64, Zorvan.dll for 32- and 64-bit Windows under wine, and last
# the Debian packages and the wheel, built and tested installed. Each check
# is also a script of its own (see CONTRIBUTING.md's "Robustness checks").
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
# Each step says how long it took, for whoever trims the run.
step() {
  local began=$SECONDS
  "$@"
  echo "test.sh: '$*' took $((SECONDS - began)) s"
}
step bash scripts/deps.sh fuzz m32 arm64 windows valgrind
step cmake --workflow --preset release
step bash scripts/sanitize.sh
step bash scripts/valgrind.sh build
step bash scripts/fuzz.sh 45
step bash scripts/m32.sh
step bash scripts/arm64.sh
step bash scripts/windows.sh
step bash scripts/packages.sh
echo "all checks passed in $((SECONDS - start)) s"
