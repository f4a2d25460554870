#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The bash completion offers what the tool takes: each case is the words
# typed so far, the last one being completed, and the sorted replies.
# Usage: completion.sh COMPLETION-SCRIPT ZORVAN
set -uo pipefail
script=$1 zorvan=$2
# shellcheck source=/dev/null
source "$script"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" && mkdir pictures && touch photo.png mine.zvf 'two words.zvf'

cases=(
  "ap|apply"
  "e|eval examples"
  "eval --c|--channel --ctl"
  "eval --image p|photo.png pictures"
  "c|check controls"
  "controls -x tw|twirl"
  "studio -x v|vignette"
  "st|studio"
  "eval --channel |0 1 2 3"
  "demo -|--help --out --quiet --threads --verbose -o -q -v"
  "apply -x tw|twirl"
  "apply --codec |ffv1 h264 h264rgb vp9"
  "apply --example v|vignette"
  "examples s|sepia shear split"
  "check -f |mine.zvf pictures two words.zvf"
  "check -f mine.zvf |mine.zvf pictures two words.zvf"
  "check x |"
  "eval -x tw|twirl"
  "apply |mine.zvf photo.png pictures two words.zvf"
  "apply -f mine.zvf p|photo.png pictures"
  "demo -o |pictures"
  "eval |"
  "apply --ctl |"
  "apply --format t|tif tiff"
)
failed=0
for case in "${cases[@]}"; do
  read -r -a typed <<< "${case%%|*}"
  [[ ${case%%|*} == *' ' ]] && typed+=("")
  COMP_WORDS=(zorvan "${typed[@]}")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_WORDS[0]=$zorvan
  _zorvan
  got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd ' ')
  if [[ $got != "${case#*|}" ]]; then
    echo "zorvan ${case%%|*}: expected '${case#*|}', got '$got'"
    failed=1
  fi
done
exit $failed
