#!/usr/bin/env bash
# Remakes docs/contact-sheet.png, the picture at the top of the README: four frames of
# every scene, one row per scene, captured by the demo itself (--capture at 2 frames a
# second) and laid out with ImageMagick's montage at half size, in 256 colours.
#
#   docs/contact-sheet.sh [path/to/pixeldemo]     (default: build/pixeldemo)
#
# Needs ImageMagick (./test.sh installs it) and the DejaVu fonts.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
demo="$(realpath "${1:-$root/build/pixeldemo}")"
command -v montage >/dev/null || { echo "montage is missing: apt-get install imagemagick" >&2; exit 1; }

# Times in seconds (multiples of 0.5), four per scene.
times=(
  1.5 4.0 7.0 11.5          # 1 logo intro
  13.0 17.0 21.0 24.0       # 2 box parade over the water
  27.0 35.5 37.0 44.0       # 3 rippling sphere with pixel glow
  50.0 55.0 62.0 71.5       # 4 twisting bronze object with trails
  74.0 79.0 85.0 93.0       # 5 rolling tunnel with twisting logos
  97.0 102.0 108.0 114.0    # 6 greetings over a rainbow box
  122.0 125.0 128.0 142.0   # 7 closing scene with light trails
)

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$demo" --capture "$work/frames" --fps 2 --to "${times[-1]}" >/dev/null

args=()
for i in "${!times[@]}"; do
  t=${times[$i]}
  n=$(awk -v t="$t" 'BEGIN { printf "%06d", t * 2 }')
  args+=(-label "scene $((i / 4 + 1)), t = $t s" "$work/frames/frame_$n.png")
done
montage "${args[@]}" -tile 4x -geometry 320x240+4+4 -background '#202020' -fill '#dddddd' \
  -font DejaVu-Sans -pointsize 12 -depth 8 "$work/sheet.png"
# 256 colours with dithering: a third of the size, and the gradients still read.
mogrify -colors 256 -define png:format=png8 "$work/sheet.png"
cp "$work/sheet.png" "$root/docs/contact-sheet.png"
echo "wrote $root/docs/contact-sheet.png ($(stat -c %s "$root/docs/contact-sheet.png") bytes)"
