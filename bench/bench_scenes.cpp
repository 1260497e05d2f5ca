// Whole frames of each scene, timed one scene at a time: every iteration renders the next
// frame of the scene's window at 60 frames a second (wrapping round at its end) with the
// music's spectrum for that time, as --bench does, but reporting CPU time per frame, which a
// machine busy with other work disturbs less than the wall clock; then the same with two
// drawing threads (bands/bands.h), on the wall clock.
// Run from the build folder (it reads data/): build/bench_scenes [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "audio/music.h"
#include "bands/bands.h"
#include "audio/fft.h"
#include "scenes/scene_table.h"
#include "display/messagebox.h"
#include "render3d/renderer.h"

namespace {

// Every scene loaded once, in the demo's order, with the music for the spectrum.
DemoScenes* world() {
    static DemoScenes* scenes = [] {
        setMessageBoxesEnabled(false);
        DemoScenes* loaded = loadDemoScenes();
        if (!loadMusic("data/pelotrix.mp3"))
            std::fprintf(stderr, "bench_scenes: %s; the scenes see a silent spectrum\n", musicError());
        return loaded;
    }();
    return scenes;
}

void BM_SceneFrame(benchmark::State& state) {
    DemoScenes* scenes = world();
    const int scene = static_cast<int>(state.range(0));
    setDrawingThreads(static_cast<int>(state.range(1)));
    const SceneEntry& entry = kScenes[scene - 1];
    const SceneWindow win = entry.window;
    static float spectrum[kSpectrumCapacity];
    int64_t n = 1;
    for (auto _ : state) {
        float t = win.start + static_cast<float>(n) / 60.0f;
        if (!(t < win.end)) {
            n = 1;
            t = win.start + 1.0f / 60.0f;
        }
        state.PauseTiming();
        getMusicSpectrumAt(musicSecondsToBytes(t), spectrum);
        state.ResumeTiming();
        keepWorkersAwake(true);   // as the frame loop does around a frame's drawing
        entry.render(scenes->states[scene - 1], SceneFrame{t, spectrum, 1.0f / 60.0f});
        keepWorkersAwake(false);
        benchmark::DoNotOptimize(screen->pixels);
        ++n;
    }
    setDrawingThreads(1);
    state.SetLabel("scene " + std::to_string(scene) + ", " + std::to_string(state.range(1)) +
                   " drawing thread(s)");
}
// One drawing thread: CPU time (see above). Two: the wall clock, since the worker's time
// is part of the frame's.
BENCHMARK(BM_SceneFrame)->ArgsProduct({benchmark::CreateDenseRange(1, 7, 1), {1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SceneFrame)->ArgsProduct({benchmark::CreateDenseRange(1, 7, 1), {2}})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
