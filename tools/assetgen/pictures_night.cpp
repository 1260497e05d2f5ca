// tools/assetgen/pictures_night.cpp — scene 7's night pictures: the creatures around their
// campfire, the girl who holds up a swarm of lights, and the overlay with her hands.
//
// The girl and the foreground are pixel silhouettes built from simple shapes on a grid of
// 4-pixel cells (a cell is lit when its centre falls inside a shape), then lit along their
// edges: warm from the swarm of lights or the fire, cool from the moon on the right.
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

// Draws the lit cells of a silhouette.
void drawSilhouette(Canvas& c, const Cells& s, const Lighting& l) {
    for (int y = 0; y < s.h; ++y)
        for (int x = 0; x < s.w; ++x) {
            uint8_t id = s.get(x, y);
            if (!id) continue;
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

// Lights the cells under a sprite's opaque pixels as part `id`, the sprite's top-left cell
// at (cx, cy), mirrored left to right when asked.
void stampSprite(Cells& cells, const Sprite& s, int cx, int cy, uint8_t id, bool mirror = false) {
    for (int j = 0; j < s.h; ++j)
        for (int i = 0; i < s.w; ++i)
            if (s.px[static_cast<size_t>(j) * s.w + (mirror ? s.w - 1 - i : i)].a > 0) cells.set(cx + i, cy + j, id);
}

// Part names of the girl's cells.
enum : uint8_t { kDress = 1, kHand = 2, kHair = 3, kSkin = 4, kShoe = 5 };

// Where the scene's swarm of lights circles (its trails span about x 160..260, y 40..190),
// and the tiny light of the lantern on the right (two small trails at about (412, 167)).
constexpr float kSwarmX = 212, kSwarmY = 112;
constexpr float kLanternX = 412, kLanternY = 166;

// The girl seen from behind, standing in the meadow right under the swarm: both arms raised,
// her open hands just below its lower edge as if she held the lights up. Shapes are given in
// screen pixels (a cell is 4 pixels); later shapes paint over earlier ones.
Cells girlCells(const Kit& kit) {
    Cells g;
    auto P = [](float x, float y) { return std::pair<float, float>{x / kCell, y / kCell}; };
    const float w = 1.0f / kCell;  // stroke widths below are in pixels
    g.stroke(kSkin, {P(205, 408), P(204, 436)}, 7 * w);                                  // legs
    g.stroke(kSkin, {P(221, 408), P(222, 436)}, 7 * w);
    g.stroke(kShoe, {P(200, 440), P(207, 440)}, 5 * w);                                  // shoes
    g.stroke(kShoe, {P(219, 440), P(226, 440)}, 5 * w);
    g.stroke(kSkin, {P(198, 288), P(189, 246), P(187, 204)}, 10 * w);                    // arms
    g.stroke(kSkin, {P(228, 288), P(237, 246), P(240, 204)}, 10 * w);
    g.polygon(kDress, {P(193, 280), P(233, 280), P(230, 334), P(196, 334)});              // bodice
    g.polygon(kDress, {P(197, 328), P(229, 328), P(240, 370), P(250, 412), P(232, 416), P(213, 413),
                       P(194, 416), P(176, 412), P(186, 370)});                              // skirt
    g.ellipse(kDress, 193 * w, 286 * w, 9 * w, 8 * w);                                   // puffed sleeves
    g.ellipse(kDress, 233 * w, 286 * w, 9 * w, 8 * w);
    g.ellipse(kHair, 213 * w, 258 * w, 15 * w, 17 * w);                                  // head, from behind
    g.polygon(kHair, {P(200, 262), P(226, 262), P(230, 292), P(228, 318), P(221, 326), P(213, 321),
                      P(205, 327), P(198, 318), P(196, 292)});                               // hair down her back
    // Her hands (the overlay draws them again, over the lights).
    const Sprite& hand = sprite(kit, "hand");
    stampSprite(g, hand, 43, 204 / kCell - hand.h, kHand);
    stampSprite(g, hand, 55, 204 / kCell - hand.h, kHand, true);
    return g;
}

// Night colours of her parts, lit from above by the swarm (a warm rim on top and a warm
// point light at its centre) and from the right by the moon (a cool rim).
Lighting girlLighting() {
    Lighting l{};
    l.parts[kDress] = rgb(0x1c2660);
    l.parts[kHand] = rgb(0x4a3448);
    l.parts[kHair] = rgb(0x1a0f24);
    l.parts[kSkin] = rgb(0x4a3448);
    l.parts[kShoe] = rgb(0x0c0814);
    l.warm = rgb(0xffb060);
    l.cool = rgb(0x7f9cff);
    l.warmRim = 0.55f;
    l.coolRim = 0.3f;
    l.lampX = kSwarmX;
    l.lampY = kSwarmY;
    l.lampRadius = 70;
    l.lamp = rgb(0xffa050);
    return l;
}

// The girl, and the light of the swarm on her raised hands.
void drawGirl(Canvas& c, const Cells& girl) {
    drawSilhouette(c, girl, girlLighting());
    addGlow(c, 187, 184, 22, rgb(0xffb060), 0.3f);
    addGlow(c, 240, 184, 22, rgb(0xffb060), 0.3f);
}

// Part names of the tree's cells.
enum : uint8_t { kBark = 1, kLeaves = 2, kIron = 3 };

// An old tree on the right of the meadow, one long bough reaching left over the grass; the
// lantern hangs from it by a short hook.
Cells treeCells() {
    Cells t;
    auto P = [](float x, float y) { return std::pair<float, float>{x / kCell, y / kCell}; };
    const float w = 1.0f / kCell;
    // Foliage: clumps whose ragged edge comes from noise.
    struct Clump { float x, y, rx, ry; } clumps[] = {
        {455, 102, 70, 40}, {396, 124, 36, 20}, {522, 120, 40, 26}, {440, 72, 36, 22},
        {492, 78, 34, 24}, {428, 142, 30, 14}, {492, 146, 34, 16}};
    t.fill(kLeaves, [&](float cx, float cy) {
        float x = cx * kCell, y = cy * kCell, best = -1e9f;
        for (const Clump& c : clumps) {
            float d = ((x - c.x) * (x - c.x)) / (c.rx * c.rx) + ((y - c.y) * (y - c.y)) / (c.ry * c.ry);
            best = std::max(best, 1 - d);
        }
        return best + 0.8f * (fbm(x, y, 12, 2, 305) - 0.5f) > 0.1f;
    });
    t.polygon(kBark, {P(458, 386), P(494, 386), P(484, 360), P(482, 300), P(486, 240), P(480, 180), P(468, 184),
                      P(470, 240), P(466, 300), P(468, 360)});                                 // trunk
    t.stroke(kBark, {P(470, 226), P(440, 186), P(408, 156), P(388, 150)}, 7 * w);            // the lantern's bough
    t.stroke(kBark, {P(478, 200), P(506, 150), P(518, 128)}, 6 * w);
    t.stroke(kBark, {P(470, 196), P(454, 140)}, 5 * w);
    t.stroke(kBark, {P(486, 384), P(500, 392)}, 6 * w);                                      // roots
    t.stroke(kBark, {P(468, 384), P(452, 393)}, 6 * w);
    t.stroke(kIron, {P(410, 152), P(410, 158)}, 3 * w);                                      // the hook
    return t;
}

// Leaf clusters in the crown: cells a shade lighter where noise says so, more of them and
// cooler towards the moon (upper right), and warm around the lantern.
void drawLeafLight(Canvas& c, const Cells& tree, float moonX, float moonY) {
    for (int y = 0; y < tree.h; ++y)
        for (int x = 0; x < tree.w; ++x) {
            if (tree.get(x, y) != kLeaves) continue;
            float px = x * kCell + 2.0f, py = y * kCell + 2.0f;
            float n = fbm(px, py, 10, 2, 306);
            float moon = std::exp(-std::hypot(px - moonX, py - moonY) / 160.0f);
            float lit = smoothstep(0.56f, 0.66f, n + 0.12f * moon);
            if (lit <= 0) continue;
            Rgba col = mix(rgb(0x161e3c), rgb(0x34427a), moon);
            float warm = std::exp(-std::hypot(px - kLanternX, py - kLanternY) / 26.0f);
            col = mix(col, rgb(0xd08040), warm);
            for (int b = 0; b < kCell; ++b)
                for (int a = 0; a < kCell; ++a) blendPixel(c, x * kCell + a, y * kCell + b, col, lit * 0.7f);
        }
}

Lighting treeLighting() {
    Lighting l{};
    l.parts[kBark] = rgb(0x120c18);
    l.parts[kLeaves] = rgb(0x0e1428);
    l.parts[kIron] = rgb(0x2a1c24);
    l.warm = rgb(0x3a3a70);   // the sky's glow on the upper edges
    l.cool = rgb(0x6a80d0);   // the moon on the right
    l.warmRim = 0.45f;
    l.coolRim = 0.35f;
    l.lampX = kLanternX;
    l.lampY = kLanternY;
    l.lampRadius = 22;
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

// Scene 7's long picture: a calm night meadow. In the middle a girl, seen from behind, raises
// both hands under the swarm of lights she conjures (the swarm itself is drawn by the scene,
// the hands again over it by the overlay); on the right an old tree holds a lantern whose
// flame the scene's two small trails make flicker; the jelly sits at its foot.
Canvas paintGirl(const Kit& kit) {
    Canvas c = newCanvas(640, 480);
    nightSky(c, 181, 590, 56, 20, 330);
    // The swarm lights the air around it.
    addGlow(c, kSwarmX, kSwarmY, 170, rgb(0xff9a50), 0.16f);
    // Distant hills with the lights of a village on either side.
    hill(c, [](float x) { return 318 + 14 * std::sin(x * 0.01f + 2) + 6 * std::sin(x * 0.045f); }, rgb(0x6a4a9a), rgb(0x120e2a), rgb(0x221a48), 203);
    Rng rng(182);
    for (int i = 0; i < 14; ++i) {
        int x = i < 6 ? 16 + rng.below(110) : 520 + rng.below(110), y = 326 + rng.below(16);
        addPixel(c, x, y, rgb(0xffc070), 0.9f);
        addGlow(c, x + 0.5f, y + 0.5f, 6, rgb(0xff9a40), 0.25f);
    }
    // The meadow: low in the middle where she stands, rising to the tree on the right.
    auto ground = [](float x) { return 440 - 66 * std::exp(-std::pow((x - 480) / 150.0f, 2.0f)) + 3 * std::sin(x * 0.04f); };
    hill(c, ground, rgb(0x8f7fd0), rgb(0x05040c), rgb(0x120e24), 204);
    // Warm light from the swarm and the lantern on the grass.
    Canvas glow = newCanvas(640, 480);
    fillWith(glow, [&](int x, int y) {
        float swarm = std::exp(-std::hypot((x - kSwarmX) / 2.2f, y - 440.0f) / 60.0f) * 0.35f;
        float lantern = std::exp(-std::hypot((x - kLanternX) / 1.6f, y - ground(kLanternX)) / 40.0f) * 0.25f;
        return Rgba{1.0f, 0.6f, 0.3f, y > ground(x) ? swarm + lantern : 0.0f};
    });
    addCanvas(c, glow, 0, 0);
    Cells tree = treeCells();
    drawSilhouette(c, tree, treeLighting());
    drawLeafLight(c, tree, 590, 56);
    // The lantern: iron and warm glass; the scene's trails add the living flame.
    const Sprite& lantern = sprite(kit, "lantern");
    addGlow(c, kLanternX, kLanternY, 34, rgb(0xffa050), 0.45f);
    drawSprite(c, lantern, static_cast<int>(kLanternX) - 8, static_cast<int>(kLanternY) - 12, kCell);
    addGlow(c, kLanternX, kLanternY, 10, rgb(0xffe0a0), 0.5f);
    drawGirl(c, girlCells(kit));
    // The jelly at the foot of the tree, looking at the lantern.
    const Sprite& jelly = castPose(kit, "00");
    drawLitSprite(c, jelly, 418, static_cast<int>(ground(436)) + 2 - jelly.h * 2, 2, false, kLanternX, kLanternY, rgb(0xffb060));
    // Fireflies resting in the grass.
    for (int i = 0; i < 16; ++i) {
        int x = rng.below(640), y = 420 + rng.below(55);
        if (y < ground(x) + 6) continue;
        addPixel(c, x, y, rgb(0xffd070), 0.8f);
        addPixel(c, x + 1, y, rgb(0xffd070), 0.4f);
        addGlow(c, x + 0.5f, y + 0.5f, 7, rgb(0xffa040), 0.25f);
    }
    return c;
}

// Over the girl and the swarm: her two raised hands again, so the lowest lights pass behind
// her fingers, and grass in silhouette in the bottom corners. Transparent everywhere else.
Canvas paintHand(const Kit& kit) {
    // The hands are cut out of the girl as the picture draws her, so they match exactly.
    Canvas c = newCanvas(640, 480);
    Cells girl = girlCells(kit);
    drawGirl(c, girl);
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x)
            if (girl.get(x / kCell, y / kCell) != kHand) std::fill(c.at(x, y), c.at(x, y) + 4, 0.0f);
    // Grass in the corners, dark against the meadow, a few blades catching the warm light.
    Cells grass;
    Rng rng(191);
    for (int i = 0; i < 60; ++i) {
        bool left = i < 34;
        float x = left ? rng.range(-2, 44) : rng.range(128, 162);
        float edge = left ? 1 - x / 44 : (x - 128) / 34;
        float h = rng.range(3, 7) + 12 * edge * rng.uniform(), lean = rng.range(-3, 3);
        grass.stroke(4, {{x, 121}, {x + lean * 0.4f, 121 - h * 0.6f}, {x + lean, 120 - h}}, 1.0f);
    }
    Lighting dark{};
    for (auto& p : dark.parts) p = rgb(0x030207);
    dark.warm = rgb(0xc08050);
    dark.cool = rgb(0x030207);
    dark.warmRim = 0.12f;
    drawSilhouette(c, grass, dark);
    return c;
}

}  // namespace pics
