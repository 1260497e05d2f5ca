#!/usr/bin/env bash
# The same set-up as run.sh, then the whole test suite through CTest, then the reliability
# runs: the whole suite and two whole timelines under AddressSanitizer and
# UndefinedBehaviorSanitizer (scripts/sanitize.sh), the drawing threads' tests and a whole
# timeline under ThreadSanitizer with 2 and 4 threads (scripts/tsan.sh), each fuzz target
# for a bounded time (scripts/fuzz.sh, FUZZ_SECONDS per target, default 60); then the
# releases: the Linux archive unpacked and played as a user would (scripts/linux.sh test),
# the Windows build's tests under Wine (scripts/windows.sh test) and the web page in
# headless Chromium (scripts/web.sh test), each of whose frames must equal the Linux build's.
#
#   ./test.sh                 everything
#   ./test.sh -R scene        arguments go to CTest and pick tests; then only CTest runs
#   DEMO_QUICK=1 ./test.sh    the CTest suite only
set -euo pipefail
cd "$(dirname "$0")"
# shellcheck source=scripts/lib.sh
. scripts/lib.sh   # DEMO_JOBS, DEMO_WERROR: see there
scripts/setup.sh test
ctest --test-dir build --output-on-failure -j"$(demo_jobs)" "$@" 2>&1 | tee build/ctest-summary.log
if [ $# -eq 0 ] && [ "${DEMO_QUICK:-0}" != 1 ]; then
  export DEMO_SETUP_DONE=1
  scripts/sanitize.sh
  scripts/tsan.sh
  scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
  scripts/linux.sh test
  scripts/windows.sh test
  scripts/web.sh test
  # CTest's own closing lines once more, at the end where they are looked for.
  echo
  grep -E '^[0-9]+% tests passed|^Total Test time' build/ctest-summary.log
fi
