#!/usr/bin/env bash
# A start-up that fails where no one sees standard error shows its reason in a box; with a
# console or a redirected output nothing changes. pixeldemo.exe runs, on an X display of its
# own (Xvfb), from a folder with no data/ in it or beside the program:
#   - as a double click starts it (Wine's `start /unix`, which, like the Windows shell, gives
#     it no console and no standard handles): a box titled "pixeldemo" appears, holding the
#     lines the console would get and what to do; closed, the program ends with exit code 1;
#   - with its output redirected, and from a terminal: no box, the lines as before, exit 1.
#
#   tests/windows/startup_box.sh path/to/wine-pixeldemo.sh path/to/window_text.exe [keep-dir]
# keep-dir receives box.png, a grab of the screen with the box.
set -u
windows=$(realpath "$1")
window_text=$(realpath "$2")
keep=${3:-}
exe=$(realpath "${PIXELDEMO_EXE:?}")
for tool in Xvfb xdotool xwd convert script; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing"; exit 1; }
done
work=$(mktemp -d)
xvfb_pid=
cleanup() {
  wineserver -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
xdotool getdisplaygeometry >/dev/null 2>&1 || { cat "$work/xvfb.log"; fail "Xvfb did not answer"; }
export SDL_AUDIODRIVER=dummy
# A Wine session on this display (its desktop belongs to the first display it meets).
wineserver -k 2>/dev/null
wineserver -w
wineserver -p </dev/null >/dev/null 2>&1
wine cmd.exe /c exit </dev/null >/dev/null 2>&1

mkdir -p "$work/nodata/bin"
cp "$exe" "$work/nodata/bin/pixeldemo.exe"
cd "$work/nodata"
boxes() { xdotool search --onlyvisible --name '^pixeldemo$' 2>/dev/null; }

# The double click.
(wine start /wait /unix "$work/nodata/bin/pixeldemo.exe" </dev/null >/dev/null 2>&1
 echo $? >"$work/double-click.rc") &
wine "$window_text" pixeldemo 60 </dev/null >"$work/box.txt" 2>/dev/null || fail "no box titled pixeldemo within 60 s"
for _ in $(seq 50); do window=$(boxes | head -n1); [ -n "$window" ] && break; sleep 0.2; done
[ -n "$window" ] || fail "the box is not on the X display"
sleep 1   # drawn
xwd -root -silent | convert xwd:- "$work/box.png" || fail "no grab of the screen"
[ -n "$keep" ] && mkdir -p "$keep" && cp "$work/box.png" "$keep/"
tr -d '\r' <"$work/box.txt" >"$work/box.lines"
# Wine's `start`, like the Windows shell, starts the program in its own folder.
for want in "no data folder beside the program in Z:.*nodata.bin" \
            "File not found: data/loading.png" "data/loading.png: No such file or directory" \
            "unzip the whole folder"; do
  grep -q "$want" "$work/box.lines" || { cat "$work/box.lines"; fail "the box does not say '$want'"; }
done
# Closed with its button (Return), the program ends as it did without the box.
for _ in $(seq 20); do
  [ -s "$work/double-click.rc" ] && break
  xdotool windowfocus --sync "$window" 2>/dev/null; xdotool key Return 2>/dev/null
  sleep 0.5
done
for _ in $(seq 40); do [ -s "$work/double-click.rc" ] && break; sleep 0.25; done
[ "$(cat "$work/double-click.rc" 2>/dev/null)" = 1 ] ||
  fail "exit code $(cat "$work/double-click.rc" 2>/dev/null) after the box, not 1"
echo "double click: a box saying where it looked for data/ and to unzip the whole folder; exit code 1"

# With a console: the lines and the exit code of before, and never a box.
check_console() {   # name, command...
  local name=$1 rc
  shift
  "$@" >"$work/$name.out" 2>"$work/$name.err" </dev/null &
  local pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    [ -z "$(boxes)" ] || { kill "$pid"; fail "$name: a box appeared"; }
    sleep 0.2
  done
  wait "$pid"
  rc=$?
  # Wine's console draws on a terminal with escape sequences, a blank as "clear, step right".
  cat "$work/$name.out" "$work/$name.err" | tr -d '\r' |
    sed -e 's/\x1b\[K\x1b\[1C/ /g' -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' >"$work/$name.lines"
  [ "$rc" -eq 1 ] || { cat "$work/$name.lines"; fail "$name: exit code $rc"; }
  grep -q '^File not found: data/loading.png $' "$work/$name.lines" &&
    grep -q '^pixeldemo: no data folder in ' "$work/$name.lines" &&
    grep -q '^data/loading.png: No such file or directory$' "$work/$name.lines" ||
    { cat "$work/$name.lines"; fail "$name: not the lines of before"; }
  echo "$name: the lines, exit code 1, no box"
}
check_console redirected env PIXELDEMO_EXE="$work/nodata/bin/pixeldemo.exe" "$windows"
# script(1) gives Wine a terminal: the program inherits it as its console. Its exit code is
# the program's (-e).
check_console terminal script -qec "wine '$work/nodata/bin/pixeldemo.exe'" /dev/null
echo "PASS: a box after a double click, the console's lines otherwise"
