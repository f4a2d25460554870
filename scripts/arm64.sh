#!/usr/bin/env bash
# The libraries and their tests as 64-bit ARM programs, cross-built with
# Debian's aarch64 g++ and run under qemu-aarch64: the NEON loops of the
# byte tables and the span loops as the compiler vectorises them for NEON,
# against the per-pixel path, on generated formulas, the example filters
# and the span fuzzer's seeded driver (the command-line tool is left out,
# its image libraries are x86 here).
exec bash "$(dirname "$0")/cross.sh" arm64
