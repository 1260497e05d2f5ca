#!/usr/bin/env bash
# Installs what is missing, builds, generates data/ and plays the demo.
# Arguments go to the demo: ./run.sh --window, ./run.sh --help, ./run.sh --capture DIR ...
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh run
exec ./build/pixeldemo "$@"
