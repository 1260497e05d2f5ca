#!/usr/bin/env bash
# CTest's emulator for the Windows test programs: runs one under Wine.
#
#   wine-test.sh WINE PROGRAM.exe [ARGS...]
#
# GoogleTest programs print and flush a line before anything is tested, so a run that
# fails with no output at all never reached the program's main: Wine itself did not start
# it (seen once in a whole CI run, a test of a few lines ending in 0.01 s with nothing
# printed, and never again in hundreds of runs of it). Such a run is tried once more and
# says so on standard error; a program that fails when it did run is never run again, and
# one that fails silently twice fails.
set -u
wine=$1
shift
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
"$wine" "$@" >"$out" 2>"$err"
status=$?
if [ $status -ne 0 ] && [ ! -s "$out" ] && [ ! -s "$err" ]; then
  echo "wine-test: $(basename "$1") ended with status $status before printing anything" \
       "(Wine did not start it); running it once more" >&2
  "$wine" "$@" >"$out" 2>"$err"
  status=$?
fi
cat "$out"
cat "$err" >&2
exit $status
