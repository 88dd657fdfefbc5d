#!/usr/bin/env bash
# The recording's progress window under a window manager (openbox on a virtual X display): it
# appears titled "Rendering video..." and its bar advances; Cancel and the close box ask "Really?"
# and No carries on; Yes stops the recording with no "Finished!" box and a file that plays to its
# last frame; SIGINT and SIGTERM still stop it with the window up; and the window keeps repainting
# ten times a second while large frames render. The window's state comes from the program's own
# probe file (GLIMMERTIDE_PROGRESS_PROBE): "percent P ticks N question Q asked A".
set -euo pipefail
program=$1 send_close=$2 archive=$3

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
cp "$archive" Glimmertide.dat
unset SDL_VIDEODRIVER

export program send_close
exec xvfb-run -a -s "-screen 0 1024x768x24" bash ${E2E_TRACE:+-x} -c '
    set -euo pipefail
    openbox >/dev/null 2>&1 &
    sleep 1
    export GLIMMERTIDE_PROGRESS_PROBE=$PWD/probe.txt

    fail() { echo "$*" >&2; cat err.txt >&2 || true; kill -9 "$pid" 2>/dev/null; exit 1; }
    field() { awk -v key="$1" "{ for (i = 1; i < NF; i += 2) if (\$i == key) print \$(i + 1) }" probe.txt 2>/dev/null || true; }
    # The window writes its probe at its first repaint: until then there is none.
    # Waits until the probe says field $1 is $2 (or at least $2 with ">=").
    wait_for() {
        for _ in $(seq 300); do
            value=$(field "$1")
            if [ -n "$value" ]; then
                if [ "${3:-}" = ">=" ]; then [ "$value" -ge "$2" ] && return 0
                elif [ "$value" = "$2" ]; then return 0; fi
            fi
            sleep 0.1
        done
        fail "the window never had $1 ${3:-=} $2 (probe: $(cat probe.txt 2>/dev/null))"
    }
    start() {
        rm -f probe.txt
        "$program" video no sound codec=mjpeg "$@" 2>err.txt &
        pid=$!
        wid=$(timeout 60 xdotool search --sync --onlyvisible --name "^Rendering video\.\.\.\$" | head -n 1) ||
            fail "no window titled Rendering video..."
    }
    press() { xdotool windowactivate --sync "$wid" 2>/dev/null || true; sleep 0.3; xdotool key "$@"; }
    ends_with() {
        status=0
        timeout 60 tail --pid="$pid" -f /dev/null || fail "did not end"
        wait "$pid" || status=$?
        [ "$status" -eq "$1" ] || fail "exit status $status, not $1"
        ! grep -q "Video was rendered" err.txt || fail "a stopped recording said it was rendered"
        ! xdotool search --name "^Rendering video" >/dev/null 2>&1 || fail "the window outlived the program"
    }
    plays() {
        frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames \
                 -of csv=p=0 "$1") || fail "$1 cannot be read"
        [ "$frames" -gt 0 ] || fail "$1 has no frames"
        errors=$(ffmpeg -nostdin -v error -i "$1" -f null - 2>&1)
        [ -z "$errors" ] || fail "decoding $1: $errors"
        echo "$1: $frames frames"
    }

    # The bar advances; Cancel then No (Enter, the default) carries on; Cancel then Yes stops.
    start fps 10 scale=2 out=cancelled.avi
    wait_for percent 1 ">="
    first=$(field percent)
    press alt+c
    wait_for question 1
    xdotool key Return
    wait_for question 0
    wait_for percent $((first + 2)) ">="
    press alt+c
    wait_for question 1
    xdotool key alt+y
    ends_with 0
    plays cancelled.avi

    # The close box asks the same question; SIGTERM and SIGINT stop the recording with the window up.
    for signal in TERM INT; do
        start fps 10 scale=2 "out=$signal.avi"
        wait_for percent 1 ">="
        "$send_close" "$wid"
        wait_for question 1
        "$send_close" "$wid"  # again while it asks: the same question, not a second one
        sleep 0.5
        [ "$(field asked)" = 1 ] || fail "asked $(field asked) times"
        xdotool key Escape  # the question closed without an answer is a No
        wait_for question 0
        kill -s "$signal" "$pid"
        ends_with 0
        plays "$signal.avi"
    done

    # Large frames: the window still repaints about ten times a second.
    start fps 1 scale=8 out=large.avi
    wait_for ticks 1 ">="
    before=$(field ticks)
    sleep 2
    after=$(field ticks)
    [ $((after - before)) -ge 10 ] || fail "only $((after - before)) repaints in two seconds"
    kill -s TERM "$pid"
    ends_with 0
    echo "repaints in two seconds at scale 8: $((after - before))"
'
