#!/usr/bin/env bash
# Every program answers --help with its usage on stdout and --version with "NAME VERSION", both
# with status 0 and nothing on stderr; each tool answers an unknown option with status 2 and, on
# stderr, "NAME: unknown option OPTION" and the usage. (glimmertide reads its words anywhere in the
# text, so it has no unknown option.) Run from an empty folder: none of this may need the data
# archive.
set -uo pipefail
bin=$1 version=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

for program in glimmertide glimmerpack glimmer3ds glimmershot glimmergen; do
  out=$("$bin/$program" --help 2>err); status=$?
  [ $status -eq 0 ] && [ ! -s err ] || fail "$program --help: status $status, stderr $(head -c 200 err)"
  case $out in usage:*) ;; *) fail "$program --help: no usage on stdout";; esac
  out=$("$bin/$program" --version 2>err); status=$?
  [ $status -eq 0 ] && [ "$out" = "$program $version" ] && [ ! -s err ] ||
    fail "$program --version: status $status, '$out'"
  [ $program = glimmertide ] && continue
  # First, and where each tool reads options after other words.
  case $program in
    glimmerpack) later="list x.dat --no-such-option" ;;
    glimmer3ds) later="summary --no-such-option" ;;
    glimmershot) later="--fps 5 --no-such-option" ;;
    glimmergen) later="--out made --no-such-option" ;;
  esac
  for args in "--no-such-option" "$later"; do
    out=$("$bin/$program" $args 2>err); status=$?
    [ $status -eq 2 ] || fail "$program $args: status $status, not 2"
    [ -z "$out" ] && [ "$(head -n 1 err)" = "$program: unknown option --no-such-option" ] &&
      sed -n 2p err | grep -q "^usage:" || fail "$program $args: not named with the usage on stderr: $(head -c 200 err)"
  done
done
[ "$(ls)" = err ] || fail "the programs left files: $(ls)"
[ $failures -eq 0 ] && echo "conventions hold for all five programs"
exit $((failures > 0))
