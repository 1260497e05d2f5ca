#!/usr/bin/env bash
# Installs what is missing, builds, generates data/ and plays the demo.
# Arguments go to the demo: ./run.sh --window, ./run.sh --help, ./run.sh --capture DIR ...
# (--video OUT.mp4 also installs ffmpeg when it is missing).
# The demo runs in the caller's folder, so relative paths given to it (--capture out,
# --sheet s.png) are taken from there; it finds build/data/ beside its executable.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
"$root/scripts/setup.sh" run "$@"
exec "$root/build/pixeldemo" "$@"
