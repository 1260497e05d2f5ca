# shellcheck shell=bash
# Sourced by the scripts of scripts/ and by test.sh: what they share.
#
# Settings, read from the environment:
#   DEMO_JOBS=N       how many compiler or test processes a script runs at once, in every
#                     build and test run (default: see demo_jobs)
#   DEMO_WERROR=1     warnings in our own code are errors, in every build folder (CI sets
#                     it); DEMO_WERROR=0 or unset: they are warnings. A build folder made
#                     earlier follows the setting both ways.
#   PIXELDEMO_CACHE   where the libraries built from Debian's sources are kept (default
#                     ~/.cache/pixeldemo)
#
# Functions:
#   demo_jobs [CAP]                 the job count
#   demo_werror                     ON or OFF, for CMake's DEMO_WERROR
#   demo_configure [--wrap CMD] DIR [CMAKE-ARGS...]
#                                   configures a build folder, or brings DEMO_WERROR up to date
#   cached_prefix KIND NAME RECIPE-FILE... -- BUILD-COMMAND [ARGS...]
#                                   a library prefix of the cache, built once
#   ensure_packages PKG...          (scripts/packages.sh)

demo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
demo_cache=${PIXELDEMO_CACHE:-$HOME/.cache/pixeldemo}
# shellcheck source=scripts/packages.sh
. "$demo_root/scripts/packages.sh"

# A setting the scripts would misread stops them before any work.
if [ -n "${DEMO_JOBS:-}" ] && ! [[ $DEMO_JOBS =~ ^[1-9][0-9]*$ ]]; then
  echo "DEMO_JOBS=$DEMO_JOBS: give the number of jobs to run at once (1 or more)" >&2
  exit 2
fi
case ${DEMO_WERROR:-0} in 0|1) ;; *)
  echo "DEMO_WERROR=$DEMO_WERROR: 1 makes warnings errors, 0 (or unset) leaves them warnings" >&2
  exit 2 ;;
esac

# demo_jobs [CAP]
# DEMO_JOBS when it is set; otherwise the number of processors, and no more than CAP where
# the caller gives one (the builds whose compilers take much memory each, and the runs that
# share the machine with Wine).
demo_jobs() {
  if [ -n "${DEMO_JOBS:-}" ]; then
    echo "$DEMO_JOBS"
    return
  fi
  local n
  n=$(nproc)
  if [ -n "${1:-}" ] && [ "$n" -gt "$1" ]; then n=$1; fi
  echo "$n"
}

demo_werror() {
  if [ "${DEMO_WERROR:-0}" = 1 ]; then echo ON; else echo OFF; fi
}

# demo_configure [--wrap CMD] DIR [CMAKE-ARGS...]
# A folder without a CMake cache is configured from the sources with CMAKE-ARGS (through CMD,
# e.g. emcmake, when given); an existing one keeps its configuration. Either way it ends up
# with DEMO_WERROR as the environment says.
demo_configure() {
  local wrap=()
  if [ "$1" = --wrap ]; then
    wrap=("$2")
    shift 2
  fi
  local dir=$1 werror
  shift
  werror=$(demo_werror)
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    "${wrap[@]}" cmake -S "$demo_root" -B "$dir" "$@" -DDEMO_WERROR="$werror" >&2
  elif ! grep -qE "^DEMO_WERROR:[A-Z]+=$werror\$" "$dir/CMakeCache.txt"; then
    echo "$dir: DEMO_WERROR=$werror" >&2
    cmake "$dir" -DDEMO_WERROR="$werror" >/dev/null
  fi
}

# cached_prefix KIND NAME RECIPE-FILE... -- BUILD-COMMAND [ARGS...]
# Prints the install prefix $demo_cache/KIND/NAME_HASH, HASH made from the content of the
# recipe files (the scripts that say how it is built), after building it if it is not
# there yet: BUILD-COMMAND ARGS... PREFIX SCRATCH installs into PREFIX, with SCRATCH an
# empty folder for anything else, both removed afterwards. A changed recipe gets a new
# prefix; earlier ones stay, since another build folder may still link them.
#
# One build at a time per KIND (a lock, for builds started together); it goes into a
# temporary folder that gets the prefix's name in one rename once it is complete (the
# .complete stamp, written last), so a prefix that exists is whole. Text files that name
# the temporary folder (pkg-config files and the like) are made to name the prefix.
# Not for a condition or a command substitution: a failing build must end the script.
cached_prefix() {
  local _kind=$1 _name=$2
  shift 2
  local _recipe=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do
    _recipe+=("$1")
    shift
  done
  if [ $# -lt 2 ] || [ ${#_recipe[@]} -eq 0 ]; then
    echo "usage: cached_prefix KIND NAME RECIPE-FILE... -- BUILD-COMMAND [ARGS...]" >&2
    return 2
  fi
  shift
  local _store=$demo_cache/$_kind _hash _dest _who=${0##*/}
  _who=${_who%.sh}
  _hash=$(cat "${_recipe[@]}" | sha1sum | cut -c1-10)
  _dest=$_store/${_name//[^A-Za-z0-9.+_-]/_}_$_hash
  if [ ! -f "$_dest/.complete" ]; then
    mkdir -p "$_store"
    (
      exec 9>"$_store/.lock"
      if ! flock -n 9; then
        echo "$_who: waiting for another build in $_store" >&2
        flock 9
      fi
      [ -f "$_dest/.complete" ] && exit 0   # built while this one waited
      echo "$_who: building $_dest" >&2
      _start=$SECONDS
      _tmp=$(mktemp -d "$_store/.build.XXXXXX")
      trap 'rm -rf "$_tmp"' EXIT
      mkdir "$_tmp/prefix" "$_tmp/scratch"
      "$@" "$_tmp/prefix" "$_tmp/scratch"
      { grep -rlIF -- "$_tmp/prefix" "$_tmp/prefix" || true; } | while IFS= read -r _file; do
        sed -i "s|$_tmp/prefix|$_dest|g" "$_file"
      done
      touch "$_tmp/prefix/.complete"
      rm -rf "$_dest"
      mv -T "$_tmp/prefix" "$_dest"
      echo "$_who: $(basename "$_dest") built in $((SECONDS - _start)) s" >&2
    ) >&2
  fi
  echo "$_dest"
}
