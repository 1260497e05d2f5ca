# Sourced by scripts/native-deps.sh and scripts/windows-deps.sh (after scripts/lib.sh): how
# the two libraries whose float arithmetic reaches the frames are built, the same way for
# every target.
#
# libmpg123 decodes the music and kissfft makes its spectrum; scenes react to spectrum values
# crossing thresholds, so one changed last bit of a sample can change a frame. Both
# libraries' own build scripts add -ffast-math, under which each compiler (gcc for Linux and
# Windows, clang for the browser) regroups sums its own way, and Debian's binary packages are
# built so. Built here with strict IEEE arithmetic and no contraction into fused
# multiply-adds, and with libmpg123's plain C decoder only ("generic", the one the demo asks
# for), every target computes the same samples and the same spectrum.
# (scripts/web-deps.sh builds the browser's copies with the same flags.)

strict_float_cflags="-O2 -fno-fast-math -ffp-contract=off"

# build_kissfft_strict CC AR SOURCE PREFIX
# The two C files the demo uses (real-input FFT over complex FFT), float samples, as
# lib/libkissfft-float.a with its headers and a kissfft-float.pc like Debian's.
build_kissfft_strict() {
  local cc=$1 ar=$2 src=$3 prefix=$4 f
  mkdir -p "$prefix/lib/pkgconfig" "$prefix/include/kissfft" "$prefix/obj"
  for f in kiss_fft kiss_fftr; do
    # shellcheck disable=SC2086
    $cc $strict_float_cflags -Dkiss_fft_scalar=float -I"$src" -c "$src/$f.c" -o "$prefix/obj/$f.o"
  done
  $ar rcs "$prefix/lib/libkissfft-float.a" "$prefix/obj/kiss_fft.o" "$prefix/obj/kiss_fftr.o"
  rm -rf "$prefix/obj"
  cp "$src/kiss_fft.h" "$src/kiss_fftr.h" "$src/kiss_fft_log.h" "$prefix/include/kissfft/"
  local version
  version=$(sed -n 's/^kissfft (\([^-)]*\).*/\1/p;q' "$src/debian/changelog")
  cat >"$prefix/lib/pkgconfig/kissfft-float.pc" <<EOF
prefix=\${pcfiledir}/../..
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: kissfft-float
Description: kissfft (float), strict IEEE arithmetic
Version: $version
Cflags: -I\${includedir}/kissfft -Dkiss_fft_scalar=float
Libs: -L\${libdir} -lkissfft-float -lm
EOF
}

# build_mpg123_strict SOURCE BUILD-FOLDER PREFIX HOST
# The static libmpg123 alone, with the generic decoder, as lib/libmpg123.a with mpg123.h,
# fmt123.h and a libmpg123.pc. configure's own optimisation flags (-ffast-math among them)
# are switched off with --with-optimization=0; the strict flags take their place. The
# compiler is the one CC names.
build_mpg123_strict() {
  local src=$1 build=$2 prefix=$3 host=$4
  (cd "$build" && "$src/configure" --host="$host" --prefix="$prefix" --with-cpu=generic \
     --with-optimization=0 --disable-shared --enable-static --disable-dependency-tracking \
     --disable-components --enable-libmpg123 --disable-modules --disable-network \
     CFLAGS="$strict_float_cflags" >"$build/configure.log" 2>&1) ||
    { tail -40 "$build/configure.log" >&2; return 1; }
  make -C "$build" -j"$(demo_jobs 2)" src/libmpg123/libmpg123.la >"$build/make.log" 2>&1 ||
    { tail -40 "$build/make.log" >&2; return 1; }
  mkdir -p "$prefix/lib/pkgconfig" "$prefix/include"
  cp "$build/src/libmpg123/.libs/libmpg123.a" "$prefix/lib/"
  cp "$build/src/libmpg123/mpg123.h" "$src/src/libmpg123/fmt123.h" "$prefix/include/"
  # The system libraries a static link needs (on Windows -lshlwapi) come from the .pc that
  # configure wrote, whose Libs.private a plain `pkg-config --libs` would leave out.
  local version private
  version=$(sed -n 's/^Version: //p' "$build/libmpg123.pc")
  private=$(sed -n 's/^Libs.private: *//p' "$build/libmpg123.pc")
  cat >"$prefix/lib/pkgconfig/libmpg123.pc" <<EOF
prefix=\${pcfiledir}/../..
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: libmpg123
Description: MPEG audio decoder (generic decoder, strict IEEE arithmetic)
Version: $version
Cflags: -I\${includedir}
Libs: -L\${libdir} -lmpg123 $private
EOF
}
