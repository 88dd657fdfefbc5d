#!/usr/bin/env bash
# Runs every libFuzzer target (or the named ones) for the given number of seconds each. With 0
# seconds each target only replays its seed corpus, every file once.
set -euo pipefail
build=$1; seconds=$2; shift 2
root=$(cd "$(dirname "$0")/.." && pwd)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$build"/fuzz/fuzz_*; do [ -x "$f" ] && targets+=("$(basename "$f")"); done
fi
passed=0 failed=0
for t in "${targets[@]}"; do
  corpus="$root/fuzz/corpus/${t#fuzz_}"
  if [ "$seconds" = 0 ]; then
    echo "== $t replays $corpus"
    if "$build/fuzz/$t" "$corpus"/* >"$build/fuzz/$t.replay.log" 2>&1; then
      passed=$((passed + 1))
    else
      cat "$build/fuzz/$t.replay.log"
      failed=$((failed + 1))
    fi
    continue
  fi
  work="$build/fuzz/work/${t#fuzz_}"
  mkdir -p "$work"
  echo "== $t for ${seconds}s (seed corpus $corpus)"
  "$build/fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 "$work" "$corpus"
done
if [ "$seconds" = 0 ]; then
  echo "corpora: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
fi
