#!/usr/bin/env bash
# Runs every libFuzzer target (or the named ones) for the given number of seconds each.
set -euo pipefail
build=$1; seconds=$2; shift 2
root=$(cd "$(dirname "$0")/.." && pwd)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$build"/fuzz/fuzz_*; do [ -x "$f" ] && targets+=("$(basename "$f")"); done
fi
for t in "${targets[@]}"; do
  corpus="$root/fuzz/corpus/${t#fuzz_}"
  work="$build/fuzz/work/${t#fuzz_}"
  mkdir -p "$work"
  echo "== $t for ${seconds}s (seed corpus $corpus)"
  "$build/fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 "$work" "$corpus"
done
