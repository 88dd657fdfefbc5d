#!/usr/bin/env bash
# A recording with credits on a virtual X display, where boxes wait for the user (SDL draws them
# with the X core fonts): while the "Finished!" box is up the file must already be complete (every
# frame of the show in it and declared in its headers, decoding cleanly); closing it brings the
# credits box; closing that ends the program with status 0.
set -euo pipefail
program=$1 send_close=$2 archive=$3 frames=$4

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
cp "$archive" Glimmertide.dat
unset SDL_VIDEODRIVER

export program send_close frames
exec xvfb-run -a -s "-screen 0 800x600x24" bash -c '
    set -euo pipefail
    "$program" video credits no sound codec=mjpeg fps 1 2>err.txt &
    pid=$!
    fail() { echo "$1" >&2; cat err.txt >&2; kill -9 "$pid" 2>/dev/null; exit 1; }
    # xdotool does not match the UTF-8 names SDL gives its boxes; xwininfo lists them.
    window() { xwininfo -root -tree | awk -v name="\"$1\":" '\''$2 == name { print $1; exit }'\''; }
    box() {
        for _ in $(seq 600); do
            id=$(window "$1")
            [ -n "$id" ] && { echo "$id"; return 0; }
            sleep 0.2
        done
        return 1
    }

    finished=$(box "Finished!") || fail "no Finished! box"
    # The frames the headers declare (written when the file is completed) and the frames in it.
    counts=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_frames,nb_read_frames \
             -of csv=p=0 glimmertide.avi) || fail "the file cannot be read while the box is up"
    [ "$counts" = "$frames,$frames" ] || fail "declared and read frames $counts, not $frames, while the box is up"
    errors=$(ffmpeg -nostdin -v error -i glimmertide.avi -f null - 2>&1)
    [ -z "$errors" ] || fail "decoding while the box is up: $errors"
    [ -z "$(window "Credits...")" ] || fail "credits before the Finished! box is closed"

    "$send_close" "$finished"
    credits=$(box "Credits...") || fail "no credits box after the Finished! box"
    "$send_close" "$credits"
    status=0
    timeout 60 tail --pid="$pid" -f /dev/null || fail "did not end"
    wait "$pid" || status=$?
    echo "exit status $status"
    exit "$status"
'
