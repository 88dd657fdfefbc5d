#!/usr/bin/env bash
# Builds the .deb from the build folder, unpacks it into a scratch folder and runs the unpacked
# program from an empty folder: --version, and a short recording that ffprobe must read cleanly.
# Then the same build installed with `cmake --install` into a scratch prefix finds its data too.
set -euo pipefail
build=$1 version=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/cpack" >"$scratch/cpack.log" ||
  { cat "$scratch/cpack.log"; fail "cpack"; }
deb=$(echo "$scratch"/cpack/glimmertide_*.deb)
[ -f "$deb" ] || fail "no .deb in $scratch/cpack"
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
case $depends in *libgtk-3*) ;; *) fail "Depends lacks GTK, which the progress window needs";; esac
case $depends in *libsdl2*libswscale*) ;; *) fail "Depends lacks the linked libraries";; esac
[ "$(dpkg-deb --field "$deb" Section)" = games ] || fail "section"

root=$scratch/root
dpkg-deb -x "$deb" "$root"
for f in usr/games/glimmertide usr/bin/glimmerpack usr/bin/glimmer3ds usr/bin/glimmershot \
         usr/bin/glimmergen usr/share/glimmertide/Glimmertide.dat \
         usr/share/applications/glimmertide.desktop \
         usr/share/icons/hicolor/256x256/apps/glimmertide.png usr/share/man/man6/glimmertide.6.gz \
         usr/share/man/man1/glimmershot.1.gz usr/share/doc/glimmertide/copyright \
         usr/share/doc/glimmertide/changelog.gz; do
  [ -f "$root/$f" ] || fail "$f is not in the package"
done

# The menu entry: valid without a word said, and its actions run the program with no shell between.
entry=$root/usr/share/applications/glimmertide.desktop
said=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $said"
[ -z "$said" ] || fail "desktop-file-validate says: $said"
[ "$(grep '^Exec=' "$entry")" = "$(printf 'Exec=glimmertide\nExec=glimmertide window\nExec=glimmertide hd\nExec=glimmertide videos scale=3')" ] ||
  fail "the entry's commands are $(grep '^Exec=' "$entry")"

mkdir "$scratch/empty"
cd "$scratch/empty"
[ "$("$root/usr/games/glimmertide" --version)" = "glimmertide $version" ] || fail "--version"
"$root/usr/games/glimmertide" video fps 2 no audio </dev/null 2>"$scratch/video.err" ||
  { cat "$scratch/video.err"; fail "the recording"; }
[ "$(ls)" = glimmertide.avi ] || fail "the working folder holds $(ls)"
errors=$(ffprobe -v error -show_entries stream=codec_type -of csv=p=0 glimmertide.avi 2>&1)
[ "$errors" = video ] || fail "ffprobe: $errors"
rm glimmertide.avi

cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
"$scratch/prefix/bin/glimmershot" --fps 10 --at 30 --out shots >/dev/null || fail "installed glimmershot"
[ -f shots/at00030.png ] || fail "installed glimmershot wrote no frame"
echo "package and install pass"
