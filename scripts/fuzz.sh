#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fuzzes with libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer
# (the sanitizers' build, preset asan in build-asan, which scripts/sanitize.sh
# tests; made or brought up to date here), each target for a bounded time:
# formula_fuzzer (ZvParse, ZvExec and ZvFree on arbitrary bytes) and
# span_fuzzer (the render library's span evaluator against ZvExec) for the
# seconds given, then for two fifths of that each: filter_file_fuzzer (filter
# files parsed and compiled), image_fuzzer (the tool's image readers)
# options_fuzzer (the tool's command line) and studio_fuzzer (requests to
# the studio's server); video_fuzzer (the video reader) a tenth of it, at
# least 10 s, since most of its time goes in FFmpeg's own parsers. Any crash, leak, UB report,
# mismatch or unit slower than 10 s fails the run and leaves its input in
# build-asan/ (crash-*, leak-*, timeout-*); replay one with
#   build-asan/fuzz/formula_fuzzer build-asan/crash-...   (or another target)
# Each target's corpus grows in build-asan/corpus/TARGET and is kept between
# runs.
# Usage: bash scripts/fuzz.sh [seconds per formula target]   (default 120)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-120}
build=build-asan
bash scripts/deps.sh fuzz
cmake --preset asan >/dev/null
cmake --build --preset asan

# Seeds: our own, every string literal of the tests, and every formula of the
# example filters (a channel line and its indented continuation lines).
seeds=$build/seeds
rm -rf "$seeds"
mkdir -p "$seeds"
find fuzz/seeds -maxdepth 1 -type f -exec cp {} "$seeds"/ \;
n=0
while IFS= read -r literal; do
  n=$((n + 1))
  printf '%s' "${literal:1:${#literal}-2}" > "$seeds/test-$n"
done < <(grep -ohE '"([^"\\]|\\.)*"' tests/*/*.cpp || true)
for f in examples/*.zvf; do
  [ -e "$f" ] || continue
  awk -v out="$seeds/$(basename "$f" .zvf)" -v keys="$(cat "$build/fuzz/formula_keys")" '
    $0 ~ "^(" keys "):" { n++; sub(/^[a-z]+: */, ""); printf "%s", $0 > (out "-" n); keep = 1; next }
    keep && /^[ \t]/ { printf "\n%s", $0 > (out "-" n); next }
    { keep = 0 }' "$f"
done

# TARGET SECONDS DICTIONARY SEED-FOLDER...
fuzz() {
  local target=$1 time=$2 dict=$3
  shift 3
  mkdir -p "$build/corpus/$target"
  "$build/fuzz/$target" -max_total_time="$time" -max_len=4096 -timeout=10 \
    -rss_limit_mb=2048 -dict="$dict" -artifact_prefix="$build/" \
    -print_final_stats=1 "$build/corpus/$target" "$@"
}
short=$((seconds * 2 / 5))
fuzz formula_fuzzer "$seconds" "$build/fuzz/formula.dict" "$seeds"
fuzz span_fuzzer "$seconds" "$build/fuzz/formula.dict" "$seeds"
fuzz filter_file_fuzzer "$short" "$build/fuzz/formula.dict" fuzz/seeds/filter_file examples
fuzz image_fuzzer "$short" fuzz/image.dict fuzz/seeds/image
fuzz options_fuzzer "$short" fuzz/options.dict fuzz/seeds/options
fuzz studio_fuzzer "$short" fuzz/studio.dict fuzz/seeds/studio
fuzz video_fuzzer "$(( seconds / 10 > 10 ? seconds / 10 : 10 ))" fuzz/video.dict fuzz/seeds/video
