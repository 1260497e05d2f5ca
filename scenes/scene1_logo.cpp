// scenes/scene1_logo.cpp — the logo intro.
#include "scenes/scene1_logo.h"

#include <cmath>

#include "gfx2d/blit.h"
#include "gfx2d/effects.h"
#include "render3d/renderer.h"
#include "scenes/lcg_rand.h"
#include "scenes/window.h"

void initScene1(Scene1State* state) {
    state->white = loadImage("data/white.png");
    state->black = loadImage("data/black.png");
    state->logo = loadImage("data/logo.png");
    state->glow = loadImage("data/glow.png");
    state->glow2 = loadImage("data/glow2.png");
    // Halving three times: the half-size step is only on the way to the two blurred ones.
    Image* half = halveImage(state->logo);
    state->logoBlur[0] = halveImage(half);
    state->logoBlur[1] = halveImage(state->logoBlur[0]);
    freeImage(half);
}

void renderScene1(Scene1State* state, float t) {
    // Window bounds as single-precision constants, compared with the single-precision t.
    constexpr float kFlash1End = 6.1f;
    constexpr float kFlash2End = 6.2f;
    constexpr float kFlash3Start = 6.3f;
    constexpr float kFlash3End = 6.4f;

    stretchCopy(state->black, screen, 0, screenWidth, screenHeight);

    if (inWindow(t, 0.0f, 6.0f)) {
        // The seed alternates the two blur levels every eighth of a second (99 is odd) and
        // stays in effect for later scenes that draw numbers without seeding.
        const int32_t seed = static_cast<int32_t>(8.0f * t) * 99;
        rng::srand(static_cast<uint32_t>(seed));
        const float frequency = static_cast<float>(std::sin(1.2 * t));
        Image* wobble = waveDistort(state->logoBlur[seed % 2], t, 0.8f, frequency);
        stretchDraw(screen, wobble, 0, 0, screenWidth, screenHeight, 255);
        freeImage(wobble);
        fadeOut(state->black, screen, t, 0.0f, 2.0f);
    }
    if (inWindow(t, 6.0f, kFlash1End)) {
        drawImage(screen, state->logo, 0, 0, 255);
        fadeIn(state->glow, screen, t, 6.0f, kFlash1End);
    }
    if (inWindow(t, kFlash1End, kFlash2End)) {
        drawImage(screen, state->logo, 0, 0, 255);
        fadeOut(state->glow, screen, t, kFlash1End, kFlash2End);
    }
    // kFlash2End <= t <= kFlash3Start: a tenth of a second of the black background alone.
    if (inWindow(t, kFlash3Start, kFlash3End)) {
        drawImage(screen, state->logo, 0, 0, 255);
        fadeOut(state->glow2, screen, t, kFlash3Start, kFlash3End);
    }
    if (inWindow(t, kFlash3End, 12.0f)) {
        drawImage(screen, state->logo, 0, 0, 255);
        fadeIn(state->white, screen, t, 10.0f, 12.0f);
    }
}
