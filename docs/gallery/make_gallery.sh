#!/bin/sh
# Renders the README's gallery: one frame of each scene. Usage: docs/gallery/make_gallery.sh [build-dir]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
cmake --build "$build" --target glimmershot glimmertide_data >/dev/null
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
ticks="2420 6000 7000 8100 10300 12300"
cd "$build"
SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen} ./glimmershot --fps 40 --at "$(echo $ticks | tr ' ' ,)" --out "$out" >/dev/null
scene=0
for tick in $ticks; do
    cp "$out/at$(printf %05d "$tick").png" "$here/scene$scene.png"
    scene=$((scene + 1))
done
