// scenes/scene4_bronze.h — scene 4, the twisting bronze object with trails and credits
// (48 < t < 72.4).
//
// Offers: Scene4State, initScene4, renderScene4, kScene4Bounds, and for tests darkenTrails
//         and kTrailBytes (the trail pass), kScene4SpriteY.
// Needs:  assets (loadImage, loadTexture, openModel, computeNormals), gfx2d (blits,
//         waveDistort, fades), render3d (the global `renderer` and `screen`, drawModel),
//         scenes/twist.h, scenes/sprites_captions.h.
//
// A torus-knot-like object, environment-mapped with bronze, spins and writhes in the
// middle of a letterboxed picture: every vertex is turned from its rest position by an
// angle that lags with its distance from the origin. The picture is not cleared but
// darkened to 60 % each frame, so the object drags fading trails. A red wash, two frames,
// two flickering creatures and two bobbing credits lie on top; the scene comes up out of
// black and ends in white.
#pragma once
#include <cstddef>
#include <cstdint>

#include "assets/image.h"
#include "assets/mesh.h"

// The bounds of every window of music time the scene tests (scenes/window.h), in
// order; the fixed clock looks them up (scenes/scene_table.h: onSceneBound).
inline constexpr float kScene4Bounds[] = {48.0f, 48.2f, 48.5f, 48.6f, 60.2f, 60.5f, 63.4f,
    66.8f, 69.3f, 70.9f, 72.4f};

struct Scene4State {
    Model* box;               // data/box2.ebr, loaded and never drawn
    Image* frame2;            // data/frame2.png, full-screen overlay
    Image* black;             // data/black.png, the opening fade
    Image* s;                 // data/s.png, full-screen overlay
    Image* white;             // data/white.png, the closing fade
    Image* red;               // data/red.png, added over the whole picture
    Image* leftSprites[5];    // data/pixeldyr/10..14.png, at (20, 320)
    Image* rightSprites[5];   // data/pixeldyr/b0..b4.png, at (480, 320)
    Texture* bronze;          // data/bronze.png with its mip chain, the object's map
    Model* thing;             // data/thing.ebr, drawn; its first mesh is rewritten every frame
    Model* thingRest;         // data/thing.ebr again, the untouched rest shape
    float* restLength;        // one per vertex of thing's first mesh; null when it has none
    Image* cred1;             // data/pixeldyr/cred1.png, first credit
    Image* cred2;             // data/pixeldyr/cred2.png, second credit
};

// The trail pass runs over exactly this many bytes of the 640x480 screen, alpha included.
constexpr size_t kTrailBytes = 640u * 480u * 4u;
constexpr int32_t kScene4SpriteY = 320;

// Replaces every byte by trunc(0.6 * byte): 255 becomes 153, 100 becomes 60, 1 becomes 0.
// A drawing operation: nothing happens while drawing is suspended (assets/image.h).
void darkenTrails(uint8_t* bytes, size_t count);

// Loads s, red, white, black, box, bronze, frame2, thing twice, cred1, cred2, the left and
// the right creatures (in that order) and the rest lengths of thing's first mesh. A missing
// or empty data/thing.ebr leaves the object out of the scene.
void initScene4(Scene4State* state);
// Draws the frame for music time t into `screen` over the darkened previous frame; reads
// spectrum[1] (a wider field of view with the bass) and seeds the shared generator.
void renderScene4(Scene4State* state, float t, const float* spectrum);
