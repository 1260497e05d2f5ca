#!/usr/bin/env bash
# pixeldemo.exe under Wine, started like the Linux program, so the end-to-end scripts of
# tests/ take this script as "the demo". PIXELDEMO_EXE names the .exe (CTest sets it).
#
# Windows programs end their text lines with CR LF; the CRs are dropped on the way out, so
# the scripts read the same lines as from the Linux build. The program's output is passed
# on when it has ended (through files: processes that Wine starts on the way, such as its
# desktop, keep the program's output open). The exit code is the program's; SIGTERM, SIGINT
# and SIGHUP are passed on to it.
#
# PIXELDEMO_NEW_WINE_SESSION=1 restarts the Wine server first: Wine's desktop keeps the size
# of the first display it met, and a window test brings an X display of its own.
set -u
exe=${PIXELDEMO_EXE:?PIXELDEMO_EXE names pixeldemo.exe}
if [ "${PIXELDEMO_NEW_WINE_SESSION:-0}" = 1 ]; then
  wineserver -k 2>/dev/null
  wineserver -w
  wineserver -p </dev/null >/dev/null 2>&1
  # Wine's services start with the first program, and keep its output: not the test's.
  wine cmd.exe /c exit </dev/null >/dev/null 2>&1
fi
out=$(mktemp)
err=$(mktemp)
wine "$exe" "$@" >"$out" 2>"$err" &
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
tr -d '\r' <"$out"
tr -d '\r' <"$err" >&2
rm -f "$out" "$err"
exit "$rc"
