#!/usr/bin/env bash
# The Windows release: cross-compiles pixeldemo.exe with Debian's mingw-w64 and packs it with
# the generated data/ into dist/pixeldemo-windows-x64.zip; `test` also runs the Windows
# build's tests under Wine.
#
#   scripts/windows.sh [release]   build dist/pixeldemo-windows-x64.zip
#   scripts/windows.sh test        the same, then the tests under Wine (CTest in build-win/)
#
# Installs the Debian packages it needs when they are missing (as root). The native build
# (build/, through scripts/setup.sh) comes first: its asset tool makes data/ and, for the
# tests, its pixeldemo renders the frames the Windows one must match. The cross-built
# libraries are kept in ~/.cache/pixeldemo/mingw64 (scripts/windows-deps.sh), so only the
# first run builds them (a few minutes). Exits nonzero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib.sh
. scripts/lib.sh
root=$PWD
mode=${1:-release}
case $mode in release|test) ;; *) echo "usage: scripts/windows.sh [release|test]" >&2; exit 2 ;; esac

cross_pkgs=(gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
            libz-mingw-w64-dev googletest libcli11-dev cmake make pkg-config dpkg-dev zip unzip)
test_pkgs=(wine wine64 xvfb xauth xdotool x11-apps x11-utils imagemagick)

pkgs=("${cross_pkgs[@]}")
[ "$mode" = test ] && pkgs+=("${test_pkgs[@]}")
ensure_packages "${pkgs[@]}"

# The native build: its asset tool, and for the tests its pixeldemo.
scripts/setup.sh "$([ "$mode" = test ] && echo test || echo run)"

# The libraries, one prefix each (built once, then taken from the cache); a failed build
# ends the script here.
prefixes=$(scripts/windows-deps.sh)
deps=${prefixes//$'\n'/;}

build=build-win
start=$SECONDS
# A fresh configuration whenever a library changed: CMake keeps what pkg-config said.
if [ -f "$build/CMakeCache.txt" ] && ! grep -qxF "DEMO_WIN_DEPS:STRING=$deps" "$build/CMakeCache.txt"; then
  rm -f "$build/CMakeCache.txt"
fi
# DEMO_WERROR=1 (set by CI): warnings in our code are errors, as in the native build.
demo_configure "$build" -DCMAKE_TOOLCHAIN_FILE="$root/platform/windows/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DDEMO_BENCH=OFF -DDEMO_WIN_DEPS="$deps" \
  -DDEMO_ASSETGEN="$root/build/assetgen"
if [ "$mode" = test ]; then
  cmake --build "$build" -j"$(demo_jobs 2)" >&2
else
  cmake --build "$build" -j"$(demo_jobs 2)" --target pixeldemo >&2
fi
echo "windows: cross build done in $((SECONDS - start)) s" >&2

# The release: one folder pixeldemo/ holding pixeldemo.exe (without its debug information),
# data/, README.txt, LICENSE.txt and THIRD-PARTY-NOTICES.txt, so unzipping anywhere gives the
# program with its data. Every file carries the time of the last commit, so the same tree
# gives the same archive.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/pixeldemo"
x86_64-w64-mingw32-strip -o "$stage/pixeldemo/pixeldemo.exe" "$build/pixeldemo.exe"
cp -r "$build/data" "$stage/pixeldemo/data"
rm -f "$stage/pixeldemo/data/.stamp" "$stage/pixeldemo/data/contact.png"
sed 's/$/\r/' platform/windows/readme.txt > "$stage/pixeldemo/README.txt"
# The licence, and the licences and versions of the libraries linked in.
sed 's/$/\r/' LICENSE > "$stage/pixeldemo/LICENSE.txt"
scripts/notices.sh windows "$stage/notices.tmp"
sed 's/$/\r/' "$stage/notices.tmp" > "$stage/pixeldemo/THIRD-PARTY-NOTICES.txt"
rm "$stage/notices.tmp"
epoch=$(git log -1 --format=%ct 2>/dev/null || date +%s)
find "$stage" -exec touch -h -d "@$epoch" {} +
mkdir -p dist
rm -f dist/pixeldemo-windows-x64.zip
(cd "$stage" && find pixeldemo | LC_ALL=C sort |
   TZ=UTC zip -X -q -9 "$root/dist/pixeldemo-windows-x64.zip" -@)
# Everything inside the one folder, and no folder of the build machine in the program.
if unzip -Z1 dist/pixeldemo-windows-x64.zip | grep -v '^pixeldemo/'; then
  echo "windows: the zip holds files outside pixeldemo/" >&2; exit 1
fi
if x86_64-w64-mingw32-strings -a "$stage/pixeldemo/pixeldemo.exe" | grep -E -e "$root" -e "$HOME/" -e '/root/|/work/|\.cache/'; then
  echo "windows: pixeldemo.exe holds folders of the build machine (above)" >&2; exit 1
fi
echo "windows: dist/pixeldemo-windows-x64.zip, $(du -k dist/pixeldemo-windows-x64.zip | cut -f1) kB" >&2

[ "$mode" = test ] || exit 0

# The tests under Wine, in a Wine prefix of their own that is made once per run.
export WINEPREFIX=$stage/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
start=$SECONDS
# One Wine server for the whole run (otherwise each test waits about 3 s for the previous
# one's server to shut down), with Wine's own services started here: a process that starts
# them hands them its output, which would keep a test's output open after it ended.
mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1
wineboot -i </dev/null >/dev/null 2>&1 || true
echo "windows: Wine prefix ready in $((SECONDS - start)) s" >&2
status=0
# Two drawing threads in every test program and every run of pixeldemo.exe (the golden-frame
# test draws with 1, 2, 3 and 7 of its own), whatever the machine's cores.
export PIXELDEMO_THREADS=2
ctest --test-dir "$build" --output-on-failure -j"$(demo_jobs 2)" || status=$?
wineserver -k 2>/dev/null || true
exit $status
