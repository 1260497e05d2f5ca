#!/usr/bin/env bash
# The Linux release: pixeldemo linked statically against SDL2, libpng, zlib, libmpg123 and
# kissfft (built from Debian's sources by scripts/linux-deps.sh) and the C++ runtime, packed
# with data/, a README, LICENSE and the notices into dist/pixeldemo-linux-x64.tar.gz (one
# folder, pixeldemo/). The program needs only the system's C library (as new as this
# machine's) and what SDL opens at run time (X11 or Wayland, PipeWire, PulseAudio or ALSA).
#
#   scripts/linux.sh [release]   build dist/pixeldemo-linux-x64.tar.gz
#   scripts/linux.sh test        the same, then tests/linux/archive_test.sh on the archive
#
# Installs the Debian packages it needs when they are missing (as root). The native build
# (build/, through scripts/setup.sh) comes first: its asset tool makes data/ and, for the
# test, its pixeldemo captures the frames the release's must equal. The libraries are kept
# in ~/.cache/pixeldemo/linux, so only the first run builds them (SDL: a few minutes).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
mode=${1:-release}
case $mode in release|test) ;; *) echo "usage: scripts/linux.sh [release|test]" >&2; exit 2 ;; esac

# The headers SDL's run-time drivers are compiled against (the libraries themselves are
# opened at run time), and the build tools.
build_pkgs=(cmake make pkg-config dpkg-dev libx11-dev libxext-dev libxrandr-dev libxcursor-dev
            libxfixes-dev libxi-dev libxss-dev libwayland-dev libwayland-bin libxkbcommon-dev
            libdecor-0-dev libegl-dev libgles-dev libasound2-dev libpulse-dev
            libpipewire-0.3-dev libdbus-1-dev binutils)
test_pkgs=(xvfb xauth xdotool x11-apps x11-utils)
pkgs=("${build_pkgs[@]}")
[ "$mode" = test ] && pkgs+=("${test_pkgs[@]}")
# shellcheck source=scripts/lib.sh
. scripts/lib.sh   # DEMO_JOBS, DEMO_WERROR: see there
ensure_packages "${pkgs[@]}"

# The native build: its asset tool, and for the test its pixeldemo.
[ "${DEMO_SETUP_DONE:-0}" = 1 ] || scripts/setup.sh "$([ "$mode" = test ] && echo test || echo run)"

# zlib, libpng, SDL2, then the strict-float libmpg123 and kissfft.
mapfile -t prefixes < <(scripts/linux-deps.sh)
[ ${#prefixes[@]} -eq 4 ] || { echo "linux: the libraries could not be built (see above)" >&2; exit 1; }
zlib=${prefixes[0]} png=${prefixes[1]} sdl=${prefixes[2]} float_libs=${prefixes[3]}

build=build-linux
start=$SECONDS
werror=$(demo_werror)
deps="$zlib;$png;$sdl;$float_libs"
# A fresh configuration whenever a library changed: CMake keeps what pkg-config said.
if [ ! -f "$build/CMakeCache.txt" ] || ! grep -qF "DEMO_LINUX_DEPS:STRING=$deps" "$build/CMakeCache.txt"; then
  # DEMO_LINUX_DEPS only marks the libraries this configuration was made with.
  rm -f "$build/CMakeCache.txt"
  # SDL2 through its pkg-config file (made for a static link), the other two by name.
  PKG_CONFIG_PATH="$sdl/lib/pkgconfig" cmake -S . -B "$build" --no-warn-unused-cli -DCMAKE_BUILD_TYPE=Release \
    -DDEMO_BENCH=OFF -DDEMO_WERROR=$werror -DDEMO_LINUX_DEPS:STRING="$deps" \
    -DDEMO_FLOAT_LIBS="$float_libs" \
    -DZLIB_INCLUDE_DIR="$zlib/include" -DZLIB_LIBRARY="$zlib/lib/libz.a" \
    -DPNG_PNG_INCLUDE_DIR="$png/include" -DPNG_LIBRARY="$png/lib/libpng16.a" \
    -DDEMO_STATIC_RUNTIME=ON -DDEMO_ASSETGEN="$root/build/assetgen" >&2
else
  cmake "$build" -DDEMO_WERROR=$werror >/dev/null
fi
# data/ is the native build's, copied with its times, so the asset tool does not run again.
mkdir -p "$build/data"
cp -a build/data/. "$build/data/"
cmake --build "$build" -j"$(demo_jobs 2)" --target pixeldemo >&2
echo "linux: release build done in $((SECONDS - start)) s" >&2

# The oldest C library the program runs on: the newest symbol version it asks for.
glibc=$(objdump -T "$build/pixeldemo" | grep -o 'GLIBC_[0-9.]*' | sed 's/GLIBC_//' | sort -V | tail -1)
# The first release of each common distribution whose C library is at least that new.
distros=$(while read -r family releases; do
  for r in $releases; do
    if [ "$(printf '%s\n%s\n' "$glibc" "${r#*=}" | sort -V | head -1)" = "$glibc" ]; then
      echo "$family ${r%=*}"
      break
    fi
  done
done <<'EOF'
Debian 11=2.31 12=2.36 13=2.41
Ubuntu 20.04=2.31 22.04=2.35 24.04=2.39
Fedora 33=2.32 35=2.34 36=2.35 37=2.36 39=2.38 40=2.39 42=2.41
RHEL/Rocky/Alma_Linux 8=2.28 9=2.34 10=2.39
EOF
)
distros=$(echo "$distros" | sed 's/_/ /g; s/$/ or later/' | paste -sd, | sed 's/,\([^,]*\)$/ and \1/; s/,/, /g')

# The release folder: every file carries the time of the last commit, so the same tree
# gives the same archive.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
dir=$stage/pixeldemo
mkdir -p "$dir"
strip -o "$dir/pixeldemo" "$build/pixeldemo"
cp -r build/data "$dir/data"
rm -f "$dir/data/.stamp" "$dir/data/contact.png"
sed -e "s|@GLIBC@|$glibc|" -e "s|@DISTROS@|$distros|" platform/linux/readme.txt > "$dir/README.txt"
cp LICENSE "$dir/LICENSE"
scripts/notices.sh linux "$dir/THIRD-PARTY-NOTICES.txt"
epoch=$(git log -1 --format=%ct 2>/dev/null || date +%s)
find "$stage" -exec touch -h -d "@$epoch" {} +
mkdir -p dist
archive=dist/pixeldemo-linux-x64.tar.gz
tar -C "$stage" --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$epoch" -cf - pixeldemo |
  gzip -9n >"$archive"
echo "linux: $archive, $(du -k "$archive" | cut -f1) kB; runs on glibc $glibc or newer ($distros)" >&2

[ "$mode" = test ] || exit 0
exec bash tests/linux/archive_test.sh "$archive" "$root/build/pixeldemo"
