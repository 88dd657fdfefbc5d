#!/usr/bin/env bash
# Runs glimmertide on a real (virtual) X display with the generated archive, checks the window is
# 324 x 265, ends the show with Escape or with the close request and expects exit status 0.
# Sound is off: the machine may have no sound device.
set -euo pipefail
program=$1 send_close=$2 ending=$3 archive=$4

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
cp "$archive" Glimmertide.dat
unset SDL_VIDEODRIVER

export program send_close ending
exec xvfb-run -a -s "-screen 0 800x600x24" bash -c '
    set -euo pipefail
    "$program" window no audio &
    pid=$!
    wid=$(timeout 60 xdotool search --sync --onlyvisible --pid "$pid" | head -n 1)
    geometry=$(xdotool getwindowgeometry "$wid" | sed -n "s/ *Geometry: //p")
    if [ "$geometry" != "324x265" ]; then
        echo "window is $geometry, not 324x265" >&2
        kill "$pid"
        exit 1
    fi
    case $ending in
        escape)
            xdotool windowfocus --sync "$wid"
            xdotool keydown Escape
            ;;
        close)
            "$send_close" "$wid"
            ;;
    esac
    status=0
    timeout 60 tail --pid="$pid" -f /dev/null || { kill -9 "$pid"; echo "did not end" >&2; exit 1; }
    wait "$pid" || status=$?
    [ "$ending" = escape ] && xdotool keyup Escape 2>/dev/null || true
    echo "exit status $status"
    exit "$status"
'
