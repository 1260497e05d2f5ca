// tools/assetgen/pictures_night.cpp — scene 7's night pictures: the creatures around their
// campfire, the girl who lets a swarm of lights go, and the overlay with her hand.
//
// The girl and the foreground are pixel silhouettes built from simple shapes on a grid of
// 4-pixel cells (a cell is lit when its centre falls inside a shape), then lit along their
// edges: warm from the swarm of lights on the left, cool from the moon on the right.
#include <algorithm>
#include <cmath>
#include <vector>

#include "tools/assetgen/pictures_parts.h"

using namespace paint;

namespace pics {

namespace {

constexpr int kCell = 4;


// A grid of cells covering the screen; 0 is empty, other values name a part.
struct Cells {
    int w = 640 / kCell, h = 480 / kCell;
    std::vector<uint8_t> v = std::vector<uint8_t>(static_cast<size_t>(640 / kCell) * (480 / kCell), 0);
    uint8_t get(int x, int y) const { return x < 0 || y < 0 || x >= w || y >= h ? 0 : v[static_cast<size_t>(y) * w + x]; }
    void set(int x, int y, uint8_t id) {
        if (x >= 0 && y >= 0 && x < w && y < h) v[static_cast<size_t>(y) * w + x] = id;
    }
    // Lights every cell whose centre satisfies inside(cx, cy) (cell units).
    template <typename F> void fill(uint8_t id, F inside) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (inside(x + 0.5f, y + 0.5f)) set(x, y, id);
    }
    void ellipse(uint8_t id, float cx, float cy, float rx, float ry) {
        fill(id, [&](float x, float y) { return (x - cx) * (x - cx) / (rx * rx) + (y - cy) * (y - cy) / (ry * ry) <= 1; });
    }
    // A stroke of the given width through the points (a polyline with round joints).
    void stroke(uint8_t id, std::initializer_list<std::pair<float, float>> pts, float width) {
        std::vector<std::pair<float, float>> p(pts);
        fill(id, [&](float x, float y) {
            for (size_t i = 0; i + 1 < p.size(); ++i) {
                float ax = p[i].first, ay = p[i].second, bx = p[i + 1].first, by = p[i + 1].second;
                float dx = bx - ax, dy = by - ay;
                float t = std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0f, 1.0f);
                float ex = ax + dx * t - x, ey = ay + dy * t - y;
                if (ex * ex + ey * ey <= width * width / 4) return true;
            }
            return false;
        });
    }
    void polygon(uint8_t id, std::initializer_list<std::pair<float, float>> pts) {
        std::vector<std::pair<float, float>> p(pts);
        fill(id, [&](float x, float y) {
            bool in = false;
            for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
                if ((p[i].second > y) != (p[j].second > y) &&
                    x < (p[j].first - p[i].first) * (y - p[i].second) / (p[j].second - p[i].second) + p[i].first)
                    in = !in;
            }
            return in;
        });
    }
};

// How a silhouette is lit: a colour per part, a warm rim on the edges that face the light
// (left and top), a cool rim on the right, and a small point light that warms the cells
// near it.
struct Lighting {
    Rgba parts[8];                // colour of part id 1..7 (index 0 unused)
    Rgba warm, cool;
    float warmRim, coolRim;       // how strongly each rim replaces the part colour
    float lampX, lampY, lampRadius;  // the point light, in pixels (radius 0: none)
    Rgba lamp;
};

// Draws the lit cells of a silhouette (only: just that part; 0: every part).
void drawSilhouette(Canvas& c, const Cells& s, const Lighting& l, uint8_t only = 0) {
    for (int y = 0; y < s.h; ++y)
        for (int x = 0; x < s.w; ++x) {
            uint8_t id = s.get(x, y);
            if (!id || (only && id != only)) continue;
            Rgba col = l.parts[id & 7];
            bool warmEdge = !s.get(x - 1, y) || !s.get(x, y - 1);
            bool coolEdge = !s.get(x + 1, y) && s.get(x - 1, y);
            if (coolEdge) col = mix(col, l.cool, l.coolRim);
            if (warmEdge) col = mix(col, l.warm, l.warmRim);
            if (l.lampRadius > 0) {
                float d = std::hypot(x * kCell + 2 - l.lampX, y * kCell + 2 - l.lampY);
                float k = std::exp(-d / l.lampRadius) * (warmEdge ? 1.0f : 0.6f);
                col = {std::min(1.0f, col.r + l.lamp.r * k), std::min(1.0f, col.g + l.lamp.g * k), std::min(1.0f, col.b + l.lamp.b * k), 1};
            }
            for (int b = 0; b < kCell; ++b)
                for (int a = 0; a < kCell; ++a) blendPixel(c, x * kCell + a, y * kCell + b, col);
        }
}

// A night sky: deep blue overhead, violet at the horizon, hard pixel stars (some of them
// little crosses) and a pixel moon with a soft halo.
void nightSky(Canvas& c, uint32_t seed, float moonX, float moonY, float moonR, int horizon) {
    fillWith(c, [&](int x, int y) {
        float t = std::clamp(static_cast<float>(y) / horizon, 0.0f, 1.0f);
        Rgba col = t < 0.55f ? mix(rgb(0x03051a), rgb(0x141a4e), smoothstep(0.0f, 0.55f, t)) : mix(rgb(0x141a4e), rgb(0x4a2a6a), smoothstep(0.55f, 1.0f, t));
        float n = fbm(x, y * 2.0f, 160, 3, seed);
        return mix(col, rgb(0x2a3a8a), smoothstep(0.55f, 0.8f, n) * 0.35f);
    });
    Rng rng(seed + 1);
    for (int i = 0; i < 220; ++i) {
        int x = rng.below(640), y = rng.below(horizon);
        float b = rng.range(0.2f, 1.0f) * (1 - 0.6f * y / horizon);
        Rgba col = mix(rgb(0xffffff), rng.uniform() < 0.5f ? rgb(0xffd8a0) : rgb(0xa8c8ff), 0.5f);
        addPixel(c, x, y, col, b);
        if (b > 0.8f && rng.uniform() < 0.5f)
            for (int k = 1; k <= 2; ++k) {
                float f = b * 0.5f / k;
                addPixel(c, x - k, y, col, f);
                addPixel(c, x + k, y, col, f);
                addPixel(c, x, y - k, col, f);
                addPixel(c, x, y + k, col, f);
            }
    }
    addGlow(c, moonX, moonY, moonR * 6, rgb(0x8fa8ff), 0.35f);
    addGlow(c, moonX, moonY, moonR * 2.2f, rgb(0xdfe8ff), 0.35f);
    // The moon on the cell grid, with a few darker seas.
    for (int y = static_cast<int>(moonY - moonR) / kCell; y <= static_cast<int>(moonY + moonR) / kCell; ++y)
        for (int x = static_cast<int>(moonX - moonR) / kCell; x <= static_cast<int>(moonX + moonR) / kCell; ++x) {
            float dx = x * kCell + 2 - moonX, dy = y * kCell + 2 - moonY;
            if (dx * dx + dy * dy > moonR * moonR) continue;
            float sea = smoothstep(0.55f, 0.7f, fbm(x * 7.0f, y * 7.0f, 30, 2, seed + 2));
            Rgba col = mix(rgb(0xfff8e0), rgb(0xc8c8e0), sea * 0.7f);
            if (dx + dy > moonR * 0.9f) col = mix(col, rgb(0xa8acd8), 0.5f);
            for (int b = 0; b < kCell; ++b)
                for (int a = 0; a < kCell; ++a) blendPixel(c, x * kCell + a, y * kCell + b, col);
        }
}

// A ridge of land from x = 0 to 639 whose top is top(x) (pixels), filled with a vertical
// gradient, clumps of grass and a lit crest, on the cell grid.
template <typename F> void hill(Canvas& c, F top, Rgba crest, Rgba near, Rgba far, uint32_t seed) {
    for (int cx = 0; cx < 640 / kCell; ++cx) {
        int t = static_cast<int>(top(cx * kCell + 2.0f)) / kCell;
        for (int cy = std::max(0, t); cy < 480 / kCell; ++cy) {
            Rgba col = mix(far, near, smoothstep(static_cast<float>(t), t + 25.0f, static_cast<float>(cy)));
            // Clumps of grass: a few cells a shade lighter or darker.
            float n = fbm(cx * 3.0f, cy * 5.0f, 8, 2, seed);
            col = mix(col, n > 0.5f ? crest : rgb(0x000000), std::fabs(n - 0.5f) * (n > 0.5f ? 0.25f : 0.5f));
            if (cy == t) col = mix(col, crest, 0.6f);
            for (int b = 0; b < kCell; ++b)
                for (int a = 0; a < kCell; ++a) blendPixel(c, cx * kCell + a, cy * kCell + b, col);
        }
    }
}

// Draws a creature sprite lit by a warm light at (lx, ly): the side facing it glows, the
// far side sinks into the night.
void drawLitSprite(Canvas& c, const Sprite& s, int x, int y, int scale, bool mirror, float lx, float ly, Rgba warm) {
    for (int j = 0; j < s.h; ++j)
        for (int i = 0; i < s.w; ++i) {
            Rgba col = s.px[static_cast<size_t>(j) * s.w + (mirror ? s.w - 1 - i : i)];
            if (col.a <= 0) continue;
            float px = x + (i + 0.5f) * scale, py = y + (j + 0.5f) * scale;
            float toward = ((lx - px) * (i - s.w * 0.5f) + (ly - py) * (j - s.h * 0.5f)) /
                           (std::hypot(lx - px, ly - py) * std::max(1.0f, std::hypot(i - s.w * 0.5f, j - s.h * 0.5f)) + 1e-3f);
            float dist = std::hypot(lx - px, ly - py);
            float light = 0.45f + 0.35f * toward + 0.5f * std::exp(-dist / 160.0f);
            Rgba lit{col.r * light * (0.7f + 0.3f * warm.r), col.g * light * (0.7f + 0.3f * warm.g),
                     col.b * light * (0.65f + 0.35f * warm.b), 1};
            lit = mix(lit, rgb(0x1a1840), 0.25f * (1 - light));
            for (int b = 0; b < scale; ++b)
                for (int a = 0; a < scale; ++a) blendPixel(c, x + i * scale + a, y + j * scale + b, lit);
        }
}

// Part names of the girl's cells.
enum : uint8_t { kDress = 1, kHand = 2, kHair = 3, kSkin = 4, kShoe = 5 };

// The girl on her hill, facing left, her front arm raised and one hand cupped round a tiny
// light at about (413, 165). Cell coordinates: one cell is 4 pixels. Later shapes paint
// over earlier ones.
Cells girlCells() {
    Cells g;
    const float ox = 93, oy = 34;  // cell offset of the figure
    auto P = [&](float x, float y) { return std::pair<float, float>{ox + x, oy + y}; };
    g.stroke(kSkin, {P(15.2f, 49), P(15.4f, 56.4f)}, 1.6f);                            // legs
    g.stroke(kSkin, {P(18.6f, 49), P(18.8f, 56.4f)}, 1.6f);
    g.stroke(kShoe, {P(13.6f, 57.2f), P(16, 57.2f)}, 1.3f);                             // shoes
    g.stroke(kShoe, {P(17.2f, 57.2f), P(19.6f, 57.2f)}, 1.3f);
    g.stroke(kSkin, {P(19.8f, 25.5f), P(21.6f, 31), P(21.8f, 36.5f)}, 2.0f);            // arm at her side
    g.stroke(kSkin, {P(16.8f, 20), P(17.2f, 24.5f)}, 2.6f);                             // neck
    g.polygon(kDress, {P(14, 24), P(20.8f, 24), P(20.2f, 34), P(15, 34)});              // bodice
    g.polygon(kDress, {P(14.6f, 33), P(20.4f, 33), P(24.5f, 41), P(28, 50), P(23.5f, 49.2f), P(19, 50.6f), P(14.5f, 49.8f), P(10, 50.8f), P(12.2f, 41)});  // dress
    g.ellipse(kSkin, ox + 16.8f, oy + 17.2f, 4.0f, 4.5f);                               // head
    g.polygon(kSkin, {P(12.9f, 17.4f), P(13.6f, 16.2f), P(13.6f, 19.2f)});              // nose
    g.ellipse(kHair, ox + 18.6f, oy + 16.2f, 3.9f, 4.4f);                               // hair over the crown
    g.polygon(kHair, {P(13.8f, 13.6f), P(17, 12.2f), P(19, 12.6f), P(16.4f, 15.2f), P(14.4f, 15.8f)});  // fringe
    g.polygon(kHair, {P(19, 13), P(23, 17), P(27, 25), P(29, 33), P(25.4f, 31), P(22.6f, 25), P(20.2f, 21.5f)});  // hair in the wind
    g.stroke(kHand, {P(14.8f, 25.4f), P(11.6f, 19.5f), P(10.6f, 12)}, 2.1f);            // raised arm
    g.ellipse(kHand, ox + 10.4f, oy + 10.2f, 1.7f, 1.3f);                               // palm
    g.stroke(kHand, {P(9, 10.5f), P(8.7f, 8.2f)}, 1.1f);                                // thumb
    g.stroke(kHand, {P(12, 10.5f), P(12.1f, 8)}, 1.2f);                                 // fingers
    return g;
}

// Night colours of her parts, the swarm's warm rim, the moon's cool rim and the little
// light in her hand.
Lighting girlLighting() {
    Lighting l{};
    l.parts[kDress] = rgb(0x1c2660);
    l.parts[kHand] = rgb(0x4a3448);
    l.parts[kHair] = rgb(0x1a0f24);
    l.parts[kSkin] = rgb(0x4a3448);
    l.parts[kShoe] = rgb(0x0c0814);
    l.warm = rgb(0xffb060);
    l.cool = rgb(0x7f9cff);
    l.warmRim = 0.5f;
    l.coolRim = 0.3f;
    l.lampX = 413;
    l.lampY = 165;
    l.lampRadius = 26;
    l.lamp = rgb(0xffa050);
    return l;
}

}  // namespace

// The creatures' evening: the friends from every scene gather round a campfire on a
// hilltop under the moon; the bat circles overhead.
Canvas paintCreatures(const Kit& kit) {
    Canvas c = newCanvas(640, 480);
    nightSky(c, 171, 118, 92, 34, 340);
    // Far hills, then the hilltop the friends sit on.
    hill(c, [](float x) { return 300 + 20 * std::sin(x * 0.012f + 1) + 10 * std::sin(x * 0.031f); }, rgb(0x5a4a8a), rgb(0x1a1438), rgb(0x2a2050), 201);
    const float fireX = 322, fireY = 404;
    auto ground = [](float x) { return 392 - 26 * std::exp(-std::pow((x - 330) / 260.0f, 2.0f)) + 4 * std::sin(x * 0.05f); };
    addGlow(c, fireX, fireY - 20, 300, rgb(0xff8a3a), 0.4f);
    hill(c, ground, rgb(0xffa050), rgb(0x0a0818), rgb(0x2a1a30), 202);
    // Warm light on the ground around the fire, and tufts of grass along the crest.
    Canvas glow = newCanvas(640, 480);
    fillWith(glow, [&](int x, int y) {
        float d = std::hypot((x - fireX) / 1.8f, y - fireY);
        return Rgba{1.0f, 0.55f, 0.2f, y > ground(x) ? 0.55f * std::exp(-d / 70.0f) : 0.0f};
    });
    addCanvas(c, glow, 0, 0);
    Rng rng(172);
    for (int i = 0; i < 90; ++i) {
        int x = rng.below(160) * 4, h = 1 + rng.below(3);
        int top = static_cast<int>(ground(x + 2.0f)) / 4 * 4;
        float lit = std::exp(-std::fabs(x - fireX) / 150.0f);
        Rgba col = mix(rgb(0x1a1230), rgb(0xc06a30), lit);
        for (int k = 1; k <= h; ++k)
            for (int b = 0; b < 4; ++b)
                for (int a = 0; a < 4; ++a) blendPixel(c, x + a + (k == h ? 4 * (rng.below(3) - 1) : 0), top - k * 4 + b, col);
    }
    const int s = 3;
    struct Seat { const char* pose; int x; bool mirror; } seats[] = {
        {"a0", 22, false}, {"b10", 112, false}, {"00", 200, false}, {"12", 380, true}, {"05", 470, true}};
    for (const auto& seat : seats) {
        const Sprite& sp = castPose(kit, seat.pose);
        int feet = 0;
        for (int j = 0; j < sp.h; ++j)
            for (int i = 0; i < sp.w; ++i)
                if (sp.px[static_cast<size_t>(j) * sp.w + i].a > 0) feet = j + 1;
        int y = static_cast<int>(ground(seat.x + sp.w * s / 2.0f)) + 3 - feet * s;
        drawLitSprite(c, sp, seat.x, y, s, seat.mirror, fireX, fireY - 20, rgb(0xffb060));
    }
    const Sprite& bat = castPose(kit, "b0");
    drawLitSprite(c, bat, 470, 150, 2, false, fireX, fireY, rgb(0xffb060));
    const Sprite& fire = sprite(kit, "fire");
    const int fs = 4;
    drawSprite(c, fire, static_cast<int>(fireX) - fire.w * fs / 2, static_cast<int>(fireY) - fire.h * fs + 6, fs);
    addGlow(c, fireX, fireY - 26, 60, rgb(0xffd080), 0.5f);
    // Sparks rising from the fire.
    for (int i = 0; i < 26; ++i) {
        float y = fireY - 60 - rng.range(0, 200), x = fireX + rng.range(-30, 30) + (fireY - y) * 0.15f * rng.range(-1, 1);
        int px = static_cast<int>(x) / 2 * 2, py = static_cast<int>(y) / 2 * 2;
        float b = 1 - (fireY - y) / 280.0f;
        for (int q = 0; q < 2; ++q)
            for (int p = 0; p < 2; ++p) addPixel(c, px + p, py + q, rgb(0xffc060), b);
    }
    return c;
}

// Scene 7's long picture: a calm night; on the right a girl on her hill holds up one tiny
// light while the swarm she has set free circles over the meadow on the left (the swarm
// itself is drawn by the scene). The jelly watches from the grass.
Canvas paintGirl(const Kit& kit) {
    Canvas c = newCanvas(640, 480);
    nightSky(c, 181, 548, 74, 26, 330);
    // Distant hills with the lights of a village.
    hill(c, [](float x) { return 318 + 14 * std::sin(x * 0.01f + 2) + 6 * std::sin(x * 0.045f); }, rgb(0x6a4a9a), rgb(0x120e2a), rgb(0x221a48), 203);
    Rng rng(182);
    for (int i = 0; i < 14; ++i) {
        int x = 470 + rng.below(150), y = 326 + rng.below(16);
        addPixel(c, x, y, rgb(0xffc070), 0.9f);
        addGlow(c, x + 0.5f, y + 0.5f, 6, rgb(0xff9a40), 0.25f);
    }
    // Her hill.
    hill(c, [](float x) { return 372 + 70 * smoothstep(420, 0, x) - 8 * std::sin(x * 0.02f); }, rgb(0x8f7fd0), rgb(0x05040c), rgb(0x120e24), 204);
    Cells g = girlCells();
    drawSilhouette(c, g, girlLighting());
    // The little light in her hand warms her fingers; the scene adds the flame itself.
    addGlow(c, 413, 165, 26, rgb(0xffb060), 0.5f);
    // The jelly in the grass, looking up at her.
    const Sprite& jelly = castPose(kit, "00");
    drawLitSprite(c, jelly, 296, 392 - jelly.h * 2, 2, false, 215, 110, rgb(0xffb060));
    // Fireflies resting in the grass.
    for (int i = 0; i < 16; ++i) {
        int x = rng.below(380), y = 400 + rng.below(70);
        addPixel(c, x, y, rgb(0xffd070), 0.8f);
        addPixel(c, x + 1, y, rgb(0xffd070), 0.4f);
        addGlow(c, x + 0.5f, y + 0.5f, 7, rgb(0xffa040), 0.25f);
    }
    return c;
}

// Over the girl and the swarm: her raised hand again (so the tiny light sits inside her
// fingers) and grass in silhouette in the bottom corners. Transparent everywhere else.
Canvas paintHand() {
    Canvas c = newCanvas(640, 480);
    Cells g = girlCells();
    Cells hand;
    for (int y = 0; y < g.h; ++y)
        for (int x = 0; x < g.w; ++x)
            if (g.get(x, y) == kHand && y < 34 + 11) hand.set(x, y, kHand);
    // The hand is drawn with the girl's own lighting so it matches her exactly.
    Canvas handLayer = newCanvas(640, 480);
    drawSilhouette(handLayer, g, girlLighting(), kHand);
    for (int y = 0; y < g.h; ++y)
        for (int x = 0; x < g.w; ++x)
            if (!hand.get(x, y))
                for (int b = 0; b < kCell; ++b)
                    for (int a = 0; a < kCell; ++a) {
                        float* p = handLayer.at(x * kCell + a, y * kCell + b);
                        p[0] = p[1] = p[2] = p[3] = 0;
                    }
    drawCanvas(c, handLayer, 0, 0);
    // Grass in the corners, dark against the sky, a few blades catching the warm light.
    Rng rng(191);
    for (int i = 0; i < 60; ++i) {
        bool left = i < 34;
        float x = left ? rng.range(-2, 44) : rng.range(128, 162);
        float edge = left ? 1 - x / 44 : (x - 128) / 34;
        float h = rng.range(3, 7) + 12 * edge * rng.uniform(), lean = rng.range(-3, 3);
        hand.stroke(4, {{x, 121}, {x + lean * 0.4f, 121 - h * 0.6f}, {x + lean, 120 - h}}, 1.0f);
    }
    for (int y = 0; y < hand.h; ++y)
        for (int x = 0; x < hand.w; ++x)
            if (hand.get(x, y) == kHand) hand.set(x, y, 0);
    Lighting grass{};
    for (auto& p : grass.parts) p = rgb(0x030207);
    grass.warm = rgb(0xc08050);
    grass.cool = rgb(0x030207);
    grass.warmRim = 0.12f;
    drawSilhouette(c, hand, grass);
    return c;
}

}  // namespace pics
