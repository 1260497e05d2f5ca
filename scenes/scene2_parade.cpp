// scenes/scene2_parade.cpp — the box parade over the water.
#include "scenes/scene2_parade.h"

#include <cmath>

#include "gfx2d/blit.h"
#include "gfx2d/effects.h"
#include "render3d/draw.h"
#include "render3d/renderer.h"
#include "scenes/window.h"

namespace {

// The sixteen sprites of the stage. Each bobs on one of three waves of t.
enum Bob { kC5, kS4, kC3 };

struct StageSprite {
    int image;       // 1..3: sprite1..sprite3
    bool scaled;     // stretchDrawAdd at size x size, otherwise drawImageAdd at its own size
    float x0;        // x = trunc(x0 - speed*t)
    float speed;
    Bob bob;
    float amplitude; // y = trunc(amplitude*wave + y0)
    float y0;
    int32_t size;
    int32_t opacity;
};

const StageSprite kStageSprites[16] = {
    {1, true, 330, 3, kC5, 3, 280, 13, 100},
    {1, true, 580, 3, kC5, 3, 280, 13, 100},
    {2, true, 150, 3, kS4, 5, 277, 15, 100},
    {3, true, 600, 3.6f, kC3, 4, 270, 20, 160},
    {3, true, 240, 3.6f, kC3, 4, 270, 20, 160},
    {1, true, 450, 3.5f, kC5, 3, 270, 19, 150},
    {1, true, 680, 3.5f, kC5, 3, 270, 19, 150},
    {1, true, 50, 3.5f, kC5, 3, 270, 19, 150},
    {2, true, 550, 3, kS4, 5, 270, 19, 150},
    {2, true, 280, 3.5f, kS4, 5, 270, 19, 150},
    {3, true, 360, 3.5f, kC3, 4, 270, 19, 150},
    {1, false, 100, 4, kC5, 3, 250, 0, 200},
    {2, false, 200, 4, kS4, 5, 250, 0, 200},
    {3, false, 400, 4, kC3, 4, 250, 0, 200},
    {3, false, 640, 4, kC3, 4, 250, 0, 200},
    {1, false, 500, 4, kC5, 3, 250, 0, 200},
};

void drawStageSprites(const Scene2State* state, float t) {
    const float waves[3] = {cosRounded(t * 5.0f), sinRounded(t * 4.0f), cosRounded(t * 3.0f)};
    const Image* images[4] = {nullptr, state->sprite1, state->sprite2, state->sprite3};
    for (const StageSprite& sp : kStageSprites) {
        const int32_t x = trunc32(sp.x0 - sp.speed * t);
        const int32_t y = trunc32(sp.amplitude * waves[sp.bob] + sp.y0);
        if (sp.scaled)
            stretchDrawAdd(state->stage, images[sp.image], x, y, sp.size, sp.size, sp.opacity);
        else
            drawImageAdd(state->stage, images[sp.image], x, y, sp.opacity);
    }
}

void drawBoxes(Scene2State* state, float bass, float t) {
    Image* saved = renderer.screen;
    renderer.screen = state->stage;
    clearDepth(&renderer, kStageWidth * kStageHeight);
    const float aspect = static_cast<float>(screenWidth) / static_cast<float>(screenHeight);
    mat4Perspective(renderer.projection, 60.0f, aspect, 1.0f, 1000.0f);
    mat4LookAt(renderer.view, Vec3{0.0f, 200.0f, 200.0f}, Vec3{0.0f, 0.0f, -100.0f},
               Vec3{0.0f, 0.0f, 1.0f});
    renderer.texture = state->env;
    renderer.envMap = true;
    renderer.mipmapping = true;
    // Viewport and clipping stay as they are: the full screen, clipping on. Rows of the
    // projection below the stage have no pixels there and are not written.
    for (int i = 0; i < kBoxCount; ++i) {
        renderer.model = boxModel(i, t, bass);
        drawModel(&renderer, state->box);
    }
    renderer.screen = saved;
}

}  // namespace

BoxPlace boxPlace(int i, float t) {
    const float along = static_cast<float>(i) + 2.5f * t;
    const float phi = static_cast<float>(std::fmod(along, 8.0));
    return BoxPlace{phi, phi + t};
}

Mat4 boxModel(int i, float t, float bass) {
    const BoxPlace place = boxPlace(i, t);
    const float sinA = sinRounded(place.a);
    const float cosA = cosRounded(place.a);
    Mat4 rz, ry, rzy, lifted, out;
    mat4RotateAxis(rz, sinA, Vec3{0.0f, 0.0f, 1.0f});
    mat4RotateAxis(ry, cosA, Vec3{0.0f, 1.0f, 0.0f});
    mat4Multiply(rzy, rz, ry);
    mat4Multiply(lifted, rzy, mat4Translation(10.0f * bass, 40.0f * bass, 10.0f * bass));
    mat4Multiply(out, lifted, mat4Translation(50.0f * place.phi - 175.0f, 70.0f * sinA, 0.0f));
    return out;
}

void initScene2(Scene2State* state) {
    state->s = loadImage("data/s.png");
    state->box = openModel("data/box2.ebr");
    state->env = loadTexture(new Texture(), "data/colorenv2.png");
    state->white = loadImage("data/white.png");
    state->sprite1 = loadImage("data/pixeldyr/pxl_s1.png");
    state->sprite2 = loadImage("data/pixeldyr/pxl_s2.png");
    state->sprite3 = loadImage("data/pixeldyr/pxl_s3.png");
    state->background = loadImage("data/background.png");
    state->grass = loadImage("data/gress.png");
    state->grass2 = loadImage("data/gress2.png");
    state->grass3 = loadImage("data/gress3.png");
    state->water = loadImage("data/vann.png");
    // Not cleared: every frame overwrites all of it first.
    state->stage = newImage(kStageWidth, kStageHeight);
}

void renderScene2(Scene2State* state, float t, const float* spectrum) {
    constexpr float kFlash1Start = 23.9f;
    constexpr float kFlash2End = 24.2f;
    constexpr float kEndFlashStart = 24.4f;
    const float bass = spectrum[1];
    Image* stage = state->stage;

    // The upper strip, off-screen.
    stretchCopy(state->background, stage, 0, screenWidth, screenHeight);
    stretchDraw(stage, state->grass3, trunc32(-5.0f * t), 150, 1000, 150, 255);
    drawStageSprites(state, t);
    drawBoxes(state, bass, t);

    // The strip above, its reflection below: the strip upside down, wobbling and squashed
    // into the rows under it (the stage is drawn afresh every frame).
    copyImage(stage, screen);
    drawWaveReflection(stage, screen, kStageHeight, screenHeight - kStageHeight, t, 2.5f, 0.5f);
    stretchDraw(screen, state->grass, trunc32(-20.0f * t), 340, 1200, 150, 255);
    stretchDraw(screen, state->grass2, trunc32(-50.0f * t), 380, 2000, 100, 255);
    drawImage(screen, state->s, 0, 0, 255);

    // White around 24 s: in, back out, and in again to hand over to the sphere scene.
    if (inWindow(t, kFlash1Start, 24.0f)) fadeIn(state->white, screen, t, kFlash1Start, 24.0f);
    if (inWindow(t, 24.0f, kFlash2End)) fadeOut(state->white, screen, t, 24.0f, kFlash2End);
    if (inWindow(t, kEndFlashStart, 24.5f)) fadeIn(state->white, screen, t, kEndFlashStart, 24.5f);
}
