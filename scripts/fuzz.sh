#!/usr/bin/env bash
# Fuzzes with libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer
# (the preset fuzz, built in build-fuzz), each target for a bounded time:
# formula_fuzzer (ZvParse, ZvExec and ZvFree on arbitrary bytes), then
# span_fuzzer (the tool's span evaluator against ZvExec). Any crash, leak, UB
# report, mismatch or unit slower than 10 s fails the run and leaves its input
# in build-fuzz/ (crash-*, leak-*, timeout-*); replay one with
#   build-fuzz/fuzz/formula_fuzzer build-fuzz/crash-...   (or span_fuzzer)
# Each target's corpus grows in build-fuzz/corpus/TARGET and is kept between
# runs.
# Usage: bash scripts/fuzz.sh [seconds per target]   (default 120)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-120}
build=build-fuzz
bash scripts/deps.sh fuzz
cmake --workflow --preset fuzz

# Seeds: our own, every string literal of the tests, and every formula of the
# example filters (a channel line and its indented continuation lines).
seeds=$build/seeds
rm -rf "$seeds"
mkdir -p "$seeds"
cp fuzz/seeds/* "$seeds"/
n=0
while IFS= read -r literal; do
  n=$((n + 1))
  printf '%s' "${literal:1:${#literal}-2}" > "$seeds/test-$n"
done < <(grep -ohE '"([^"\\]|\\.)*"' tests/*/*.cpp || true)
for f in examples/*.zvf; do
  [ -e "$f" ] || continue
  awk -v out="$seeds/$(basename "$f" .zvf)" '
    /^(r|g|b|a|rgb|all):/ { n++; sub(/^[a-z]+: */, ""); printf "%s", $0 > (out "-" n); keep = 1; next }
    keep && /^[ \t]/ { printf "\n%s", $0 > (out "-" n); next }
    { keep = 0 }' "$f"
done

for target in formula_fuzzer span_fuzzer; do
  mkdir -p "$build/corpus/$target"
  "$build/fuzz/$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -rss_limit_mb=2048 -dict=fuzz/formula.dict -artifact_prefix="$build/" \
    -print_final_stats=1 "$build/corpus/$target" "$seeds"
done
