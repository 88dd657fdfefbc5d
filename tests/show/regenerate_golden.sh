#!/bin/sh
# Renders the reference frames of the golden-image test again, on purpose: after a deliberate
# change to the picture or to the data. Usage: tests/show/regenerate_golden.sh [build-dir]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
cmake --build "$build" --target glimmershot glimmertide_data >/dev/null
fps=$(sed -n 's/^fps //p' "$here/golden/TICKS")
ticks=$(sed -n 's/^ticks //p' "$here/golden/TICKS")
rm -f "$here"/golden/at*.png
cd "$build"
SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen} ./glimmershot --data Glimmertide.dat --fps "$fps" --at "$ticks" --out "$here/golden"
