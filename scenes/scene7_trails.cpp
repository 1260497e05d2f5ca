// scenes/scene7_trails.cpp — the closing scene.
#include "scenes/scene7_trails.h"

#include <cmath>

#include "gfx2d/blit.h"
#include "gfx2d/effects.h"
#include "render3d/renderer.h"
#include "scenes/window.h"

namespace {

enum Wave { kNone, kSin, kCos };

// One coordinate of a trail: amplitude * wave(theta_k) + base - centre * s.
struct Axis {
    double amplitude;
    Wave wave;
    double k;        // phase speed: theta_k = -k*t - 0.05*i
    double base;
    double centre;   // how much of the dot's size is subtracted: 1/2, all of it, or none
};

struct Trail {
    double sizeFactor;   // s = sizeFactor * i
    Axis y;
    Axis x;
};

// Some factors are single-precision values widened to double; with the truncations they
// give the sizes of the decimal factors at every i.
constexpr double f06 = 0.6f, f03 = 0.3f, f02 = 0.2f, f016 = 0.16f, f01 = 0.1f;
constexpr double f11 = 1.1f, f04 = 0.4f;

const Trail kTrails[kTrailPoints] = {
    {0.7, {50, kSin, 3, 90, 0.5}, {34, kCos, 2, 220, 0.5}},
    {0.7, {50, kCos, 2, 100, 0.5}, {24, kSin, 3, 220, 0.5}},
    {0.5, {40, kCos, 3, 90, 0.5}, {34, kSin, 2, 220, 0.5}},
    {f06, {56, kCos, 2, 90, 0.5}, {15, kSin, 3, 220, 0.5}},
    {f06, {36, kSin, 2, 90, 0.5}, {12, kCos, 3, 220, 0.5}},
    {f03, {46, kSin, 2, 90, 0.5}, {15, kSin, 3, 220, 0.5}},
    {2.5, {36, kSin, 2, 110, 0.5}, {0, kNone, 0, 180, 0}},
    {0.7, {45, kSin, 1.5, 120, 0.5}, {0, kNone, 0, 210, 0}},
    {0.7, {65, kCos, 2.5, 120, 0.5}, {0, kNone, 0, 190, 0}},
    {1.5, {26, kCos, 2, 90, 0.5}, {0, kNone, 0, 160, 0}},
    {f02, {15, kSin, 2, 100, 0.5}, {25, kSin, 5, 220, 0.5}},
    {f02, {20, kCos, 2, 100, 0.5}, {40, kCos, 4, 200, 0.5}},
    {f02, {50, kSin, 2, 100, 0.5}, {20, kCos, 5, 230, 0.5}},
    {0.25, {25, kCos, 2, 90, 0.5}, {15, kCos, 5, 220, 0.5}},
    {0.25, {20, kSin, 2, 90, 0.5}, {10, kSin, 4, 200, 0.5}},
    {0.25, {15, kCos, 2, 90, 0.5}, {16, kSin, 5, 230, 0.5}},
    // Two small, dim trails that barely move; they subtract the whole size.
    {f016, {2, kSin, 2, 167, 1}, {f04, kCos, 3, 416, 1}},
    {f01, {f11, kSin, 2, 168, 1}, {0.2, kCos, 2, 412, 1}},
};

int32_t axisValue(const Axis& axis, double t, int i, float s) {
    double v = axis.base;
    if (axis.wave != kNone) {
        const double theta = -axis.k * t - 0.05 * i;
        v = axis.amplitude * (axis.wave == kSin ? std::sin(theta) : std::cos(theta)) + axis.base;
    }
    return static_cast<int32_t>(v - axis.centre * s);
}

}  // namespace

TrailDot trailDot(int point, int i, float t) {
    if (point < 1 || point > kTrailPoints) return TrailDot{0, 0, 0, 0};
    const Trail& trail = kTrails[point - 1];
    const float s = static_cast<float>(trail.sizeFactor * i);
    TrailDot dot;
    dot.size = static_cast<int32_t>(s);
    dot.x = axisValue(trail.x, t, i, s);
    dot.y = axisValue(trail.y, t, i, s);
    dot.opacity = point <= 16 ? 150 * i / 29 : 75 * i / 29;
    return dot;
}

void initScene7(Scene7State* state) {
    state->white = loadImage("data/white.png");
    state->black = loadImage("data/black.png");
    state->girl = loadImage("data/girl.png");
    state->creatures = loadImage("data/creatures.png");
    state->hand = loadImage("data/hand.png");
    state->dot = loadImage("data/dot.png");
}

void renderScene7(Scene7State* state, float t) {
    // Single-precision window constants compared with the single-precision t.
    constexpr float kWhiteOutEnd = 121.4f;
    constexpr float kFlashEnd = 126.1f;

    if (inWindow(t, 121.0f, 126.0f)) {
        fadeOut(state->white, screen, t, 121.0f, kWhiteOutEnd);
        copyImage(state->creatures, screen);
        fadeIn(state->white, screen, t, 125.5f, 126.0f);
    }
    if (inWindow(t, 126.0f, 146.0f)) {
        copyImage(state->girl, screen);
        for (int i = 0; i < kTrailSteps; ++i) {
            for (int point = 1; point <= kTrailPoints; ++point) {
                const TrailDot d = trailDot(point, i, t);
                stretchDrawAdd(screen, state->dot, d.x, d.y, d.size, d.size, d.opacity);
            }
        }
        drawImage(screen, state->hand, 0, 0, 255);
        fadeOut(state->white, screen, t, 126.0f, kFlashEnd);
        fadeIn(state->black, screen, t, 143.0f, 145.0f);
    }
}
