#!/usr/bin/env bash
# Builds the libraries of the Linux release as static libraries, from the Debian source
# packages of the versions this machine's build links (scripts/debsource.sh):
#   SDL2     its CMake build, static, with only what the demo needs: video through X11 and
#            Wayland (with libdecor's window frames), sound through ALSA, PulseAudio and
#            PipeWire, every one of them loaded at run time with dlopen (as Debian's own
#            SDL does), so the program starts on a machine that has any of them; no
#            joystick, haptic or sensor subsystem, no tests;
#   zlib     its configure script, static;
#   libpng   its CMake build, static, against that zlib, no tests or tools.
# libmpg123 and kissfft are the strict-float builds of scripts/native-deps.sh (the recipe of
# scripts/floatlibs.sh), which are static already.
#
#   scripts/linux-deps.sh
#
# Prints one install prefix per library on standard output. Each is kept under
# $PIXELDEMO_CACHE/linux (default ~/.cache/pixeldemo/linux), in a folder named after the
# compiler, the library's version and a hash of its recipe, and reused while all three stay
# the same: only the first run builds (SDL takes a few minutes on two cores). Needs cmake,
# make, dpkg-dev and the headers SDL's drivers are compiled against (scripts/linux.sh
# installs them).
set -euo pipefail
# shellcheck source=scripts/lib.sh
. "$(dirname "$0")/lib.sh"
root=$demo_root
cache=$demo_cache
jobs=$(demo_jobs 2)
cc=${CC:-cc}
compiler=$($cc -dumpmachine)-$($cc -dumpfullversion 2>/dev/null || $cc -dumpversion)
store=$cache/linux/${compiler//[^A-Za-z0-9.+_-]/_}
mkdir -p "$store"

logged() {   # log file, command...: the output goes to the log, shown when the step fails
  local log=$1
  shift
  "$@" >>"$log" 2>&1 || { tail -40 "$log" >&2; return 1; }
}

cmake_static() {   # source folder, build folder, install prefix, more -D options
  local src=$1 build=$2 prefix=$3
  shift 3
  logged "$build.log" cmake -S "$src" -B "$build" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib -DBUILD_SHARED_LIBS=OFF \
    -DCMAKE_POSITION_INDEPENDENT_CODE=ON -DCMAKE_C_COMPILER="$cc" "$@"
  logged "$build.log" cmake --build "$build" -j"$jobs"
  logged "$build.log" cmake --install "$build"
}

# --- The recipes: each gets the unpacked source, a scratch folder and its prefix --------

build_sdl2() {
  local off=() o
  for o in JOYSTICK HAPTIC HIDAPI SENSOR POWER OSS JACK ESD ARTS NAS SNDIO FUSIONSOUND \
           LIBSAMPLERATE DISKAUDIO DIRECTFB KMSDRM RPI VIVANTE VULKAN OFFSCREEN IBUS \
           WAYLAND_QT_TOUCH RPATH TEST TESTS; do
    off+=("-DSDL_$o=OFF")
  done
  cmake_static "$1" "$2/build" "$3" -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL2_DISABLE_SDL2MAIN=ON \
    -DSDL2_DISABLE_UNINSTALL=ON -DSDL_CCACHE=OFF \
    -DSDL_X11=ON -DSDL_X11_SHARED=ON -DSDL_WAYLAND=ON -DSDL_WAYLAND_SHARED=ON \
    -DSDL_WAYLAND_LIBDECOR=ON -DSDL_WAYLAND_LIBDECOR_SHARED=ON \
    -DSDL_ALSA=ON -DSDL_ALSA_SHARED=ON -DSDL_PULSEAUDIO=ON -DSDL_PULSEAUDIO_SHARED=ON \
    -DSDL_PIPEWIRE=ON -DSDL_PIPEWIRE_SHARED=ON "${off[@]}"
  # Each driver was found and is loaded at run time: a missing header would have dropped
  # the driver without a word.
  local config=$3/include/SDL2/SDL_config.h d
  for d in SDL_VIDEO_DRIVER_X11_DYNAMIC SDL_VIDEO_DRIVER_WAYLAND_DYNAMIC \
           SDL_AUDIO_DRIVER_ALSA_DYNAMIC SDL_AUDIO_DRIVER_PULSEAUDIO_DYNAMIC \
           SDL_AUDIO_DRIVER_PIPEWIRE_DYNAMIC; do
    grep -q "#define $d " "$config" || { echo "linux-deps: SDL2 was built without $d" >&2; return 1; }
  done
}

build_zlib() {
  (cd "$1" && logged "$2/build.log" env CC="$cc" CFLAGS="-O2 -fPIC" ./configure --static \
     --prefix="$3")
  logged "$2/build.log" make -C "$1" -j"$jobs" libz.a
  logged "$2/build.log" make -C "$1" install
}

build_libpng() {
  cmake_static "$1" "$2/build" "$3" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DPNG_FRAMEWORK=OFF -DZLIB_ROOT="$zlib_prefix" \
    -DZLIB_INCLUDE_DIR="$zlib_prefix/include" -DZLIB_LIBRARY="$zlib_prefix/lib/libz.a"
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
  local name=$1 recipe=$2 src=$3 version=$4 hash dest
  hash=$(declare -f "$recipe" cmake_static logged static_pc | sha1sum | cut -c1-10)
  dest=$store/${name}-${version//[^A-Za-z0-9.+_-]/_}-$hash
  if [ ! -f "$dest/.built" ]; then
    echo "linux-deps: building $name $version (static)" >&2
    local scratch start=$SECONDS
    scratch=$(mktemp -d "$store/.build.XXXXXX")
    rm -rf "$dest"
    mkdir -p "$scratch/src"
    cp -a "$src/." "$scratch/src/"   # out of the shared source tree: configure writes into it
    "$recipe" "$scratch/src" "$scratch" "$dest"
    static_pc "$dest"
    rm -rf "$scratch"
    # Written last: a build that stopped half-way is redone.
    echo "$name $version $compiler" > "$dest/.built"
    # Earlier builds of the same library (another version or recipe) are not used again.
    find "$store" -mindepth 1 -maxdepth 1 -name "$name-*" ! -path "$dest" -exec rm -rf {} +
    echo "linux-deps: $name built in $((SECONDS - start)) s" >&2
  fi
  echo "$dest"
}

source_of() { "$root/scripts/debsource.sh" "$@"; }
# The Debian version of the source tree debsource.sh unpacked (it records it).
version_of() { cat "$1/.unpacked"; }

src=$(source_of zlib zlib1g-dev)
zlib_prefix=$(provide zlib build_zlib "$src" "$(version_of "$src")")
echo "$zlib_prefix"
src=$(source_of libpng1.6 libpng-dev)
provide libpng build_libpng "$src" "$(version_of "$src")-zlib$(basename "$zlib_prefix")"
src=$(source_of libsdl2 libsdl2-dev)
provide sdl2 build_sdl2 "$src" "$(version_of "$src")"
# libmpg123 and kissfft, strict float, static: the native build's own.
"$root/scripts/native-deps.sh"
