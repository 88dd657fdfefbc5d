#!/usr/bin/env bash
# The boxes on a virtual X display. Ctrl-C (SIGINT) and SIGTERM end the program while one of them
# waits: the codec box before a recording (nothing written), the "Finished!" box after one (the
# file complete) and the "Fatal error!" box. Enter in the codec box records with ffv1, the codec
# used without a display. The program runs as a job of its own, as a terminal's shell starts it (a
# script's background job would have SIGINT ignored, and keeps it ignored).
set -euo pipefail
program=$1 archive=$2

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
mkdir show empty
cp "$archive" show/Glimmertide.dat
unset SDL_VIDEODRIVER

export program
exec xvfb-run -a -s "-screen 0 800x600x24" bash -c '
    set -euo pipefail
    set -m  # job control: every job in its own process group, SIGINT not ignored
    fail() { echo "$*" >&2; cat "$folder/err.txt" >&2; kill -9 "$pid" 2>/dev/null; exit 1; }
    # xdotool does not match the UTF-8 names SDL gives its boxes; xwininfo lists them.
    window() { xwininfo -root -tree | { grep -F "\"$1\":" || true; } | awk "{ print \$1; exit }"; }
    # Starts the program in folder $1 with the words that follow.
    start() {
        folder=$1
        shift
        (cd "$folder" && exec "$program" "$@" 2>err.txt) &
        pid=$!
    }
    # Waits for the box captioned $1 and prints its window.
    box() {
        for _ in $(seq 600); do
            id=$(window "$1")
            [ -n "$id" ] && { echo "$id"; return 0; }
            kill -0 "$pid" 2>/dev/null || fail "ended before the $1 box"
            sleep 0.2
        done
        fail "no $1 box"
    }
    # Sends signal $1 while the box captioned $2 waits; the program must end by it.
    ends_by() {
        box "$2" >/dev/null
        kill -s "$1" "$pid"
        timeout 20 tail --pid="$pid" -f /dev/null || fail "SIG$1 did not end the program under the $2 box"
        local status=0
        wait "$pid" || status=$?
        [ "$status" -eq $((128 + $(kill -l "$1"))) ] || fail "SIG$1 under the $2 box: exit status $status"
        # SDL shows the box from a child process: it ends with the program.
        for _ in $(seq 50); do [ -z "$(window "$2")" ] && break; sleep 0.2; done
        [ -z "$(window "$2")" ] || fail "the $2 box stays after SIG$1"
        echo "SIG$1 ends the program under the $2 box"
    }

    start show video no sound fps 1
    ends_by INT "Video compression"
    [ ! -e show/glimmertide.avi ] || fail "the cancelled codec choice left a file"

    start show video no sound fps 1
    xdotool key --window "$(box "Video compression")" Return
    box "Finished!" >/dev/null
    codec=$(ffprobe -v error -select_streams v:0 -show_entries stream=codec_name -of csv=p=0 show/glimmertide.avi)
    [ "$codec" = ffv1 ] || fail "Enter in the codec box recorded $codec, not ffv1"
    errors=$(ffmpeg -nostdin -v error -i show/glimmertide.avi -f null - 2>&1)
    [ -z "$errors" ] || fail "the recording under the Finished! box: $errors"
    ends_by TERM "Finished!"

    start empty window no audio
    ends_by INT "Fatal error!"
    start empty video no audio
    ends_by TERM "Fatal error!"
'
