// What a fork and a join of the drawing threads cost (bands/bands.h): an operation whose
// bands do nothing, forked again at once (the workers still spinning, as between the
// operations of one frame) or after a pause of 2 ms (the workers asleep, as at the start
// of a frame in live play). Real time; Arg = drawing threads.
// Run: build/bench_bands [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "bands/bands.h"

namespace {

std::atomic<int64_t> sink{0};

void emptyBands() {
    runBands(RowBand{0, 480}, RowBand{0, 480},
             [](void*, RowBand band) { sink.fetch_add(band.end - band.begin, std::memory_order_relaxed); },
             nullptr);
}

void BM_ForkJoin(benchmark::State& state) {
    setDrawingThreads(static_cast<int>(state.range(0)));
    for (auto _ : state) emptyBands();
    setDrawingThreads(1);
}
BENCHMARK(BM_ForkJoin)->Arg(2)->Arg(3)->Arg(4)->UseRealTime();

void BM_ForkJoinAfterSleep(benchmark::State& state) {
    setDrawingThreads(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        state.ResumeTiming();
        emptyBands();
    }
    setDrawingThreads(1);
}
BENCHMARK(BM_ForkJoinAfterSleep)->Arg(2)->Arg(4)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
