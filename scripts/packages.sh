# Sourced by the project's scripts: ensure_packages PKG... installs the Debian packages that
# are missing (as root; otherwise it prints the apt-get line to run and exits 1).
ensure_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages. Install them as root, then run this again:" >&2
    echo "  sudo sh -c 'apt-get update && apt-get install -y --no-install-recommends ${missing[*]}'" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  # Another apt run (a parallel build script) may hold the lock for a while.
  apt-get -o DPkg::Lock::Timeout=600 update -qq
  apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >&2
}
