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

float smooth(float e0, float e1, float x) {
    float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

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

// Draws the lit cells: a dark body, a warm rim where the cell's left or upper neighbour is
// empty, a cool rim where the right neighbour is empty. only: draw just that part (0: all).
void drawSilhouette(Canvas& c, const Cells& s, Rgba body, Rgba warm, Rgba cool, uint8_t only = 0) {
    for (int y = 0; y < s.h; ++y)
        for (int x = 0; x < s.w; ++x) {
            uint8_t id = s.get(x, y);
            if (!id || (only && id != only)) continue;
            Rgba col = body;
            bool warmEdge = !s.get(x - 1, y) || !s.get(x, y - 1);
            bool coolEdge = !s.get(x + 1, y) && s.get(x - 1, y);
            if (coolEdge) col = mix(col, cool, 0.4f);
            if (warmEdge) col = mix(col, warm, 0.65f);
            else if (!s.get(x - 2, y) || !s.get(x - 1, y - 1)) col = mix(col, warm, 0.18f);
            for (int b = 0; b < kCell; ++b)
                for (int a = 0; a < kCell; ++a) blendPixel(c, x * kCell + a, y * kCell + b, col);
        }
}

// A night sky: deep blue overhead, violet at the horizon, hard pixel stars (some of them
// little crosses) and a pixel moon with a soft halo.
void nightSky(Canvas& c, uint32_t seed, float moonX, float moonY, float moonR, int horizon) {
    fillWith(c, [&](int x, int y) {
        float t = std::clamp(static_cast<float>(y) / horizon, 0.0f, 1.0f);
        Rgba col = t < 0.55f ? mix(rgb(0x03051a), rgb(0x141a4e), smooth(0.0f, 0.55f, t)) : mix(rgb(0x141a4e), rgb(0x4a2a6a), smooth(0.55f, 1.0f, t));
        float n = fbm(x, y * 2.0f, 160, 3, seed);
        return mix(col, rgb(0x2a3a8a), smooth(0.55f, 0.8f, n) * 0.35f);
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
            float sea = smooth(0.55f, 0.7f, fbm(x * 7.0f, y * 7.0f, 30, 2, seed + 2));
            Rgba col = mix(rgb(0xfff8e0), rgb(0xc8c8e0), sea * 0.7f);
            if (dx + dy > moonR * 0.9f) col = mix(col, rgb(0xa8acd8), 0.5f);
            for (int b = 0; b < kCell; ++b)
                for (int a = 0; a < kCell; ++a) blendPixel(c, x * kCell + a, y * kCell + b, col);
        }
}

// A ridge of land from x = 0 to 639 whose top is top(x) (pixels), filled with a vertical
// gradient and a lit crest, on the cell grid.
template <typename F> void hill(Canvas& c, F top, Rgba crest, Rgba near, Rgba far) {
    for (int cx = 0; cx < 640 / kCell; ++cx) {
        int t = static_cast<int>(top(cx * kCell + 2.0f)) / kCell;
        for (int cy = std::max(0, t); cy < 480 / kCell; ++cy) {
            Rgba col = mix(far, near, smooth(static_cast<float>(t), t + 25.0f, static_cast<float>(cy)));
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
enum : uint8_t { kBody = 1, kHand = 2 };

// The girl on her hill, facing left, her front arm raised and one hand cupped round a tiny
// light at about (413, 165). Cell coordinates: one cell is 4 pixels.
Cells girlCells() {
    Cells g;
    const float ox = 93, oy = 34;  // cell offset of the figure
    auto P = [&](float x, float y) { return std::pair<float, float>{ox + x, oy + y}; };
    g.ellipse(kBody, ox + 17, oy + 17, 4.2f, 4.6f);                                     // head
    g.ellipse(kBody, ox + 18.2f, oy + 16.4f, 4.4f, 4.6f);                               // hair over the crown
    g.polygon(kBody, {P(19, 13), P(23, 17), P(27, 25), P(28.5f, 33), P(25, 31), P(22.5f, 25), P(20, 21)});  // hair in the wind
    g.polygon(kBody, {P(12.8f, 17.2f), P(13.4f, 16.2f), P(13.4f, 19.2f)});              // nose
    g.stroke(kBody, {P(16.6f, 20), P(17.2f, 24)}, 2.4f);                                // neck
    g.polygon(kBody, {P(14, 24), P(20.6f, 24), P(20, 34), P(15.2f, 34)});               // bodice
    g.polygon(kBody, {P(15, 33), P(20, 33), P(23.5f, 42), P(26.5f, 50), P(22, 49.2f), P(18, 50.4f), P(14, 49.6f), P(10.5f, 50.5f), P(13, 42)});  // dress
    g.stroke(kBody, {P(15.6f, 49), P(15.6f, 56.6f)}, 1.6f);                             // legs
    g.stroke(kBody, {P(18.6f, 49), P(18.8f, 56.6f)}, 1.6f);
    g.stroke(kBody, {P(13.6f, 57.2f), P(16, 57.2f)}, 1.2f);                             // feet
    g.stroke(kBody, {P(17.2f, 57.2f), P(19.6f, 57.2f)}, 1.2f);
    g.stroke(kBody, {P(19.6f, 25.5f), P(21.4f, 31), P(21.6f, 36.5f)}, 1.9f);            // arm at her side
    g.stroke(kHand, {P(14.8f, 25.2f), P(11.6f, 19.5f), P(10.6f, 12)}, 2.0f);            // raised arm
    g.ellipse(kHand, ox + 10.4f, oy + 10.2f, 1.7f, 1.3f);                               // palm
    g.stroke(kHand, {P(9, 10.5f), P(8.7f, 8.2f)}, 1.1f);                                // thumb
    g.stroke(kHand, {P(12, 10.5f), P(12.1f, 8)}, 1.2f);                                 // fingers
    return g;
}

const Rgba kGirlBody = rgb(0x0d0a1e);
const Rgba kWarmRim = rgb(0xffb060);
const Rgba kCoolRim = rgb(0x7f9cff);

}  // namespace

// The creatures' evening: four friends around a campfire on a hilltop under the moon.
Canvas paintCreatures(const Kit& kit) {
    Canvas c = newCanvas(640, 480);
    nightSky(c, 171, 118, 92, 34, 340);
    // Far hills, then the hilltop the friends sit on.
    hill(c, [](float x) { return 300 + 20 * std::sin(x * 0.012f + 1) + 10 * std::sin(x * 0.031f); }, rgb(0x5a4a8a), rgb(0x1a1438), rgb(0x2a2050));
    const float fireX = 322, fireY = 392;
    addGlow(c, fireX, fireY - 20, 300, rgb(0xff8a3a), 0.4f);
    hill(c, [](float x) { return 372 - 28 * std::exp(-std::pow((x - 330) / 260.0f, 2.0f)) + 6 * std::sin(x * 0.05f); },
         rgb(0xffa050), rgb(0x0a0818), rgb(0x2a1a30));
    // Warm light on the ground around the fire.
    Canvas ground = newCanvas(640, 480);
    fillWith(ground, [&](int x, int y) {
        float d = std::hypot((x - fireX) / 1.8f, y - fireY);
        return Rgba{1.0f, 0.55f, 0.2f, y > 344 ? 0.55f * std::exp(-d / 70.0f) : 0.0f};
    });
    addCanvas(c, ground, 0, 0);
    const int s = 5;
    struct Seat { const char* name; int x; bool mirror; } seats[] = {
        {"moss", 118, false}, {"blip", 200, false}, {"puff", 386, true}, {"zap", 462, true}};
    for (const auto& seat : seats) {
        const Sprite& sp = sprite(kit, seat.name);
        int y = 376 - sp.h * s + (seat.x < 300 ? 2 : 0) - static_cast<int>(28 * std::exp(-std::pow((seat.x + sp.w * s / 2 - 330) / 260.0f, 2.0f))) + 6;
        drawLitSprite(c, sp, seat.x, y, s, seat.mirror, fireX, fireY - 20, rgb(0xffb060));
    }
    const Sprite& fire = sprite(kit, "fire");
    drawSprite(c, fire, static_cast<int>(fireX) - fire.w * s / 2, static_cast<int>(fireY) - fire.h * s + 8, s);
    addGlow(c, fireX, fireY - 30, 70, rgb(0xffd080), 0.5f);
    // Sparks rising from the fire.
    Rng rng(172);
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
// itself is drawn by the scene). Blip watches from the grass.
Canvas paintGirl(const Kit& kit) {
    Canvas c = newCanvas(640, 480);
    nightSky(c, 181, 548, 74, 26, 330);
    // Distant hills with the lights of a village.
    hill(c, [](float x) { return 318 + 14 * std::sin(x * 0.01f + 2) + 6 * std::sin(x * 0.045f); }, rgb(0x6a4a9a), rgb(0x120e2a), rgb(0x221a48));
    Rng rng(182);
    for (int i = 0; i < 14; ++i) {
        int x = 470 + rng.below(150), y = 326 + rng.below(16);
        addPixel(c, x, y, rgb(0xffc070), 0.9f);
        addGlow(c, x + 0.5f, y + 0.5f, 6, rgb(0xff9a40), 0.25f);
    }
    // A soft warm haze where the swarm circles.
    addGlow(c, 215, 110, 190, rgb(0xff9a50), 0.22f);
    // Her hill.
    hill(c, [](float x) { return 372 + 70 * smooth(420, 0, x) - 8 * std::sin(x * 0.02f); }, rgb(0x8f7fd0), rgb(0x05040c), rgb(0x120e24));
    Cells g = girlCells();
    drawSilhouette(c, g, kGirlBody, kWarmRim, kCoolRim);
    // The little light in her hand warms her fingers; the scene adds the flame itself.
    addGlow(c, 413, 165, 26, rgb(0xffb060), 0.5f);
    // Blip in the grass, looking up at her.
    const Sprite& blip = sprite(kit, "blip");
    drawLitSprite(c, blip, 300, 384 - blip.h * 3 + 6, 3, false, 215, 110, rgb(0xffb060));
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
// fingers) and tall grass in silhouette along the bottom-left. Transparent everywhere else.
Canvas paintHand(const Kit& /*kit*/) {
    Canvas c = newCanvas(640, 480);
    Cells g = girlCells();
    Cells hand;
    for (int y = 0; y < g.h; ++y)
        for (int x = 0; x < g.w; ++x)
            if (g.get(x, y) == kHand && y < 34 + 11) hand.set(x, y, kHand);
    // The hand is drawn with the girl's own rim light so it matches her exactly, plus the
    // glow of the light it holds.
    Canvas handLayer = newCanvas(640, 480);
    drawSilhouette(handLayer, g, kGirlBody, kWarmRim, kCoolRim, kHand);
    for (int y = 0; y < g.h; ++y)
        for (int x = 0; x < g.w; ++x)
            if (!hand.get(x, y))
                for (int b = 0; b < kCell; ++b)
                    for (int a = 0; a < kCell; ++a) {
                        float* p = handLayer.at(x * kCell + a, y * kCell + b);
                        p[0] = p[1] = p[2] = p[3] = 0;
                    }
    for (int y = 140; y < 190; ++y)
        for (int x = 390; x < 440; ++x) {
            float* p = handLayer.at(x, y);
            if (p[3] <= 0) continue;
            float d = std::hypot(x - 413.0f, y - 165.0f);
            float f = 0.6f * std::exp(-d / 9.0f);
            p[0] = std::min(p[3], p[0] + f * 1.0f * p[3]);
            p[1] = std::min(p[3], p[1] + f * 0.7f * p[3]);
            p[2] = std::min(p[3], p[2] + f * 0.35f * p[3]);
        }
    drawCanvas(c, handLayer, 0, 0);
    // Grass blades along the bottom edge.
    Rng rng(191);
    for (int i = 0; i < 70; ++i) {
        float x = rng.range(-2, 162), h = rng.range(4, 16), lean = rng.range(-3, 3);
        if (x > 60 && x < 120) h *= 0.5f;
        hand.stroke(4, {{x, 121}, {x + lean * 0.4f, 121 - h * 0.6f}, {x + lean, 120 - h}}, 1.0f);
    }
    for (int y = 0; y < hand.h; ++y)
        for (int x = 0; x < hand.w; ++x)
            if (hand.get(x, y) == kHand) hand.set(x, y, 0);
    drawSilhouette(c, hand, rgb(0x040309), mix(rgb(0x040309), kWarmRim, 0.3f), rgb(0x040309));
    return c;
}

}  // namespace pics
