#!/usr/bin/env bash
# Fuzzes the asset decoders (PNG and .ebr) and the command line with libFuzzer under
# AddressSanitizer and UndefinedBehaviorSanitizer. Builds with clang into build-fuzz/,
# writes the seed corpora, runs each target for a bounded time and fails on any finding
# (crash, leak, timeout, out-of-memory). Inputs that caused a finding are kept in
# build-fuzz/findings/.
#
#   scripts/fuzz.sh [seconds per target]     (default 60)
#
# Longer runs: scripts/fuzz.sh 3600; the corpora grow in build-fuzz/corpus/ between runs.
# FUZZ_TARGETS="png ebr options" picks targets; DEMO_JOBS sets the build's -j (default 2 at
# most); DEMO_WERROR as in scripts/lib.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib.sh
. scripts/lib.sh

seconds=${1:-60}
case "$seconds" in
  ''|*[!0-9]*) echo "usage: scripts/fuzz.sh [seconds per target]" >&2; exit 2 ;;
esac
# clang and its sanitizer runtimes come with the test packages of the shared set-up,
# unless the caller (test.sh) just ran it.
[ "${DEMO_SETUP_DONE:-0}" = 1 ] || scripts/setup.sh test
targets=${FUZZ_TARGETS:-png ebr options}
out=build-fuzz

demo_configure "$out" -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DDEMO_FUZZ=ON -DDEMO_BENCH=OFF
build_targets=(fuzz_seeds)
for target in $targets; do build_targets+=("fuzz_$target"); done
cmake --build "$out" -j"$(demo_jobs 2)" --target "${build_targets[@]}" >&2

"$out/fuzz_seeds" "$out/seeds" >&2
mkdir -p "$out/findings"

status=0
summary=()
for target in $targets; do
  corpus="$out/corpus/$target"
  log="$out/fuzz_$target.log"
  mkdir -p "$corpus"
  extra=()
  [ -f "tests/fuzz/$target.dict" ] && extra+=("-dict=tests/fuzz/$target.dict")
  echo "fuzz_$target: ${seconds}s ..." >&2
  # -close_fd_mask=3 silences what the code under test prints (libpng warnings, CLI11's
  # help); libFuzzer and the sanitizers keep reporting on their own copy of stderr.
  if "$out/fuzz_$target" "$corpus" "$out/seeds/$target" "${extra[@]}" \
       -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
       -close_fd_mask=3 -print_final_stats=1 \
       -artifact_prefix="$out/findings/$target-" >"$log" 2>&1; then
    result=ok
  else
    result="FAILED (see $log)"
    status=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n1)
  summary+=("fuzz_$target: ${runs:-?} runs in ${seconds}s, ${rate:-?} exec/s, corpus $(ls "$corpus" | wc -l) files: $result")
done

printf '%s\n' "${summary[@]}"
exit $status
