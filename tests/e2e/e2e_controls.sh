#!/usr/bin/env bash
# End to end on a virtual X display (Xvfb), keys sent with xdotool, SDL's dummy audio: Space
# pauses picture and music together (two grabs a second apart are the same picture, no
# frame-rate line, the music plays on from where it stood), Right jumps 5 s on, 4 shows
# scene 4's first frame exactly as a capture has it, F switches full screen and back, a
# window hidden for a while comes back by a jump, Escape still ends the run.
#
#   tests/e2e/e2e_controls.sh path/to/pixeldemo
set -u
demo=$(realpath "$1")
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
skip_without Xvfb
need_tools xdotool xwd xwininfo /usr/bin/convert
fail_details() {
  echo "--- stdout"; grep -v '^FPS' "$work/out" 2>/dev/null | tail -n 20
  echo "--- stderr"; cat "$work/err" 2>/dev/null
}

start_xvfb 800x600
export SDL_AUDIODRIVER=dummy

cd "$work"
# Scene 4's first frame on the 60 frames a second clock, as a capture writes it.
"$demo" --capture ref --from 48.01 --to 48.02 >/dev/null 2>&1 || fail "reference capture"
[ "$(ls ref)" = frame_002881.png ] || fail "reference capture wrote $(ls ref)"
/usr/bin/convert ref/frame_002881.png -depth 8 rgb:ref.rgb

"$demo" --window --start 20 >out 2>err &
demo_pid=$!
wait_for_window "$demo_pid" 10
sleep 2
xdotool windowfocus --sync "$window" 2>/dev/null

# The window's 640x480 pixels as bytes R, G, B.
grab() {
  xwd -id "$window" -silent >"$1.xwd" || fail "xwd could not grab the window"
  /usr/bin/convert "xwd:$1.xwd" -depth 8 "rgb:$1.rgb" || fail "convert could not read the grab"
}
# Sends a key and waits until stdout has one more line matching the pattern; prints it.
press() {
  local before
  before=$(grep -c -- "$2" out)
  xdotool key "$1"
  for _ in $(seq 100); do
    [ "$(grep -c -- "$2" out)" -gt "$before" ] && { grep -- "$2" out | tail -n1; return; }
    sleep 0.05
  done
  fail "no line '$2' after the key $1"
}
seconds() { sed -E 's/^[^0-9]*([0-9]+\.[0-9]+) s.*/\1/'; }
fps() { grep -c '^FPS:' out; }

# Space: the picture stands (the overlay has gone after two seconds), no frame-rate line,
# and play goes on from the music position where it stood.
paused=$(press space '^paused at' | seconds)
sleep 2.5
grab a
lines=$(fps)
sleep 1
grab b
cmp -s a.rgb b.rgb || fail "the picture moved while paused"
[ "$(fps)" -eq "$lines" ] || fail "frame-rate lines while paused"
resumed=$(press space '^playing from' | seconds)
[ "$resumed" = "$paused" ] || fail "paused at $paused s, played on from $resumed s"
for _ in $(seq 60); do [ "$(fps)" -gt "$lines" ] && break; sleep 0.05; done
[ "$(fps)" -gt "$lines" ] || fail "no frame-rate line after playing on"

# Right, paused: the music 5 s on, exactly.
paused=$(press space '^paused at' | seconds)
to=$(press Right '^jump to' | seconds)
awk -v a="$paused" -v b="$to" 'BEGIN { d = b - a - 5; exit !(d > -0.011 && d < 0.011) }' \
  || fail "Right from $paused s went to $to s"

# 4: scene 4's first frame, the very picture of the capture once the overlay has gone.
press 4 '^jump to 48.02 s: scene 4' >/dev/null
sleep 2.5
grab c
cmp -s c.rgb ref.rgb || fail "after 4 the window does not show scene 4's first frame"

# F: full screen (the whole 800x600 display) and back to the 640x480 window.
size() { xwininfo -id "$window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }'; }
xdotool key f
for _ in $(seq 100); do [ "$(size)" = 800x600 ] && break; sleep 0.05; done
[ "$(size)" = 800x600 ] || fail "F: the window is $(size), not full screen"
xdotool key f
for _ in $(seq 100); do [ "$(size)" = 640x480 ] && break; sleep 0.05; done
[ "$(size)" = 640x480 ] || fail "F again: the window is $(size), not 640x480"

# Hidden for a while (as a minimised window is) while playing: shown again, the next frame
# comes by the jump rule.
press space '^playing from' >/dev/null
sleep 0.5
gaps() { grep -c '^jump after a gap' out; }
before=$(gaps)
xdotool windowunmap --sync "$window" || fail "could not hide the window"
sleep 1.5
xdotool windowmap --sync "$window" || fail "could not show the window again"
for _ in $(seq 60); do [ "$(gaps)" -gt "$before" ] && break; sleep 0.05; done
[ "$(gaps)" -gt "$before" ] || fail "no jump after the hidden stretch"

xdotool windowfocus --sync "$window" 2>/dev/null
for _ in $(seq 10); do
  xdotool key Escape
  for _ in $(seq 10); do kill -0 "$demo_pid" 2>/dev/null || break 2; sleep 0.1; done
done
kill -0 "$demo_pid" 2>/dev/null && fail "Escape did not end the demo"
wait "$demo_pid"
rc=$?
[ "$rc" -eq 0 ] || fail "exit code $rc after Escape"
echo "controls: pause, Right, 4, F and a hidden stretch as they should"
