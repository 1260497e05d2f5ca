#!/usr/bin/env bash
# Shared set-up for run.sh and test.sh: installs the Debian packages that are missing,
# configures CMake into build/ (Release with debug info) and builds everything, which
# also generates build/data/. Takes a few seconds when nothing changed.
#
#   scripts/setup.sh [run|test] [demo arguments]
#       run: what building and playing needs (and ffmpeg when the arguments hold --video);
#       test: also the tools the test suite drives (Xvfb, xdotool, ffmpeg, clang)
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib.sh
. scripts/lib.sh

mode=${1:-run}
[ $# -gt 0 ] && shift
build_pkgs=(build-essential cmake pkg-config libpng-dev zlib1g-dev libsdl2-dev libmpg123-dev
            libkissfft-dev libcli11-dev libgtest-dev libgmock-dev libbenchmark-dev
            libmp3lame-dev libcairo2-dev libfreetype-dev fonts-dejavu-core libpixman-1-dev
            dpkg-dev)
test_pkgs=(xvfb xauth xdotool x11-apps x11-utils xfonts-base imagemagick ffmpeg clang libclang-rt-14-dev)

pkgs=("${build_pkgs[@]}")
[ "$mode" = test ] && pkgs+=("${test_pkgs[@]}")
for arg in "$@"; do
  case $arg in --video|--video=*) [ "$mode" = test ] || pkgs+=(ffmpeg) ;; esac
done

ensure_packages "${pkgs[@]}"

# DEMO_WERROR=1 (set by CI) makes warnings in our code errors (scripts/lib.sh).
demo_configure build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(demo_jobs)" >&2
