// gfx2d/blit.h — per-pixel blending and the image blits every scene draws with.
//
// Offers: blendAlpha, blendAdd, copyImage, drawImage, drawImageAdd, drawLayers, stretchCopy,
//         stretchDraw, stretchDrawAdd (Image::flipVertical is defined here too).
// Needs:  assets/image.h.
//         The row kernels the blits run on are in gfx2d/blitrows.h.
//
// Integer arithmetic only; scaled blits step through the source in 16.16 fixed point.
// Opacity: only the low 8 bits count (256 acts as 0, -1 as 255). Nothing allocates.
// Every blit clips against the destination; a w or h of 0 or less draws nothing.
// While drawing is suspended (assets/image.h) every one of them returns at once.
#pragma once
#include <cstdint>

#include "assets/image.h"

// x / 255 for 0 <= x <= 65025 (any product of two bytes, or a sum of two such products
// weighted to at most 255*255) without a division: exact over that whole range.
inline uint32_t div255(uint32_t x) { return (x + 1 + (x >> 8)) >> 8; }

// a = sA*opacity/255; dC = (sC*a + dC*(255-a))/255 for R, G, B; dA = a.
void blendAlpha(uint32_t* dst, uint32_t src, int32_t opacity);
// e = (sA*opacity) >> 8; dC = min(sC*e + dC*255, 65535) >> 8; dA = 255.
void blendAdd(uint32_t* dst, uint32_t src, int32_t opacity);

// Sets every pixel of the image to `value`.
void fillImage(Image* dst, uint32_t value);
// Copies every source pixel to the same position; clipped to the destination.
void copyImage(const Image* src, Image* dst);
// Blends the whole source with its top-left corner at (x, y).
void drawImage(Image* dst, const Image* src, int32_t x, int32_t y, int32_t opacity);
void drawImageAdd(Image* dst, const Image* src, int32_t x, int32_t y, int32_t opacity);

// Pictures laid over the destination at (0, 0) one after the other, as drawImage (or
// drawImageAdd where `add` is set) of each in turn would: the same pixels, but a row at a
// time through all of them, so each destination row is read and written once while it is
// in the cache instead of once a picture.
struct Layer {
    const Image* image;
    int32_t opacity;
    bool add;
};
void drawLayers(Image* dst, const Layer* layers, int32_t count);
// Source scaled to w x h (nearest neighbour), copied without blending at (0, y); clipped.
void stretchCopy(const Image* src, Image* dst, int32_t y, int32_t w, int32_t h);
// Source scaled to w x h, blended at (x, y).
void stretchDraw(Image* dst, const Image* src, int32_t x, int32_t y, int32_t w, int32_t h,
                 int32_t opacity);
void stretchDrawAdd(Image* dst, const Image* src, int32_t x, int32_t y, int32_t w, int32_t h,
                    int32_t opacity);
