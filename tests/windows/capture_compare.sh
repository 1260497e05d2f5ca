#!/usr/bin/env bash
# Frames are the contract: pixeldemo.exe under Wine captures the same frames as the Linux
# build, to the bit. Both capture the whole timeline at 4 frames a second (every scene, 596
# times) and scene 3 at its full 60 frames a second (where the beat reactions depend on the
# time between frames); every pair of frames must hold the same pixels, and the frame-rate
# lines of the fixed clock must be the same.
#
#   tests/windows/capture_compare.sh path/to/native/pixeldemo path/to/wine-pixeldemo.sh
#
# A PNG file that differs in its bytes is decoded (ImageMagick) to tell a difference of
# pixels from one of encoding; the frames that differ are listed with their times.
set -u
native=$(realpath "$1")
windows=$(realpath "$2")
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.sh"
need_tools convert   # ImageMagick
cd "$work"

# name, capture arguments
runs=("timeline:--fps 4" "scene3:--fps 60 --from 24.6 --to 26.1")
total=0
for run in "${runs[@]}"; do
  name=${run%%:*}
  args=${run#*:}
  # shellcheck disable=SC2086
  "$native" --capture "linux-$name" $args >"linux-$name.out" 2>"linux-$name.err" \
    || { cat "linux-$name.err"; fail "$name: the Linux capture failed"; }
  # shellcheck disable=SC2086
  "$windows" --capture "windows-$name" $args >"windows-$name.out" 2>"windows-$name.err" \
    || { cat "windows-$name.err"; fail "$name: the Windows capture failed"; }
  cmp -s "linux-$name.out" "windows-$name.out" \
    || { diff "linux-$name.out" "windows-$name.out" | head; fail "$name: the frame-rate lines differ"; }

  frames=$(cd "linux-$name" && ls frame_*.png)
  count=$(echo "$frames" | wc -l)
  [ "$count" -ge 20 ] || fail "$name: only $count frames"
  [ "$(ls "windows-$name" | wc -l)" -eq "$count" ] \
    || fail "$name: $count frames from Linux, $(ls "windows-$name" | wc -l) from Windows"
  fps=$(echo "$args" | sed 's/.*--fps \([0-9]*\).*/\1/')
  differ=0 recoded=0
  for f in $frames; do
    cmp -s "linux-$name/$f" "windows-$name/$f" && continue
    if cmp -s <(convert "linux-$name/$f" rgb:-) <(convert "windows-$name/$f" rgb:-); then
      recoded=$((recoded + 1))
    else
      n=$((10#${f:6:6}))
      [ "$differ" -lt 10 ] && echo "$name: $f (t = $(awk -v n="$n" -v f="$fps" 'BEGIN { printf "%.3f", n / f }') s) differs"
      differ=$((differ + 1))
    fi
  done
  [ "$differ" -eq 0 ] || fail "$name: $differ of $count frames differ in their pixels"
  echo "$name: $count frames, the same pixels ($((count - recoded)) files the same to the byte)"
  total=$((total + count))
done
echo "PASS: $total frames of pixeldemo.exe under Wine are the Linux build's"
