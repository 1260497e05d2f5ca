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
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
skip_without Xvfb
need_tools xdotool xwininfo
fail_details() { echo "--- stderr"; cat "$work/err" 2>/dev/null; }
start_xvfb 800x600

# case: the audio driver, the signal, what must be on screen when it arrives
#   box     an audio driver that does not exist: the "BASS error" box waits for its OK
#   play    SDL's dummy driver: the demo is playing
while read -r driver sig state; do
  SDL_AUDIODRIVER=$driver "$demo" --window >"$work/out" 2>"$work/err" &
  demo_pid=$!
  if [ "$state" = box ]; then
    # The box is a window of its own, titled with its caption.
    wait_for_window "$demo_pid" 15 BASS
  else
    for _ in $(seq 150); do grep -q '^FPS:' "$work/out" && break; sleep 0.1; done
    grep -q '^FPS:' "$work/out" || fail "$state: the demo did not start playing"
  fi
  signal_and_wait "$sig" "$demo_pid" 10 || fail "$state: SIG$sig did not end the demo within 10 s"
  want=$([ "$sig" = INT ] && echo 130 || echo 143)
  [ "$rc" -eq "$want" ] || fail "$state: SIG$sig gave exit code $rc, not $want"
  if [ "$state" = box ]; then
    for _ in $(seq 30); do window_named BASS >/dev/null || break; sleep 0.1; done
    ! window_named BASS >/dev/null || fail "$state: the message box outlived the demo"
  fi
done <<'CASES'
no-such-driver TERM box
no-such-driver INT box
dummy INT play
dummy TERM play
CASES
echo "PASS: SIGINT and SIGTERM end a window run with 130 and 143, a message box open or not"
