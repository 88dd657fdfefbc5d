#!/usr/bin/env bash
# Builds the Debian package from the given build folder with CPack, then checks its desktop entry
# (desktop-file-validate) and the package (lintian; any error fails).
set -euo pipefail
build=$1
root=$(cd "$(dirname "$0")/.." && pwd)
desktop-file-validate "$root/packaging/glimmertide.desktop"
(cd "$build" && cpack -G DEB)
deb=$(ls -t "$build"/glimmertide_*.deb | head -n 1)
echo "== $deb"
dpkg-deb --field "$deb" Package Version Section Maintainer Depends
echo "== lintian"
lintian --fail-on error --info "$deb"
