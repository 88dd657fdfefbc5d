#!/bin/sh
# Renders the desktop icon again from a frame of the show: the spiral flight at tick 6000, as in
# the README's gallery, cropped to the spiral and scaled to 256 x 256. The icon is committed rather
# than rendered by the build, so that building and installing need no OpenGL context.
# Usage: packaging/render-icon.sh [build-dir]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
cmake --build "$build" --target glimmershot glimmertide_data >/dev/null
shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
(cd "$build" && SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen} \
  ./glimmershot --data Glimmertide.dat --fps 40 --at 6000 --out "$shots" >/dev/null)
ffmpeg -loglevel error -y -i "$shots/at06000.png" -vf "crop=190:190:100:20,scale=256:256:flags=lanczos" \
  -pix_fmt rgb24 "$here/glimmertide.png"
