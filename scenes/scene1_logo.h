// scenes/scene1_logo.h — scene 1, the logo intro (0 < t < 12).
//
// Offers: Scene1State, initScene1, renderScene1, kScene1Bounds.
// Needs:  assets (loadImage, halveImage), gfx2d (blits, waveDistort, fades), the global
//         `screen` of render3d/renderer.h, scenes/lcg_rand.h.
//
// Out of black a blurred, wobbling, flickering enlargement of the logo appears during the
// first six seconds; at six seconds the sharp logo cuts in with its glow flashes; from ten
// to twelve seconds the picture fades to white. Purely 2D; every frame depends only on t.
#pragma once
#include "assets/image.h"
#include "assets/mesh.h"

// The bounds of every window of music time the scene tests (scenes/window.h), in
// order; the fixed clock looks them up (scenes/scene_table.h: onSceneBound).
inline constexpr float kScene1Bounds[] = {0.0f, 6.0f, 6.1f, 6.2f, 6.3f, 6.4f, 12.0f};

struct Scene1State {
    Image* black;         // data/black.png, full-screen fades
    Image* white;         // data/white.png
    Image* logo;          // data/logo.png, drawn unscaled at (0, 0)
    Image* glow;          // data/glow.png, full-screen flash
    Image* glow2;         // data/glow2.png, full-screen flash
    Image* logoBlur[2];   // the logo at a quarter and at an eighth of its size
};

// Loads white, black, logo, glow, glow2 (in that order) and builds the blurred logos.
void initScene1(Scene1State* state);
// Draws the frame for music time t into `screen`; called only while 0 < t < 12.
// Seeds the shared generator with trunc(8t)*99 while t < 6.
void renderScene1(Scene1State* state, float t);
