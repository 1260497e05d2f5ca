// scenes/scene7_trails.h — scene 7, the closing scene with light trails (121 < t < 146).
//
// Offers: Scene7State, initScene7, renderScene7, kScene7Bounds, TrailDot, kTrailPoints,
//         kTrailSteps, trailDot (the placement of one dot, for the renderer and for
//         tests).
// Needs:  assets (loadImage), gfx2d (blits and fades), the global `screen` of
//         render3d/renderer.h.
//
// A still picture of creatures that turns white at 126 s, then a girl under eighteen
// circling trails of glowing dots with a hand on top, fading to black from 143 s and
// black from 145 s. Purely 2D; every frame depends only on t.
#pragma once
#include <cstdint>

#include "assets/image.h"
#include "assets/mesh.h"

// The bounds of every window of music time the scene tests (scenes/window.h), in
// order; the fixed clock looks them up (scenes/scene_table.h: onSceneBound).
inline constexpr float kScene7Bounds[] = {121.0f, 126.0f, 146.0f};

struct Scene7State {
    Image* girl;        // data/girl.png, background of the second part, copied at (0, 0)
    Image* hand;        // data/hand.png, overlay drawn at (0, 0)
    Image* dot;         // data/dot.png, scaled to each trail dot's size and added
    Image* black;       // data/black.png
    Image* white;       // data/white.png
    Image* creatures;   // data/creatures.png, background of the first part, copied at (0, 0)
};

constexpr int kTrailPoints = 18;   // trails, numbered 1 to 18
constexpr int kTrailSteps = 30;    // dots per trail, i = 0 to 29, 0.05 rad apart

// Where and how one dot is drawn: dot scaled to size x size at (x, y), added with opacity.
// A size of 0 (every trail at i = 0) draws nothing.
struct TrailDot {
    int32_t x;
    int32_t y;
    int32_t size;
    int32_t opacity;
};

// Dot i (0..29) of trail `point` (1..18) at music time t; any other point gives size 0.
TrailDot trailDot(int point, int i, float t);

// Loads white, black, girl, creatures, hand and dot, in that order.
void initScene7(Scene7State* state);
// Draws the frame for music time t into `screen`; called only while 121 < t < 146.
void renderScene7(Scene7State* state, float t);
