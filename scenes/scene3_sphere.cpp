// scenes/scene3_sphere.cpp — the rippling sphere with pixel glow.
#include "scenes/scene3_sphere.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "bands/bands.h"
#include "gfx2d/blit.h"
#include "gfx2d/effects.h"
#include "render3d/draw.h"
#include "render3d/renderer.h"
#include "scenes/sprites_captions.h"
#include "scenes/lcg_rand.h"
#include "scenes/window.h"

SpinState scene3Spin = {0.0f, 1.0f, 0.0f};

namespace {

// A random value in -1..1 from the shared generator.
float randomUnit() {
    const int r = rng::rand();
    return static_cast<float>(2.0 * r / 32767.0 - 1.0);
}

// The camera on its path and the sphere's turn, both from the spin angle a.
void setSpinCamera(float a) {
    const Vec3 eye{280.0f * sinRounded(0.2f * a + 1.0f), 200.0f * sinRounded(1.1f * a + 2.0f),
                   250.0f * cosRounded(0.6f * a + 3.0f)};
    const Vec3 target{50.0f * sinRounded(a), 30.0f * cosRounded(0.9f * a), 0.0f};
    mat4LookAt(renderer.view, eye, target, Vec3{0.0f, 0.0f, 1.0f});

    Mat4 turn, tilt, turned;
    mat4RotateAxis(turn, a, Vec3{0.0f, 0.0f, 1.0f});
    mat4RotateAxis(tilt, 3.0f * sinRounded(a), Vec3{1.0f, 0.0f, 0.0f});
    mat4Multiply(turned, turn, tilt);
    mat4Multiply(renderer.model, turned, mat4Scale(1.9f));
}

// The eight short windows in which the glow is applied a second time.
struct Window {
    float start;
    float end;
};
const Window kFlares[8] = {
    {35.0f, 35.08f}, {35.3f, 35.38f}, {35.6f, 35.68f}, {35.8f, 35.88f},
    {39.2f, 39.25f}, {39.5f, 39.55f}, {40.5f, 40.55f}, {40.9f, 40.95f},
};

// Opacity of a glow pass: the strength g from bins 0 to 2 over a base of 180 for the pass
// of every frame or 250 for a flare, at most 255.
int32_t glowOpacity(const float* spectrum, float base) {
    const float g = spectrum[1] * kGlowScale * spectrum[2] * spectrum[0];
    return trunc32(std::min(g + base, 255.0f));
}

void drawGlow(Scene3State* state, float t, const float* spectrum) {
    stretchCopy(screen, state->glow, 0, state->glow->width, state->glow->height);
    stretchDrawAdd(screen, state->glow, 0, 0, screenWidth, screenHeight,
                   glowOpacity(spectrum, 180.0f));
    for (const Window& w : kFlares)
        if (inWindow(t, w.start, w.end))
            stretchDrawAdd(screen, state->glow, 0, 0, screenWidth, screenHeight,
                           glowOpacity(spectrum, 250.0f));
}

// A caption: shimmering in, then bobbing.
void drawCaption(const Image* caption, int32_t x, float t, float shimmerStart,
                 float steadyStart, float end) {
    if (inWindow(t, shimmerStart, steadyStart)) drawShimmeringCaption(caption, x, 340.0f, t);
    if (inWindow(t, steadyStart, end)) drawBobbingCaption(caption, x, 340.0f, t);
}

void drawSpritesAndCaptions(Scene3State* state, float t) {
    constexpr float kRightStart = 30.2f, kRightEnd = 35.8f;
    constexpr float kRenderedIn = 30.5f, kRenderedSteady = 30.8f;
    constexpr float kLeftStart = 36.2f;
    constexpr float kForuIn = 36.6f, kForuSteady = 36.9f;

    if (inWindow(t, kRightStart, kRightEnd))
        drawImage(screen, state->rightSprites[flickerIndex(t)], 450, 320, 255);
    drawCaption(state->rendered, 220, t, kRenderedIn, kRenderedSteady, kRightEnd);
    if (inWindow(t, kLeftStart, 48.0f))
        drawImage(screen, state->leftSprites[flickerIndex(t)], 40, 320, 255);
    drawCaption(state->foru, 180, t, kForuIn, kForuSteady, 48.0f);
}

bool sphereReady(const DeformingSphere* sphere) {
    return sphere && sphere->shape.meshCount > 0 && sphere->rest.meshCount > 0 &&
           sphere->shape.meshes[0]->vertexCount == sphere->rest.meshes[0]->vertexCount;
}

void loadCopy(Model* model, const char* path) {
    Model* loaded = openModel(path);
    *model = *loaded;
    delete loaded;
}

}  // namespace

void updateSpin(SpinState* spin, float t, const float* spectrum, float delta) {
    if (t - spin->beatTime > kBeatGap) {
        if (spectrum[2] > kSpinSpeedThreshold) {
            spin->beatTime = t;
            spin->spinSpeed = 0.85f * randomUnit() + 0.75f;
        }
        if (spectrum[2] > kBeatThreshold) {
            spin->beatTime = t;
            spin->spinAngle += 110.0f * randomUnit();
        }
    }
    spin->spinAngle += spin->spinSpeed * delta;
}

void initDeformingSphere(DeformingSphere* sphere) {
    loadCopy(&sphere->shape, "data/sphere.ebr");
    loadCopy(&sphere->rest, "data/sphere.ebr");
}

void drawDeformingSphere(DeformingSphere* sphere, float t) {
    // Without a sphere (file missing or empty) there is nothing to ripple or draw.
    if (!sphereReady(sphere)) return;
    // Only drawing reads the rippled shape, and every frame makes it afresh.
    if (drawingSuspended()) return;
    const float kx = 2.0f * sinRounded(0.7f * t) + 5.0f;
    const float ky = 2.0f * sinRounded(1.1f * t) + 5.0f;
    const float kz = 2.0f * sinRounded(1.3f * t) + 5.0f;
    const float amplitude = 15.0f * sinRounded(0.8f * t) + 25.0f;

    Mesh* mesh = sphere->shape.meshes[0];
    const Vertex* rest = sphere->rest.meshes[0]->vertices;
    Vertex* out = mesh->vertices;
    // Each vertex moves along its own normal alone: the drawing threads share them out.
    // (Copies of the inputs: through the lambda's references every store could reach them.)
    forEachBand(RowBand{0, mesh->vertexCount}, mesh->vertexCount * kVertexWork, [&](RowBand run) {
        const float time = t, ax = kx, ay = ky, az = kz, height = amplitude;
        for (int32_t j = run.begin; j < run.end; ++j) {
            const Vertex& p = rest[j];
            const float m = sinRounded(time + ax * p.nx) * sinRounded(time + ay * p.ny) * sinRounded(time + az * p.nz);
            const float lift = height * m;
            out[j].x = p.x + p.nx * lift;
            out[j].y = p.y + p.ny * lift;
            out[j].z = p.z + p.nz * lift;
        }
    });
    computeNormals(mesh);
    drawModel(&renderer, &sphere->shape);
}

void initScene3(Scene3State* state) {
    state->rendered = loadImage("data/pixeldyr/rendered.png");
    state->foru = loadImage("data/pixeldyr/foru.png");
    state->white = loadImage("data/white.png");
    state->black = loadImage("data/black.png");
    state->env = loadTexture(new Texture(), "data/bluenv.png");
    // Not cleared: every frame rewrites all of it before reading.
    state->glow = newImage(32, 24);
    state->sphere = new DeformingSphere();
    initDeformingSphere(state->sphere);
    state->background = loadImage("data/lolbg.png");
    state->stripes = loadImage("data/striper.png");
    state->frame2 = loadImage("data/frame2.png");
    state->s = loadImage("data/s.png");
    char path[32];
    for (int i = 0; i < 5; ++i) {
        std::snprintf(path, sizeof path, "data/pixeldyr/0%d.png", i);
        state->rightSprites[i] = loadImage(path);
    }
    for (int i = 0; i < 5; ++i) {
        std::snprintf(path, sizeof path, "data/pixeldyr/a%d.png", i);
        state->leftSprites[i] = loadImage(path);
    }
}

void renderScene3(Scene3State* state, float t, const float* spectrum, float delta) {
    constexpr float kWhiteEnd = 24.6f;
    constexpr float kBlackStart = 46.8f;

    // Drawn before the background copy, so only a background with gaps lets it show.
    if (inWindow(t, 24.5f, kWhiteEnd)) fadeOut(state->white, screen, t, 24.5f, kWhiteEnd);

    setLetterbox(&renderer);
    updateSpin(&scene3Spin, t, spectrum, delta);

    copyImage(state->background, screen);
    clearDepth(&renderer, screen->width * screen->height);
    mat4Perspective(renderer.projection, 45.0f, 1.6f, 1.0f, 1000.0f);
    setSpinCamera(scene3Spin.spinAngle);
    renderer.texture = state->env;
    renderer.envMap = true;
    renderer.clipping = true;
    renderer.mipmapping = false;
    drawDeformingSphere(state->sphere, t);

    drawGlow(state, t, spectrum);
    const Layer overlays[] = {{state->stripes, 255, false}, {state->frame2, 255, false}, {state->s, 255, false}};
    drawLayers(screen, overlays, 3);
    drawSpritesAndCaptions(state, t);

    if (inWindow(t, kBlackStart, 48.0f)) fadeIn(state->black, screen, t, kBlackStart, 48.0f);
}
