#!/usr/bin/env bash
# Builds libmpg123 and kissfft for this machine with strict IEEE float arithmetic
# (scripts/floatlibs.sh says why), from the Debian source packages of the releases the
# machine's package lists give (scripts/debsource.sh), as static libraries with their headers
# and pkg-config files in one prefix. CMake runs this when it configures a native build; the
# other libraries come from Debian's -dev packages.
#
#   scripts/native-deps.sh     builds what is missing; prints the prefix on standard output
#
# The prefix lives outside the clone, in $PIXELDEMO_CACHE/native (default
# ~/.cache/pixeldemo/native), named after the compiler, both libraries' versions and a hash
# of the recipe (this script and floatlibs.sh), so a second run takes a moment; earlier
# builds stay (a few MB each), since another build folder may still link them. Needs a C
# compiler, make and dpkg-dev.
set -euo pipefail
# shellcheck source=scripts/lib.sh
. "$(dirname "$0")/lib.sh"
# shellcheck source=scripts/floatlibs.sh
. "$demo_root/scripts/floatlibs.sh"
cc=${CC:-cc}

mpg123_src=$("$demo_root/scripts/debsource.sh" mpg123 libmpg123-dev)
kissfft_src=$("$demo_root/scripts/debsource.sh" kissfft libkissfft-dev)
compiler=$($cc -dumpmachine)-$($cc -dumpfullversion 2>/dev/null || $cc -dumpversion)

build_native() {   # prefix, scratch
  # configure writes into its source tree: a copy of the shared one.
  cp -a "$mpg123_src" "$2/mpg123-src"
  mkdir -p "$2/mpg123"
  CC=$cc build_mpg123_strict "$2/mpg123-src" "$2/mpg123" "$1" "$($cc -dumpmachine)"
  build_kissfft_strict "$cc" "${AR:-ar}" "$kissfft_src" "$1"
}

cached_prefix native "${compiler}_$(basename "$mpg123_src")_$(basename "$kissfft_src")" \
  "$demo_root/scripts/native-deps.sh" "$demo_root/scripts/floatlibs.sh" -- build_native
