#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The manual pages render without a single groff warning, and every
# command's --help points at zorvan(1).
# Usage: man.sh ZORVAN PAGE...
set -uo pipefail
zorvan=$1
shift
failed=0
for page in "$@"; do
  warnings=$(groff -k -man -t -Tutf8 -ww -z "$page" 2>&1)
  if [[ -n $warnings || ! -s $page ]]; then
    echo "$page: ${warnings:-empty}"
    failed=1
  fi
done
for command in apply check eval demo examples; do
  if ! "$zorvan" "$command" --help | grep -q 'zorvan(1)'; then
    echo "zorvan $command --help does not name zorvan(1)"
    failed=1
  fi
done
exit $failed
