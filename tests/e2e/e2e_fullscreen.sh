#!/usr/bin/env bash
# End to end, full screen on real (virtual) X desktops of 1280x720 and 1920x1080, the two
# common sizes that are not whole multiples of 640x480 (1.5x and 2.25x):
#   - the display tests' full-screen case draws lines one frame pixel wide through SDL's
#     own renderer on that desktop and checks that every line comes out with the same width
#     and a sharp core, and black bars beside the picture;
#   - the demo itself plays full screen from 5 s (the logo cuts in at 6 s); a grab of the
#     whole screen must show the picture centred with its aspect kept: black bars of the
#     expected width left and right, many colours between them.
# Skips (exit 77) only when Xvfb is not installed.
#
#   tests/e2e/e2e_fullscreen.sh path/to/pixeldemo path/to/test_display_present [keep-dir]
set -u
demo=$(realpath "$1")
display_test=$(realpath "$2")
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2e_keep=${3:-}
skip_without Xvfb
need_tools xdotool xwininfo xwd /usr/bin/convert
fail_details() { for f in "$work"/*.log; do echo "--- $f"; tail -n 20 "$f"; done; }
export SDL_AUDIODRIVER=dummy

check_desktop() {
  local width=$1 height=$2
  local size="${width}x${height}"
  local bar=$(( (width - height * 640 / 480) / 2 ))
  local picture=$(( width - 2 * bar ))
  start_xvfb "$size"

  # Lines one frame pixel wide, through the renderer SDL picks on this server.
  PIXELDEMO_TEST_VIDEO=x11 "$display_test" --gtest_filter='DisplayWindow.FullScreenOnTheDesktop' \
    >"$work/lines-$size.log" 2>&1 || fail "$size: the lines come out uneven (lines-$size.log)"
  grep -q '^\[       OK \] DisplayWindow.FullScreenOnTheDesktop' "$work/lines-$size.log" ||
    fail "$size: the full-screen display test did not run"
  grep -q "^desktop $size," "$work/lines-$size.log" || fail "$size: the test saw another desktop size"
  echo "$size: $(grep '^desktop' "$work/lines-$size.log"): every line the same width"

  # The demo, full screen, started from an empty folder (it finds data/ beside itself).
  (cd "$work" && exec "$demo" --start 5) >"$work/demo-$size.log" 2>&1 &
  demo_pid=$!
  wait_for_window "$demo_pid" 20
  # Past the loading picture: wait for the first frame-rate line. The logo cuts in at 6 s;
  # a busy machine may take a while to get there, so grab until the picture shows.
  for _ in $(seq 300); do
    grep -q '^FPS:' "$work/demo-$size.log" && break
    kill -0 "$demo_pid" 2>/dev/null || fail "$size: the demo ended on its own"
    sleep 0.1
  done
  local inside=0
  for _ in $(seq 20); do
    sleep 0.5
    kill -0 "$demo_pid" 2>/dev/null || fail "$size: the demo ended on its own"
    xwd -root -silent >"$work/screen.xwd" || fail "$size: xwd could not grab the screen"
    /usr/bin/convert "xwd:$work/screen.xwd" "$work/screen-$size.png" || fail "$size: convert failed"
    inside=$(/usr/bin/convert "$work/screen-$size.png" -crop "${picture}x${height}+${bar}+0" -format '%k' info:)
    [ "$inside" -ge 16 ] && break
  done
  [ "$inside" -ge 16 ] || fail "$size: the picture looks blank after 10 s ($inside colours)"

  # Black bars of exactly `bar` columns on both sides, a picture between them.
  local left right
  left=$(/usr/bin/convert "$work/screen-$size.png" -crop "${bar}x${height}+0+0" -format '%[max]' info:)
  right=$(/usr/bin/convert "$work/screen-$size.png" -crop "${bar}x${height}+$((width - bar))+0" -format '%[max]' info:)
  [ "$left" = 0 ] && [ "$right" = 0 ] || fail "$size: the bars of $bar columns are not black ($left, $right)"
  echo "$size: black bars of $bar columns, $inside colours in the ${picture}x${height} picture"
  end_jobs   # the demo, then its X server
}

check_desktop 1280 720
check_desktop 1920 1080
echo "PASS: full screen at 1280x720 and 1920x1080: even lines, picture centred between black bars"
