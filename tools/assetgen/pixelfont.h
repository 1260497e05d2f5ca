// tools/assetgen/pixelfont.h — a small proportional bitmap font for pixel lettering.
//
// Offers: PixelFont (glyphs read from an editable text grid), parsePixelFont/loadPixelFont,
//         pixelGlyph, pixelTextWidth, renderPixelText (a string as a 0/1 grid).
// Needs:  nothing but the standard library.
//
// The font is kept in tools/assetgen/sources/pixelart/font.txt:
//
//     ; comment
//     [A]          <- header: the character between the brackets ("[ ]" is space)
//     .###.        <- exactly kPixelFontHeight rows follow, '#' ink, '.' paper
//     #...#
//     ...
//
// Every glyph cell is kPixelFontHeight rows tall: rows 0 .. kPixelFontAscent-1 stand on the
// baseline (capitals are 7 high, lower case 5), the last two rows hold descenders (g, j, p,
// q, y, ','). Glyphs are 1 to kPixelFontMaxWidth pixels wide and carry no side bearing:
// callers choose the spacing between glyphs.
//
// Typical use (the asset tool's parts get the sources folder from GenContext):
//
//     PixelFont font;
//     std::string error;
//     if (!loadPixelFont((ctx.sourceDir + "/pixelart/font.txt").c_str(), &font, &error)) ...
//     PixelBitmap word = renderPixelText(font, "greetings to", 1);
//     for (int y = 0; y < word.height; ++y)
//         for (int x = 0; x < word.width; ++x)
//             if (pixelAt(word, x, y)) ...   // y = 0 is the top row
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr int kPixelFontHeight = 9;    // rows per glyph cell
constexpr int kPixelFontAscent = 7;    // rows above the baseline (capital height)
constexpr int kPixelFontMaxWidth = 8;  // widest glyph

struct PixelGlyph {
    int width;                          // 1 .. kPixelFontMaxWidth
    uint8_t rows[kPixelFontHeight];     // bit x (1 << x) set = ink in column x, x = 0 leftmost
};

struct PixelFont {
    bool present[128];                  // which ASCII characters have a glyph
    PixelGlyph glyphs[128];
};

// Parses font text in the format above into *font. On failure returns false, leaves *font
// untouched and puts a message naming the line in *error (error may be null).
bool parsePixelFont(const std::string& text, PixelFont* font, std::string* error);
// Reads and parses the font file at `path`; failures as parsePixelFont (including an
// unreadable file).
bool loadPixelFont(const char* path, PixelFont* font, std::string* error);

// The glyph of c; when c has none, the glyph of c in the other case (so a capitals-only
// font still prints lower case); else null. Non-ASCII characters give null.
const PixelGlyph* pixelGlyph(const PixelFont& font, char c);
// True when the glyph has ink at (x, y); false outside the glyph.
bool pixelGlyphInk(const PixelGlyph& glyph, int x, int y);

// A rendered string: width x height cells, bits[y * width + x] is 1 for ink, 0 for paper.
struct PixelBitmap {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bits;
};
// True when the bitmap has ink at (x, y); false outside it.
bool pixelAt(const PixelBitmap& bitmap, int x, int y);

// Width in pixels of one line of text: glyph widths plus `spacing` pixels between adjacent
// glyphs (none after the last). Stops at '\n'. Characters without a glyph count as '?'
// (or nothing if the font has no '?' either). Null or empty text gives 0.
int pixelTextWidth(const PixelFont& font, const char* text, int spacing);

// Renders text into a 0/1 grid. Lines are separated by '\n', each line is left-aligned and
// kPixelFontHeight rows tall, with `lineGap` empty rows between lines. The width is that of
// the widest line. Characters without a glyph are drawn as '?' (or skipped if there is
// none). Empty text gives a 0 x kPixelFontHeight bitmap.
PixelBitmap renderPixelText(const PixelFont& font, const char* text, int spacing, int lineGap = 2);
