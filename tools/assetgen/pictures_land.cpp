// tools/assetgen/pictures_land.cpp — the landscapes: scene 2's morning sky, its three grass
// strips and the water texture, and scene 3's deep-blue backdrop.
#include <algorithm>
#include <cmath>

#include "tools/assetgen/pictures_parts.h"

using namespace paint;

namespace pics {

namespace {

// Vertical gradient through colour stops (row, colour), rows ascending.
Rgba stops(float y, const std::pair<float, Rgba>* s, int n) {
    if (y <= s[0].first) return s[0].second;
    for (int i = 1; i < n; ++i)
        if (y <= s[i].first) return mix(s[i - 1].second, s[i].second, smoothstep(s[i - 1].first, s[i].first, y));
    return s[n - 1].second;
}

// A strip of grass on a transparent sky: a solid bank whose top follows `bank(x)`, then
// `count` tapered blades from dark roots to lit tips, then small pixel flowers.
struct GrassStyle {
    int w, h;
    float bankTop, bankWave;        // mean height of the bank's top edge (rows) and its swing
    float bladeMin, bladeMax;       // blade heights
    float bladeWidth;
    int count;
    Rgba root, tip, rim, bank;
    int flowers;
    int flowerScale;
    uint32_t seed;
};

Canvas paintGrass(const GrassStyle& s) {
    Canvas c = newCanvas(s.w, s.h);
    Rng rng(s.seed);
    std::vector<float> top(s.w);
    for (int x = 0; x < s.w; ++x)
        top[x] = s.bankTop + s.bankWave * (std::sin(x * 0.013f + s.seed) * 0.6f + (fbm(x, 0, 70, 3, s.seed) - 0.5f) * 1.6f);
    for (int x = 0; x < s.w; ++x)
        for (int y = std::max(0, static_cast<int>(top[x])); y < s.h; ++y) {
            float d = (y - top[x]) / std::max(1.0f, s.h - top[x]);
            float n = fbm(x, y, 9, 2, s.seed + 5);
            Rgba col = mix(s.bank, s.root, smoothstep(0.0f, 0.8f, d));
            col = mix(col, s.tip, (n - 0.5f) * 0.5f);
            float cover = std::clamp(y - top[x] + 1.0f, 0.0f, 1.0f);
            blendPixel(c, x, y, col, cover);
        }
    Vector v = beginVector(s.w, s.h);
    for (int i = 0; i < s.count; ++i) {
        float x = rng.range(-10, s.w + 10);
        int xi = std::clamp(static_cast<int>(x), 0, s.w - 1);
        float base = top[xi] + rng.range(2, 14) + (s.h - top[xi]) * rng.range(0, 0.4f);
        // Tips stay a few rows below the top edge: the strip's top row is clear sky.
        float h = std::min(rng.range(s.bladeMin, s.bladeMax) * (0.6f + 0.4f * rng.uniform()), base - 4);
        float lean = rng.range(-0.45f, 0.45f) * h;
        float w = s.bladeWidth * rng.range(0.6f, 1.3f);
        float tipX = x + lean, tipY = base - h;
        cairo_t* cr = v.cr;
        cairo_move_to(cr, x - w / 2, base);
        cairo_curve_to(cr, x - w / 2, base - h * 0.5f, tipX - lean * 0.3f, tipY + h * 0.3f, tipX, tipY);
        cairo_curve_to(cr, tipX - lean * 0.2f + w * 0.2f, tipY + h * 0.35f, x + w / 2, base - h * 0.5f, x + w / 2, base);
        cairo_close_path(cr);
        cairo_pattern_t* g = cairo_pattern_create_linear(x, base, tipX, tipY);
        float shade = rng.range(0.75f, 1.1f);
        Rgba tip = mix(s.tip, s.rim, rng.uniform() < 0.3f ? 0.7f : 0.15f);
        cairo_pattern_add_color_stop_rgba(g, 0, s.root.r * shade, s.root.g * shade, s.root.b * shade, 1);
        cairo_pattern_add_color_stop_rgba(g, 0.7, s.tip.r * shade, s.tip.g * shade, s.tip.b * shade, 1);
        cairo_pattern_add_color_stop_rgba(g, 1, tip.r, tip.g, tip.b, 1);
        cairo_set_source(cr, g);
        cairo_fill(cr);
        cairo_pattern_destroy(g);
    }
    endVector(v, c);
    // Pixel flowers: a plus of petals around a bright centre, in hard blocks.
    const uint32_t petals[] = {0xff6fae, 0xffd84a, 0x8fb8ff, 0xffffff, 0xff8a4a, 0xc89bff};
    for (int i = 0; i < s.flowers; ++i) {
        int x = rng.below(s.w);
        float y = top[std::clamp(x, 0, s.w - 1)] + rng.range(-4, 18);
        Rgba petal = rgb(petals[rng.below(6)]);
        int k = s.flowerScale;
        auto blockAt = [&](int a, int b, Rgba col) {
            for (int q = 0; q < k; ++q)
                for (int p = 0; p < k; ++p) blendPixel(c, x + a * k + p, static_cast<int>(y) + b * k + q, col);
        };
        for (int b = 1; b < 4; ++b) blockAt(0, b, mix(s.root, s.tip, 0.5f));
        blockAt(-1, -1, petal);
        blockAt(1, -1, petal);
        blockAt(0, -2, petal);
        blockAt(0, 0, petal);
        blockAt(0, -1, rgb(0xfff6c0));
    }
    return c;
}

}  // namespace

// Scene 2's sky (only the top 300 rows show): a clear morning, deep blue overhead, warm at
// the horizon, a low sun, soft pink-lit clouds, violet mountains in the haze and a lake.
Canvas paintMorningSky(const Kit& kit) {
    Canvas c = newCanvas(640, 480);
    const std::pair<float, Rgba> sky[] = {{0, rgb(0x2f6ad8)}, {110, rgb(0x79c4ff)}, {185, rgb(0xffe2c0)}, {235, rgb(0xffc2a0)}};
    fillWith(c, [&](int, int y) { return stops(static_cast<float>(y), sky, 4); });
    const float sunX = 460, sunY = 176;
    addGlow(c, sunX, sunY, 260, rgb(0xffd8a0), 0.45f);
    addGlow(c, sunX, sunY, 90, rgb(0xfff0c8), 0.6f);
    // Clouds: stretched noise, white tops and peach undersides.
    Canvas clouds = newCanvas(640, 480);
    fillWith(clouds, [&](int x, int y) {
        float band = smoothstep(20, 60, y) * (1 - smoothstep(130, 170, y));
        float n = fbm(x * 0.5f, y * 1.6f, 70, 5, 71);
        float d = smoothstep(0.52f, 0.68f, n) * band;
        float under = smoothstep(0.5f, 0.8f, fbm(x * 0.5f, (y - 6) * 1.6f, 70, 5, 71)) - d;
        Rgba col = mix(rgb(0xffffff), rgb(0xffb8b0), std::clamp(under * 2 + 0.2f, 0.0f, 1.0f));
        return Rgba{col.r, col.g, col.b, d * 0.9f};
    });
    drawCanvas(c, clouds, 0, 0);
    // Two mountain ranges and a line of far trees, each fading into the haze at its foot.
    struct Range { float top, swing, scale; Rgba colour; uint32_t seed; } ranges[] = {
        {150, 45, 160, rgb(0xa9a2e6), 81}, {196, 22, 90, rgb(0x7d8ad8), 82}, {226, 8, 26, rgb(0x5c9aa8), 83}};
    for (const auto& r : ranges) {
        for (int x = 0; x < 640; ++x) {
            float ridge = r.top - r.swing * (fbm(x, 0, r.scale, 4, r.seed) - 0.35f) * 2;
            for (int y = std::max(0, static_cast<int>(ridge)); y < 480; ++y) {
                float haze = smoothstep(ridge, 240, y) * 0.55f;
                Rgba col = mix(r.colour, rgb(0xffd6c0), haze);
                col = mix(col, rgb(0xffffff), 0.25f * (1 - smoothstep(ridge, ridge + 3, y)));
                blendPixel(c, x, y, col, std::clamp(y - ridge + 1, 0.0f, 1.0f));
            }
        }
    }
    // The lake, with the sun's glitter.
    for (int y = 236; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            float d = (y - 236) / 244.0f;
            Rgba col = mix(rgb(0xffd2b8), rgb(0x3f7ad0), smoothstep(0.0f, 0.35f, d));
            float glint = std::exp(-std::pow((x - sunX) / (30 + d * 160), 2.0f)) * smoothstep(0.55f, 0.85f, hash2(x / 3, y, 91));
            col = mix(col, rgb(0xfff4d8), glint * 0.8f);
            blendPixel(c, x, y, col);
        }
    // Two little flocks of pixel birds.
    const Sprite& bird = sprite(kit, "bird");
    const int birds[][2] = {{120, 70}, {142, 60}, {158, 78}, {300, 110}, {318, 102}};
    for (const auto& b : birds) drawSprite(c, bird, b[0], b[1], 2);
    return c;
}

// Distant meadow (drawn at 1:1 into rows 150..299): hazy hills and round trees.
Canvas paintGrassFar() {
    GrassStyle s{1000, 150, 92, 14, 6, 12, 2.0f, 2600, rgb(0x3f9a58), rgb(0x9be07a), rgb(0xfff0b0), rgb(0x86d070), 60, 1, 101};
    Canvas c = newCanvas(1000, 150);
    // Trees behind the meadow: round crowns of soft green with a lit side.
    Rng rng(102);
    Vector v = beginVector(1000, 150);
    for (int i = 0; i < 34; ++i) {
        float x = rng.range(0, 1000), r = rng.range(9, 18), y = 92 + rng.range(-6, 6) - r * 0.6f;
        cairo_set_source_rgb(v.cr, 0.32, 0.52, 0.40);
        cairo_rectangle(v.cr, x - 1.5, y, 3, 30);
        cairo_fill(v.cr);
        cairo_pattern_t* g = cairo_pattern_create_radial(x + r * 0.35, y - r * 0.4, 1, x, y, r);
        cairo_pattern_add_color_stop_rgb(g, 0, 0.78, 0.93, 0.62);
        cairo_pattern_add_color_stop_rgb(g, 1, 0.35, 0.62, 0.45);
        cairo_set_source(v.cr, g);
        cairo_arc(v.cr, x, y, r, 0, 6.2832);
        cairo_fill(v.cr);
        cairo_pattern_destroy(g);
    }
    endVector(v, c);
    drawCanvas(c, paintGrass(s), 0, 0);
    // The shore at the foot of the strip: a thin pale edge where the water's mirror begins.
    for (int y = 147; y < 150; ++y)
        for (int x = 0; x < 1000; ++x) blendPixel(c, x, y, rgb(0xe8e0b0), 0.35f + 0.2f * (y - 147));
    return c;
}

// Middle grass over the water (1200x150, bottom rows below the screen).
Canvas paintGrassMiddle(const Kit& kit) {
    // The bank sits high in the strip: drawn from row 340 behind the near grass (from row
    // 380), its blades must rise above that strip's to be seen at all.
    GrassStyle s{1200, 150, 62, 14, 22, 48, 5.0f, 1500, rgb(0x1f6a3a), rgb(0x7fdc5a), rgb(0xffe59a), rgb(0x3f9a48), 70, 2, 111};
    Canvas c = paintGrass(s);
    // The caterpillar and the crab out for a walk in the grass.
    const Sprite& caterpillar = castPose(kit, "06");
    const Sprite& crab = castPose(kit, "11");
    drawSprite(c, caterpillar, 250, 70 - caterpillar.h * 2, 2);
    drawSprite(c, crab, 820, 74 - crab.h * 2, 2);
    Canvas tufts = paintGrass({1200, 150, 86, 6, 10, 22, 4.0f, 500, rgb(0x1f6a3a), rgb(0x6fd050), rgb(0xffe59a), rgb(0x3f9a48), 0, 2, 112});
    drawCanvas(c, tufts, 0, 0);
    return c;
}

// Nearest grass (2000x100): tall dark blades with bright rims and big pixel flowers.
Canvas paintGrassNear() {
    GrassStyle s{2000, 100, 62, 10, 40, 90, 9.0f, 900, rgb(0x0c3a22), rgb(0x3fa048), rgb(0xfff0a0), rgb(0x1a5a30), 26, 3, 121};
    return paintGrass(s);
}

// Loaded by scene 2 but never shown: a tile of clear water.
Canvas paintWater() {
    Canvas c = newCanvas(256, 256);
    fillWith(c, [](int x, int y) {
        float n = fbm(x, y * 3, 64, 4, 131, 4);
        return mix(rgb(0x2f6fc0), rgb(0xbfe8ff), smoothstep(0.45f, 0.75f, n));
    });
    return c;
}

// Scene 3's backdrop, seen through the letterbox behind the chrome sphere: deep blue space
// over a glowing grid floor, a halo where the sphere floats, faint aurora and stars. It stays
// dark because the scene adds a pixel glow of itself on top.
Canvas paintDeepBlue() {
    Canvas c = newCanvas(640, 480);
    const std::pair<float, Rgba> sky[] = {{30, rgb(0x01020a)}, {200, rgb(0x06103a)}, {300, rgb(0x0a1f5e)}};
    fillWith(c, [&](int, int y) { return stops(static_cast<float>(y), sky, 3); });
    // Aurora: soft vertical curtains.
    Canvas aurora = newCanvas(640, 480);
    fillWith(aurora, [](int x, int y) {
        float wave = 120 + 40 * std::sin(x * 0.012f) + 20 * std::sin(x * 0.031f + 1);
        float band = std::exp(-std::pow((y - wave) / 50.0f, 2.0f));
        float streak = fbm(x * 0.6f, y * 0.05f, 30, 2, 141);
        Rgba col = mix(rgb(0x1fd8c0), rgb(0x8f5fff), smoothstep(0.0f, 640.0f, x * 1.0f));
        return Rgba{col.r, col.g, col.b, band * smoothstep(0.4f, 0.8f, streak) * 0.14f};
    });
    drawCanvas(c, aurora, 0, 0);
    Rng rng(142);
    for (int i = 0; i < 120; ++i) {
        int x = rng.below(640), y = 30 + rng.below(250);
        addPixel(c, x, y, rgb(0xcfe0ff), rng.range(0.2f, 0.8f));
    }
    // Halo rings behind the sphere.
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            float d = std::sqrt((x - 320.0f) * (x - 320.0f) + (y - 225.0f) * (y - 225.0f));
            float ring = std::exp(-std::pow((d - 170) / 6.0f, 2.0f)) * 0.18f + std::exp(-std::pow((d - 200) / 2.5f, 2.0f)) * 0.1f;
            float haze = std::exp(-std::pow(d / 150.0f, 2.0f)) * 0.25f;
            addPixel(c, x, y, rgb(0x4f8fff), ring + haze);
        }
    // Grid floor from the horizon down.
    const float horizon = 300;
    for (int y = static_cast<int>(horizon); y < 480; ++y) {
        float depth = 60.0f / (y - horizon + 6);         // distance along the floor
        for (int x = 0; x < 640; ++x) {
            float wx = (x - 320) * depth / 40.0f;
            float gx = std::fabs(wx - std::round(wx)), gz = std::fabs(depth * 2 - std::round(depth * 2));
            float lx = smoothstep(0.08f, 0.0f, gx / std::max(depth * 0.08f, 0.02f) * 0.06f);
            float lz = smoothstep(0.12f, 0.0f, gz);
            float fade = smoothstep(horizon, horizon + 90, y);
            Rgba floor = mix(rgb(0x0f2a78), rgb(0x020616), smoothstep(horizon, 480, y));
            floor = mix(floor, rgb(0x3fc8ff), std::max(lx, lz) * 0.55f * fade);
            blendPixel(c, x, y, floor);
        }
    }
    addGlow(c, 320, horizon, 300, rgb(0x3f7fff), 0.25f);
    return c;
}

}  // namespace pics
