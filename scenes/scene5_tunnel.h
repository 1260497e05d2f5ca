// scenes/scene5_tunnel.h — scene 5, the rolling tunnel with twisting pixel logos
// (72.4 < t < 95.5).
//
// Offers: Scene5State, initScene5, renderScene5, kScene5Bounds, twistMesh (the logos'
//         twist and draw), and for tests tunnelScrollFactor, tunnelVOffset, scrollTunnel,
//         logoModel and the sprite and caption places.
// Needs:  assets (loadImage, loadTexture, openModel, computeNormals), gfx2d (blits,
//         waveDistort, fadeIn), render3d (the global `renderer` and `screen`, drawModel),
//         scenes/twist.h, scenes/sprites_captions.h.
//
// The camera looks down a tunnel that rolls about the viewing axis; its rainbow texture
// swings from side to side and streams along, a hundred times faster from 94 s. Three
// voxel logos fly away down the tunnel, each twisting like the bronze object of scene 4
// and lifted by the bass. Two frames, a flickering creature at each side (one after the
// other) and three bobbing captions lie on top; the scene ends in white. The picture is
// cleared every frame.
#pragma once
#include <cstdint>

#include "assets/image.h"
#include "assets/mesh.h"
#include "render3d/math3d.h"

// The bounds of every window of music time the scene tests (scenes/window.h), in
// order; the fixed clock looks them up (scenes/scene_table.h: onSceneBound).
inline constexpr float kScene5Bounds[] = {72.0f, 73.5f, 74.0f, 78.0f, 80.0f, 81.0f, 83.2f,
    84.0f, 84.5f, 85.0f, 89.0f, 94.0f, 94.4f, 95.5f, 96.0f};

struct Scene5State {
    Model* pixel;             // data/pixeldyr/pixel.ebr, first logo, drawn and rewritten
    Model* pixelRest;         // the same file again, the rest shape
    Model* pxl;               // data/pixeldyr/pxl.ebr, second logo
    Model* pxlRest;
    Model* pxl2;              // data/pixeldyr/pxl2.ebr, third logo
    Model* pxl2Rest;
    Model* tunnel;            // data/tunnell.ebr, drawn; texture coordinates rewritten
    Model* tunnelRest;        // the same file again, the rest texture coordinates
    Image* leftSprites[5];    // data/pixeldyr/05..09.png, at (30, 320) while 72 < t < 81
    Image* rightSprites[5];   // data/pixeldyr/a0..a4.png, at (480, 320) from 83.2 s
    Image* frame;             // data/frame.png, overlay
    Image* falling;           // data/pixeldyr/falling.png, first caption, x 180
    Image* bit;               // data/pixeldyr/bit.png, second caption, x 235
    Image* bit2;              // data/pixeldyr/bit2.png, third caption in the second's place
    Image* white;             // data/white.png, the closing fade
    Image* s;                 // data/s.png, overlay
    Texture* rainbow;         // data/rainbow.png with its mip chain, the tunnel's texture
    Texture* blokk;           // data/blokk.png with its mip chain, the logos' texture
    float* pixelRestLength;   // one per vertex of the first mesh of pixel; null without one
    float* pxlRestLength;     // likewise for pxl
    float* pxl2RestLength;    // likewise for pxl2
};

constexpr int32_t kScene5LeftSpriteX = 30;
constexpr int32_t kScene5RightSpriteX = 480;
constexpr int32_t kScene5SpriteY = 320;
constexpr int32_t kFallingX = 180;
constexpr int32_t kBitX = 235;

// How fast the tunnel's texture streams: t - 87 while 94 < t < 96, otherwise 1.
float tunnelScrollFactor(float t);
// The amount taken off every rest v of the tunnel at t: tunnelScrollFactor(t) * t.
float tunnelVOffset(float t);

// Rebuilds the texture coordinates of the tunnel's first mesh from the rest copy:
// v = 0.35 v_rest - tunnelVOffset(t), u = u_rest - 1.5 cos(0.78 t). Positions and normals
// stay. Returns false, touching nothing, when either copy lacks a first mesh or the two
// differ in vertex count. While drawing is suspended (assets/image.h) the coordinates are
// left as they are and the answer is true when they would have been rebuilt.
bool scrollTunnel(Model* tunnel, const Model* rest, float t);

// The model matrix of logo 0 (pixel, from 72 s), 1 (pxl, from 78 s) or 2 (pxl2, from 84 s):
// scaled to 0.03, turned about y and then z, moved 2 (t - start) + 15 (13 for logos 1 and
// 2) along +y and lifted by half the bass.
Mat4 logoModel(int logo, float t, float bass);

// Twists the first mesh of `target` from `rest` with the logos' angle (2t - 0.006 len),
// then draws every mesh of `target` with the renderer as the caller set it up. Draws
// nothing when the logo cannot be twisted (a missing or empty mesh file).
void twistMesh(Model* target, const Model* rest, const float* restLength, float t);

// Loads s, bit2, bit, the eight models (pixel, pixelRest, pxl, pxlRest, pxl2, pxl2Rest,
// tunnel, tunnelRest), frame, falling, rainbow, blokk, white, the left and the right
// creatures (in that order), then the rest lengths of pixel, pxl and pxl2.
void initScene5(Scene5State* state);
// Draws the frame for music time t into a cleared `screen`; reads spectrum[1] and seeds
// the shared generator.
void renderScene5(Scene5State* state, float t, const float* spectrum);
