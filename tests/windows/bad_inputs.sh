#!/usr/bin/env bash
# Broken inputs on Windows: a sample of the cases of tests/unit/test_bad_inputs.cpp, each run by
# the Linux build and by pixeldemo.exe under Wine in a copy of data/ with one thing broken.
# Both must end with the same exit code and print the same lines.
#
#   tests/windows/bad_inputs.sh path/to/native/pixeldemo path/to/wine-pixeldemo.sh
set -u
native=$(realpath "$1")
windows=$(realpath "$2")
data=$(dirname "$native")/data
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.sh"

start_up=(--capture out --fps 10 --to 0.5)
timeline=(--capture out --fps 1 --from 147)

# A copy of data/ (links to the files) with one file replaced by what `break_it` makes.
# name, file under data/, breakage, demo arguments...
#   breakage: missing | directory | empty | half | cut:N (keep N bytes) | drop:N (drop the
#   last N bytes) | flip:OFFSET (invert one byte) | copy:FILE (another file of data/)
prepare() {
  local dir=$1 file=$2 how=$3 target
  mkdir -p "$dir"
  cp -rs "$data" "$dir/data"
  target=$dir/data/$file
  rm -f "$target"
  local size
  size=$(stat -L -c %s "$data/$file")
  case $how in
    missing) ;;
    directory) mkdir "$target" ;;
    empty) : >"$target" ;;
    half) head -c $((size / 2)) "$data/$file" >"$target" ;;
    cut:*) head -c "${how#cut:}" "$data/$file" >"$target" ;;
    drop:*) head -c $((size - ${how#drop:})) "$data/$file" >"$target" ;;
    flip:*)
      local at=${how#flip:}
      cp "$data/$file" "$target"
      printf "$(printf '\\%03o' $((0xFF ^ $(od -An -tu1 -j "$at" -N1 "$data/$file"))))" |
        dd of="$target" bs=1 seek="$at" conv=notrunc status=none ;;
    copy:*) cp "$data/${how#copy:}" "$target" ;;
    *) fail "unknown breakage $how" ;;
  esac
}

# What a user sees: exit code, stdout and stderr, with the lines that report progress or
# speed left out, and paths written alike: backslashes as slashes and the run's folder
# (which Windows spells Z:/...) as ROOT.
outcome() {
  local dir=$1 rc=$2
  echo "exit code $rc"
  echo "--- stdout"
  cat "$dir/stdout"
  echo "--- stderr"
  grep -vE '^(capture|bench): ' "$dir/stderr" | tr '\\' / | sed -e "s|Z:$dir|ROOT|g" -e "s|$dir|ROOT|g"
}

run_case() {
  local name=$1 file=$2 how=$3
  shift 3
  local side demo rc
  for side in linux windows; do
    demo=$native
    [ $side = windows ] && demo=$windows
    prepare "$work/$name/$side" "$file" "$how"
    (cd "$work/$name/$side" && env -u DISPLAY -u WAYLAND_DISPLAY timeout 120 "$demo" "$@" \
       </dev/null >stdout 2>stderr)
    rc=$?
    outcome "$work/$name/$side" "$rc" >"$work/$name/$side.seen"
  done
  if ! cmp -s "$work/$name/linux.seen" "$work/$name/windows.seen"; then
    echo "$name: Linux and Windows differ"
    diff -u "$work/$name/linux.seen" "$work/$name/windows.seen" | head -40
    failed=$((failed + 1))
  else
    echo "$name: the same ($(head -n1 "$work/$name/linux.seen"))"
  fi
  cases=$((cases + 1))
}

failed=0 cases=0
# A picture: missing, a folder, cut, a bad header checksum, the music in its place.
run_case png_missing vann.png missing "${start_up[@]}"
run_case png_directory vann.png directory "${start_up[@]}"
run_case png_cut_in_half vann.png half "${start_up[@]}"
run_case png_header_crc vann.png flip:29 "${start_up[@]}"
run_case png_is_the_music vann.png copy:pelotrix.mp3 "${start_up[@]}"
run_case png_first_loaded_missing s.png missing "${start_up[@]}"
# A mesh: missing, a folder, cut in the triangles, a picture in its place.
run_case ebr_missing box2.ebr missing "${timeline[@]}"
run_case ebr_directory box2.ebr directory "${start_up[@]}"
run_case ebr_cut_in_triangles box2.ebr drop:1 "${start_up[@]}"
run_case ebr_is_a_picture box2.ebr copy:s.png "${start_up[@]}"
# The music: missing, a folder, empty, cut to its first frames, cut in half (plays on).
run_case mp3_missing pelotrix.mp3 missing "${timeline[@]}"
run_case mp3_directory pelotrix.mp3 directory "${start_up[@]}"
run_case mp3_empty pelotrix.mp3 empty "${start_up[@]}"
run_case mp3_cut_to_first_frames pelotrix.mp3 cut:1000 "${start_up[@]}"
run_case mp3_cut_in_half pelotrix.mp3 half "${timeline[@]}"
# Output places and options.
run_case capture_into_a_file s.png copy:s.png --capture data/s.png
run_case sheet_in_missing_folder s.png copy:s.png --capture out --to 0.2 --sheet no/sheet.png
run_case unknown_option s.png copy:s.png --capture out --frobnicate
run_case bad_number s.png copy:s.png --capture out --fps ten
run_case excluding_options s.png copy:s.png --capture out --bench

# No data/ in the working folder nor beside the program: where it looked, then the first
# file it misses. (The places differ between the two builds, so only Windows is checked.)
mkdir -p "$work/nodata/bin"
cp "$PIXELDEMO_EXE" "$work/nodata/bin/"
(cd "$work/nodata" && PIXELDEMO_EXE=$work/nodata/bin/$(basename "$PIXELDEMO_EXE") \
   "$windows" "${start_up[@]}" </dev/null >stdout 2>stderr)
rc=$?
if [ "$rc" -ne 1 ] || [ "$(cat "$work/nodata/stdout")" != "File not found: data/s.png " ] ||
   ! grep -qE '^pixeldemo: no data folder in .*nodata nor beside the program in .*nodata.bin$' \
     "$work/nodata/stderr"; then
  echo "no_data_folder: exit code $rc"; cat "$work/nodata/stdout" "$work/nodata/stderr"
  failed=$((failed + 1))
else
  echo "no_data_folder: says where it looked ($(grep 'no data folder' "$work/nodata/stderr"))"
fi
cases=$((cases + 1))

# Outputs on a drive that does not exist (Wine maps C: and Z: only): said as such, not as
# the error Windows gives for the path ("File name too long"). Windows only.
while IFS='|' read -r name expect args; do
  # shellcheck disable=SC2086
  (cd "$work" && "$windows" $args </dev/null >"$name.stdout" 2>"$name.stderr")
  rc=$?
  if [ "$rc" -ne 1 ] || ! grep -qF "$expect" "$work/$name.stderr"; then
    echo "$name: exit code $rc, expected 1 and '$expect'"; cat "$work/$name.stderr"
    failed=$((failed + 1))
  else
    echo "$name: $(cat "$work/$name.stderr")"
  fi
  cases=$((cases + 1))
done <<'CASES'
capture_on_missing_drive|pixeldemo: cannot create Q:\out: the drive Q: does not exist|--capture Q:\out --fps 10 --to 0.2
sheet_on_missing_drive|pixeldemo: cannot write Q:\sheet.png: the drive Q: does not exist|--capture out --fps 10 --to 0.2 --sheet Q:\sheet.png
CASES

[ "$failed" -eq 0 ] || fail "$failed of $cases cases differ"
echo "PASS: $cases broken inputs give the same messages and exit codes as on Linux"
