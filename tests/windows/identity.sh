#!/usr/bin/env bash
# What pixeldemo.exe declares about itself, read under Wine the way Windows reads it
# (exe_info.exe): the version information with the project's version, every picture of its
# icon loading as an icon, the manifest's DPI awareness and UTF-8 code page; what --version
# prints; and that no folder of the build machine is written inside it, with or without its
# debug information.
#
#   tests/windows/identity.sh path/to/wine-pixeldemo.sh path/to/exe_info.exe VERSION SOURCE-DIR
set -u
windows=$(realpath "$1")
exe_info=$(realpath "$2")
version=$3
source_dir=$(realpath "$4")
exe=$(realpath "${PIXELDEMO_EXE:?}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

wine "$exe_info" "$exe" </dev/null 2>/dev/null | tr -d '\r' >"$work/info" || fail "exe_info could not read the program"
for want in "file version $version.0" "ProductName: pixeldemo" "ProductVersion: $version" \
            "FileVersion: $version" "icon 16 32 loads" "icon 32 32 loads" "icon 48 32 loads" \
            "icon 256 32 loads" \
            '<activeCodePage xmlns="http://schemas.microsoft.com/SMI/2019/WindowsSettings">UTF-8</activeCodePage>' \
            '>PerMonitorV2, PerMonitor</dpiAwareness>' '>true/pm</dpiAware>'; do
  grep -qF -- "$want" "$work/info" || { cat "$work/info"; fail "the program does not declare '$want'"; }
done
grep -q '^FileDescription: .*demo' "$work/info" || { cat "$work/info"; fail "no description"; }
echo "declares: version $version, icon of 16, 32, 48 and 256 pixels, DPI awareness, UTF-8"

# --version: the project's version, then each library; the libraries are linked in, so the
# versions compiled against are the ones linked.
"$windows" --version </dev/null >"$work/version" 2>"$work/version.err" || { cat "$work/version.err"; fail "--version failed"; }
[ "$(head -n1 "$work/version")" = "pixeldemo $version" ] || { cat "$work/version"; fail "--version's first line"; }
for lib in SDL2 libpng zlib; do
  grep -qE "^$lib ([0-9.]+) \(compiled against \1\)$" "$work/version" ||
    { cat "$work/version"; fail "--version: no line for $lib, or another version linked"; }
done
grep -qE '^libmpg123 [0-9.]+ \(API [0-9]+\)$' "$work/version" &&
  grep -qE '^kissfft [0-9.]+$' "$work/version" || { cat "$work/version"; fail "--version: libmpg123 or kissfft"; }
echo "--version: $(tr '\n' ';' <"$work/version")"

# No build machine's folder: the source tree, the home folder (the library cache) or the
# cache's name, in the program as built (with debug information) and as released (stripped).
x86_64-w64-mingw32-strip -o "$work/stripped.exe" "$exe" || fail "strip"
for file in "$exe" "$work/stripped.exe"; do
  found=$(x86_64-w64-mingw32-strings -a "$file" | grep -E -e "$source_dir" -e "$HOME/" -e '/root/|/work/|\.cache/' | sort -u | head -5)
  [ -z "$found" ] || { echo "$found"; fail "$(basename "$file") holds folders of the build machine"; }
done
echo "PASS: declares itself, prints its versions, no folder of the build machine inside"
