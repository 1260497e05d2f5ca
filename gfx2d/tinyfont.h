// gfx2d/tinyfont.h — a 3x5 pixel font for the labels of the contact sheet and the music
// and flash analysis plots, and for live play's overlay.
//
// Knows the digits, '.', '-', '=', ':', '>', '/', '%', ' ', 's', 't' and the capitals
// A to Z; any other character draws as a blank cell. Glyphs are 3 pixels wide with one
// pixel between them, 5 pixels high, each pixel a scale x scale block. Clipped to the image.
#pragma once
#include <cstdint>

#include "assets/image.h"

constexpr int kTinyGlyphWidth = 3;
constexpr int kTinyGlyphHeight = 5;

// Width in pixels of `text` drawn at `scale`.
int tinyTextWidth(const char* text, int scale);

// Draws `text` with its top-left corner at (x, y), setting the glyph pixels to `color`.
void drawTinyText(Image* image, int x, int y, const char* text, uint32_t color, int scale);
