#!/usr/bin/env bash
# pixeldemo.exe under Wine, started like the Linux program, so the end-to-end scripts of
# tests/ take this script as "the demo". PIXELDEMO_EXE names the .exe (CTest sets it).
#
# Windows programs end their text lines with CR LF; the CRs are dropped on the way out, so
# the scripts read the same lines as from the Linux build. The exit code is the program's;
# SIGTERM, SIGINT and SIGHUP are passed on to it.
set -u
exe=${PIXELDEMO_EXE:?PIXELDEMO_EXE names pixeldemo.exe}
pipes=$(mktemp -d)
mkfifo "$pipes/out" "$pipes/err"
tr -d '\r' <"$pipes/out" &
out=$!
tr -d '\r' <"$pipes/err" >&2 &
err=$!
wine "$exe" "$@" >"$pipes/out" 2>"$pipes/err" &
demo=$!
trap 'kill -TERM $demo 2>/dev/null' TERM
trap 'kill -INT $demo 2>/dev/null' INT
trap 'kill -HUP $demo 2>/dev/null' HUP
# A trap interrupts `wait`; wait again until the program has really ended.
while :; do
  wait "$demo"
  rc=$?
  kill -0 "$demo" 2>/dev/null || break
done
wait "$out" "$err"
rm -rf "$pipes"
exit "$rc"
