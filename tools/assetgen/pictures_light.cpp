// tools/assetgen/pictures_light.cpp — the logo and the pictures made of light: the two
// intro flashes, the warm trail dot and scene 4's red wash.
#include <algorithm>
#include <cmath>
#include <vector>

#include "tools/assetgen/pictures_parts.h"

using namespace paint;

namespace pics {

namespace {

// A boolean grid with helpers for the logo's layers.
struct Mask {
    int w, h;
    std::vector<uint8_t> on;
    bool get(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h && on[static_cast<size_t>(y) * w + x]; }
    void set(int x, int y) {
        if (x >= 0 && y >= 0 && x < w && y < h) on[static_cast<size_t>(y) * w + x] = 1;
    }
};

}  // namespace

// The title: "PIXEL" over "DEMO" in chunky white 5x7 lettering (each font pixel a 4x4 block
// of 4-pixel cells), a stepped grey extrusion, a black outline and a line of small print,
// with Blip in greys sitting on the L. Transparent around it; the colour of transparent
// pixels is black so the halved copies of the blurred intro darken towards the edges.
Canvas paintLogo(const Kit& kit) {
    const int cell = 4;          // screen pixels per logo cell
    const int glyphScale = 4;    // logo cells per font pixel
    const int W = 640 / cell, H = 480 / cell;
    Mask face{W, H, std::vector<uint8_t>(static_cast<size_t>(W) * H, 0)};
    const char* lines[2] = {"PIXEL", "DEMO"};
    int lineTop[2];
    const int lineH = 7 * glyphScale, gap = 5;
    int top = (H - (2 * lineH + gap)) / 2 - 4;
    for (int l = 0; l < 2; ++l) {
        int tw = pixelTextWidth(kit.font, lines[l], 1) * glyphScale;
        int left = (W - tw) / 2;
        lineTop[l] = top + l * (lineH + gap);
        forEachTextPixel(kit.font, lines[l], [&](int px, int py) {
            for (int b = 0; b < glyphScale; ++b)
                for (int a = 0; a < glyphScale; ++a) face.set(left + px * glyphScale + a, lineTop[l] + py * glyphScale + b);
        });
    }
    // Extrusion: the face pushed down and right by 1..3 cells.
    std::vector<int> depth(static_cast<size_t>(W) * H, 0);
    for (int k = 3; k >= 1; --k)
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                if (face.get(x - k, y - k) && !face.get(x, y)) depth[static_cast<size_t>(y) * W + x] = k;
    auto solid = [&](int x, int y) {
        return face.get(x, y) || (x >= 0 && y >= 0 && x < W && y < H && depth[static_cast<size_t>(y) * W + x] > 0);
    };
    Canvas c = newCanvas(640, 480);
    auto block = [&](int x, int y, Rgba col) {
        for (int b = 0; b < cell; ++b)
            for (int a = 0; a < cell; ++a) blendPixel(c, x * cell + a, y * cell + b, col);
    };
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            if (solid(x, y)) continue;
            bool near = false;
            for (int b = -1; b <= 1 && !near; ++b)
                for (int a = -1; a <= 1; ++a)
                    if (solid(x + a, y + b)) { near = true; break; }
            if (near) block(x, y, rgb(0x000000));
        }
    const Rgba shades[4] = {rgb(0xffffff), rgb(0x8c8ca0), rgb(0x5c5c70), rgb(0x34343f)};
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            int d = depth[static_cast<size_t>(y) * W + x];
            if (d > 0) block(x, y, shades[d]);
            if (!face.get(x, y)) continue;
            int l = y >= lineTop[1] ? 1 : 0;
            int row = y - lineTop[l];
            // Four hard bands from white to cool grey, plus a one-cell highlight on top edges
            // and a diagonal glint.
            float t = static_cast<float>(row) / (lineH - 1);
            int band = std::min(3, static_cast<int>(t * 4));
            const Rgba bands[4] = {rgb(0xffffff), rgb(0xf0f2f8), rgb(0xdcdfea), rgb(0xc4c8d8)};
            Rgba col = bands[band];
            if (!face.get(x, y - 1)) col = rgb(0xffffff);
            if (((x + y) % 22) < 2 && row > 2) col = rgb(0xffffff);
            if (!face.get(x + 1, y) || !face.get(x, y + 1)) col = mix(col, rgb(0xa0a4b8), 0.5f);
            block(x, y, col);
        }
    // Small print under the title.
    const char* tag = "A SOFTWARE RENDERED DEMO";
    int tw = pixelTextWidth(kit.font, tag, 1) * 2;
    int ty = (lineTop[1] + lineH + 6) * cell;
    Canvas back = newCanvas(640, 480);
    drawText(back, kit.font, tag, 320 - tw / 2 - 2, ty - 2, 2, rgb(0x000000));
    boxBlur(back, 2, 1);
    for (auto& v : back.p) v = std::min(1.0f, v * 3);
    drawCanvas(c, back, 0, 0);
    drawText(c, kit.font, tag, 320 - tw / 2, ty, 2, rgb(0xd8dae6));
    // Blip, drawn in greys, sits on the top right of the L of PIXEL.
    const Sprite& blip = sprite(kit, "blip");
    Sprite grey = blip;
    for (auto& p : grey.px) {
        float l = 0.3f * p.r + 0.55f * p.g + 0.15f * p.b;
        l = std::pow(l, 0.8f);
        p = {l, l, l, p.a};
    }
    int pixelW = pixelTextWidth(kit.font, "PIXEL", 1) * glyphScale;
    int lRight = ((W - pixelW) / 2 + pixelW) * cell;
    int lTop = (lineTop[0] + lineH - glyphScale) * cell;
    const int s = 4;
    int bx = lRight - grey.w * s, by = lTop - grey.h * s + s;
    const int around[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
    for (const auto& o : around) drawSpriteTinted(c, grey, bx + o[0] * s, by + o[1] * s, s, rgb(0x000000));
    drawSprite(c, grey, bx, by, s);
    return c;
}

// An intro flash on a 320x240 picture (stretched to 640x480), built from radial and
// horizontal terms of light about the centre. Distances are in screen proportions: x and y
// both over 160. A term whose weight is 0 adds exactly nothing, so each flash is the sum of
// its own terms only.
struct FlashLook {
    float coreInner, coreOuter;     // the solid disc: full inside coreInner, gone at coreOuter
    float bloomFalloff;             // exp(-r^2 * falloff)
    float reach, reachFalloff;      // a wide faint glow: reach * exp(-r * falloff)
    float streak;                   // the thin horizontal lens streak
    float sheen;                    // a broader, fainter band along the streak
    float rays;                     // eight sharp rays
    float ring;                     // a thin ring at r = 0.36
    // How much of the bloom, streak and rays is white rather than `rim`.
    float bloomWhite, streakWhite, raysWhite;
    uint32_t rim;                   // the colour where the light is not white
};

Canvas paintFlash(const FlashLook& k) {
    Canvas c = newCanvas(320, 240);
    fillWith(c, [&k](int x, int y) {
        float dx = (x + 0.5f - 160) / 160, dy = (y + 0.5f - 120) / 160;
        float r = std::sqrt(dx * dx + dy * dy);
        float core = 1 - smoothstep(k.coreInner, k.coreOuter, r);
        float bloom = std::exp(-r * r * k.bloomFalloff);
        float streak = k.streak * std::exp(-dy * dy * 2500.0f) * std::exp(-std::fabs(dx) * 0.9f);
        float sheen = k.sheen * std::exp(-dy * dy * 90.0f) * std::exp(-std::fabs(dx) * 2.2f);
        float rays = k.rays * std::pow(std::fabs(std::cos(std::atan2(dy, dx) * 4)), 80.0f) *
                     std::exp(-r * 3.2f);
        float ring = k.ring * std::exp(-std::pow((r - 0.36f) / 0.02f, 2.0f));
        float reach = k.reach * std::exp(-r * k.reachFalloff);
        float light = std::min(1.0f, core + bloom + streak + sheen + rays + ring + reach);
        float white = std::min(1.0f, core + bloom * k.bloomWhite + streak * k.streakWhite +
                                         rays * k.raysWhite);
        Rgba col = mix(rgb(k.rim), rgb(0xffffff), white);
        return Rgba{col.r, col.g, col.b, light};
    });
    return c;
}

// First intro flash: a white-hot disc in the middle that burns out quickly through pale gold;
// the corners stay nearly clear, so even at half strength the flash reads as a burst of
// light on the logo rather than a haze over it.
Canvas paintGlow() {
    FlashLook look{};
    look.coreInner = 0.1f;
    look.coreOuter = 0.36f;
    look.bloomFalloff = 6.0f;
    look.reach = 0.2f;
    look.reachFalloff = 2.8f;
    look.bloomWhite = 0.9f;
    look.rim = 0xffc888;
    return paintFlash(look);
}

// Second flash, unlike the first: a small white star with eight sharp rays, a thin ring
// and a long horizontal lens streak across the whole width, cyan where it thins out; the
// rest of the picture stays clear.
Canvas paintGlow2() {
    FlashLook look{};
    look.coreInner = 0.05f;
    look.coreOuter = 0.16f;
    look.bloomFalloff = 28.0f;
    look.streak = 1.0f;
    look.sheen = 0.4f;
    look.rays = 1.0f;
    look.ring = 0.3f;
    look.bloomWhite = 1.0f;
    look.streakWhite = 0.8f;
    look.raysWhite = 0.6f;
    look.rim = 0x60d8ff;
    return paintFlash(look);
}

// The trail dot: a warm light, white-gold in the centre, amber at the rim, with a bright core
// that survives being shrunk to a few pixels.
//
// The additive blit takes one step off every channel it adds nothing to (the destination
// is scaled by 255/256), so a fully clear margin would print the dot's square darker into
// the picture wherever many copies overlap. Instead the margin is grey 127 at alpha 5: at
// opacities 52 to 153 (every copy but the faint first few of a trail) it adds back exactly
// the step the blend takes off, leaving any channel up to 127 unchanged.
Canvas paintDot() {
    Canvas c = newCanvas(64, 64);
    fillWith(c, [](int x, int y) {
        float dx = (x + 0.5f - 32) / 32, dy = (y + 0.5f - 32) / 32;
        float r = std::sqrt(dx * dx + dy * dy);
        float halo = std::exp(-r * r * 5.0f) * smoothstep(1.0f, 0.85f, r);
        float core = std::exp(-r * r * 40.0f);
        float alpha = std::min(1.0f, halo + core);
        Rgba col = mix(rgb(0xff8030), rgb(0xffe8b0), std::min(1.0f, core + halo * 0.4f));
        // Where the light fades out, the colour turns to the neutral grey and alpha rests at 5.
        float faint = smoothstep(0.08f, 0.02f, alpha);
        col = mix(col, rgb(0x7f7f7f), faint);
        return Rgba{col.r, col.g, col.b, std::max(alpha, 5.0f / 255.0f)};
    });
    return c;
}

// Scene 4's wash, added over the whole picture: dark red, faint in the middle and strong at
// the edges, with slow clouds so the glow is not flat.
Canvas paintRedWash() {
    Canvas c = newCanvas(640, 480);
    fillWith(c, [](int x, int y) {
        float dx = (x + 0.5f - 320) / 320, dy = (y + 0.5f - 240) / 240;
        float r = std::sqrt(dx * dx * 0.9f + dy * dy);
        float n = fbm(x, y, 120, 4, 61);
        float edge = smoothstep(0.35f, 1.25f, r + (n - 0.5f) * 0.35f);
        Rgba col = mix(rgb(0x6a0610), rgb(0xb0141a), edge);
        return Rgba{col.r, col.g, col.b, 0.12f + 0.8f * edge};
    });
    return c;
}

}  // namespace pics
