// Whole frames of each scene, timed one scene at a time: every iteration renders the next
// frame of the scene's window at 60 frames a second (wrapping round at its end) with the
// music's spectrum for that time, as --bench does, but reporting CPU time per frame, which a
// machine busy with other work disturbs less than the wall clock.
// Run from the build folder (it reads data/): build/bench_scenes [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "audio/music.h"
#include "audio/fft.h"
#include "display/messagebox.h"
#include "render3d/renderer.h"
#include "scenes/scene1.h"
#include "scenes/scene2.h"
#include "scenes/scene3.h"
#include "scenes/scene4.h"
#include "scenes/scene5.h"
#include "scenes/scene6.h"
#include "scenes/scene7.h"

namespace {

struct Window {
    float start, end;
};
constexpr Window kWindows[8] = {{0, 0},        {0, 12},      {12, 24.5f},  {24.5f, 48},
                                {48, 72.4f},   {72.4f, 95.5f}, {95.5f, 121}, {121, 146}};

// Every scene initialised once, in the demo's order, with the music for the spectrum.
struct World {
    Scene1State s1{};
    Scene2State s2{};
    Scene3State s3{};
    Scene4State s4{};
    Scene5State s5{};
    Scene6State s6{};
    Scene7State s7{};
    World() {
        setMessageBoxesEnabled(false);
        initScene2(&s2);
        initScene7(&s7);
        initScene3(&s3);
        initScene1(&s1);
        initScene5(&s5);
        initScene4(&s4);
        initScene6(&s6);
        if (!loadMusic("data/pelotrix.mp3"))
            std::fprintf(stderr, "bench_scenes: %s; the scenes see a silent spectrum\n", musicError());
    }
};

World& world() {
    static World* w = new World();
    return *w;
}

void render(World& w, int scene, float t, const float* spectrum, float delta) {
    switch (scene) {
        case 1: renderScene1(&w.s1, t); break;
        case 2: renderScene2(&w.s2, t, spectrum); break;
        case 3: renderScene3(&w.s3, t, spectrum, delta); break;
        case 4: renderScene4(&w.s4, t, spectrum); break;
        case 5: renderScene5(&w.s5, t, spectrum); break;
        case 6: renderScene6(&w.s6, t); break;
        case 7: renderScene7(&w.s7, t); break;
    }
}

void BM_SceneFrame(benchmark::State& state) {
    World& w = world();
    const int scene = static_cast<int>(state.range(0));
    const Window win = kWindows[scene];
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
        render(w, scene, t, spectrum, 1.0f / 60.0f);
        benchmark::DoNotOptimize(screen->pixels);
        ++n;
    }
    state.SetLabel("scene " + std::to_string(scene));
}
BENCHMARK(BM_SceneFrame)->DenseRange(1, 7)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
