// scenes/scene2_parade.h — scene 2, the box parade over the water (12 < t < 24.5).
//
// Offers: Scene2State, initScene2, renderScene2, kScene2Bounds, and for tests the boxes'
//         path (kBoxCount, BoxPlace, boxPlace, boxModel) and the stage size.
// Needs:  assets (loadImage, loadTexture, openModel), gfx2d (blits, waveDistort, fades),
//         render3d (the global `renderer` and `screen`, matrices, drawModel).
//
// The upper 300 rows are a landscape strip composed off-screen in `stage`: background,
// distant grass, sixteen drifting pixel sprites and eight environment-mapped boxes that
// march from right to left, rock, bob and jump with the bass (spectrum bin 1). The lower
// 180 rows show the strip mirrored, wobbling and squashed as a water reflection, under two
// fast grass strips; an overlay goes on top and the scene flashes white around 24 s.
#pragma once
#include <cstdint>

#include "assets/image.h"
#include "assets/mesh.h"
#include "render3d/math3d.h"

// The bounds of every window of music time the scene tests (scenes/window.h), in
// order; the fixed clock looks them up (scenes/scene_table.h: onSceneBound).
inline constexpr float kScene2Bounds[] = {23.9f, 24.0f, 24.2f, 24.4f, 24.5f};

struct Scene2State {
    Image* grass;        // data/gress.png, middle grass strip
    Image* grass2;       // data/gress2.png, nearest grass strip
    Image* grass3;       // data/gress3.png, distant grass strip inside the stage
    Image* sprite1;      // data/pixeldyr/pxl_s1.png
    Image* sprite2;      // data/pixeldyr/pxl_s2.png
    Image* sprite3;      // data/pixeldyr/pxl_s3.png
    Image* water;        // data/vann.png, loaded but never drawn
    Image* background;   // data/background.png, scaled to 640x480; its top 300 rows show
    Texture* env;        // data/colorenv2.png with its mip chain, the boxes' environment map
    Image* white;        // data/white.png, the flashes
    Image* s;            // data/s.png, full-screen overlay
    Model* box;          // data/box2.ebr; empty when the file is missing (no boxes then)
    Image* stage;        // 640x300, the upper strip composed off-screen every frame
};

constexpr int32_t kStageWidth = 640;
constexpr int32_t kStageHeight = 300;
constexpr int kBoxCount = 8;

// Where box i (0..7) is on its loop at music time t: phi = fmod(i + 2.5t, 8) in [0, 8)
// (world x = 50 phi - 175) and the rocking angle a = phi + t.
struct BoxPlace {
    float phi;
    float a;
};
BoxPlace boxPlace(int i, float t);

// The model matrix of box i: rocked about z by sin a and about y by cos a, lifted by the
// bass (10, 40, 10) * bass after the rotation, then placed at (50 phi - 175, 70 sin a, 0).
Mat4 boxModel(int i, float t, float bass);

// Loads s, box, env, white, sprite1..3, background, grass, grass2, grass3, water (in that
// order) and creates the stage.
void initScene2(Scene2State* state);
// Draws the frame for music time t into `screen`; reads spectrum[1]. `screen` is pointed
// at the stage for the 3D pass and restored before returning. The 3D pass draws with the
// full-screen viewport into the 300-row stage: the rasteriser keeps every write inside
// the stage, so nothing lands below its row 299.
void renderScene2(Scene2State* state, float t, const float* spectrum);
