// scenes/scene_table.h — the seven scenes as the frame loop sees them: one table, each entry
// the scene's window of music time, its loader and its render call behind one signature.
//
// Offers: SceneFrame, SceneEntry, kScenes (scene 1 at index 0), kSceneLoadOrder,
//         kSceneKeepsPicture, DemoScenes with loadDemoScenes / renderDemoScenes, sceneAt,
//         onSceneBound and the scenes' own bound tables (SceneBounds, kSceneBounds),
//         TimelineState with saveTimelineState / restoreTimelineState.
// Needs:  the seven scenes of this folder.
//
// The scenes keep the render signatures they were written with (some take the spectrum,
// scene 3 also the frame's delta); the table adapts each to SceneFrame.
#pragma once
#include <cstdint>

#include "render3d/renderer.h"
#include "scenes/scene3_sphere.h"

constexpr int kSceneCount = 7;

// Music time t is seconds as a float; every window is open: start < t < end.
struct SceneWindow {
    float start;
    float end;
};

inline bool insideWindow(const SceneWindow& w, float t) { return w.start < t && t < w.end; }

// What one frame hands the scene that draws it.
struct SceneFrame {
    float t;                 // music time, seconds
    const float* spectrum;   // the music's spectrum at t (bins 0..2 are read)
    float delta;             // t minus the previous frame's t (the first frame: t itself)
};

struct SceneEntry {
    const char* subject;                                     // "logo intro", ...
    SceneWindow window;                                      // the open interval it draws in
    void* (*load)();                                         // a new record, initialised
    void (*render)(void* state, const SceneFrame& frame);
};

extern const SceneEntry kScenes[kSceneCount];
// The order the initialisers run in at start-up (scene numbers 1..7).
extern const int kSceneLoadOrder[kSceneCount];

// Whether a scene draws over the picture of the frame before instead of replacing it:
// scene 4 darkens it into trails, so each of its frames depends on every earlier frame of
// it (and on the frame before its first). Every other scene makes its whole picture afresh
// (the replay test checks that a frame of theirs does not depend on the picture before).
constexpr bool kSceneKeepsPicture[kSceneCount] = {false, false, false, true, false, false, false};

// The seven loaded records and the time of the last frame drawn; they live until the
// process ends.
struct DemoScenes {
    void* states[kSceneCount];
    float previousTime;   // 0 before the first frame
    int64_t generation;   // counts the frames made and the states restored: the state is
                          // the one a replay left while this is as it was then
};

// Runs the initialisers in kSceneLoadOrder: all file reading of the run happens here.
DemoScenes* loadDemoScenes();

// Makes the frame for music time t in `screen`: every scene whose window holds t draws
// (at most one does); at a bound, before the first scene and after the last nothing draws
// and `screen` keeps the previous picture.
void renderDemoScenes(DemoScenes* scenes, float t, const float* spectrum);
// The same, the scenes drawing at `drawAt` instead of t (the fixed clock draws a frame that
// lies exactly on a bound of a scene's window just after it: app/timeline.h). The frame's
// delta and the next frame's still count from t.
void renderDemoScenes(DemoScenes* scenes, float t, float drawAt, const float* spectrum);

// The scene (1..7) whose window holds t, 0 when none does.
int sceneAt(float t);

// The bounds of every window each scene tests t against (the scenes' kScene1Bounds ...
// kScene7Bounds), scene 1 at index 0.
struct SceneBounds {
    const float* bounds;
    int count;
};
extern const SceneBounds kSceneBounds[kSceneCount];

// True when t is exactly a bound of a window that scene (1..7) tests t against.
bool onSceneBound(int scene, float t);

// Everything the scenes carry from one frame into the next apart from the picture: the
// shared generator (scenes/lcg_rand.h), the sphere's spin (scene3Spin), the previous
// frame's time (the next frame's delta) and the renderer's settings (scene 2 draws with
// the viewport and clipping it finds). The scene records keep nothing else from frame to
// frame: their off-screen pictures and reshaped meshes are made afresh before every use.
struct TimelineState {
    uint32_t random;
    SpinState spin;
    float previousTime;
    RendererSettings renderer;   // its screen is not restored: `screen` stays where it is
};
TimelineState saveTimelineState(const DemoScenes* scenes);
void restoreTimelineState(DemoScenes* scenes, const TimelineState& state);
