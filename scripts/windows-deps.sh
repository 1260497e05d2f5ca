#!/usr/bin/env bash
# Cross-builds the libraries of the Windows release as static mingw-w64 libraries, from the
# Debian source packages of the versions the Linux build uses (scripts/debsource.sh):
# SDL2, libpng, mpg123 and kissfft (these two with strict float arithmetic, as on Linux:
# scripts/floatlibs.sh); GoogleTest from Debian's googletest sources for the tests; CLI11's
# headers as Debian ships them. zlib is Debian's own mingw-w64 build (libz-mingw-w64-dev).
#
#   scripts/windows-deps.sh
#
# Prints one install prefix per library on standard output. Each is kept under
# $PIXELDEMO_CACHE/mingw64 (default ~/.cache/pixeldemo/mingw64), in a folder named after the
# compiler, the library's version and a hash of the recipe (this script, floatlibs.sh and
# the toolchain file), and reused while all three stay the same, so a second run takes a
# second. Needs the mingw-w64 compilers, cmake, make and dpkg-dev (scripts/windows.sh
# installs them).
set -euo pipefail
# shellcheck source=scripts/lib.sh
. "$(dirname "$0")/lib.sh"
host=x86_64-w64-mingw32
toolchain=$demo_root/platform/windows/mingw-w64-x86_64.cmake
jobs=$(demo_jobs 2)
export CC=$host-gcc-posix CXX=$host-g++-posix
# shellcheck source=scripts/floatlibs.sh
. "$demo_root/scripts/floatlibs.sh"

pkg_version() { dpkg-query -W -f='${Version}' "$1"; }
compiler="gcc$(pkg_version gcc-mingw-w64-x86-64-posix)-crt$(pkg_version mingw-w64-x86-64-dev)"

# No folder of this machine in what the libraries hold (the file names of their assertions
# and messages, __FILE__): the scratch folder each is built in is written as ".". Only
# strings change; the code is the same.
no_build_paths() { echo "-ffile-prefix-map=$1=."; }

cmake_cross() {   # source folder, build folder, install prefix, more -D options
  local src=$1 build=$2 prefix=$3
  shift 3
  cmake -S "$src" -B "$build" -G "Unix Makefiles" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib -DBUILD_SHARED_LIBS=OFF \
    -DCMAKE_C_FLAGS="$(no_build_paths "$(dirname "$src")")" \
    -DCMAKE_CXX_FLAGS="$(no_build_paths "$(dirname "$src")")" \
    "$@" >"$build.log" 2>&1 || { tail -40 "$build.log" >&2; return 1; }
  cmake --build "$build" -j"$jobs" >>"$build.log" 2>&1 || { tail -40 "$build.log" >&2; return 1; }
  cmake --install "$build" >>"$build.log" 2>&1 || { tail -40 "$build.log" >&2; return 1; }
}

# --- The recipes: each gets the unpacked source, a scratch folder and its prefix --------

build_sdl2() {
  cmake_cross "$1" "$2/build" "$3" -DCMAKE_BUILD_TYPE=Release -DSDL_SHARED=OFF -DSDL_STATIC=ON \
    -DSDL_TEST=OFF -DSDL2_DISABLE_SDL2MAIN=ON -DSDL2_DISABLE_UNINSTALL=ON
  # No SDL2main (the demo has its own main) and no GUI-subsystem flag: that is for the
  # program that wants it to say (the tests are console programs).
  sed -i -e '/^Libs/s/ *-lmingw32\b//g; /^Libs/s/ *-mwindows\b//g; /^Libs/s/ *-lSDL2main\b//g' \
    "$3/lib/pkgconfig/sdl2.pc"
}

build_libpng() {
  cmake_cross "$1" "$2/build" "$3" -DCMAKE_BUILD_TYPE=Release -DPNG_SHARED=OFF -DPNG_STATIC=ON \
    -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_INCLUDE_DIR=/usr/$host/include -DZLIB_LIBRARY=/usr/$host/lib/libz.a
}

# libmpg123 and kissfft: the strict-float recipes every target shares (scripts/floatlibs.sh),
# with the path mapping beside their flags (through configure's CPPFLAGS, and the compiler
# command).
build_mpg123() { CPPFLAGS=$(no_build_paths "$2") build_mpg123_strict "$1" "$2" "$3" "$host"; }
build_kissfft() { build_kissfft_strict "$CC $(no_build_paths "$2")" "$host-ar" "$1" "$3"; }

build_googletest() {
  cmake_cross "$1" "$2/build" "$3" -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=ON \
    -Dgtest_disable_pthreads=OFF
}

# Header-only: Debian's headers and CMake package file, copied as they are (the package file
# finds its headers relative to itself).
build_cli11() {
  mkdir -p "$3/include" "$3/share/cmake"
  cp -r /usr/include/CLI "$3/include/"
  cp -r /usr/share/cmake/CLI11 "$3/share/cmake/"
}

# --- Fetch, build once, print the prefix -------------------------------------------------

# pkg-config files for static linking: what Libs.private lists goes into Libs, so a plain
# `pkg-config --libs` (all that CMake's pkg_check_modules asks) gives the whole link line.
# Paths are made relative to the file, so the prefix can move.
static_pc() {
  local pc private
  for pc in "$1"/lib/pkgconfig/*.pc; do
    [ -f "$pc" ] || continue
    private=$(sed -n 's/^Libs.private: *//p' "$pc")
    sed -i -e '/^Libs.private:/d' -e "s|^Libs:.*|& $private|" \
           -e "s|$1|\${pcfiledir}/../..|g" "$pc"
  done
}

# name, recipe, source folder, version
provide() {
  [ -d "$3" ] || { echo "windows-deps: no source folder for $1" >&2; exit 1; }
  cached_prefix "mingw64/${compiler//[^A-Za-z0-9.+_-]/_}" "$1-$4" \
    "$demo_root/scripts/windows-deps.sh" "$demo_root/scripts/floatlibs.sh" "$toolchain" \
    -- build_one "$2" "$3"
}

build_one() {   # recipe, source folder, prefix, scratch
  mkdir "$4/src"
  cp -a "$2/." "$4/src/"   # out of the shared source tree: configure writes into it
  "$1" "$4/src" "$4" "$3"
  static_pc "$3"
}

source_of() { "$demo_root/scripts/debsource.sh" "$@"; }
upstream_of() { local v; v=$(pkg_version "$1"); v=${v#*:}; echo "${v%-*}"; }

provide sdl2 build_sdl2 "$(source_of libsdl2 libsdl2-dev)" "$(upstream_of libsdl2-dev)"
provide libpng build_libpng "$(source_of libpng1.6 libpng-dev)" "$(upstream_of libpng-dev)"
provide mpg123 build_mpg123 "$(source_of mpg123 libmpg123-dev)" "$(upstream_of libmpg123-dev)"
provide kissfft build_kissfft "$(source_of kissfft libkissfft-dev)" "$(upstream_of libkissfft-dev)"
provide googletest build_googletest /usr/src/googletest "$(upstream_of googletest)"
provide cli11 build_cli11 /usr/include/CLI "$(upstream_of libcli11-dev)"
