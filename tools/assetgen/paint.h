// tools/assetgen/paint.h — the painting kit behind the asset tool's pictures.
//
// Offers: Canvas (a float RGBA picture, premultiplied), pixel blending, cairo drawing onto a
//         canvas (beginVector/endVector), box blur, seeded random numbers and value noise,
//         pixel-art grids read from text (Sprite, loadSprites, drawSprite), a 5x7 pixel font,
//         and saving as an 8-bit RGB or RGBA PNG.
// Needs:  cairo, assets/image.h (writePng).
//
// Everything here is deterministic: the same build paints the same bytes. Random numbers
// come from Rng (seeded), never from the clock.
//
// Pixel-art grid files (tools/assetgen/sources/pictures/*.txt):
//
//     ; comment
//     = k 101018          <- palette entry: character, RRGGBB or RRGGBBAA (hex)
//     [name]              <- a sprite starts; the rows below are its pixels, top row first
//     ..kkk..             <- '.' and ' ' are transparent; other characters use the palette
//
// Palette entries apply to every sprite after them in the file.
#pragma once
#include <cairo.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace paint {

// A straight (not premultiplied) colour, channels 0..1.
struct Rgba {
    float r, g, b, a;
};
Rgba rgb(uint32_t hex, float alpha = 1.0f);           // 0xRRGGBB
Rgba mix(Rgba a, Rgba b, float t);                      // a + (b - a) * t, per channel
Rgba hsv(float hue, float sat, float val, float alpha = 1.0f);  // hue in turns (0..1 wraps)

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

// Pixel art read from grid files (format in the header comment).
struct Sprite {
    int w = 0, h = 0;
    std::vector<Rgba> px;  // straight colours, w*h
};
// Reads every sprite of a grid file. Ends the tool with a message naming the file and line
// on a malformed file (a missing source is a broken build, not something to skip).
std::map<std::string, Sprite> loadSprites(const std::string& path);
// Reads the creature sets of the sprite files in sources/pixelart/ (format described in
// pixelart.cpp: "key c #RRGGBB[AA]" or "key c none" palette lines, "outline c", then
// "[pose]" grids), so the pictures can show the same creatures as the scenes' sprites.
// The outline is applied as the sprite generator does: a one-pixel ring (4-neighbour) of
// the outline key around the shape, on a grid grown by one pixel on each side. Other
// directives are ignored. Ends the tool with a message on a missing or malformed file.
std::map<std::string, Sprite> loadCastSprites(const std::string& path);
// Draws a sprite with its top-left corner at (x, y), each grid pixel a scale x scale block.
void drawSprite(Canvas& c, const Sprite& s, int x, int y, int scale, bool mirror = false, float opacity = 1.0f);
// The same sprite drawn in one flat colour (for outlines, shadows, silhouettes).
void drawSpriteTinted(Canvas& c, const Sprite& s, int x, int y, int scale, Rgba tint, bool mirror = false);

// The 5x7 capital font of sources/pictures/font.txt: glyph rows as bit masks.
struct PixelFont {
    std::map<char, std::vector<std::string>> glyphs;  // rows of '#' and '.'
};
PixelFont loadPixelFont(const std::string& path);
// Width in font pixels of a text with one empty column between glyphs.
int textWidth(const PixelFont& f, const std::string& text);
// Calls ink(x, y) for every lit font pixel of the text, x and y in font pixels from (0, 0).
template <typename F> void forEachTextPixel(const PixelFont& f, const std::string& text, F ink) {
    int pen = 0;
    for (char ch : text) {
        auto it = f.glyphs.find(ch);
        if (it == f.glyphs.end()) { pen += 4; continue; }
        const auto& rows = it->second;
        int gw = rows.empty() ? 0 : static_cast<int>(rows[0].size());
        for (int y = 0; y < static_cast<int>(rows.size()); ++y)
            for (int x = 0; x < gw; ++x)
                if (rows[y][x] == '#') ink(pen + x, y);
        pen += gw + 1;
    }
}
// Draws text in flat blocks of `scale` pixels at (x, y).
void drawText(Canvas& c, const PixelFont& f, const std::string& text, int x, int y, int scale, Rgba col);

// Writes the canvas as an 8-bit PNG: RGBA when withAlpha, else RGB. Colours are
// un-premultiplied and gently dithered. Ends the tool with a message if the file cannot be
// written, or if an RGB picture has see-through pixels (a painting mistake).
void savePng(const Canvas& c, const std::string& path, bool withAlpha);

}  // namespace paint
