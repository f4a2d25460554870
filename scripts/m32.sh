#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The library and its tests as 32-bit x86 programs (gcc -m32), run under
# qemu-i386: the context's 32-bit layout is pinned by static_asserts in
# api/zorvan.h, so the build itself checks it, and the tests run on top
# (the command-line tool is left out, its image libraries are 64-bit here).
exec bash "$(dirname "$0")/cross.sh" m32
