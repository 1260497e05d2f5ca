#include "scenes/scene_table.h"

#include <cstddef>

#include "scenes/lcg_rand.h"
#include "scenes/scene1_logo.h"
#include "scenes/scene2_parade.h"
#include "scenes/scene3_sphere.h"
#include "scenes/scene4_bronze.h"
#include "scenes/scene5_tunnel.h"
#include "scenes/scene6_greetings.h"
#include "scenes/scene7_trails.h"

namespace {

template <typename State, void (*init)(State*)>
void* loadScene() {
    State* state = new State();
    init(state);
    return state;
}

template <typename State>
State* as(void* state) {
    return static_cast<State*>(state);
}

}  // namespace

// The bound between scenes 4 and 5 is 72.4f, the float nearest to 72.4, on both sides.
const SceneEntry kScenes[kSceneCount] = {
    {"logo intro", {0.0f, 12.0f}, loadScene<Scene1State, initScene1>,
     [](void* s, const SceneFrame& f) { renderScene1(as<Scene1State>(s), f.t); }},
    {"box parade", {12.0f, 24.5f}, loadScene<Scene2State, initScene2>,
     [](void* s, const SceneFrame& f) { renderScene2(as<Scene2State>(s), f.t, f.spectrum); }},
    {"rippling sphere", {24.5f, 48.0f}, loadScene<Scene3State, initScene3>,
     [](void* s, const SceneFrame& f) {
         renderScene3(as<Scene3State>(s), f.t, f.spectrum, f.delta);
     }},
    {"bronze twist", {48.0f, 72.4f}, loadScene<Scene4State, initScene4>,
     [](void* s, const SceneFrame& f) { renderScene4(as<Scene4State>(s), f.t, f.spectrum); }},
    {"rolling tunnel", {72.4f, 95.5f}, loadScene<Scene5State, initScene5>,
     [](void* s, const SceneFrame& f) { renderScene5(as<Scene5State>(s), f.t, f.spectrum); }},
    {"greetings", {95.5f, 121.0f}, loadScene<Scene6State, initScene6>,
     [](void* s, const SceneFrame& f) { renderScene6(as<Scene6State>(s), f.t); }},
    {"light trails", {121.0f, 146.0f}, loadScene<Scene7State, initScene7>,
     [](void* s, const SceneFrame& f) { renderScene7(as<Scene7State>(s), f.t); }},
};

const int kSceneLoadOrder[kSceneCount] = {2, 7, 3, 1, 5, 4, 6};

DemoScenes* loadDemoScenes() {
    DemoScenes* scenes = new DemoScenes();
    for (int number : kSceneLoadOrder) scenes->states[number - 1] = kScenes[number - 1].load();
    scenes->previousTime = 0.0f;
    scenes->generation = 0;
    return scenes;
}

void renderDemoScenes(DemoScenes* scenes, float t, const float* spectrum) {
    renderDemoScenes(scenes, t, t, spectrum);
}

void renderDemoScenes(DemoScenes* scenes, float t, float drawAt, const float* spectrum) {
    const SceneFrame frame{drawAt, spectrum, t - scenes->previousTime};
    scenes->previousTime = t;
    scenes->generation += 1;
    // Every window is tested on its own.
    for (int i = 0; i < kSceneCount; ++i) {
        if (insideWindow(kScenes[i].window, drawAt)) kScenes[i].render(scenes->states[i], frame);
    }
}

namespace {

template <size_t N>
constexpr SceneBounds boundsOf(const float (&bounds)[N]) {
    return SceneBounds{bounds, static_cast<int>(N)};
}

}  // namespace

const SceneBounds kSceneBounds[kSceneCount] = {
    boundsOf(kScene1Bounds), boundsOf(kScene2Bounds), boundsOf(kScene3Bounds),
    boundsOf(kScene4Bounds), boundsOf(kScene5Bounds), boundsOf(kScene6Bounds),
    boundsOf(kScene7Bounds),
};

bool onSceneBound(int scene, float t) {
    if (scene < 1 || scene > kSceneCount) return false;
    const SceneBounds& own = kSceneBounds[scene - 1];
    for (int k = 0; k < own.count; ++k) {
        if (t == own.bounds[k]) return true;
    }
    return false;
}

int sceneAt(float t) {
    for (int i = 0; i < kSceneCount; ++i) {
        if (insideWindow(kScenes[i].window, t)) return i + 1;
    }
    return 0;
}

TimelineState saveTimelineState(const DemoScenes* scenes) {
    return TimelineState{rng::state(), scene3Spin, scenes->previousTime,
                         saveRendererSettings(renderer)};
}

void restoreTimelineState(DemoScenes* scenes, const TimelineState& state) {
    rng::srand(state.random);
    scene3Spin = state.spin;
    scenes->previousTime = state.previousTime;
    scenes->generation += 1;
    Image* const target = renderer.screen;
    restoreRendererSettings(&renderer, state.renderer);
    renderer.screen = target;
}
