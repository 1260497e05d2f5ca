#!/usr/bin/env bash
# The same set-up as run.sh, then the whole test suite through CTest.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh test
ctest --test-dir build --output-on-failure -j"$(nproc)" "$@"
