// scenes/scene6_greetings.cpp — the greetings over a spinning rainbow box.
#include "scenes/scene6_greetings.h"

#include <algorithm>
#include <cmath>

#include "gfx2d/blit.h"
#include "gfx2d/effects.h"
#include "render3d/draw.h"
#include "render3d/renderer.h"
#include "scenes/sprites_captions.h"
#include "scenes/window.h"

namespace {

struct GreetingRow {
    float pixelStart, pixelEnd;
    Model* Scene6State::*pixelMesh;
    float greetStart, greetEnd;
    Model* Scene6State::*greetMesh;
};

// Open windows in single precision. Rows 2 and 4 bring their word in a tenth of a second
// before the previous word leaves, so those frames draw three passes.
const GreetingRow kRows[] = {
    {98.0f, 101.2f, &Scene6State::pxl, 98.0f, 101.2f, &Scene6State::quillan},
    {101.2f, 104.3f, &Scene6State::pxl2, 101.1f, 104.3f, &Scene6State::valmora},
    {104.3f, 107.3f, &Scene6State::pxl, 104.3f, 107.3f, &Scene6State::pennart},
    {107.3f, 110.6f, &Scene6State::pxl2, 107.2f, 110.6f, &Scene6State::drossel},
    {110.6f, 113.8f, &Scene6State::pxl, 110.6f, 113.8f, &Scene6State::tindral},
    {113.8f, 116.8f, &Scene6State::pxl2, 113.8f, 116.8f, &Scene6State::morwick},
    {116.8f, 121.0f, &Scene6State::pxl, 116.8f, 121.0f, &Scene6State::you},
};

}  // namespace

int greetingPasses(float t, GreetingPass out[kMaxGreetingPasses]) {
    int n = 0;
    for (const GreetingRow& row : kRows) {
        if (inWindow(t, row.pixelStart, row.pixelEnd)) out[n++] = GreetingPass{row.pixelMesh, true};
        if (inWindow(t, row.greetStart, row.greetEnd)) out[n++] = GreetingPass{row.greetMesh, false};
    }
    return n;
}

void initScene6(Scene6State* state) {
    state->s = loadImage("data/s.png");
    state->greet = loadImage("data/pixeldyr/greet.png");
    state->valmora = openModel("data/greets/valmora.ebr");
    state->tindral = openModel("data/greets/tindral.ebr");
    state->morwick = openModel("data/greets/morwick.ebr");
    state->you = openModel("data/greets/you.ebr");
    state->pennart = openModel("data/greets/pennart.ebr");
    state->drossel = openModel("data/greets/drossel.ebr");
    state->white = loadImage("data/white.png");
    state->frame = loadImage("data/frame.png");
    state->simplebox = openModel("data/simplebox.ebr");
    state->pxl = openModel("data/pixeldyr/pxl.ebr");
    state->pxl2 = openModel("data/pixeldyr/pxl2.ebr");
    state->quillan = openModel("data/greets/quillan.ebr");
    state->blokk = loadTexture(new Texture{}, "data/blokk.png");
    state->rainbow = loadTexture(new Texture{}, "data/rainbow.png");
    state->blackTexture = loadTexture(new Texture{}, "data/black.png");
    const char* sprites[5] = {"data/pixeldyr/b10.png", "data/pixeldyr/b11.png",
                              "data/pixeldyr/b12.png", "data/pixeldyr/b13.png",
                              "data/pixeldyr/b14.png"};
    for (int i = 0; i < 5; ++i) state->sprites[i] = loadImage(sprites[i]);
}

void renderScene6(Scene6State* state, float t) {
    constexpr float kFadeOutEnd = 96.5f;

    Renderer& r = renderer;
    setLetterbox(&r);
    const int32_t pixels = screen->width * screen->height;
    fillImage(screen, 0x00000000u);
    clearDepth(&r, pixels);

    // The box, tumbling about z by t and about x by 3 sin t.
    mat4Perspective(r.projection, 60.0f, static_cast<float>(screenWidth) / screenHeight, 1.0f, 1000.0f);
    mat4LookAt(r.view, Vec3{0, 8, 0}, Vec3{0, 0, 0}, Vec3{0, 0, 1});
    mat4RotateAxis(r.model, t, Vec3{0, 0, 1});
    const float sinT = sinRounded(t);
    Mat4 tumble;
    mat4PostMultiply(r.model, mat4RotateAxis(tumble, 3.0f * sinT, Vec3{1, 0, 0}));
    mat4PostMultiply(r.model, mat4Scale(0.5f));
    r.texture = state->rainbow;
    r.envMap = true;
    r.clipping = true;
    r.mipmapping = false;
    drawModel(&r, state->simplebox);

    // The greetings: every pass swings by the same angle about the vertical screen axis.
    GreetingPass passes[kMaxGreetingPasses];
    const int count = greetingPasses(t, passes);
    const float swing = static_cast<float>(1.64 * std::sin(2.0 * t));
    for (int i = 0; i < count; ++i) {
        const bool pixel = passes[i].pixel;
        mat4Perspective(r.projection, 60.0f, 1.6f, 1.0f, 1000.0f);
        mat4LookAt(r.view, Vec3{0, 6, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1});
        r.model = mat4Scale(pixel ? 0.017f : 0.01f);
        Mat4 turn;
        mat4PostMultiply(r.model, mat4RotateAxis(turn, swing, Vec3{0, 0, 1}));
        Mat4 lower = mat4Identity();
        lower[14] = pixel ? -1.0f : -1.5f;
        mat4PostMultiply(r.model, lower);
        r.texture = pixel ? state->blokk : state->blackTexture;
        r.envMap = !pixel;
        r.clipping = true;
        r.mipmapping = false;
        drawModel(&r, state->*passes[i].mesh);
    }

    const Layer overlays[] = {{state->frame, 255, false}, {state->s, 255, false}};
    drawLayers(screen, overlays, 2);

    const int sprite = flickerIndex(t);
    if (inWindow(t, 95.5f, 121.0f))
        drawImage(screen, state->sprites[sprite], kScene6SpriteX, kScene6SpriteY, 255);

    if (inWindow(t, kFadeOutEnd, 97.0f)) drawShimmeringCaption(state->greet, kGreetX, 395.0f, t);
    if (inWindow(t, 97.0f, 121.0f)) drawBobbingCaption(state->greet, kGreetX, 395.0f, t);

    if (inWindow(t, 95.5f, kFadeOutEnd)) fadeOut(state->white, screen, t, 95.5f, kFadeOutEnd);
    if (inWindow(t, 120.0f, 121.0f)) fadeIn(state->white, screen, t, 120.0f, 121.0f);
}
