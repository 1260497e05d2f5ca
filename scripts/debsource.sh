#!/usr/bin/env bash
# Fetches and unpacks the Debian source package of a library, for the builds Debian ships
# no binary of: the cross builds (Windows, WebAssembly), and the strict-float libmpg123 and
# kissfft every target links (scripts/floatlibs.sh).
#
#   scripts/debsource.sh SOURCE-PACKAGE [BINARY-PACKAGE]
#
# Prints the folder of the unpacked source tree on standard output. The version is the one
# the machine's package lists give for BINARY-PACKAGE (by default the source package's
# own name), so the cross builds use the same release of each library as the native one.
#
# The machine's apt configuration is left alone: a private one under the cache folder
# carries deb-src entries made from the machine's own deb entries (deb822 files in
# /etc/apt/sources.list.d and one-line entries in /etc/apt/sources.list), with package lists
# of its own. Unpacked trees are kept in $PIXELDEMO_CACHE/src (default
# ~/.cache/pixeldemo/src), one folder per source package and version, and reused.
set -euo pipefail
# shellcheck source=scripts/lib.sh
. "$(dirname "$0")/lib.sh"

src_pkg=${1:?usage: debsource.sh SOURCE-PACKAGE [BINARY-PACKAGE]}
bin_pkg=${2:-$1}
cache=$demo_cache
apt_dir=$cache/apt
mkdir -p "$apt_dir/lists/partial" "$apt_dir/archives/partial" "$apt_dir/sources.list.d" \
         "$cache/src"

apt_opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list"
          -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
          -o "Dir::State::Lists=$apt_dir/lists"
          -o "Dir::Cache=$apt_dir/cache"
          -o "Dir::Cache::archives=$apt_dir/archives"
          -o "Debug::NoLocking=1"
          -o "APT::Sandbox::User=root")

# The private source list: every deb entry of the machine, as deb-src.
make_sources() {
  : > "$apt_dir/sources.list.new"
  if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list \
      >> "$apt_dir/sources.list.new"
  fi
  rm -f "$apt_dir/sources.list.d/"*.sources
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    sed -e 's/^Types:.*/Types: deb-src/' "$f" > "$apt_dir/sources.list.d/$(basename "$f")"
  done
  for f in /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >> "$apt_dir/sources.list.new"
  done
  mv "$apt_dir/sources.list.new" "$apt_dir/sources.list"
}

# The version the machine installs of the binary package (installed or candidate).
version=$(dpkg-query -W -f='${Version}' "$bin_pkg" 2>/dev/null || true)
if [ -z "$version" ]; then
  version=$(apt-cache policy "$bin_pkg" 2>/dev/null | sed -n 's/^ *Candidate: //p')
fi
if [ -z "$version" ] || [ "$version" = "(none)" ]; then
  echo "debsource: no version of $bin_pkg is known to apt on this machine" >&2
  exit 1
fi
# Keyed by the upstream release: a security update of the Debian revision may have left the
# archive, in which case the newest revision of the same release is taken.
upstream=${version#*:}
upstream=${upstream%-*}
dest=$cache/src/${src_pkg}_${upstream}
# One fetch at a time per cache: two builds asking for the same package at once would
# otherwise unpack into the same folder, and share the private package lists. The lock is
# released when this script ends; whoever waited finds the tree unpacked.
exec 9>"$cache/src/.lock"
flock 9
if [ -f "$dest/.unpacked" ]; then
  echo "$dest"
  exit 0
fi

if ! command -v dpkg-source >/dev/null; then
  echo "debsource: dpkg-source is missing (Debian package dpkg-dev)" >&2
  exit 1
fi

make_sources
if [ ! -f "$apt_dir/lists/.updated" ] || [ -n "$(find "$apt_dir/lists/.updated" -mmin +1440)" ]; then
  echo "debsource: reading the source package lists" >&2
  apt-get "${apt_opts[@]}" -qq update >&2
  touch "$apt_dir/lists/.updated"
fi

work=$(mktemp -d "$cache/src/.fetch.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Downloads the files of one source version through apt's own downloader, each checked
# against the hash the package lists give. The upstream signature (.asc) is optional: some
# mirrors do not carry it, and dpkg-source is told not to check it.
fetch_version() {
  local v=$1 line uri name hash
  rm -f "$work"/*
  apt-get "${apt_opts[@]}" -qq --print-uris source "$src_pkg=$v" 2>/dev/null | grep "^'" |
  while read -r line; do
    uri=$(echo "$line" | cut -d"'" -f2)
    set -- $(echo "$line" | cut -d"'" -f3)
    name=$1 hash=$3
    if ! /usr/lib/apt/apt-helper "${apt_opts[@]}" -qq download-file "$uri" "$work/$name" \
         "$hash" >/dev/null 2>&1; then
      case $name in *.asc) rm -f "$work/$name" ;; *) echo "missing $name" ;; esac
    fi
  done | grep -q missing && return 1
  ls "$work"/*.dsc >/dev/null 2>&1
}

# The installed version first, then the other revisions of the same release, newest first.
candidates=$(
  echo "$version"
  apt-cache "${apt_opts[@]}" showsrc "$src_pkg" 2>/dev/null | sed -n 's/^Version: //p' |
    while read -r v; do u=${v#*:}; [ "${u%-*}" = "$upstream" ] && echo "$v"; done | sort -rV)
fetched=
for v in $candidates; do
  echo "debsource: fetching $src_pkg $v" >&2
  if fetch_version "$v"; then fetched=$v; break; fi
  echo "debsource: $src_pkg $v is not in the archive" >&2
done
if [ -z "$fetched" ]; then
  echo "debsource: no source of $src_pkg $upstream could be fetched" >&2
  exit 1
fi
version=$fetched
dsc=$(ls "$work"/*.dsc)
rm -rf "$dest"
dpkg-source --no-check --no-copy -x "$dsc" "$dest" >&2
echo "$version" > "$dest/.unpacked"
echo "$dest"
