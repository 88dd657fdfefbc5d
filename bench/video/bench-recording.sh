#!/usr/bin/env bash
# Records the whole show at 40 fps with sound, once per codec, and reports the wall time as a
# multiple of the show's real time (183.4 s) and against rendering alone (glimmershot without
# --out), all in one run. Usage: bench/video/bench-recording.sh [build-dir] [codecs...]
set -euo pipefail
build=$(cd "${1:-build}" && pwd); shift || true
codecs=("$@"); [ ${#codecs[@]} -gt 0 ] || codecs=(ffv1 mjpeg)
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
ln -s "$build/Glimmertide.dat" "$work/Glimmertide.dat"
cd "$work"
export SDL_VIDEODRIVER=offscreen
unset DISPLAY WAYLAND_DISPLAY

seconds() { local s e; s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N); calc "$e - $s"; }
calc() { awk "BEGIN { print $1 }"; }

render=""
if [ -x "$build/glimmershot" ]; then
  render=$(seconds "$build/glimmershot")
  printf 'rendering alone (glimmershot): %6.1f s  = %5.2f x faster than real time\n' "$render" "$(calc "183.4 / $render")"
else
  echo "glimmershot not built: rendering alone not measured"
fi
for codec in "${codecs[@]}"; do
  t=$(seconds "$build/glimmertide" video "codec=$codec")
  size=$(stat -c %s glimmertide.avi)
  printf 'recording %-7s %6.1f s  = %5.2f x faster than real time, %6.1f MB' "$codec" "$t" \
    "$(calc "183.4 / $t")" "$(calc "$size / 1000000")"
  [ -n "$render" ] && printf ', %4.2f x rendering alone' "$(calc "$t / $render")"
  echo
  rm -f glimmertide.avi
done
# The recorder's own share, without rendering: synthetic frames and sound.
for codec in "${codecs[@]}"; do "$build/bench/video/bench_video_record" "$codec" 2000; done
