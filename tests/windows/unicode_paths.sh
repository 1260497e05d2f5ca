#!/usr/bin/env bash
# File names beyond ASCII on Windows: pixeldemo.exe under Wine, with accented and Japanese
# folder names for everything it reads and writes. Each case runs the program (installed
# beside a data/ of links, as unzipped) from a folder of its own and checks what it wrote
# under the very names it was given; no case may leave a folder or file under a mangled name
# (the UTF-8 bytes read as Latin-1, or "?").
#
#   tests/windows/unicode_paths.sh path/to/wine-pixeldemo.sh path/to/standin/ffmpeg.exe
set -u
windows=$(realpath "$1")
standin=$(realpath "$2")
exe=$(realpath "${PIXELDEMO_EXE:?}")
data=$(dirname "$exe")/data
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
frame=$((640 * 480 * 3))

accent='Mes Démos/sortie ü'
cjk='デモ'
# Unzipped into such a folder: the program and data/ (links to the build's files).
install() {
  mkdir -p "$work/$1"
  cp "$exe" "$work/$1/pixeldemo.exe"
  cp -rs "$data" "$work/$1/data"
}
install "Téléchargements/pixeldemo"
install "$cjk/プログラム"
# The stand-in encoder on the PATH, from a folder with a Japanese name too.
mkdir -p "$work/ツール"
cp "$standin" "$work/ツール/ffmpeg.exe"
export WINEPATH="Z:$work/ツール"
winpath() { echo "Z:$work/$1" | tr / '\\'; }

# name | program's folder ("" for the build's) | folder made first | arguments (split at
# tabs) | file that must exist | its size. $accent, $cjk and $(winpath ...) are expanded.
failed=0 cases=0
while IFS='|' read -r name home made args want size; do
  [ -z "$name" ] && continue
  run=$work/run-$name
  expand() { eval "printf '%s' \"$1\""; }
  home=$(expand "$home") made=$(expand "$made") args=$(expand "$args") want=$(expand "$want")
  mkdir -p "$run/$made"
  IFS=$'\t' read -r -a argv <<<"$args"
  program=$exe
  [ -n "$home" ] && program=$work/$home/pixeldemo.exe
  (cd "$run" && PIXELDEMO_EXE=$program "$windows" "${argv[@]}" </dev/null >out 2>err)
  rc=$?
  problem=
  if [ "$rc" -ne 0 ]; then problem="exit code $rc"
  elif [ ! -s "$run/$want" ]; then problem="no $want"
  elif [ -n "$size" ] && [ "$(stat -c %s "$run/$want")" -ne $((size)) ]; then
    problem="$want holds $(stat -c %s "$run/$want") bytes, not $((size))"
  fi
  cases=$((cases + 1))
  if [ -n "$problem" ]; then
    echo "$name: $problem"; cat "$run/err"; failed=$((failed + 1))
  else
    echo "$name: $want written"
  fi
done <<'CASES'
data_accented|Téléchargements/pixeldemo||--capture	frames	--fps	10	--to	0.2|frames/frame_000002.png|
data_japanese|$cjk/プログラム||--capture	frames	--fps	10	--to	0.2|frames/frame_000002.png|
capture_accented|||--capture	$accent	--fps	10	--to	0.2|$accent/frame_000002.png|
capture_japanese_absolute|||--capture	$(winpath run-capture_japanese_absolute/$cjk/出力)	--fps	10	--to	0.1|$cjk/出力/frame_000001.png|
sheet_japanese||$cjk|--capture	c	--fps	10	--to	0.2	--sheet	$cjk/シート ü.png|$cjk/シート ü.png|
plot_accented|Téléchargements/pixeldemo|$accent|--analyze-music	$accent/écoute.png|$accent/écoute.png|
video_japanese|$cjk/プログラム|$cjk|--video	$cjk/ビデオ é.mp4	--fps	10	--to	0.5|$cjk/ビデオ é.mp4|6 * frame
CASES

# Where it looked for data/, said with the folders' names as they are.
mkdir -p "$work/Téléchargements/sans/bin" "$work/Téléchargements/sans/ici"
cp "$exe" "$work/Téléchargements/sans/bin/"
(cd "$work/Téléchargements/sans/ici" &&
   PIXELDEMO_EXE=$work/Téléchargements/sans/bin/$(basename "$exe") "$windows" --capture o --to 0.1 \
   </dev/null >out 2>err)
cases=$((cases + 1))
if ! grep -qF "no data folder in Z:$(echo "$work" | tr / '\\')\\Téléchargements\\sans\\ici nor beside the program in Z:$(echo "$work" | tr / '\\')\\Téléchargements\\sans\\bin" \
     "$work/Téléchargements/sans/ici/err"; then
  echo "no_data_accented: the message does not name the folders"; cat "$work/Téléchargements/sans/ici/err"
  failed=$((failed + 1))
else
  echo "no_data_accented: names the folders as they are"
fi

mangled=$(find "$work" -name '*Ã*' -o -name '*ã*' -o -name '*[?]*')
[ -z "$mangled" ] || { echo "mangled names:"; echo "$mangled"; failed=$((failed + 1)); }
[ "$failed" -eq 0 ] || fail "$failed of $cases cases"
echo "PASS: $cases cases with accented and Japanese names for data, capture, sheet, plot and video"
