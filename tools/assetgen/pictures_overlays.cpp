// tools/assetgen/pictures_overlays.cpp — the full-screen overlays drawn at (0, 0) over the
// 3D scenes: the two letterbox frames, the scanline stripes and the signature layer `s`.
// All are 640x480 and transparent wherever the picture below should show.
//
// The 3D scenes draw into rows 30..429; the frames cover rows 0..29 and 430..479 (the
// sprites and captions are drawn over them afterwards).
#include <algorithm>
#include <cmath>

#include "tools/assetgen/pictures_parts.h"

using namespace paint;

namespace pics {

namespace {

constexpr int kBandTop = 30;      // first row the 3D picture uses
constexpr int kBandBottom = 430;  // first row below it


// Distance in rows from the band, 0 inside it.
int outside(int y) { return y < kBandTop ? kBandTop - y : (y >= kBandBottom ? y - kBandBottom + 1 : 0); }

// A soft shadow falling a few rows into the band from each bar.
void innerShadow(Canvas& c, int rows, float strength) {
    for (int y = kBandTop; y < kBandBottom; ++y) {
        int d = std::min(y - kBandTop, kBandBottom - 1 - y);
        if (d >= rows) continue;
        float a = strength * (1 - d / static_cast<float>(rows));
        a *= a;
        for (int x = 0; x < 640; ++x) blendPixel(c, x, y, rgb(0x000000), a);
    }
}

}  // namespace

// Scenes 3 and 4: near-black bars with a brushed sheen, a bevelled steel edge facing the
// picture, a row of pixel rivets and bracket ornaments in the corners.
Canvas paintFrameSteel() {
    Canvas c = newCanvas(640, 480);
    for (int y = 0; y < 480; ++y) {
        int d = outside(y);
        if (d == 0) continue;
        for (int x = 0; x < 640; ++x) {
            float brush = fbm(x * 0.1f, y * 4.0f, 12, 2, 151);
            Rgba col = mix(rgb(0x05060a), rgb(0x14161e), brush * 0.8f);
            if (d <= 3) col = d == 1 ? rgb(0xc8d4ec) : (d == 2 ? rgb(0x6a7490) : rgb(0x0c0d14));
            blendPixel(c, x, y, col);
        }
    }
    // Pixel rivets: 2x2 light dots with a dark underside, every 32 pixels along each bar.
    for (int x = 16; x < 640; x += 32)
        for (int yy : {13, 455}) {
            for (int b = 0; b < 2; ++b)
                for (int a = 0; a < 2; ++a) blendPixel(c, x + a, yy + b, rgb(0x8a94b0));
            blendPixel(c, x, yy, rgb(0xe0e8ff));
            for (int a = 0; a < 2; ++a) blendPixel(c, x + a, yy + 2, rgb(0x000000));
        }
    // Corner brackets: an L of 2-pixel lines in each bar's outer corners.
    for (int corner = 0; corner < 4; ++corner) {
        bool right = corner & 1, bottom = corner & 2;
        int hy = bottom ? kBandBottom + 7 : kBandTop - 9;   // the horizontal stroke's first row
        int vy0 = bottom ? kBandBottom + 7 : kBandTop - 21;  // the vertical stroke's first row
        for (int i = 0; i < 24; ++i)
            for (int k = 0; k < 2; ++k) {
                int x = right ? 639 - 8 - i : 8 + i;
                blendPixel(c, x, hy + k, rgb(0x9fb0d8));
                if (i < 14) blendPixel(c, right ? 639 - 8 - k : 8 + k, vy0 + i, rgb(0x9fb0d8));
            }
    }
    innerShadow(c, 10, 0.6f);
    return c;
}

// Scenes 5 and 6: black bars whose edge dissolves into the picture in a dither of 4x4
// blocks, trimmed with a rainbow line of pixels.
Canvas paintFramePixel() {
    Canvas c = newCanvas(640, 480);
    // Ordered 4x4 Bayer thresholds for the dissolve.
    const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            int d = outside(y);
            if (d > 0) {
                Rgba col = mix(rgb(0x000000), rgb(0x0e0a1c), smoothstep(30, 0, d));
                blendPixel(c, x, y, col);
                continue;
            }
            // Inside the band: blocks of black that thin out over 16 rows.
            int into = std::min(y - kBandTop, kBandBottom - 1 - y);
            if (into >= 16) continue;
            int bx = x / 4, by = (y < 240 ? y - kBandTop : kBandBottom - 1 - y) / 4;
            float level = (bayer[by & 3][bx & 3] + 0.5f) / 16.0f;
            float cover = 1 - (by + 1) / 5.0f;
            if (level < cover) blendPixel(c, x, y, rgb(0x000000));
        }
    // The rainbow trim: 4-pixel blocks stepping through the hues, two rows from the band.
    for (int x = 0; x < 640; ++x) {
        Rgba col = hsv((x / 4) * 4 / 640.0f * 2, 0.75f, 1.0f);
        for (int k = 0; k < 2; ++k) {
            blendPixel(c, x, kBandTop - 4 + k, col);
            blendPixel(c, x, kBandBottom + 2 + k, col);
        }
    }
    // Pixel stars scattered along the bars.
    Rng rng(161);
    for (int i = 0; i < 40; ++i) {
        int x = rng.below(640), y = rng.uniform() < 0.5f ? 4 + rng.below(18) : kBandBottom + 10 + rng.below(36);
        Rgba col = hsv(rng.uniform(), 0.35f, 1.0f, rng.range(0.35f, 0.9f));
        blendPixel(c, x, y, col);
        if (rng.uniform() < 0.3f) {
            blendPixel(c, x - 1, y, col, 0.5f);
            blendPixel(c, x + 1, y, col, 0.5f);
            blendPixel(c, x, y - 1, col, 0.5f);
            blendPixel(c, x, y + 1, col, 0.5f);
        }
    }
    return c;
}

// Scene 3: scanlines over the band (every third row darkened) and two thin beams of light
// along its edges.
Canvas paintStripes() {
    Canvas c = newCanvas(640, 480);
    for (int y = kBandTop; y < kBandBottom; ++y) {
        float a = (y % 3 == 0) ? 0.3f : 0.0f;
        for (int x = 0; x < 640; ++x) {
            if (a > 0) blendPixel(c, x, y, rgb(0x000010), a);
            for (int edge : {kBandTop + 6, kBandBottom - 7}) {
                float beam = std::exp(-std::pow((y - edge) / 1.2f, 2.0f)) * (0.35f + 0.4f * std::sin(x * 0.01f + edge) * std::sin(x * 0.01f + edge));
                if (beam > 0.004f) addPixel(c, x, y, rgb(0x7fe8ff), beam);
            }
        }
    }
    return c;
}

// Over every 3D scene: a darkening of the far corners and a small badge, Blip and the name
// in the top-right corner (on the top bar where the scene has one).
Canvas paintSignature(const Kit& kit) {
    Canvas c = newCanvas(640, 480);
    fillWith(c, [](int x, int y) {
        float dx = (x + 0.5f - 320) / 320, dy = (y + 0.5f - 240) / 240;
        float r = std::sqrt(dx * dx + dy * dy);
        return Rgba{0, 0, 0, 0.55f * smoothstep(1.05f, 1.42f, r)};
    });
    // The badge: a dark plate with a thin light edge, Blip and the name in pixel letters.
    const char* name = "PIXELDEMO";
    const Sprite& blip = sprite(kit, "blip");
    int tw = pixelTextWidth(kit.font, name, 1);
    int plateW = blip.w + 6 + tw + 10, plateH = blip.h + 6;
    int px = 640 - 44 - plateW, py = 6;
    for (int y = py; y < py + plateH; ++y)
        for (int x = px; x < px + plateW; ++x) {
            bool corner = (x == px || x == px + plateW - 1) && (y == py || y == py + plateH - 1);
            if (corner) continue;
            bool edge = x == px || y == py || x == px + plateW - 1 || y == py + plateH - 1;
            blendPixel(c, x, y, edge ? rgb(0x5a6490) : rgb(0x06060c), edge ? 0.9f : 0.92f);
        }
    drawSprite(c, blip, px + 4, py + 3, 1);
    int tx = px + 4 + blip.w + 4, ty = py + (plateH - 7) / 2;
    forEachTextPixel(kit.font, name, [&](int x, int y) {
        blendPixel(c, tx + x, ty + y, hsv(0.52f + x / static_cast<float>(tw) * 0.35f, 0.35f, 1.0f));
    });
    return c;
}

}  // namespace pics
