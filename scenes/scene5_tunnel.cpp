// scenes/scene5_tunnel.cpp — the rolling tunnel with twisting pixel logos.
#include "scenes/scene5_tunnel.h"

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

Mat4 rotation(float angle, Vec3 axis) {
    Mat4 m;
    return mat4RotateAxis(m, angle, axis);
}

}  // namespace

float tunnelScrollFactor(float t) { return inWindow(t, 94.0f, 96.0f) ? t - 87.0f : 1.0f; }

float tunnelVOffset(float t) { return tunnelScrollFactor(t) * t; }

bool scrollTunnel(Model* tunnel, const Model* rest, float t) {
    Mesh* to = firstMesh(tunnel);
    const Mesh* from = firstMesh(rest);
    if (!to || !from || to->vertexCount != from->vertexCount) return false;
    if (to->vertexCount > 0 && (!to->vertices || !from->vertices)) return false;
    // Only drawing reads the coordinates, and every frame writes them afresh.
    if (drawingSuspended()) return true;
    // The swing depends on t alone: one cosine per frame, two multiply-adds per vertex.
    const double uShift = 1.5 * std::cos(0.78 * t);
    const float vShift = tunnelVOffset(t);
    for (int32_t j = 0; j < to->vertexCount; ++j) {
        const Vertex& r = from->vertices[j];
        to->vertices[j].v = static_cast<float>(0.35 * r.v - vShift);
        to->vertices[j].u = static_cast<float>(r.u - uShift);
    }
    return true;
}

Mat4 logoModel(int logo, float t, float bass) {
    const float sinT = sinRounded(t);
    const float cosT = cosRounded(t);
    float aboutY, aboutZ, start, offset;
    switch (logo) {
        case 0: aboutY = 3.0f * sinT; aboutZ = cosT; start = 72.0f; offset = 15.0f; break;
        case 1: aboutY = cosT; aboutZ = 3.0f * sinT; start = 78.0f; offset = 13.0f; break;
        default: aboutY = 2.0f * sinT; aboutZ = 3.0f * cosT; start = 84.0f; offset = 13.0f; break;
    }
    Mat4 m = mat4Scale(0.03f);
    mat4PostMultiply(m, rotation(aboutY, Vec3{0, 1, 0}));
    mat4PostMultiply(m, rotation(aboutZ, Vec3{0, 0, 1}));
    const float since = t - start;
    mat4PostMultiply(m, mat4Translation(0.0f, 2.0f * since + offset, 0.5f * bass));
    return m;
}

void twistMesh(Model* target, const Model* rest, const float* restLength, float t) {
    if (twistFirstMesh(target, rest, restLength, t, logoTwistAngle)) drawModel(&renderer, target);
}

void initScene5(Scene5State* state) {
    state->s = loadImage("data/s.png");
    state->bit2 = loadImage("data/pixeldyr/bit2.png");
    state->bit = loadImage("data/pixeldyr/bit.png");
    state->pixel = openModel("data/pixeldyr/pixel.ebr");
    state->pixelRest = openModel("data/pixeldyr/pixel.ebr");
    state->pxl = openModel("data/pixeldyr/pxl.ebr");
    state->pxlRest = openModel("data/pixeldyr/pxl.ebr");
    state->pxl2 = openModel("data/pixeldyr/pxl2.ebr");
    state->pxl2Rest = openModel("data/pixeldyr/pxl2.ebr");
    state->tunnel = openModel("data/tunnell.ebr");
    state->tunnelRest = openModel("data/tunnell.ebr");
    state->frame = loadImage("data/frame.png");
    state->falling = loadImage("data/pixeldyr/falling.png");
    state->rainbow = loadTexture(new Texture{}, "data/rainbow.png");
    state->blokk = loadTexture(new Texture{}, "data/blokk.png");
    state->white = loadImage("data/white.png");
    const char* left[5] = {"data/pixeldyr/05.png", "data/pixeldyr/06.png", "data/pixeldyr/07.png",
                           "data/pixeldyr/08.png", "data/pixeldyr/09.png"};
    const char* right[5] = {"data/pixeldyr/a0.png", "data/pixeldyr/a1.png", "data/pixeldyr/a2.png",
                            "data/pixeldyr/a3.png", "data/pixeldyr/a4.png"};
    for (int i = 0; i < 5; ++i) state->leftSprites[i] = loadImage(left[i]);
    for (int i = 0; i < 5; ++i) state->rightSprites[i] = loadImage(right[i]);
    state->pixelRestLength = newRestLengths(state->pixel);
    state->pxlRestLength = newRestLengths(state->pxl);
    state->pxl2RestLength = newRestLengths(state->pxl2);
}

void renderScene5(Scene5State* state, float t, const float* spectrum) {
    // Window bounds as single-precision constants, compared with the single-precision t.
    constexpr float kSceneEnd = 95.5f;
    constexpr float kFallingShimmer = 73.5f;
    constexpr float kRightStart = 83.2f;
    constexpr float kBitShimmer = 84.5f;
    constexpr float kWhiteStart = 94.4f;

    Renderer& r = renderer;
    setLetterbox(&r);
    const int32_t pixels = screen->width * screen->height;
    fillImage(screen, 0x00000000u);
    clearDepth(&r, pixels);

    mat4Perspective(r.projection, 45.0f, 1.6f, 1.0f, 1000.0f);
    mat4LookAt(r.view, Vec3{0, 10, 0}, Vec3{0, 100, 0}, Vec3{0, 0, 1});

    // The tunnel, rolling about the viewing axis; left out when its mesh file is missing.
    r.model = mat4Scale(2.0f);
    mat4PostMultiply(r.model, rotation(t, Vec3{0, 1, 0}));
    r.texture = state->rainbow;
    r.envMap = false;
    r.clipping = true;
    r.mipmapping = false;
    if (scrollTunnel(state->tunnel, state->tunnelRest, t)) drawModel(&r, state->tunnel);

    const int sprite = flickerIndex(t);

    struct Logo {
        float start;
        Model* target;
        const Model* rest;
        const float* restLength;
    };
    const Logo logos[3] = {
        {72.0f, state->pixel, state->pixelRest, state->pixelRestLength},
        {78.0f, state->pxl, state->pxlRest, state->pxlRestLength},
        {84.0f, state->pxl2, state->pxl2Rest, state->pxl2RestLength},
    };
    for (int i = 0; i < 3; ++i) {
        if (!inWindow(t, logos[i].start, kSceneEnd)) continue;
        r.model = logoModel(i, t, spectrum[1]);
        r.texture = state->blokk;
        r.envMap = false;
        r.clipping = true;
        r.mipmapping = false;
        twistMesh(logos[i].target, logos[i].rest, logos[i].restLength, t);
    }

    const Layer overlays[] = {{state->frame, 255, false}, {state->s, 255, false}};
    drawLayers(screen, overlays, 2);

    if (inWindow(t, 72.0f, 81.0f))
        drawImage(screen, state->leftSprites[sprite], kScene5LeftSpriteX, kScene5SpriteY, 255);
    if (inWindow(t, kFallingShimmer, 74.0f)) drawShimmeringCaption(state->falling, kFallingX, 350.0f, t);
    if (inWindow(t, 74.0f, 80.0f)) drawBobbingCaption(state->falling, kFallingX, 350.0f, t);
    if (inWindow(t, kRightStart, kSceneEnd))
        drawImage(screen, state->rightSprites[sprite], kScene5RightSpriteX, kScene5SpriteY, 255);
    if (inWindow(t, kBitShimmer, 85.0f)) drawShimmeringCaption(state->bit, kBitX, 350.0f, t);
    if (inWindow(t, 85.0f, 89.0f)) drawBobbingCaption(state->bit, kBitX, 350.0f, t);
    if (inWindow(t, 89.0f, kSceneEnd)) drawBobbingCaption(state->bit2, kBitX, 350.0f, t);

    if (inWindow(t, kWhiteStart, kSceneEnd)) fadeIn(state->white, screen, t, kWhiteStart, kSceneEnd);
}
