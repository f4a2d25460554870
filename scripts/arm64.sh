#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The libraries as 64-bit ARM programs, cross-built with clang and Debian's
# aarch64 libraries, and the render library's tests run under qemu-aarch64: the NEON loops
# of the byte tables and the span loops as the compiler vectorises them for
# NEON, against the per-pixel path, on generated formulas, the example
# filters and the span fuzzer's seeded driver. The rest of the suite is
# left out: the tool's image libraries are x86 here, and every test program
# under the emulator would take a quarter of an hour.
exec bash "$(dirname "$0")/cross.sh" arm64
