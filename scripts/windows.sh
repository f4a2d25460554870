#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Zorvan.dll cross-built with mingw-w64 for 32-bit (preset mingw32, in
# build-mingw32) and 64-bit (preset mingw64, in build-mingw64) Windows. In
# each build, ctest checks the DLL's export and import tables with objdump -p
# and runs a host program that loads the DLL under wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh windows
[ -e /usr/lib/wine/wine ] ||
  echo "windows.sh: wine32 is missing: the 32-bit DLL is built and its tables checked, not run"
cmake --workflow --preset mingw32
cmake --workflow --preset mingw64
