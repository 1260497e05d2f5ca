#!/usr/bin/env bash
# The ThreadSanitizer run: builds the demo and the test programs of what the drawing
# threads touch with gcc's ThreadSanitizer into build-tsan/ (DEMO_TSAN=ON; data/ is made by
# build/'s asset tool, so the tool itself is not built again), then, with 2 and with 4
# drawing threads:
#   - runs those test programs (PIXELDEMO_THREADS gives them the threads; the golden-frame
#     test, which sets its own, draws its frames once, with 7 threads, in the second round),
#   - plays the whole timeline headless: pixeldemo --bench --fps 5 (746 frames of every
#     scene), then writes a stretch of it with --capture, whose PNG writers are threads too.
# Every report ends the process at once with a nonzero exit and fails the run.
#
#   scripts/tsan.sh        (TSAN_BUILD_JOBS sets the build's -j, default 2; TSAN_FPS the
#                           bench's frame rate, default 5)
set -euo pipefail
cd "$(dirname "$0")/.."

# Packages and build/ (its asset tool) through the shared set-up, unless test.sh just did it.
[ "${DEMO_SETUP_DONE:-0}" = 1 ] || scripts/setup.sh test
jobs=${TSAN_BUILD_JOBS:-2}
fps=${TSAN_FPS:-5}
out=build-tsan

export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:${TSAN_OPTIONS:-}"

if [ ! -f "$out/CMakeCache.txt" ]; then
  cmake -S . -B "$out" -DCMAKE_BUILD_TYPE=Release -DDEMO_TSAN=ON -DDEMO_BENCH=OFF \
        -DDEMO_ASSETGEN="$PWD/build/assetgen" >&2
fi
# The tests of what the drawing threads touch: the pool, the blits and effects, meshes and
# the rasteriser's bands, the scene that draws into a picture of its own, whole frames.
tests=(test_bands test_blit test_effects test_raster_rows test_draw test_scene2_parade
       test_timeline_capture test_golden_frames)
start=$(date +%s)
cmake --build "$out" -j"$jobs" --target pixeldemo "${tests[@]}" >&2
echo "tsan: build took $(( $(date +%s) - start )) s" >&2

fail() {
  echo "tsan: FAILED: $*" >&2
  exit 1
}

for threads in 2 4; do
  export PIXELDEMO_THREADS=$threads
  start=$(date +%s)
  for t in "${tests[@]}"; do
    filter='*'
    if [ "$t" = test_golden_frames ]; then
      [ "$threads" = 4 ] || continue
      filter='*FastPaths*/7'
    fi
    (cd "$out" && "./$t" --gtest_filter="$filter" --gtest_brief=1) >"$out/$t.log" 2>&1 ||
      { tail -n 60 "$out/$t.log" >&2; fail "$t with $threads threads (see $out/$t.log)"; }
  done
  echo "tsan: the test programs with $threads drawing threads in $(( $(date +%s) - start )) s, no report"

  start=$(date +%s)
  log="$out/bench_$threads.log"
  (cd "$out" && ./pixeldemo --bench --fps "$fps") >"$log" 2>"$log.err" ||
    { grep -v '^bench: t = ' "$log.err" | tail -n 60 >&2; fail "the bench with $threads threads"; }
  grep -q "^threads: $threads drawing" "$log" || { cat "$log" >&2; fail "the bench did not draw with $threads threads"; }
  frames=$(sed -n 's/^total: \([0-9]*\) frames.*/\1/p' "$log")
  echo "tsan: bench --fps $fps, the whole timeline with $threads drawing threads: $frames frames in $(( $(date +%s) - start )) s, no report"

  start=$(date +%s)
  rm -rf "$out/capture_$threads"
  (cd "$out" && ./pixeldemo --capture "capture_$threads" --fps 2 --from 30 --to 31) \
    >"$out/capture_$threads.log" 2>&1 ||
    { tail -n 60 "$out/capture_$threads.log" >&2; fail "the capture with $threads threads"; }
  echo "tsan: capture of 30 to 31 s at 2 frames a second with $threads drawing threads in $(( $(date +%s) - start )) s, no report"
done
