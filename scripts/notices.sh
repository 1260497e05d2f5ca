#!/usr/bin/env bash
# Writes THIRD-PARTY-NOTICES.txt for one release: every library the release's program
# contains, with the version the build used and its licence text, and what the GNU LGPL
# asks of the statically linked libmpg123 (where its source and the means to relink are).
#
#   scripts/notices.sh windows|web|linux OUT-FILE
#
# The licence texts are the copyright files of the Debian source packages the libraries
# were built from (scripts/debsource.sh keeps them unpacked, so this takes a moment), or of
# the Debian packages whose binaries are linked (the mingw-w64 runtime, GCC's runtime
# libraries, zlib for Windows, emscripten's runtime). The release scripts call it:
# scripts/windows.sh, scripts/web.sh and scripts/linux.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=${1:?usage: scripts/notices.sh windows|web|linux OUT-FILE}
out=${2:?usage: scripts/notices.sh windows|web|linux OUT-FILE}
case $target in
  windows) program="pixeldemo.exe" licence_file=LICENSE.txt ;;
  web) program="Each of pixeldemo.wasm and pixeldemo-threads.wasm (the threaded build)" licence_file=LICENSE.txt ;;
  linux) program="The program pixeldemo" licence_file=LICENSE ;;
  *) echo "usage: scripts/notices.sh windows|web|linux OUT-FILE" >&2; exit 2 ;;
esac

source_tree() { "$root/scripts/debsource.sh" "$@"; }
pkg_version() { dpkg-query -W -f='${Version}' "$1"; }
commit=$(git -C "$root" rev-parse --short=12 HEAD 2>/dev/null || echo unknown)

# One entry per library: name|licence in short|version|where it came from|copyright file.
entries=()
add_source() {   # name, licence, source package, binary package whose version picks it
  local tree
  tree=$(source_tree "$3" "$4")
  entries+=("$1|$2|$(cat "$tree/.unpacked")|Debian source package $3|$tree/debian/copyright")
}
add_binary() {   # name, licence, Debian binary package
  local doc=/usr/share/doc/$3/copyright
  [ -f "$doc" ] || { echo "notices: $doc is missing (package $3)" >&2; exit 1; }
  entries+=("$1|$2|$(pkg_version "$3")|Debian package $3|$doc")
}

add_source SDL2 "zlib licence" libsdl2 libsdl2-dev
add_source libpng "libpng licence" libpng1.6 libpng-dev
if [ "$target" = windows ]; then
  add_binary zlib "zlib licence" libz-mingw-w64-dev
else
  add_source zlib "zlib licence" zlib zlib1g-dev
fi
add_source libmpg123 "GNU LGPL 2.1" mpg123 libmpg123-dev
add_source kissfft "BSD 3-clause licence" kissfft libkissfft-dev
case $target in
  windows)
    add_binary "mingw-w64 runtime (C runtime start-up code, winpthreads)" \
      "MIT (Expat), BSD 3-clause, public domain" mingw-w64-x86-64-dev
    gcc_runtime="libstdc++ and libgcc (GCC $(pkg_version gcc-mingw-w64-x86-64-posix))"
    gcc_doc=/usr/share/doc/gcc-mingw-w64-base/copyright ;;
  linux)
    gcc_runtime="libstdc++ and libgcc (GCC $(pkg_version gcc))"
    gcc_doc=$(ls /usr/share/doc/gcc-*-base/copyright | sort -V | tail -1) ;;
  web)
    add_binary "emscripten runtime (musl libc, libc++, libc++abi, compiler-rt, the JavaScript glue)" \
      "MIT and University of Illinois/NCSA" emscripten
    gcc_runtime= ;;
esac
mpg123_entry=$(printf '%s\n' "${entries[@]}" | grep '^libmpg123|')
mpg123_version=$(echo "$mpg123_entry" | cut -d'|' -f3)

case $target in
  windows) deps_script=scripts/windows-deps.sh release_script=scripts/windows.sh ;;
  web) deps_script=scripts/web-deps.sh release_script=scripts/web.sh ;;
  linux) deps_script="scripts/native-deps.sh (run by scripts/linux-deps.sh)" release_script=scripts/linux.sh ;;
esac

{
  echo "Third-party software in pixeldemo ($target release)"
  echo "===================================================="
  echo
  echo "pixeldemo itself is under the MIT licence: see $licence_file beside this file."
  echo "$program also contains the following libraries, linked statically, each from"
  echo "the Debian package named, at the version given (built from that source package, or"
  echo "as that package ships it)."
  echo
  for e in "${entries[@]}"; do
    IFS='|' read -r name licence version from _ <<<"$e"
    printf '  %s\n      version %s (%s), %s\n' "$name" "$version" "$from" "$licence"
  done
  if [ -n "$gcc_runtime" ]; then
    printf '  %s\n      GNU GPL 3 with the GCC Runtime Library Exception 3.1\n' "$gcc_runtime"
  fi
  cat <<EOF

libmpg123 and the GNU LGPL 2.1
------------------------------
libmpg123 is free software under the GNU Lesser General Public License, version 2.1
(its full text is at the end of this file). $program contains it linked statically;
as that licence asks, here is where its source and the means to relink it are found:

  - The library's source: the Debian source package mpg123, version $mpg123_version,
    used without changes ("apt-get source mpg123=$mpg123_version" on a Debian system
    fetches it). It is built with its generic decoder and strict IEEE float arithmetic,
    as scripts/floatlibs.sh in pixeldemo's source says.
  - The means to relink: the complete source of pixeldemo (commit $commit), available
    from the same place as this release, rebuilds this program against any libmpg123:
    scripts/debsource.sh fetches the Debian source package, $deps_script
    builds the library, and $release_script links the program and makes this
    release again. Put a modified libmpg123 in place of the one built there and run the
    release script.
EOF
  for e in "${entries[@]}"; do
    IFS='|' read -r name _ version from copyright <<<"$e"
    printf '\n\n%s\n' "================================================================================"
    printf '%s %s (%s)\n' "$name" "$version" "$from"
    printf '%s\n\n' "================================================================================"
    cat "$copyright"
  done
  if [ -n "$gcc_runtime" ]; then
    printf '\n\n%s\n' "================================================================================"
    printf '%s: GCC Runtime Library Exception\n' "$gcc_runtime"
    printf '%s\n\n' "================================================================================"
    echo "libstdc++ and libgcc are under the GNU General Public License, version 3, with the"
    echo "following exception, which lets a program compiled by GCC contain them under terms of"
    echo "its own choice."
    echo
    # The exception's text, from its heading to the first section after it.
    awk '/^GCC RUNTIME LIBRARY EXCEPTION/ { on = 1 }
         on && /^2\. No Weakening of GCC Copyleft/ { last = 1 }
         on { print }
         last && /^presumption/ { getline; print; exit }' "$gcc_doc"
  fi
  printf '\n\n%s\n' "================================================================================"
  printf 'GNU Lesser General Public License, version 2.1 (for libmpg123)\n'
  printf '%s\n\n' "================================================================================"
  cat /usr/share/common-licenses/LGPL-2.1
} >"$out"
