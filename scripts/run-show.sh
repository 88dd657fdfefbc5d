#!/usr/bin/env bash
# Runs the show from the build directory, where the build leaves Glimmertide.dat.
set -euo pipefail
build=$1; shift
cd "$build"
exec ./glimmertide "$@"
