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
# of the recipe, so a second run takes a moment; earlier builds stay (a few MB each), since
# another build folder may still link them. Needs a C compiler, make and dpkg-dev.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${PIXELDEMO_CACHE:-$HOME/.cache/pixeldemo}
cc=${CC:-cc}
# shellcheck source=scripts/floatlibs.sh
. "$root/scripts/floatlibs.sh"

mpg123_src=$("$root/scripts/debsource.sh" mpg123 libmpg123-dev)
kissfft_src=$("$root/scripts/debsource.sh" kissfft libkissfft-dev)
recipe=$(cat "$root/scripts/floatlibs.sh" "$0" | sha1sum | cut -c1-10)
compiler=$($cc -dumpmachine)-$($cc -dumpfullversion 2>/dev/null || $cc -dumpversion)
key="$compiler"_$(basename "$mpg123_src")_$(basename "$kissfft_src")_$recipe
prefix=$cache/native/${key//[^A-Za-z0-9.+_-]/_}
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

echo "native-deps: building libmpg123 and kissfft (strict float) into $prefix" >&2
start=$SECONDS
mkdir -p "$cache/native"
rm -rf "$prefix"
work=$(mktemp -d "$cache/native/.build.XXXXXX")
trap 'rm -rf "$work"' EXIT
# configure writes into its source tree: a copy of the shared one.
cp -a "$mpg123_src" "$work/mpg123-src"
mkdir -p "$work/mpg123"
CC=$cc build_mpg123_strict "$work/mpg123-src" "$work/mpg123" "$prefix" "$($cc -dumpmachine)"
build_kissfft_strict "$cc" "${AR:-ar}" "$kissfft_src" "$prefix"
touch "$prefix/.complete"
echo "native-deps: done in $((SECONDS - start)) s" >&2
echo "$prefix"
