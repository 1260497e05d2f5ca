// scenes/sprites_captions.cpp — the flickering creature choice and the captions.
#include "scenes/sprites_captions.h"

#include "gfx2d/blit.h"
#include "gfx2d/effects.h"
#include "render3d/math3d.h"
#include "render3d/renderer.h"
#include "scenes/lcg_rand.h"

int flickerIndex(float t) {
    const int32_t step = static_cast<int32_t>(t * 15.0f);
    rng::srand(static_cast<uint32_t>(step * 99));
    return rng::rand() % 5;
}

int32_t bobRow(float base, float wave) { return static_cast<int32_t>(base + 7.0f * wave); }

float bobWave(float t) {
    const float twoT = 2.0f * t;
    return sinRounded(twoT);
}

void drawShimmeringCaption(const Image* caption, int32_t x, float base, float t) {
    const float w = sinRounded(t);
    Image* wavy = waveDistort(caption, t, 2.0f, w);
    drawImage(screen, wavy, x, bobRow(base, w), 200);
    freeImage(wavy);
}

void drawBobbingCaption(const Image* caption, int32_t x, float base, float t) {
    drawImage(screen, caption, x, bobRow(base, bobWave(t)), 255);
}
