// scenes/scene3_sphere.h — scene 3, the rippling sphere with pixel glow (24.5 < t < 48).
//
// Offers: Scene3State, kScene3Bounds, DeformingSphere (initDeformingSphere,
//         drawDeformingSphere), initScene3, renderScene3, and for tests the spin
//         (SpinState, scene3Spin, updateSpin).
// Needs:  assets (loadImage, loadTexture, openModel, computeNormals), gfx2d (blits,
//         waveDistort, fades), render3d (the global `renderer` and `screen`, drawModel),
//         scenes/lcg_rand.h (the shared generator), scenes/sprites_captions.h (creature frame and
//         caption bob).
//
// An environment-mapped sphere rippled by three sine waves over its normals, seen by a
// camera that swings round it on one spin angle; the spin's rate and the angle jump at
// random on the music's beats (spectrum bin 2). Over the letterboxed frame goes a glow: a
// 32x24 point-sampled miniature of the frame scaled back up and added, stronger with bins
// 0 to 2 and flaring eight times. Overlays, two flickering creatures and two bobbing
// captions on top; the scene ends in black.
#pragma once
#include <cstdint>

#include "assets/image.h"
#include "assets/mesh.h"

// The bounds of every window of music time the scene tests (scenes/window.h), in
// order; the fixed clock looks them up (scenes/scene_table.h: onSceneBound).
inline constexpr float kScene3Bounds[] = {24.5f, 24.6f, 30.2f, 30.5f, 30.8f, 35.0f, 35.08f,
    35.3f, 35.38f, 35.6f, 35.68f, 35.8f, 35.88f, 36.2f, 36.6f, 36.9f, 39.2f, 39.25f, 39.5f,
    39.55f, 40.5f, 40.55f, 40.9f, 40.95f, 46.8f, 48.0f};

// The sphere in two copies from the same file: `shape` is rewritten every frame from the
// untouched `rest` (its positions and normals), so no error accumulates.
struct DeformingSphere {
    Model shape;
    Model rest;
};

struct Scene3State {
    Texture* env;              // data/bluenv.png with its mip chain, the sphere's map
    DeformingSphere* sphere;   // data/sphere.ebr, twice
    Image* glow;               // 32x24, rewritten every frame
    Image* background;         // data/lolbg.png, copied at (0, 0)
    Image* stripes;            // data/striper.png, overlay
    Image* white;              // data/white.png
    Image* black;              // data/black.png
    Image* frame2;             // data/frame2.png, overlay
    Image* rightSprites[5];    // data/pixeldyr/00..04.png, at (450, 320)
    Image* leftSprites[5];     // data/pixeldyr/a0..a4.png, at (40, 320)
    Image* rendered;           // data/pixeldyr/rendered.png, first caption, at x 220
    Image* foru;               // data/pixeldyr/foru.png, second caption, at x 180
    Image* s;                  // data/s.png, overlay
};

// The spin that drives the camera and the sphere's turn. The scene's copy, scene3Spin,
// starts at {0, 1, 0} when the process starts and carries over from frame to frame.
struct SpinState {
    float beatTime;    // music time of the last accepted beat
    float spinSpeed;   // radians per second of music time
    float spinAngle;   // radians
};
extern SpinState scene3Spin;

// The music's hold on the spin and the glow, read also by the music analysis
// (--analyze-music): bin 2 thresholds of a new speed and of an angle jump, the dead time
// after an accepted beat, and the glow strength's scale (bin 1 x kGlowScale x bin 2 x bin 0).
constexpr float kSpinSpeedThreshold = 0.263f;
constexpr float kBeatThreshold = 0.258f;
constexpr float kBeatGap = 0.1f;
constexpr float kGlowScale = 2000.0f;

// One frame's spin update. More than 0.1 s after the last beat: bin 2 above 0.263 sets a
// new speed, 0.85 f + 0.75, and then bin 2 above 0.258 jumps the angle by 110 f; each
// accepted test sets beatTime = t and draws its own f = 2 rand()/32767 - 1 from the
// shared generator. Then the angle advances by speed * delta.
void updateSpin(SpinState* spin, float t, const float* spectrum, float delta);

// Loads both copies from data/sphere.ebr (each open failure is reported and leaves that
// copy empty).
void initDeformingSphere(DeformingSphere* sphere);
// Ripples mesh 0 of `shape` for time t from `rest`, recomputes its normals and draws every
// mesh of `shape` with the renderer as the caller set it up. Does nothing when either copy
// has no mesh or their mesh 0 differ in size, or while drawing is suspended.
void drawDeformingSphere(DeformingSphere* sphere, float t);

// Loads rendered, foru, white, black, env, creates glow, loads the sphere, background,
// stripes, frame2, s, rightSprites 0..4 and leftSprites 0..4, in that order.
void initScene3(Scene3State* state);
// Draws the frame for music time t into `screen`; reads spectrum[0..2], updates
// scene3Spin and draws from the shared generator. delta is the music time since the
// previous frame.
void renderScene3(Scene3State* state, float t, const float* spectrum, float delta);
