#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a Windows program under the wine loader given, or says it is skipped
# where this machine cannot start that loader at all (a kernel without
# 32-bit support cannot run the 32-bit one).
# Usage: run_host.sh LOADER PROGRAM [ARGS...]
loader=$1
shift
if ! "$loader" --version > /dev/null 2>&1; then
  echo "skipped: $loader cannot run on this machine"
  exit 0
fi
exec "$loader" "$@"
