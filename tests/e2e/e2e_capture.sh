#!/usr/bin/env bash
# End to end without a display: --capture writes the frames it should (and a contact
# sheet), --bench prints its table, --analyze-flashes its report and plot, and a missing
# display is a clear error, not a silent run.
#
#   tests/e2e/e2e_capture.sh path/to/pixeldemo
set -u
demo=$(realpath "$1")
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# Started from an empty folder with a relative output folder: data/ is found beside the
# executable while the frames still land where the demo was started.
cd "$work"
"$demo" --capture c --fps 10 --to 3 --sheet sheet.png >out 2>err || { cat err; fail "capture exit code $?"; }
count=$(find c -name 'frame_*.png' | wc -l)
[ "$count" -eq 31 ] || fail "expected 31 frames (t = 0 to 3), found $count"
for n in 000000 000001 000015 000030; do
  [ "$(head -c 8 "c/frame_$n.png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] \
    || fail "c/frame_$n.png is not a PNG"
done
[ ! -e c/frame_000031.png ] || fail "a frame past --to was written"
[ -s sheet.png ] || fail "no contact sheet"
# On the fixed clock a frame-rate line would mean nothing.
! grep -q '^FPS:' out || fail "FPS lines in a capture"
grep -q '^capture: 31 frames' err || { cat err; fail "no summary line"; }

# --to 0 writes the frame at t = 0, as --video does.
"$demo" --capture z --fps 10 --to 0 >/dev/null 2>err || { cat err; fail "--to 0"; }
[ "$(ls z | tr '\n' ' ')" = "frame_000000.png " ] || fail "--to 0 wrote: $(ls z | tr '\n' ' ')"
grep -q '^capture: 1 frame (t 0.000 to 0.000 s)' err || { cat err; fail "--to 0: no '1 frame' summary"; }

# A folder holding frames of an earlier capture is refused, and nothing in it is touched.
before=$(ls -l --time-style=+%s%N c | md5sum)
"$demo" --capture c --fps 10 --to 1 >/dev/null 2>err && fail "a folder with old frames was accepted"
grep -q 'already holds 31 frame files' err || { cat err; fail "no message about the old frames"; }
[ "$(ls -l --time-style=+%s%N c | md5sum)" = "$before" ] || fail "the old frames were touched"

# Outputs are checked before any work: each refused at once, with a message, nothing made.
mkdir sheets.png; touch afile
while IFS='|' read -r args expect; do
  # shellcheck disable=SC2086
  timeout 20 "$demo" $args >/dev/null 2>err
  rc=$?
  [ "$rc" -eq 1 ] || [ "$rc" -eq 2 ] || fail "'$args': exit code $rc"
  grep -q -- "$expect" err || { cat err; fail "'$args': expected '$expect'"; }
  ! grep -q -e '^capture: t =' -e '^analyze-flashes: t =' err || fail "'$args' rendered before refusing"
done <<'CASES'
--capture o1 --sheet sheets.png|is a folder
--capture o2 --sheet nofolder/s.png|does not exist
--capture o3 --sheet s.jpg|ending in .png
--capture o4 --sheet /proc/self/fdinfo/s.png|cannot write
--capture afile|cannot create
--capture afile/sub|cannot create
--capture /proc/self/fdinfo|cannot write
--analyze-music sheets.png|is a folder
--analyze-music plot.txt|ending in .png
--analyze-flashes sheets.png|is a folder
--analyze-flashes nofolder/f.png|does not exist
--capture o5 --fps 10 --from nan|must be a number
--capture o6 --from 150 --to 160|: --from 150 s is past the end of the timeline (149 s); nothing written$
--video v.mp4 --from 150 --to 160|: --from 150 s is past the end of the timeline (149 s); nothing written$
--capture o7 --fps 7 --from 0.1 --to 0.12|: no frame lies between 0.1 and 0.12 s at 7 frames a second (frame 0 is at 0.000 s, frame 1 at 0.143 s); nothing written$
--capture o8 --fps 10 --from 0.15 --to 0.15|: no frame lies at 0.15 s at 10 frames a second (frame 1 is at 0.100 s, frame 2 at 0.200 s)
--window --start 200|: --start 200 s is past the end of the timeline (149 s); nothing to play$
--start 149.5|: --start 149.5 s is past the end of the timeline
CASES
[ ! -e o5 ] && [ ! -e o6 ] && [ ! -e o7 ] && [ ! -e o8 ] && [ ! -e v.mp4 ] ||
  fail "a refused run left a file or folder"
"$demo" --analyze-music '' >/dev/null 2>err && fail "--analyze-music '' was accepted"
grep -q 'needs a file name' err || { cat err; fail "--analyze-music '': no message"; }

# SIGINT or SIGTERM during a capture: the frames queued are finished, no partial file is
# left, the run says so and ends with 128 + the signal. E2E_SIGNALS=0 leaves this and the
# bench's signal out: a POSIX signal sent to Wine does not reach a Windows program.
if [ "${E2E_SIGNALS:-1}" = 1 ]; then
  for sig in INT TERM; do
    rm -rf s
    "$demo" --capture s --fps 60 --to 60 >/dev/null 2>err &
    bg=$!
    for _ in $(seq 300); do [ "$(ls s 2>/dev/null | wc -l)" -ge 20 ] && break; sleep 0.05; done
    signal_and_wait "$sig" "$bg" 60 || fail "SIG$sig did not end the capture within 60 s"
    want=$([ $sig = INT ] && echo 130 || echo 143)
    [ "$rc" -eq "$want" ] || { cat err; fail "SIG$sig: exit code $rc, not $want"; }
    grep -q "capture interrupted by SIG$sig" err || { cat err; fail "SIG$sig: no message"; }
    leftovers=$(find s -name '*.tmp*' | wc -l)
    [ "$leftovers" -eq 0 ] || fail "SIG$sig: $leftovers partial files left"
    for f in s/frame_*.png; do
      [ "$(tail -c 8 "$f" | head -c 4)" = IEND ] || fail "SIG$sig: $f is not whole"
    done
  done

  # The bench stops on a signal too, with the same rule.
  "$demo" --bench --fps 60 >/dev/null 2>&1 &
  bg=$!
  sleep 1.5
  signal_and_wait TERM "$bg" 60 || fail "SIGTERM did not end the bench within 60 s"
  [ "$rc" -eq 143 ] || fail "bench: exit code $rc after SIGTERM"
fi

# The flash analysis of the gentle run: a report, no second over three, and the plot.
"$demo" --analyze-flashes f.png --fps 10 --gentle >flashes 2>err || { cat err; fail "--analyze-flashes exit code"; }
grep -q '^verdict: no second holds more than three flashes' flashes || { cat flashes; fail "gentle run over three"; }
grep -qE '^  scene 7 \(121.0-146.0 s\): [0-9]+ general' flashes || { cat flashes; fail "no line for scene 7"; }
grep -qE '^the limiter changed [0-9]+ of 1492 frames$' flashes || { cat flashes; fail "no limiter line"; }
[ "$(head -c 8 f.png | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] || fail "f.png is not a PNG"

# --from/--to pick a window; frames keep the numbers of the whole run.
"$demo" --capture d --fps 4 --from 1 --to 2 >/dev/null 2>err || { cat err; fail "window capture"; }
[ "$(ls d | tr '\n' ' ')" = "frame_000004.png frame_000005.png frame_000006.png frame_000007.png frame_000008.png " ] \
  || fail "unexpected frames for --from 1 --to 2: $(ls d | tr '\n' ' ')"

# --from skips ahead by the jump rule and draws only what its first frame needs; its files
# are those of a capture from the start: inside scene 4, whose trails carry from frame to
# frame, and from 120 s, where the frame at 121 s lies on a bound and keeps the one before.
"$demo" --capture full --fps 2 --to 121 >/dev/null 2>err || { cat err; fail "full capture"; }
for from in 60 120; do
  "$demo" --capture "from$from" --fps 2 --from "$from" --to 121 >/dev/null 2>err \
    || { cat err; fail "capture --from $from"; }
  [ "$(ls "from$from" | wc -l)" -eq $(( (121 - from) * 2 + 1 )) ] || fail "--from $from: $(ls "from$from" | wc -l) files"
  for f in "from$from"/frame_*.png; do
    cmp -s "$f" "full/${f##*/}" || fail "--from $from: ${f##*/} differs from the full capture's"
  done
done
rm -rf full from60 from120

"$demo" --bench --fps 2 >bench 2>err || { cat err; fail "bench exit code"; }
grep -qE '^start-up: [0-9]+\.[0-9]{3} s$' bench || fail "no start-up line"
grep -qE '^first frame: [0-9]+\.[0-9]{3} s after launch$' bench || fail "no first-frame line"
for s in 1 2 3 4 5 6 7; do
  grep -qE "^scene $s: [0-9]+ frames, mean [0-9]+\.[0-9]{3} ms, worst [0-9]+\.[0-9]{3} ms$" bench \
    || { cat bench; fail "no line for scene $s"; }
done
grep -qE '^total: 299 frames, [0-9.]+ frames/s$' bench || { cat bench; fail "bad total line"; }
grep -qE '^threads: [0-9]+ drawing \([0-9]+ workers?\), [0-9]+\.[0-9] forks a frame$' bench \
  || { cat bench; fail "no threads line"; }

# The drawing threads: --threads, else PIXELDEMO_THREADS; a value there out of range is
# reported and the default taken.
PIXELDEMO_THREADS=3 "$demo" --bench --fps 1 >bench 2>err || { cat err; fail "bench with PIXELDEMO_THREADS=3"; }
grep -qE '^threads: 3 drawing \(2 workers\), [1-9][0-9]*\.[0-9] forks a frame$' bench || { cat bench; fail "PIXELDEMO_THREADS=3 not taken"; }
PIXELDEMO_THREADS=3 "$demo" --bench --fps 1 --threads 1 >bench 2>err || { cat err; fail "bench with --threads 1"; }
grep -qE '^threads: 1 drawing \(0 workers\), 0\.0 forks a frame$' bench || { cat bench; fail "--threads 1 not taken"; }
PIXELDEMO_THREADS=17 "$demo" --bench --fps 1 >bench 2>err || { cat err; fail "bench with PIXELDEMO_THREADS=17"; }
grep -q 'PIXELDEMO_THREADS=17 is not a number from 1 to 16; ignored' err || { cat err; fail "PIXELDEMO_THREADS=17: no message"; }
grep -qE '^threads: [1-8] drawing' bench || { cat bench; fail "PIXELDEMO_THREADS=17: not the default"; }

# No display server: a message that points to --capture and a nonzero exit.
SDL_VIDEODRIVER=x11 DISPLAY= WAYLAND_DISPLAY= timeout 20 "$demo" >out 2>err
rc=$?
[ "$rc" -ne 0 ] && [ "$rc" -ne 124 ] || fail "exit code $rc without a display"
grep -q -- '--capture' err || { cat err; fail "the message does not suggest --capture"; }

# Usage errors are refused with a nonzero exit.
"$demo" --fps 5 >/dev/null 2>&1 && fail "--fps without --capture or --bench was accepted"
"$demo" --depth 8 >/dev/null 2>&1 && fail "--depth 8 was accepted"
"$demo" --help | grep -q -- '--capture' || fail "--help does not list --capture"
echo "PASS: capture, window of times, old frames, outputs checked first, signals, flash analysis, bench table, drawing threads, no-display message, usage errors"
