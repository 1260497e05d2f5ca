// scenes/flicker.cpp — the flickering creature choice and the caption bob.
#include "scenes/flicker.h"

#include "render3d/math3d.h"
#include "scenes/random.h"

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
