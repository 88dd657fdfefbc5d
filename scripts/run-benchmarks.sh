#!/usr/bin/env bash
# Runs every benchmark program of the build, then the whole-show recording benchmark, and prints
# their figures.
set -euo pipefail
build=$1
for b in "$build"/bench/*/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b"
done
echo "== bench-recording.sh"
"$(dirname "$0")/../bench/video/bench-recording.sh" "$build"
