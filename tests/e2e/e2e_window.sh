#!/usr/bin/env bash
# End to end on a real X display (Xvfb): the demo plays in --window mode (or full screen)
# with SDL's dummy audio, shows a picture that is not blank, prints frame-rate lines, and
# Escape sent with xdotool ends it with exit code 0. Skips (exit 77) only when Xvfb is not
# installed.
#
#   tests/e2e/e2e_window.sh path/to/pixeldemo [keep-dir]
set -u
demo=$(realpath "$1")
keep=${2:-}

if ! command -v Xvfb >/dev/null 2>&1; then
  echo "SKIP: Xvfb is not installed (./test.sh installs it)"
  exit 77
fi
for tool in xdotool xwd od; do
  command -v "$tool" >/dev/null 2>&1 || { echo "FAIL: $tool is missing"; exit 1; }
done

work=$(mktemp -d)
xvfb_pid=
demo_pid=
cleanup() {
  [ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  if [ -n "$keep" ]; then mkdir -p "$keep" && cp "$work"/* "$keep"/ 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; echo "--- stdout"; tail -n 5 "$work/out"; echo "--- stderr"; cat "$work/err"; exit 1; }

# A display number of its own: Xvfb picks a free one and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { cat "$work/xvfb.log"; echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
export SDL_AUDIODRIVER=dummy
unset WAYLAND_DISPLAY

# The display number comes before the server is sure to take clients: wait until a client
# gets an answer from it (xdotool asks for the screen size), for up to 10 s.
answered=
for _ in $(seq 100); do
  if xdotool getdisplaygeometry >/dev/null 2>&1; then answered=1; break; fi
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$answered" ]; then
  cat "$work/xvfb.log"
  if kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "FAIL: Xvfb on $DISPLAY does not answer clients after 10 s"
  else
    echo "FAIL: Xvfb on $DISPLAY ended before it answered a client"
  fi
  exit 1
fi

# Started from an empty folder: the demo must find data/ beside the executable.
cd "$work"
# E2E_FULL_SCREEN=1: full screen, as a double click starts it, instead of --window.
# E2E_START=T: from T seconds (a slower set-up may otherwise look at scene 1 while its screen
# is black between the flashes).
mode=--window
[ "${E2E_FULL_SCREEN:-0}" = 1 ] && mode=
"$demo" $mode --start "${E2E_START:-0}" >"$work/out" 2>"$work/err" &
demo_pid=$!

window=
for _ in $(seq 100); do
  window=$(xdotool search --name '^\^__\^$' 2>/dev/null | head -n1)
  [ -n "$window" ] && break
  kill -0 "$demo_pid" 2>/dev/null || fail "the demo ended before its window appeared"
  sleep 0.1
done
[ -n "$window" ] || fail "no window titled ^__^"

# Seconds of play before the checks: E2E_PLAY_SECONDS, 4 unless a slower set-up (Wine, whose
# first window takes seconds) asks for more.
sleep "${E2E_PLAY_SECONDS:-4}"
kill -0 "$demo_pid" 2>/dev/null || fail "the demo ended on its own"

# Not blank: the window shows many different colours. Only the pixels are counted: the
# last 640x480 words of the grab, past xwd's header and colour map.
xwd -id "$window" -silent >"$work/window.xwd" || fail "xwd could not grab the window"
colours=$(tail -c $((640 * 480 * 4)) "$work/window.xwd" | od -An -v -tx4 -w4 | sort -u | wc -l)
echo "window grab: $colours distinct words"
[ "$colours" -ge 16 ] || fail "the window looks blank ($colours distinct words)"
if [ -x /usr/bin/convert ]; then /usr/bin/convert "xwd:$work/window.xwd" "$work/window.png" 2>/dev/null; fi

# Hidden (unmapped, as a minimised window is), the demo draws and counts no frame: no
# frame-rate line while it stays hidden; shown again, the lines come back.
# E2E_HIDDEN=0 leaves it out (Wine: see tests/windows/tests.cmake).
if [ "${E2E_HIDDEN:-1}" = 1 ]; then
  lines() { grep -c '^FPS:' "$work/out"; }
  xdotool windowunmap --sync "$window" || fail "could not hide the window"
  sleep 0.5
  before=$(lines)
  sleep 3
  after=$(lines)
  [ "$after" -eq "$before" ] || fail "$((after - before)) FPS lines while the window was hidden"
  xdotool windowmap --sync "$window" || fail "could not show the window again"
  for _ in $(seq 50); do [ "$(lines)" -gt "$after" ] && break; sleep 0.1; done
  [ "$(lines)" -gt "$after" ] || fail "no FPS line after the window was shown again"
fi

# Escape ends the run after the current frame; retry in case a key is lost before focus.
xdotool windowfocus --sync "$window" 2>/dev/null
for _ in $(seq 10); do
  xdotool key Escape
  for _ in $(seq 10); do kill -0 "$demo_pid" 2>/dev/null || break 2; sleep 0.1; done
done
if kill -0 "$demo_pid" 2>/dev/null; then fail "Escape did not end the demo"; fi
wait "$demo_pid"
rc=$?
demo_pid=
[ "$rc" -eq 0 ] || fail "exit code $rc after Escape"

fps=$(grep -cE '^FPS: [0-9]+\.[0-9]{2} \([0-9]+\.[0-9]{2} ms\), Average: [0-9]+\.[0-9]{2} \([0-9]+\.[0-9]{2} ms\)$' "$work/out")
[ "$fps" -ge 2 ] || fail "expected frame-rate lines, found $fps"
echo "PASS: window shown, nothing drawn while hidden, $fps FPS lines, Escape gave exit code 0"
