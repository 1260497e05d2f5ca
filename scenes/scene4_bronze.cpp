// scenes/scene4_bronze.cpp — the twisting bronze object with trails and credits.
#include "scenes/scene4_bronze.h"

#include <algorithm>
#include <cmath>

#include "gfx2d/blit.h"
#include "gfx2d/effects.h"
#include "render3d/draw.h"
#include "render3d/renderer.h"
#include "scenes/sprites_captions.h"
#include "scenes/twist.h"
#include "scenes/window.h"

namespace {

// trunc(0.6 * v) for every byte value v, in integers (the tests check all 256).
inline uint8_t sixTenths(uint8_t v) {
    return static_cast<uint8_t>((static_cast<uint32_t>(v) * 39322u) >> 16);
}

}  // namespace

void darkenTrails(uint8_t* bytes, size_t count) {
    if (drawingSuspended()) return;
    // Fixed-size blocks let the compiler run the inner loop many bytes at a time even at
    // -O2 (a 16-bit multiply-high per byte): about ten times faster over the whole screen.
    constexpr size_t kBlock = 64;
    size_t i = 0;
    for (; i + kBlock <= count; i += kBlock) {
        uint8_t* block = bytes + i;
        for (size_t k = 0; k < kBlock; ++k) block[k] = sixTenths(block[k]);
    }
    for (; i < count; ++i) bytes[i] = sixTenths(bytes[i]);
}

void initScene4(Scene4State* state) {
    state->s = loadImage("data/s.png");
    state->red = loadImage("data/red.png");
    state->white = loadImage("data/white.png");
    state->black = loadImage("data/black.png");
    state->box = openModel("data/box2.ebr");
    state->bronze = loadTexture(new Texture{}, "data/bronze.png");
    state->frame2 = loadImage("data/frame2.png");
    state->thing = openModel("data/thing.ebr");
    state->thingRest = openModel("data/thing.ebr");
    state->cred1 = loadImage("data/pixeldyr/cred1.png");
    state->cred2 = loadImage("data/pixeldyr/cred2.png");
    const char* left[5] = {"data/pixeldyr/10.png", "data/pixeldyr/11.png", "data/pixeldyr/12.png",
                           "data/pixeldyr/13.png", "data/pixeldyr/14.png"};
    const char* right[5] = {"data/pixeldyr/b0.png", "data/pixeldyr/b1.png", "data/pixeldyr/b2.png",
                            "data/pixeldyr/b3.png", "data/pixeldyr/b4.png"};
    for (int i = 0; i < 5; ++i) state->leftSprites[i] = loadImage(left[i]);
    for (int i = 0; i < 5; ++i) state->rightSprites[i] = loadImage(right[i]);
    state->restLength = newRestLengths(state->thing);
}

void renderScene4(Scene4State* state, float t, const float* spectrum) {
    // Window bounds as single-precision constants, compared with the single-precision t.
    constexpr float kFadeInEnd = 48.5f;
    constexpr float kLeftStart = 48.2f;
    constexpr float kRightStart = 48.6f;
    constexpr float kSpritesEnd = 69.3f;
    constexpr float kWobbleStart = 60.2f;
    constexpr float kWobbleEnd = 60.5f;
    constexpr float kCredit2Start = 63.4f;
    constexpr float kCredit2End = 66.8f;
    constexpr float kWhiteStart = 70.9f;
    constexpr float kSceneEnd = 72.4f;

    Renderer& r = renderer;
    setLetterbox(&r);
    clearDepth(&r, screen->width * screen->height);

    const float fov = static_cast<float>(40.0 + 40.0 * spectrum[1]);
    mat4Perspective(r.projection, fov, static_cast<float>(screenWidth) / screenHeight, 1.0f, 1000.0f);
    mat4LookAt(r.view, Vec3{0, 11, 0}, Vec3{0, 0, 0}, Vec3{0, 0, 1});
    r.model = mat4Identity();
    r.model[0] = r.model[5] = r.model[10] = 0.3f;

    r.texture = state->bronze;
    r.envMap = true;
    r.clipping = true;
    r.mipmapping = false;

    // A missing or empty mesh file leaves the object out; the trails still fade.
    const bool twisted = twistFirstMesh(state->thing, state->thingRest, state->restLength, t,
                                        objectTwistAngle);

    // The screen is the 640x480 image whenever this scene runs; the bound only guards
    // against a smaller one.
    const size_t screenBytes = static_cast<size_t>(screen->width) * screen->height * 4u;
    darkenTrails(reinterpret_cast<uint8_t*>(screen->pixels), std::min(kTrailBytes, screenBytes));

    if (twisted) drawModel(&r, state->thing);

    const Layer overlays[] = {{state->red, 180, true}, {state->frame2, 255, false}, {state->s, 255, false}};
    drawLayers(screen, overlays, 3);

    const int sprite = flickerIndex(t);
    if (inWindow(t, kLeftStart, kSpritesEnd))
        drawImage(screen, state->leftSprites[sprite], 20, kScene4SpriteY, 255);
    if (inWindow(t, kRightStart, kSpritesEnd))
        drawImage(screen, state->rightSprites[sprite], 480, kScene4SpriteY, 255);

    if (inWindow(t, kWobbleStart, kWobbleEnd)) drawShimmeringCaption(state->cred1, 180, 340.0f, t);
    if (inWindow(t, kWobbleEnd, kCredit2Start)) drawBobbingCaption(state->cred1, 180, 340.0f, t);
    if (inWindow(t, kCredit2Start, kCredit2End)) drawBobbingCaption(state->cred2, 180, 340.0f, t);

    if (inWindow(t, kWhiteStart, kSceneEnd)) fadeIn(state->white, screen, t, kWhiteStart, kSceneEnd);
    if (inWindow(t, 48.0f, kFadeInEnd)) fadeOut(state->black, screen, t, 48.0f, kFadeInEnd);
}
