#!/usr/bin/env bash
# Builds the libraries the demo links for WebAssembly (zlib, libpng, SDL2, libmpg123,
# kissfft) with emscripten, from the Debian source packages of the releases the native
# build uses (scripts/debsource.sh), and installs them as static libraries with their
# headers and pkg-config files into one prefix.
#
#   scripts/web-deps.sh        builds what is missing; prints the prefix on standard output
#   scripts/web-deps.sh threads   the same for the threaded page: every library compiled
#                                 with -pthread (atomics and shared memory, which every
#                                 object of a threaded program needs), SDL2 with its POSIX
#                                 threads; a prefix of its own
#
# The prefix lives outside the clone, in $PIXELDEMO_CACHE/wasm (default
# ~/.cache/pixeldemo/wasm), named after the emscripten version, every library's version and
# a hash of the recipe (this script and floatlibs.sh), so a new release of any of them or a
# changed recipe gets a prefix of its own. Each source tree is copied before it is built:
# the unpacked trees are shared with the other cross builds.
#
# How each is built:
#   zlib      its configure script, static;
#   libpng    its CMake build, static, no tests or tools;
#   SDL2      compiled straight from its sources with the configuration header SDL ships
#             for emscripten (SDL_config_emscripten.h), the way emscripten builds SDL2
#             itself: SDL's CMake build would run some 300 compiler checks first, each a
#             whole emcc link, for minutes;
#   libmpg123 its configure script with the generic decoder (the one every platform of
#             the demo decodes with), 16-bit output rounded as everywhere;
#   kissfft   its two C files, float samples.
# libmpg123 and kissfft are built with strict IEEE float arithmetic, as on every target
# (scripts/floatlibs.sh says why): gcc on x86-64 and clang for wasm then give the same bits.
#
# Expects emcc on the PATH and NODE_PATH naming Debian's node modules (scripts/web.sh sets
# both up).
set -euo pipefail
# shellcheck source=scripts/lib.sh
. "$(dirname "$0")/lib.sh"
# Strict float arithmetic, no contraction (wasm has no fused multiply-add, but say so): the
# flags every target builds libmpg123 and kissfft with.
# shellcheck source=scripts/floatlibs.sh
. "$demo_root/scripts/floatlibs.sh"
strict=$strict_float_cflags
jobs=$(demo_jobs 2)
variant=${1:-}
case $variant in ''|threads) ;; *) echo "usage: scripts/web-deps.sh [threads]" >&2; exit 2 ;; esac
# The threaded variant: -pthread in every compilation, through the same flags; SDL's POSIX
# threads instead of its generic stubs (its configuration header switches them on).
sdl_threads=thread/generic
if [ "$variant" = threads ]; then
  strict+=" -pthread"
  sdl_threads=thread/pthread
fi

say() { echo "web-deps: $*" >&2; }

# Source package, binary package whose installed version picks the release.
libs=("zlib zlib1g-dev" "libpng1.6 libpng-dev" "libsdl2 libsdl2-dev" "mpg123 libmpg123-dev"
      "kissfft libkissfft-dev")

em_version=$(emcc -dumpversion)
declare -A srcdir
name="emscripten-$em_version"
for entry in "${libs[@]}"; do
  set -- $entry
  dir=$("$demo_root/scripts/debsource.sh" "$1" "$2")
  srcdir[$1]=$dir
  name+="_$(basename "$dir")"
done
[ "$variant" = threads ] && name+="_pthread"

copy_source() {
  cp -a "${srcdir[$1]}" "$work/$1"
  echo "$work/$1"
}

# Runs a build step with its output in a log, shown only when the step fails.
logged() {
  local log=$1
  shift
  if ! "$@" >>"$log" 2>&1; then
    tail -40 "$log" >&2
    say "failed; the whole log is gone with the build folder, rerun for it"
    exit 1
  fi
}

# Compiles the C files given (relative to the source folder) into the object folder, with
# the strict flags and the extra flags given, $jobs at a time.
compile_all() {
  local src=$1 objdir=$2 extra=$3
  shift 3
  mkdir -p "$objdir"
  printf '%s\n' "$@" | xargs -P "$jobs" -I{} sh -c \
    'emcc $0 -c "$1/{}" -o "$2/$(echo "{}" | tr / _).o"' "$strict $extra" "$src" "$objdir"
}

write_pc() {   # name version cflags libs
  cat >"$prefix/lib/pkgconfig/$1.pc" <<EOF
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: $1
Description: $1 built for WebAssembly
Version: $2
Cflags: $3
Libs: $4
EOF
}

# Every library into one prefix, the copies of their sources in the scratch folder.
build_wasm_libs() {
  prefix=$1 work=$2
  mkdir -p "$prefix/include" "$prefix/lib/pkgconfig"
  export CFLAGS="$strict"
  export CXXFLAGS="$strict"
  export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig"

  say "zlib"
  src=$(copy_source zlib)
  logged "$work/zlib.log" sh -c "cd '$src' && emconfigure ./configure --static --prefix='$prefix' &&
    emmake make -j$jobs libz.a && emmake make install"

  say "libpng"
  src=$(copy_source libpng1.6)
  logged "$work/libpng.log" emcmake cmake -S "$src" -B "$work/libpng-build" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="$strict" -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DPNG_HARDWARE_OPTIMIZATIONS=OFF \
    -DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a"
  logged "$work/libpng.log" cmake --build "$work/libpng-build" -j"$jobs"
  logged "$work/libpng.log" cmake --install "$work/libpng-build"

  say "SDL2"
  src=$(copy_source libsdl2)
  sdl_version=$(basename "${srcdir[libsdl2]}")
  sdl_version=${sdl_version#*_}
  sdl_version=${sdl_version%%+*}
  # The common code, and of each subsystem the drivers an emscripten build has (the
  # configuration header switches off what the browser lacks: threads, haptics, HIDAPI).
  sdl_dirs=". atomic audio audio/emscripten audio/disk audio/dummy cpuinfo dynapi events file
    filesystem/emscripten haptic haptic/dummy joystick joystick/emscripten joystick/virtual
    loadso/dlopen locale locale/emscripten misc misc/emscripten power power/emscripten render
    render/software render/opengles2 sensor sensor/dummy stdlib thread $sdl_threads timer
    timer/unix video video/emscripten video/dummy video/yuv2rgb"
  sdl_files=()
  for d in $sdl_dirs; do
    for f in "$src/src/$d"/*.c; do sdl_files+=("src/$d/$(basename "$f")"); done
  done
  logged "$work/sdl2.log" compile_all "$src" "$work/sdl2-obj" "-I$src/include -w" "${sdl_files[@]}"
  logged "$work/sdl2.log" emar rcs "$prefix/lib/libSDL2.a" "$work/sdl2-obj"/*.o
  mkdir -p "$prefix/include/SDL2"
  cp "$src"/include/*.h "$prefix/include/SDL2/"
  write_pc sdl2 "$sdl_version" "-I\${includedir}/SDL2" "-L\${libdir} -lSDL2"

  say "libmpg123"
  src=$(copy_source mpg123)
  # configure adds -ffast-math and friends to CFLAGS; make is given the strict flags instead.
  logged "$work/mpg123.log" sh -c "cd '$src' && emconfigure ./configure --host=wasm32 \
    --with-cpu=generic --disable-shared --enable-static --disable-dependency-tracking \
    --disable-components --enable-libmpg123 --disable-modules --prefix='$prefix'"
  logged "$work/mpg123.log" emmake make -C "$src" -j"$jobs" CFLAGS="$strict" src/libmpg123/libmpg123.la
  cp "$src/src/libmpg123/.libs/libmpg123.a" "$prefix/lib/"
  cp "$src/src/libmpg123/mpg123.h" "$src/src/libmpg123/fmt123.h" "$prefix/include/"
  mpg123_version=$(sed -n 's/^Version: //p' "$src/libmpg123.pc")
  write_pc libmpg123 "$mpg123_version" "-I\${includedir}" "-L\${libdir} -lmpg123"

  say "kissfft"
  src=$(copy_source kissfft)
  kiss_version=$(basename "${srcdir[kissfft]}")
  kiss_version=${kiss_version#*_}
  logged "$work/kissfft.log" compile_all "$src" "$work/kissfft-obj" \
    "-Dkiss_fft_scalar=float -I$src" kiss_fft.c kiss_fftr.c
  logged "$work/kissfft.log" emar rcs "$prefix/lib/libkissfft-float.a" "$work/kissfft-obj"/*.o
  mkdir -p "$prefix/include/kissfft"
  cp "$src"/kiss_fft.h "$src"/kiss_fftr.h "$src"/kiss_fft_log.h "$prefix/include/kissfft/"
  write_pc kissfft-float "$kiss_version" "-I\${includedir}/kissfft -Dkiss_fft_scalar=float" \
    "-L\${libdir} -lkissfft-float"
}

cached_prefix wasm "$name" "$demo_root/scripts/web-deps.sh" "$demo_root/scripts/floatlibs.sh" \
  -- build_wasm_libs
