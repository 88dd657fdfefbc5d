#!/bin/sh
# Renders the README's gallery: one frame of each scene, and the title card as the eye sees it, each
# picture the mean of a second of frames (the first and the last second of the line field's
# approach), and one scene drawn at scale 4 beside its scale-1 frame (scene2.png).
# Usage: docs/gallery/make_gallery.sh [build-dir]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
cmake --build "$build" --target glimmershot glimmertide_data >/dev/null
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
ticks="2420 6000 7000 8100 10300 12300"
cd "$build"
export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen}
./glimmershot --fps 40 --at "$(echo $ticks | tr ' ' ,)" --out "$out" >/dev/null
scene=0
for tick in $ticks; do
    cp "$out/at$(printf %05d "$tick").png" "$here/scene$scene.png"
    scene=$((scene + 1))
done
./glimmershot --fps 40 --at 11620,12684 --average 40 --out "$out/average" >/dev/null
cp "$out/average/at11620.png" "$here/title-first-second.png"
cp "$out/average/at12684.png" "$here/title-last-second.png"
./glimmershot --fps 40 --scale 4 --at 7000 --out "$out/scale4" >/dev/null
cp "$out/scale4/at07000.png" "$here/scene2-scale4.png"
