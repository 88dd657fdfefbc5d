#!/usr/bin/env bash
# Records the whole show at 40 fps with sound, once per recording kind, and reports the wall time
# as a multiple of the show's real time (183.4 s) and against rendering alone (glimmershot without
# --out), all in one run. A kind is an AVI codec (ffv1, mjpeg...) or a file name whose extension
# picks the container (show.mp4, show.mkv, show.webm). With BENCH_RUNS=N every measurement is
# taken N times, interleaved, and the fastest counts, which keeps a shared machine's noise out of
# the ratios. BENCH_SCALE=N renders and records at scale N.
# Usage: [BENCH_RUNS=N] [BENCH_SCALE=N] bench/video/bench-recording.sh [build-dir] [kinds...]
set -euo pipefail
build=$(cd "${1:-build}" && pwd); shift || true
kinds=("$@"); [ ${#kinds[@]} -gt 0 ] || kinds=(ffv1 mjpeg show.mp4 show.mkv show.webm)
runs=${BENCH_RUNS:-1}
scale=${BENCH_SCALE:-1}
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
ln -s "$build/Glimmertide.dat" "$work/Glimmertide.dat"
cd "$work"
export SDL_VIDEODRIVER=offscreen
unset DISPLAY WAYLAND_DISPLAY

calc() { awk "BEGIN { print $1 }"; }
now() { date +%s.%N; }
least() { if [ -z "$1" ]; then echo "$2"; else calc "($2 < $1) ? $2 : $1"; fi; }

# glimmershot's run includes start-up like a recording's, then a floor loop of its own, which it
# times and prints; that part is taken off.
render_once() {
  local s e floor
  s=$(now); "$build/glimmershot" --scale "$scale" > shot.txt 2>&1; e=$(now)
  floor=$(awk '/^floor:/ { print $5 }' shot.txt)
  calc "$e - $s - ${floor:-0}"
}
# The words and the file of one kind.
words() { if [[ $1 == *.* ]]; then echo "out=$1"; else echo "codec=$1"; fi; }
file_of() { if [[ $1 == *.* ]]; then echo "$1"; else echo glimmertide.avi; fi; }
record_once() {
  local s e
  s=$(now); "$build/glimmertide" video "$(words "$1")" "scale=$scale" >/dev/null 2>&1; e=$(now)
  stat -c %s "$(file_of "$1")" > "size-$1"  # called in a subshell: the size goes through a file
  rm -f "$(file_of "$1")"
  calc "$e - $s"
}

declare -A best
render=""
for ((run = 0; run < runs; run++)); do
  [ -x "$build/glimmershot" ] && render=$(least "$render" "$(render_once)")
  for kind in "${kinds[@]}"; do best[$kind]=$(least "${best[$kind]:-}" "$(record_once "$kind")"); done
done

echo "scale $scale: frames of $((320 * scale)) x $((240 * scale))"
if [ -n "$render" ]; then
  grep -E '^(show|floor):|floor.s rate' shot.txt
  printf 'rendering alone (glimmershot): %6.1f s  = %5.2f x faster than real time\n' "$render" "$(calc "183.4 / $render")"
else
  echo "glimmershot not built: rendering alone not measured"
fi
for kind in "${kinds[@]}"; do
  t=${best[$kind]}
  printf 'recording %-9s %6.1f s  = %5.2f x faster than real time, %6.1f MB' "$kind" "$t" \
    "$(calc "183.4 / $t")" "$(calc "$(cat "size-$kind") / 1000000")"
  [ -n "$render" ] && printf ', %4.2f x rendering alone' "$(calc "$t / $render")"
  echo
done
# The recorder's own share, without rendering: synthetic frames and sound.
for kind in "${kinds[@]}"; do "$build/bench/video/bench_video_record" "$kind" 2000 40 "$scale"; done
