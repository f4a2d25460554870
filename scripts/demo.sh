#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the tool with the libraries (so that `cmake --install build` can
# follow) and the Python module (build/python), and runs the demo: every
# example filter applied to an embedded test image, written as a contact
# sheet and one file per example.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset release
cmake --build --preset release --target zorvan_installable _zorvan
./build/tools/zorvan/zorvan demo --out build/demo
