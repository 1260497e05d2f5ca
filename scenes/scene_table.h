// scenes/scene_table.h — the seven scenes as the frame loop sees them: one table, each entry
// the scene's window of music time, its loader and its render call behind one signature.
//
// Offers: SceneFrame, SceneEntry, kScenes (scene 1 at index 0), kSceneLoadOrder,
//         DemoScenes with loadDemoScenes / renderDemoScenes, sceneAt, onSceneBound and
//         the scenes' own bound tables (SceneBounds, kSceneBounds).
// Needs:  the seven scenes of this folder.
//
// The scenes keep the render signatures they were written with (some take the spectrum,
// scene 3 also the frame's delta); the table adapts each to SceneFrame.
#pragma once

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

// The seven loaded records and the time of the last frame drawn; they live until the
// process ends.
struct DemoScenes {
    void* states[kSceneCount];
    float previousTime;   // 0 before the first frame
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
