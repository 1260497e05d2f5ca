#include "gfx2d/tinyfont.h"

#include <cstring>

namespace {

struct Glyph {
    char c;
    const char* rows[kTinyGlyphHeight];
};

const Glyph kGlyphs[] = {
    {'0', {"###", "#.#", "#.#", "#.#", "###"}}, {'1', {".#.", "##.", ".#.", ".#.", "###"}},
    {'2', {"###", "..#", "###", "#..", "###"}}, {'3', {"###", "..#", ".##", "..#", "###"}},
    {'4', {"#.#", "#.#", "###", "..#", "..#"}}, {'5', {"###", "#..", "###", "..#", "###"}},
    {'6', {"###", "#..", "###", "#.#", "###"}}, {'7', {"###", "..#", ".#.", ".#.", ".#."}},
    {'8', {"###", "#.#", "###", "#.#", "###"}}, {'9', {"###", "#.#", "###", "..#", "###"}},
    {'.', {"...", "...", "...", "...", ".#."}}, {'-', {"...", "...", "###", "...", "..."}},
    {'=', {"...", "###", "...", "###", "..."}}, {':', {"...", ".#.", "...", ".#.", "..."}},
    {'s', {"...", ".##", ".#.", "..#", "##."}}, {'t', {".#.", "###", ".#.", ".#.", ".##"}},
    {'>', {"#..", ".#.", "..#", ".#.", "#.."}}, {'A', {".#.", "#.#", "###", "#.#", "#.#"}},
    {'B', {"##.", "#.#", "##.", "#.#", "##."}}, {'C', {".##", "#..", "#..", "#..", ".##"}},
    {'E', {"###", "#..", "##.", "#..", "###"}}, {'G', {".##", "#..", "#.#", "#.#", ".##"}},
    {'I', {"###", ".#.", ".#.", ".#.", "###"}}, {'L', {"#..", "#..", "#..", "#..", "###"}},
    {'N', {"##.", "#.#", "#.#", "#.#", "#.#"}}, {'O', {".#.", "#.#", "#.#", "#.#", ".#."}},
    {'S', {".##", "#..", ".#.", "..#", "##."}}, {'T', {"###", ".#.", ".#.", ".#.", ".#."}},
    {'U', {"#.#", "#.#", "#.#", "#.#", "###"}}, {'W', {"#.#", "#.#", "#.#", "###", "#.#"}},
    {'D', {"##.", "#.#", "#.#", "#.#", "##."}}, {'F', {"###", "#..", "##.", "#..", "#.."}},
    {'H', {"#.#", "#.#", "###", "#.#", "#.#"}}, {'Q', {".#.", "#.#", "#.#", "##.", ".##"}},
    {'R', {"##.", "#.#", "##.", "#.#", "#.#"}},
};

const Glyph* findGlyph(char c) {
    for (const Glyph& g : kGlyphs) {
        if (g.c == c) return &g;
    }
    return nullptr;
}

}  // namespace

int tinyTextWidth(const char* text, int scale) {
    const int n = static_cast<int>(std::strlen(text));
    return n == 0 ? 0 : (n * (kTinyGlyphWidth + 1) - 1) * scale;
}

void drawTinyText(Image* image, int x, int y, const char* text, uint32_t color, int scale) {
    for (int i = 0; text[i]; ++i) {
        const Glyph* glyph = findGlyph(text[i]);
        if (!glyph) continue;
        const int gx = x + i * (kTinyGlyphWidth + 1) * scale;
        for (int row = 0; row < kTinyGlyphHeight; ++row) {
            for (int col = 0; col < kTinyGlyphWidth; ++col) {
                if (glyph->rows[row][col] != '#') continue;
                for (int dy = 0; dy < scale; ++dy) {
                    const int py = y + row * scale + dy;
                    if (py < 0 || py >= image->height) continue;
                    for (int dx = 0; dx < scale; ++dx) {
                        const int px = gx + col * scale + dx;
                        if (px < 0 || px >= image->width) continue;
                        image->pixels[static_cast<size_t>(py) * image->width + px] = color;
                    }
                }
            }
        }
    }
}
