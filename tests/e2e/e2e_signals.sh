#!/usr/bin/env bash
# End to end on a real X display (Xvfb): SIGINT and SIGTERM end a window run with exit code
# 128 + the signal in every state, a message box waiting for its OK included (SDL draws its
# boxes on X11 in a child process with the X core fonts, Debian's xfonts-base); the box
# must be gone with the demo.
# Skips (exit 77) only when Xvfb is not installed.
#
#   tests/e2e/e2e_signals.sh path/to/pixeldemo
set -u
demo=$(realpath "$1")
if ! command -v Xvfb >/dev/null 2>&1; then
  echo "SKIP: Xvfb is not installed (./test.sh installs it)"
  exit 77
fi
for tool in xdotool xwininfo; do command -v $tool >/dev/null 2>&1 || { echo "FAIL: $tool is missing"; exit 1; }; done

work=$(mktemp -d)
xvfb_pid=
demo_pid=
cleanup() {
  [ -n "$demo_pid" ] && kill -9 "$demo_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; echo "--- stderr"; cat "$work/err"; exit 1; }

Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { cat "$work/xvfb.log"; echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
unset WAYLAND_DISPLAY
for _ in $(seq 100); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done


# case: the audio driver, the signal, what must be on screen when it arrives
#   box     an audio driver that does not exist: the "BASS error" box waits for its OK
#   play    SDL's dummy driver: the demo is playing
while read -r driver sig state; do
  SDL_AUDIODRIVER=$driver "$demo" --window >"$work/out" 2>"$work/err" &
  demo_pid=$!
  if [ "$state" = box ]; then
    # The box is a window of its own, titled with its caption.
    for _ in $(seq 150); do xwininfo -root -tree 2>/dev/null | grep -q '"BASS"' && break; sleep 0.1; done
    xwininfo -root -tree 2>/dev/null | grep -q '"BASS"' || fail "$state: no message box appeared"
  else
    for _ in $(seq 150); do grep -q '^FPS:' "$work/out" && break; sleep 0.1; done
    grep -q '^FPS:' "$work/out" || fail "$state: the demo did not start playing"
  fi
  kill -"$sig" "$demo_pid"
  for _ in $(seq 100); do kill -0 "$demo_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$demo_pid" 2>/dev/null && fail "$state: SIG$sig did not end the demo within 10 s"
  wait "$demo_pid"
  rc=$?
  demo_pid=
  want=$([ "$sig" = INT ] && echo 130 || echo 143)
  [ "$rc" -eq "$want" ] || fail "$state: SIG$sig gave exit code $rc, not $want"
  if [ "$state" = box ]; then
    for _ in $(seq 30); do xwininfo -root -tree 2>/dev/null | grep -q '"BASS"' || break; sleep 0.1; done
    ! xwininfo -root -tree 2>/dev/null | grep -q '"BASS"' || fail "$state: the message box outlived the demo"
  fi
done <<'CASES'
no-such-driver TERM box
no-such-driver INT box
dummy INT play
dummy TERM play
CASES
echo "PASS: SIGINT and SIGTERM end a window run with 130 and 143, a message box open or not"
