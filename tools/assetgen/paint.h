// tools/assetgen/paint.h — the painting kit behind the asset tool's pictures.
//
// Offers: Canvas (a float RGBA picture, premultiplied), pixel blending, cairo drawing onto a
//         canvas (beginVector/endVector), box blur, seeded random numbers and value noise,
//         Sprite (pixel art as colours, from the grid files of pixelart.h), pixel lettering
//         in the pixel font of pixelfont.h, and saving as an 8-bit RGB or RGBA PNG.
// Needs:  cairo, assets/image.h (writePng), pixelfont.h.
//
// Everything here is deterministic: the same build paints the same bytes. Random numbers
// come from Rng (seeded), never from the clock.
#pragma once
#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/assetgen/pixelfont.h"

namespace paint {

// A straight (not premultiplied) colour, channels 0..1.
struct Rgba {
    float r, g, b, a;
};
Rgba rgb(uint32_t hex, float alpha = 1.0f);           // 0xRRGGBB
Rgba mix(Rgba a, Rgba b, float t);                      // a + (b - a) * t, per channel
Rgba hsv(float hue, float sat, float val, float alpha = 1.0f);  // hue in turns (0..1 wraps)
// 0 at or before e0, 1 at or after e1, a smooth S-curve between (e1 < e0 runs backwards).
float smoothstep(float e0, float e1, float x);

// A picture under construction. p holds w*h*4 floats: premultiplied r, g, b, a per pixel,
// top row first.
struct Canvas {
    int w = 0, h = 0;
    std::vector<float> p;
    float* at(int x, int y) { return &p[(static_cast<size_t>(y) * w + x) * 4]; }
    const float* at(int x, int y) const { return &p[(static_cast<size_t>(y) * w + x) * 4]; }
};
Canvas newCanvas(int w, int h, Rgba fill = {0, 0, 0, 0});

// Source-over of colour c with extra coverage (0..1) at one pixel; ignores pixels outside.
void blendPixel(Canvas& c, int x, int y, Rgba col, float coverage = 1.0f);
// Adds light: colour * amount to r, g, b (and amount * col.a to alpha), clamped at 1.
void addPixel(Canvas& c, int x, int y, Rgba col, float amount = 1.0f);
// Source-over of a whole canvas at (x, y).
void drawCanvas(Canvas& dst, const Canvas& src, int x, int y, float opacity = 1.0f);
// Additive: src's premultiplied colour added to dst, clamped.
void addCanvas(Canvas& dst, const Canvas& src, int x, int y, float amount = 1.0f);
// Fills every pixel with f(x, y) (straight colour).
template <typename F> void fillWith(Canvas& c, F f) {
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            Rgba v = f(x, y);
            float* q = c.at(x, y);
            q[0] = v.r * v.a; q[1] = v.g * v.a; q[2] = v.b * v.a; q[3] = v.a;
        }
}
// Straight colour of one pixel (transparent black outside or where alpha is 0).
Rgba pixel(const Canvas& c, int x, int y);

// Blurs all four channels with `passes` box passes of the given radius (three passes look
// Gaussian). Edges clamp.
void boxBlur(Canvas& c, int radius, int passes = 3);

// Cairo drawing: begin a w x h ARGB surface, draw with cr, then composite it over (or add it
// to) a canvas at (x, y) and free it.
struct Vector {
    cairo_surface_t* surface;
    cairo_t* cr;
};
Vector beginVector(int w, int h);
void endVector(Vector& v, Canvas& dst, int x = 0, int y = 0, bool additive = false, float amount = 1.0f);
void setSource(cairo_t* cr, Rgba c);

// Seeded generator (splitmix64): the same seed gives the same sequence everywhere.
struct Rng {
    uint64_t state;
    explicit Rng(uint64_t seed) : state(seed) {}
    uint32_t next();
    float uniform();                 // [0, 1)
    float range(float lo, float hi); // [lo, hi)
    int below(int n);                // 0 .. n-1
};
// Hash of integer coordinates, 0..1.
float hash2(int x, int y, uint32_t seed);
// Smooth value noise at (x, y) with a lattice of the given cell size; period > 0 wraps the
// lattice every `period` cells so the noise tiles.
float valueNoise(float x, float y, float cell, uint32_t seed, int period = 0);
// Sum of `octaves` layers of value noise, each half the cell size and half the weight, 0..1.
float fbm(float x, float y, float cell, int octaves, uint32_t seed, int period = 0);

// Pixel art as straight colours (see spriteFromCells).
struct Sprite {
    int w = 0, h = 0;
    std::vector<Rgba> px;  // straight colours, w*h
};
// A sprite from w*h 0xAARRGGBB cells (the cells of a pose of a grid file).
Sprite spriteFromCells(int w, int h, const std::vector<uint32_t>& argb);
// Draws a sprite with its top-left corner at (x, y), each grid pixel a scale x scale block.
void drawSprite(Canvas& c, const Sprite& s, int x, int y, int scale, bool mirror = false, float opacity = 1.0f);
// The same sprite drawn in one flat colour (for outlines, shadows, silhouettes).
void drawSpriteTinted(Canvas& c, const Sprite& s, int x, int y, int scale, Rgba tint, bool mirror = false);

// Pixel lettering: the text set in the pixel font with one empty column between glyphs
// (pixelTextWidth(font, text, 1) wide, capitals 7 rows high from y = 0). Calls ink(x, y) for
// every lit font pixel, x and y in font pixels.
template <typename F> void forEachTextPixel(const PixelFont& f, const char* text, F ink) {
    PixelBitmap bitmap = renderPixelText(f, text, 1);
    for (int y = 0; y < bitmap.height; ++y)
        for (int x = 0; x < bitmap.width; ++x)
            if (pixelAt(bitmap, x, y)) ink(x, y);
}
// Draws text in flat blocks of `scale` pixels with its top-left corner at (x, y).
void drawText(Canvas& c, const PixelFont& f, const char* text, int x, int y, int scale, Rgba col);

// Writes the canvas as an 8-bit PNG: RGBA when withAlpha, else RGB. Colours are
// un-premultiplied and gently dithered. Ends the tool with a message if the file cannot be
// written, or if an RGB picture has see-through pixels (a painting mistake).
void savePng(const Canvas& c, const std::string& path, bool withAlpha);

}  // namespace paint
