// scenes/scene6_greetings.h — scene 6, the greetings over a spinning rainbow box (95.5 < t < 121).
//
// Offers: Scene6State, initScene6, renderScene6, kScene6Bounds, and for tests
//         GreetingPass, greetingPasses (which meshes a frame draws, in order) and the
//         sprite and caption places.
// Needs:  assets (loadImage, loadTexture, openModel), gfx2d (blits, waveDistort, fades),
//         render3d (the global `renderer` and `screen`, drawModel), scenes/sprites_captions.h.
//
// Behind everything a rainbow-mapped box tumbles. From 98 s seven greeting words follow
// one another, each for about three seconds, each with one of two voxel creatures swinging
// in step just above it; neighbouring words overlap for a tenth of a second. Two frames, a
// flickering creature and the bobbing "greetings" caption lie on top; the scene comes up
// out of white and ends in white. The picture is cleared every frame.
#pragma once
#include <cstdint>

#include "assets/image.h"
#include "assets/mesh.h"

// The bounds of every window of music time the scene tests (scenes/window.h), in
// order; the fixed clock looks them up (scenes/scene_table.h: onSceneBound).
inline constexpr float kScene6Bounds[] = {95.5f, 96.5f, 97.0f, 98.0f, 101.1f, 101.2f,
    104.3f, 107.2f, 107.3f, 110.6f, 113.8f, 116.8f, 120.0f, 121.0f};

struct Scene6State {
    Texture* blokk;          // data/blokk.png with its mip chain, the creatures' texture
    Texture* rainbow;        // data/rainbow.png, the box's environment map
    Texture* blackTexture;   // data/black.png, the words' environment map
    Model* pxl;              // data/pixeldyr/pxl.ebr, first creature
    Model* pxl2;             // data/pixeldyr/pxl2.ebr, second creature
    Model* quillan;          // data/greets/quillan.ebr
    Model* pennart;          // data/greets/pennart.ebr
    Model* drossel;          // data/greets/drossel.ebr
    Model* you;              // data/greets/you.ebr
    Model* tindral;          // data/greets/tindral.ebr
    Model* morwick;          // data/greets/morwick.ebr
    Model* valmora;          // data/greets/valmora.ebr
    Model* simplebox;        // data/simplebox.ebr, the tumbling box behind
    Image* frame;            // data/frame.png, overlay
    Image* white;            // data/white.png, both fades
    Image* s;                // data/s.png, overlay
    Image* sprites[5];       // data/pixeldyr/b10..b14.png, at (20, 330)
    Image* greet;            // data/pixeldyr/greet.png, the caption, at x 170
};

constexpr int32_t kScene6SpriteX = 20;
constexpr int32_t kScene6SpriteY = 330;
constexpr int32_t kGreetX = 170;

// One mesh drawn by the greetings: a creature (pixel pass: blokk, scaled 0.017, lowered
// 1) or a word (scaled 0.01, lowered 1.5, environment-mapped with black).
struct GreetingPass {
    Model* Scene6State::*mesh;
    bool pixel;
};
constexpr int kMaxGreetingPasses = 14;

// The passes drawn at t, in drawing order (row by row, creature before word); returns
// their number. Each row has its own windows, so near a change of word two words show.
int greetingPasses(float t, GreetingPass out[kMaxGreetingPasses]);

// Loads s, greet, valmora, tindral, morwick, you, pennart, drossel, white, frame,
// simplebox, pxl, pxl2, quillan, blokk, rainbow, blackTexture and the creatures, in that
// order. A missing mesh file leaves its pass blank.
void initScene6(Scene6State* state);
// Draws the frame for music time t into a cleared `screen`; seeds the shared generator.
void renderScene6(Scene6State* state, float t);
