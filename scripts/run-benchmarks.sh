#!/usr/bin/env bash
# Runs every benchmark program of the build, then the whole-show recording benchmark, and prints
# their figures; given the page's folder (make web), its figures in headless Chromium last.
set -euo pipefail
build=$1
site=${2:-}
for b in "$build"/bench/*/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b"
done
echo "== bench-recording.sh"
"$(dirname "$0")/../bench/video/bench-recording.sh" "$build"
echo "== bench-recording.sh at scale 4 (1280 x 960)"
BENCH_SCALE=4 "$(dirname "$0")/../bench/video/bench-recording.sh" "$build" ffv1 mjpeg
if [ -n "$site" ]; then
  echo "== bench-page.mjs (headless Chromium, SwiftShader)"
  node "$(dirname "$0")/../bench/web/bench-page.mjs" "$site"
fi
