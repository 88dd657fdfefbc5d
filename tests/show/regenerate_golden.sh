#!/bin/sh
# Renders the reference frames of the golden-image test again, on purpose: after a deliberate
# change to the picture. Usage: tests/show/regenerate_golden.sh [build-dir]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
cmake --build "$build" --target glimmershot glimmertide_data >/dev/null
ticks=$(cat "$here/golden/TICKS")
cd "$build"
./glimmershot --data Glimmertide.dat --fps 40 --at "$ticks" --out "$here/golden"
