#!/usr/bin/env bash
# Runs the show from the build directory, where the build leaves Glimmertide.dat.
# Without a display nobody could watch it: the show is recorded to glimmertide.avi instead.
set -euo pipefail
build=$1; shift
cd "$build"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  args="$*"
  if [[ "${args,,}" != *video* ]]; then set -- "$@" video; fi
  echo "No display: recording the show to $(pwd)/glimmertide.avi" >&2
  status=0
  ./glimmertide "$@" || status=$?
  [ -f glimmertide.avi ] && echo "Recording: $(pwd)/glimmertide.avi" >&2
  exit "$status"
fi
exec ./glimmertide "$@"
