#!/usr/bin/env bash
# Runs the show from the build directory, where the build leaves Glimmertide.dat.
# Without a display nobody could watch it: the show is recorded instead (to glimmertide.avi, or to
# the file an out= word names).
set -euo pipefail
build=$1; shift
cd "$build"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  file=glimmertide.avi words=""
  for word in "$@"; do
    # As the program reads it: out= takes the rest of its word, whatever stands before it stays.
    lower=${word,,}
    if [[ $lower == *out=* ]]; then
      before=${lower%%out=*}
      file=${word:$((${#before} + 4))} words+=" ${word:0:${#before}}"
    else
      words+=" $word"
    fi
  done
  if [[ "${words,,}" != *video* ]]; then set -- "$@" video; fi
  echo "No display: recording the show to $(realpath -m "$file")" >&2
  status=0
  ./glimmertide "$@" || status=$?
  [ -f "$file" ] && echo "Recording: $(realpath "$file")" >&2
  exit "$status"
fi
exec ./glimmertide "$@"
