#!/usr/bin/env bash
# End to end without a display: --capture writes the frames it should (and a contact
# sheet), --bench prints its table, and a missing display is a clear error, not a silent run.
#
#   tests/e2e_capture.sh path/to/pixeldemo
set -u
demo=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# Started from an empty folder with a relative output folder: data/ is found beside the
# executable while the frames still land where the demo was started.
cd "$work"
"$demo" --capture c --fps 10 --to 3 --sheet sheet.png >out 2>err || { cat err; fail "capture exit code $?"; }
count=$(find c -name 'frame_*.png' | wc -l)
[ "$count" -eq 30 ] || fail "expected 30 frames, found $count"
for n in 000001 000015 000030; do
  [ "$(head -c 8 "c/frame_$n.png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] \
    || fail "c/frame_$n.png is not a PNG"
done
[ ! -e c/frame_000031.png ] || fail "a frame past --to was written"
[ -s sheet.png ] || fail "no contact sheet"
grep -q '^FPS: 10.00 (100.00 ms), Average: 10.00 (100.00 ms)$' out || fail "no FPS line on the fixed clock"
grep -q '^capture: 30 frames' err || { cat err; fail "no summary line"; }

# --from/--to pick a window; frames keep the numbers of the whole run.
"$demo" --capture d --fps 4 --from 1 --to 2 >/dev/null 2>err || { cat err; fail "window capture"; }
[ "$(ls d | tr '\n' ' ')" = "frame_000004.png frame_000005.png frame_000006.png frame_000007.png frame_000008.png " ] \
  || fail "unexpected frames for --from 1 --to 2: $(ls d | tr '\n' ' ')"

"$demo" --bench --fps 2 >bench 2>err || { cat err; fail "bench exit code"; }
grep -qE '^start-up: [0-9]+\.[0-9]{3} s$' bench || fail "no start-up line"
grep -qE '^first frame: [0-9]+\.[0-9]{3} s after launch$' bench || fail "no first-frame line"
for s in 1 2 3 4 5 6 7; do
  grep -qE "^scene $s: [0-9]+ frames, mean [0-9]+\.[0-9]{3} ms, worst [0-9]+\.[0-9]{3} ms$" bench \
    || { cat bench; fail "no line for scene $s"; }
done
grep -qE '^total: 299 frames, [0-9.]+ frames/s$' bench || { cat bench; fail "bad total line"; }

# No display server: a message that points to --capture and a nonzero exit.
SDL_VIDEODRIVER=x11 DISPLAY= WAYLAND_DISPLAY= timeout 20 "$demo" >out 2>err
rc=$?
[ "$rc" -ne 0 ] && [ "$rc" -ne 124 ] || fail "exit code $rc without a display"
grep -q -- '--capture' err || { cat err; fail "the message does not suggest --capture"; }

# Usage errors are refused with a nonzero exit.
"$demo" --fps 5 >/dev/null 2>&1 && fail "--fps without --capture or --bench was accepted"
"$demo" --depth 8 >/dev/null 2>&1 && fail "--depth 8 was accepted"
"$demo" --help | grep -q -- '--capture' || fail "--help does not list --capture"
echo "PASS: capture, window of times, bench table, no-display message, usage errors"
