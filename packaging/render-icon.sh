#!/bin/sh
# Makes the desktop icon from a frame of the show: the README gallery's spiral flight (tick 6000,
# rendered by glimmershot; docs/gallery/make_gallery.sh renders it again), cropped to the spiral
# and scaled to 256 x 256. The icon is committed rather than made by the build, so that building
# and installing need neither ffmpeg nor an OpenGL context. Usage: packaging/render-icon.sh
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
ffmpeg -loglevel error -y -i "$root/docs/gallery/scene1.png" \
  -vf "crop=190:190:100:20,scale=256:256:flags=lanczos" -pix_fmt rgb24 "$root/packaging/glimmertide.png"
