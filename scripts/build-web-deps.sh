#!/usr/bin/env bash
# Compiles the libraries the page links, libjpeg-turbo and libmpg123 (the decoders the desktop
# uses), to WebAssembly from their Debian source packages with Debian's patches, into DIR/include
# and DIR/lib with a pkg-config file each. A library already there is kept, so only the first
# `make web` pays for it.
set -euo pipefail
deps=$(mkdir -p "$1" && cd "$1" && pwd)
jobs=$(nproc)
# Debian's emscripten finds its node modules (acorn) there.
export NODE_PATH=${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# `apt-get source` needs a deb-src line for the suite the machine runs.
ensure_deb_src() {
  local codename known
  known=$(apt-cache showsrc mpg123 2>/dev/null || true)
  case $known in *Package:*) return 0 ;; esac
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  echo "Adding deb-src lines for $codename"
  $sudo tee /etc/apt/sources.list.d/glimmertide-deb-src.sources >/dev/null <<SOURCES
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: $codename-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  # Another apt may hold the lists' lock for a while.
  for attempt in 1 2 3 4 5 6; do
    $sudo apt-get update -qq && return 0
    sleep 10
  done
  return 1
}

# Unpacks source package $1 into $deps/src/$1 with Debian's patches applied. The tarballs are
# unpacked by hand: a mirror that lacks an upstream signature file still has what is needed.
unpack() {
  local pkg=$1 dir=$deps/src/$1 download=$deps/src/download
  rm -rf "$dir"
  mkdir -p "$dir" "$download"
  (cd "$download" && apt-get source --download-only "$pkg" >/dev/null 2>&1) || true
  local orig debian
  orig=$(ls "$download/${pkg}"_*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -1)
  debian=$(ls "$download/${pkg}"_*.debian.tar.* 2>/dev/null | head -1)
  if [ -z "$orig" ] || [ -z "$debian" ]; then
    echo "build-web-deps: cannot download the Debian source of $pkg" >&2
    exit 1
  fi
  tar xf "$orig" -C "$dir" --strip-components=1
  tar xf "$debian" -C "$dir"
  if [ -f "$dir/debian/patches/series" ]; then
    grep -vE '^\s*(#|$)' "$dir/debian/patches/series" | while read -r patch _; do
      patch -d "$dir" -p1 -s < "$dir/debian/patches/$patch"
    done
  fi
}

pc_file() {  # name, version, libs
  cat > "$deps/lib/pkgconfig/$1.pc" <<PC
prefix=$deps
Name: $1
Description: $1 compiled with emscripten for the page
Version: $2
Cflags: -I\${prefix}/include
Libs: -L\${prefix}/lib $3
PC
}

mkdir -p "$deps/include" "$deps/lib/pkgconfig"

if [ ! -f "$deps/lib/libjpeg.a" ]; then
  ensure_deb_src
  unpack libjpeg-turbo
  src=$deps/src/libjpeg-turbo
  # CMake's size checks read emscripten's output wrongly: the sizes are those of wasm32.
  emcmake cmake -S "$src" -B "$src/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF \
    -DSIZE_T=4 -DUNSIGNED_LONG=4 >"$src/configure.log"
  cmake --build "$src/build" --target jpeg-static -j "$jobs" >"$src/build.log"
  cp "$src"/{jpeglib.h,jmorecfg.h,jerror.h} "$src/build/jconfig.h" "$deps/include/"
  cp "$src/build/libjpeg.a" "$deps/lib/"
  pc_file libjpeg "$(sed -n 's/^#define LIBJPEG_TURBO_VERSION  *\([0-9.]*\)$/\1/p' "$src/build/jconfig.h")" -ljpeg
fi

if [ ! -f "$deps/lib/libmpg123.a" ]; then
  ensure_deb_src
  unpack mpg123
  src=$deps/src/mpg123
  mkdir -p "$src/build"
  # Plain C decoding (no assembler); only the library is built.
  (cd "$src/build" && CFLAGS=-O2 emconfigure ../configure --host=i686-pc-linux-gnu --with-cpu=generic_fpu \
     --disable-shared --enable-static --disable-modules --with-audio=dummy >"$src/configure.log" 2>&1)
  emmake make -C "$src/build" -j "$jobs" src/libmpg123/libmpg123.la >"$src/build.log" 2>&1
  cp "$src/build/src/libmpg123/mpg123.h" "$src/src/libmpg123/fmt123.h" "$deps/include/"
  cp "$src/build/src/libmpg123/.libs/libmpg123.a" "$deps/lib/"
  pc_file libmpg123 "$(sed -n 's/^PACKAGE_VERSION=.//p' "$src/configure" | tr -d "'" | head -1)" "-lmpg123 -lm"
fi
