#!/usr/bin/env bash
# The sanitizer run: builds everything with AddressSanitizer and UndefinedBehaviorSanitizer
# into build-asan/ (gcc, DEMO_SANITIZE=ON), runs the whole test suite there, then plays the
# whole timeline twice headless (--bench --fps 30 --bench-passes 2) and checks that
#   - no sanitizer reports anything (any report ends the process at once),
#   - nothing leaks at exit (no suppressions),
#   - the heap does not grow from frame to frame: no frame of the second pass ends with
#     more heap in use than the last frame of the first pass.
#
#   scripts/sanitize.sh              (SANITIZE_FPS sets the bench's frame rate, default 30;
#                                     DEMO_JOBS the build's -j, default 2 at most, and the
#                                     tests', default the processors; DEMO_WERROR as in
#                                     scripts/lib.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib.sh
. scripts/lib.sh

# Packages (and build/) through the shared set-up, unless the caller (test.sh) just did it.
[ "${DEMO_SETUP_DONE:-0}" = 1 ] || scripts/setup.sh test
fps=${SANITIZE_FPS:-30}
out=build-asan

# Every report stops the process with a nonzero exit, with a stack to read.
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:${UBSAN_OPTIONS:-}"

demo_configure "$out" -DCMAKE_BUILD_TYPE=Release -DDEMO_SANITIZE=ON -DDEMO_BENCH=OFF
start=$(date +%s)
cmake --build "$out" -j"$(demo_jobs 2)" >&2
echo "sanitize: build took $(( $(date +%s) - start )) s" >&2

# The whole suite, the end-to-end runs of the demo included (those in a real X window go
# without the leak checker: tests/e2e/lib.sh, start_xvfb, says why).
start=$(date +%s)
ctest --test-dir "$out" --output-on-failure -j"$(demo_jobs)"
tests_seconds=$(( $(date +%s) - start ))
tests_count=$(ctest --test-dir "$out" -N | sed -n 's/^Total Tests: //p')

# Two whole timelines. The demo finds build-asan/data beside itself.
log="$out/bench_twice.log"
start=$(date +%s)
set +e
(cd "$out" && ./pixeldemo --bench --fps "$fps" --bench-passes 2) >"$log" 2>"$log.err"
rc=$?
set -e
bench_seconds=$(( $(date +%s) - start ))
if [ $rc -ne 0 ] || grep -qE 'ERROR: (Address|Leak)Sanitizer|runtime error:' "$log.err"; then
  grep -vE '^bench: t = ' "$log.err" | tail -n 60 >&2
  echo "sanitize: FAILED: the bench under the sanitizers ended with $rc (see $log.err)" >&2
  exit 1
fi

# memory: pass N: heap A bytes after the first frame, B after the last, peak C; resident R kB
read -r first1 last1 peak1 rss1 < <(sed -n 's/^memory: pass 1: heap \([0-9]*\) bytes after the first frame, \([0-9]*\) after the last, peak \([0-9]*\); resident \([0-9]*\) kB$/\1 \2 \3 \4/p' "$log")
read -r first2 last2 peak2 rss2 < <(sed -n 's/^memory: pass 2: heap \([0-9]*\) bytes after the first frame, \([0-9]*\) after the last, peak \([0-9]*\); resident \([0-9]*\) kB$/\1 \2 \3 \4/p' "$log")
if [ -z "${last1:-}" ] || [ -z "${last2:-}" ]; then
  cat "$log" >&2
  echo "sanitize: FAILED: no memory lines in the bench output" >&2
  exit 1
fi
frames=$(sed -n 's/^total: \([0-9]*\) frames.*/\1/p' "$log")
echo "sanitize: all $tests_count tests pass under ASan+UBSan in ${tests_seconds} s"
echo "sanitize: bench --fps $fps over two whole timelines: $frames frames in ${bench_seconds} s, no report, no leak"
echo "sanitize: heap after pass 1: $last1 bytes (first frame $first1, peak $peak1), resident $rss1 kB"
echo "sanitize: heap after pass 2: $last2 bytes (first frame $first2, peak $peak2), resident $rss2 kB"
if [ "$peak2" -gt "$last1" ] || [ "$last2" -gt "$last1" ]; then
  echo "sanitize: FAILED: the heap grew in the second pass ($last1 -> peak $peak2, end $last2 bytes)" >&2
  exit 1
fi
echo "sanitize: no growth from frame to frame across the second timeline"
