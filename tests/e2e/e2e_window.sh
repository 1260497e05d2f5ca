#!/usr/bin/env bash
# End to end on a real X display (Xvfb): the demo plays in --window mode (or full screen)
# with SDL's dummy audio, shows a picture that is not blank, prints frame-rate lines, and
# Escape sent with xdotool ends it with exit code 0. Skips (exit 77) only when Xvfb is not
# installed.
#
#   tests/e2e/e2e_window.sh path/to/pixeldemo [keep-dir]
set -u
demo=$(realpath "$1")
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2e_keep=${2:-}
skip_without Xvfb
need_tools xdotool xwininfo xwd od
fail_details() {
  echo "--- stdout"; tail -n 5 "$work/out" 2>/dev/null
  echo "--- stderr"; cat "$work/err" 2>/dev/null
}

start_xvfb 800x600
export SDL_AUDIODRIVER=dummy

# Started from an empty folder: the demo must find data/ beside the executable.
cd "$work"
# E2E_FULL_SCREEN=1: full screen, as a double click starts it, instead of --window.
# E2E_START=T: from T seconds (a slower set-up may otherwise look at scene 1 while its screen
# is black between the flashes).
mode=--window
[ "${E2E_FULL_SCREEN:-0}" = 1 ] && mode=
"$demo" $mode --start "${E2E_START:-0}" >"$work/out" 2>"$work/err" &
demo_pid=$!
wait_for_window "$demo_pid" 10

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
[ "$rc" -eq 0 ] || fail "exit code $rc after Escape"

fps=$(grep -cE '^FPS: [0-9]+\.[0-9]{2} \([0-9]+\.[0-9]{2} ms\), Average: [0-9]+\.[0-9]{2} \([0-9]+\.[0-9]{2} ms\)$' "$work/out")
[ "$fps" -ge 2 ] || fail "expected frame-rate lines, found $fps"
echo "PASS: window shown, nothing drawn while hidden, $fps FPS lines, Escape gave exit code 0"
