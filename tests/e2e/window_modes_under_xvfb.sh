#!/usr/bin/env bash
# The window under a window manager (openbox on a virtual X display): hd picks its size, the
# picture follows it when it is resized with its 4:3 frame kept and black borders, F11 and
# Alt+Enter switch to full screen and back to the window's size (324 x 265 at the scale for a show
# opened full screen), and Escape still ends the show normally. It plays as on a driver that
# smooths lines up to 7.375 pixels only (Intel's): hd keeps its scale, with no word of falling
# back, and the lines, drawn as quads, follow every change of size.
set -euo pipefail
program=$1 archive=$2

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
cp "$archive" Glimmertide.dat
unset SDL_VIDEODRIVER

export program
exec xvfb-run -a -s "-screen 0 1600x1200x24" bash -c '
    set -euo pipefail
    openbox >/dev/null 2>&1 &
    sleep 1
    GLIMMERTIDE_LINE_WIDTH_LIMIT=7.375 "$program" window hd no audio 2> err.txt &
    pid=$!
    fail() { echo "$*" >&2; kill "$pid" 2>/dev/null; exit 1; }
    wid=$(timeout 60 xdotool search --sync --onlyvisible --pid "$pid" | head -n 1)
    size() { xdotool getwindowgeometry "$wid" | sed -n "s/ *Geometry: //p"; }
    # The columns of the window that light up over a few seconds of the show: "left right".
    lit_columns() {
        sleep 0.5  # frames drawn for the new size
        for i in 1 2 3 4 5 6 7 8; do import -window "$wid" "shot$i.png"; sleep 0.4; done
        convert shot*.png -evaluate-sequence max -threshold 20% -format "%@" info: |
            awk -F "[x+]" "{ print \$3, \$3 + \$1 }"
        rm -f shot*.png
    }
    wait_for_size() {
        for i in $(seq 50); do [ "$(size)" = "$1" ] && return 0; sleep 0.1; done
        fail "window is $(size), not $1"
    }

    # 1600 x 1200: the largest window within 80 % of it is scale 3.
    wait_for_size 972x795
    # Full screen and back gives the window its size again.
    xdotool windowfocus --sync "$wid"
    xdotool key F11
    wait_for_size 1600x1200
    xdotool key F11
    wait_for_size 972x795

    # A wide window: the picture is as high as the window and centred, black at both sides.
    xdotool windowsize --sync "$wid" 1200 500
    wait_for_size 1200x500
    read -r left right <<< "$(lit_columns)"
    # 324 x 265 shown 500 high is 611 wide, from column 294 to 905.
    [ "$left" -ge 280 ] && [ "$right" -le 920 ] && [ $((right - left)) -ge 300 ] ||
        fail "lit columns $left to $right in a 1200 x 500 window"

    for keys in F11 alt+Return; do
        xdotool windowfocus --sync "$wid"
        xdotool key "$keys"
        wait_for_size 1600x1200
        read -r left right <<< "$(lit_columns)"
        [ $((right - left)) -ge 700 ] || fail "full screen lights only columns $left to $right"
        xdotool key "$keys"
        wait_for_size 1200x500
    done

    end_with_escape() {
        xdotool windowfocus --sync "$wid"
        xdotool keydown Escape
        status=0
        timeout 60 tail --pid="$pid" -f /dev/null || { kill -9 "$pid"; echo "did not end" >&2; exit 1; }
        wait "$pid" || status=$?
        xdotool keyup Escape 2>/dev/null || true
        echo "exit status $status"
        [ "$status" -eq 0 ] || exit "$status"
    }
    end_with_escape
    ! grep -q "cannot draw scale" err.txt || fail "fell back: $(cat err.txt)"

    # Opened full screen, it leaves full screen for the window it would have opened: 324 x 265
    # at its scale.
    "$program" scale=2 no audio &
    pid=$!
    wid=$(timeout 60 xdotool search --sync --onlyvisible --pid "$pid" | head -n 1)
    wait_for_size 1600x1200
    for keys in F11 alt+Return; do
        xdotool windowfocus --sync "$wid"
        xdotool key "$keys"
        wait_for_size 648x530
        xdotool key "$keys"
        wait_for_size 1600x1200
    done
    end_with_escape
'
