#!/usr/bin/env bash
# The whole show live in a window on a virtual X display with the soundtrack on SDL's dummy audio
# driver, at real speed: it must end by itself with exit status 0 after about the show's length
# (13100 ticks, 183.4 s), which shows the clock kept with the audio from start to end.
set -euo pipefail
program=$1 archive=$2

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
cp "$archive" Glimmertide.dat
unset SDL_VIDEODRIVER
export SDL_AUDIODRIVER=dummy program

exec xvfb-run -a -s "-screen 0 800x600x24" bash -c '
    set -uo pipefail
    start=$(date +%s.%N)
    timeout 400 "$program" window
    status=$?
    seconds=$(awk -v a="$start" -v b="$(date +%s.%N)" "BEGIN { printf \"%.1f\", b - a }")
    echo "exit status $status after $seconds s (show length 183.4 s)"
    [ "$status" -eq 0 ] || exit 1
    # Start-up (loading the scenes) and shutdown come on top of the show itself.
    if ! awk -v s="$seconds" "BEGIN { exit !(s >= 181.4 && s <= 189) }"; then
        echo "the show did not last about 183.4 s" >&2
        exit 1
    fi
'
