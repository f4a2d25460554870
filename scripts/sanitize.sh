#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The test suite under sanitizers, each in its own build tree; any report
# fails the run. The builds are the presets asan and tsan (CMakePresets.json).
#   bash scripts/sanitize.sh          every test under AddressSanitizer and
#                                     UndefinedBehaviorSanitizer (build-asan)
#   bash scripts/sanitize.sh thread   the tests of threads (their names contain
#                                     "Thread") under ThreadSanitizer (build-tsan)
set -euo pipefail
cd "$(dirname "$0")/.."
preset=asan deps=fuzz   # the asan build is clang's, which the fuzz targets share
[ "${1:-}" = thread ] && preset=tsan deps=
bash scripts/deps.sh $deps
cmake --workflow --preset "$preset"
