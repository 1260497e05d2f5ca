// gfx2d/blit.cpp — pixel blending, the blits and their row kernels.
//
// The blits over many pixels share their destination rows out among the drawing threads
// (bands/bands.h): every row is the same whichever thread writes it, since a row's pixels
// depend only on the row's own source pixels and its position (scaled blits step the
// source in exact integer arithmetic: row k samples source row (k * stepY) >> 16).
#include "gfx2d/blit.h"

#include <algorithm>
#include <cstring>

#include "bands/bands.h"
#include "gfx2d/blitrows.h"

void blendAlpha(uint32_t* dst, uint32_t src, int32_t opacity) {
    const uint32_t op = static_cast<uint32_t>(opacity) & 0xFF;
    const uint32_t d = *dst;
    const uint32_t a = (src >> 24) * op / 255;
    uint32_t out = a << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t sc = (src >> shift) & 0xFF;
        const uint32_t dc = (d >> shift) & 0xFF;
        out |= ((sc * a + dc * (255 - a)) / 255) << shift;
    }
    *dst = out;
}

void blendAdd(uint32_t* dst, uint32_t src, int32_t opacity) {
    const uint32_t op = static_cast<uint32_t>(opacity) & 0xFF;
    const uint32_t d = *dst;
    const uint32_t e = ((src >> 24) * op) >> 8;
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t sc = (src >> shift) & 0xFF;
        const uint32_t dc = (d >> shift) & 0xFF;
        const uint32_t v = std::min<uint32_t>(sc * e + dc * 255, 65535);
        out |= (v >> 8) << shift;
    }
    *dst = out;
}

// ---------------------------------------------------------------------------------------
// Row kernels: the reference set, one call of the pixel rule per pixel.

namespace {

void refOver(uint32_t* dst, const uint32_t* src, int32_t n, uint32_t opacity) {
    for (int32_t j = 0; j < n; ++j) blendAlpha(dst + j, src[j], static_cast<int32_t>(opacity));
}

void refAdd(uint32_t* dst, const uint32_t* src, int32_t n, uint32_t opacity) {
    for (int32_t j = 0; j < n; ++j) blendAdd(dst + j, src[j], static_cast<int32_t>(opacity));
}

void refOverScaled(uint32_t* dst, const uint32_t* row, int32_t n, int64_t sx, int64_t stepX,
                   uint32_t opacity) {
    for (int32_t j = 0; j < n; ++j, sx += stepX)
        blendAlpha(dst + j, row[sx >> 16], static_cast<int32_t>(opacity));
}

void refAddScaled(uint32_t* dst, const uint32_t* row, int32_t n, int64_t sx, int64_t stepX,
                  uint32_t opacity) {
    for (int32_t j = 0; j < n; ++j, sx += stepX)
        blendAdd(dst + j, row[sx >> 16], static_cast<int32_t>(opacity));
}

void copyScaledRow(uint32_t* dst, const uint32_t* row, int32_t n, int64_t sx, int64_t stepX) {
    for (int32_t j = 0; j < n; ++j, sx += stepX) dst[j] = row[sx >> 16];
}

// ---------------------------------------------------------------------------------------
// Fast set. The colour channels are spread into wider lanes of one 64-bit word so that
// one multiply serves all three; the results are those of blendAlpha/blendAdd exactly.

// Over: B in bits 0..15, R in 16..31, G in 32..47; every lane holds up to 255*255.
inline uint64_t spreadOver(uint32_t c) {
    return (c & 0x00FF00FFu) | (static_cast<uint64_t>(c & 0x0000FF00u) << 24);
}

constexpr uint64_t kOverLanes = 0x000000FF00FF00FFull;

inline uint32_t overPixel(uint32_t d, uint32_t s, uint32_t a) {
    if (a == 255) return s | 0xFF000000u;
    if (a == 0) return d & 0x00FFFFFFu;
    uint64_t v = spreadOver(s) * a + spreadOver(d) * (255 - a);
    // div255 in every lane at once: (v + 1 + (v >> 8)) >> 8, no lane exceeds 16 bits.
    v = ((v + 0x0000000100010001ull + ((v >> 8) & kOverLanes)) >> 8) & kOverLanes;
    return (a << 24) | static_cast<uint32_t>(v) | static_cast<uint32_t>(v >> 24);
}

// Add: B in bits 0..20, G in 21..41, R in 42..62; a lane holds up to 255*254 + 255*255,
// which needs 17 bits. A lane at 65536 or more saturates to 65535.
inline uint64_t spreadAdd(uint32_t c) {
    return (c & 0xFFu) | (static_cast<uint64_t>(c & 0xFF00u) << 13) |
           (static_cast<uint64_t>(c & 0xFF0000u) << 26);
}

constexpr uint64_t kAddLaneBit0 = 1ull | (1ull << 21) | (1ull << 42);

inline uint32_t addPixel(uint32_t d, uint32_t s, uint32_t e) {
    uint64_t v = spreadAdd(s) * e + spreadAdd(d) * 255;
    v |= ((v >> 16) & kAddLaneBit0) * 0xFFFF;   // saturate lanes that reached bit 16
    return 0xFF000000u | static_cast<uint32_t>((v >> 8) & 0xFF) |
           static_cast<uint32_t>((v >> 21) & 0xFF00) | static_cast<uint32_t>((v >> 34) & 0xFF0000);
}

inline uint32_t effectiveAlpha(uint32_t sa, uint32_t opacity) {
    return opacity == 255 ? sa : div255(sa * opacity);
}

void fastOver(uint32_t* dst, const uint32_t* src, int32_t n, uint32_t opacity) {
    if (opacity == 0) {
        for (int32_t j = 0; j < n; ++j) dst[j] &= 0x00FFFFFFu;
        return;
    }
    for (int32_t j = 0; j < n; ++j) {
        const uint32_t s = src[j];
        dst[j] = overPixel(dst[j], s, effectiveAlpha(s >> 24, opacity));
    }
}

void fastAdd(uint32_t* dst, const uint32_t* src, int32_t n, uint32_t opacity) {
    for (int32_t j = 0; j < n; ++j) {
        const uint32_t s = src[j];
        dst[j] = addPixel(dst[j], s, ((s >> 24) * opacity) >> 8);
    }
}

void fastOverScaled(uint32_t* dst, const uint32_t* row, int32_t n, int64_t sx, int64_t stepX,
                    uint32_t opacity) {
    if (opacity == 0) {
        for (int32_t j = 0; j < n; ++j) dst[j] &= 0x00FFFFFFu;
        return;
    }
    for (int32_t j = 0; j < n; ++j, sx += stepX) {
        const uint32_t s = row[sx >> 16];
        dst[j] = overPixel(dst[j], s, effectiveAlpha(s >> 24, opacity));
    }
}

void fastAddScaled(uint32_t* dst, const uint32_t* row, int32_t n, int64_t sx, int64_t stepX,
                   uint32_t opacity) {
    for (int32_t j = 0; j < n; ++j, sx += stepX) {
        const uint32_t s = row[sx >> 16];
        dst[j] = addPixel(dst[j], s, ((s >> 24) * opacity) >> 8);
    }
}

}  // namespace

const BlitRowKernels blitRowsReference = {"reference", refOver, refAdd, refOverScaled,
                                          refAddScaled, copyScaledRow};
const BlitRowKernels blitRowsFast = {"fast", fastOver, fastAdd, fastOverScaled, fastAddScaled,
                                     copyScaledRow};

// ---------------------------------------------------------------------------------------
// Blits: clipping and addressing. Bounds are computed in 64 bits so that no position or
// size can overflow; everything inside the clipped ranges lies within both images.

namespace {

inline uint32_t* pixelAt(Image* image, int64_t x, int64_t y) {
    return image->pixels + y * image->width + x;
}

inline const uint32_t* pixelAt(const Image* image, int64_t x, int64_t y) {
    return image->pixels + y * image->width + x;
}

using RowBlend = void (*)(uint32_t*, const uint32_t*, int32_t, uint32_t);
using ScaledRowBlend = void (*)(uint32_t*, const uint32_t*, int32_t, int64_t, int64_t, uint32_t);

void blitUnscaled(Image* dst, const Image* src, int32_t x, int32_t y, int32_t opacity,
                  RowBlend kernel) {
    const int64_t i0 = y < 0 ? -static_cast<int64_t>(y) : 0;
    const int64_t i1 = std::min<int64_t>(src->height, static_cast<int64_t>(dst->height) - y);
    const int64_t j0 = x < 0 ? -static_cast<int64_t>(x) : 0;
    const int64_t j1 = std::min<int64_t>(src->width, static_cast<int64_t>(dst->width) - x);
    if (i0 >= i1 || j0 >= j1) return;
    const int32_t n = static_cast<int32_t>(j1 - j0);
    const uint32_t op = static_cast<uint32_t>(opacity) & 0xFF;
    // Drawn onto itself, a row may read rows another band writes: one thread.
    const int64_t work = src == dst ? 0 : n * (i1 - i0);
    forEachBand(RowBand{static_cast<int32_t>(i0), static_cast<int32_t>(i1)}, work, [&](RowBand band) {
        for (int64_t i = band.begin; i < band.end; ++i)
            kernel(pixelAt(dst, x + j0, y + i), pixelAt(src, j0, i), n, op);
    });
}

// The visible window of a w x h rectangle at (x, y) in dst, in output coordinates.
struct ScaledClip {
    int64_t k0, k1, j0, j1, stepX, stepY;
};

bool clipScaled(const Image* dst, const Image* src, int32_t x, int32_t y, int32_t w, int32_t h,
                ScaledClip* c) {
    if (w <= 0 || h <= 0 || src->width <= 0 || src->height <= 0) return false;
    c->stepX = static_cast<int64_t>(src->width) * 65536 / w;
    c->stepY = static_cast<int64_t>(src->height) * 65536 / h;
    c->k0 = y < 0 ? -static_cast<int64_t>(y) : 0;
    c->k1 = std::min<int64_t>(h, static_cast<int64_t>(dst->height) - y);
    c->j0 = x < 0 ? -static_cast<int64_t>(x) : 0;
    c->j1 = std::min<int64_t>(w, static_cast<int64_t>(dst->width) - x);
    return c->k0 < c->k1 && c->j0 < c->j1;
}

// Output rows that sample the same source row blend the same picked pixels: an enlarged
// source (the glow, the fades from small pictures) has runs of such rows. The pixels of a
// source row are picked once into `picked` and the run blends them with the unscaled row
// kernel. The reference set keeps its per-pixel scaled kernel, and so does drawing an image
// onto itself, where a source row may change between the rows of a run.
constexpr int64_t kPickedRow = 2048;

void blitScaled(Image* dst, const Image* src, int32_t x, int32_t y, int32_t w, int32_t h,
                int32_t opacity, ScaledRowBlend kernel, RowBlend rowKernel) {
    ScaledClip c;
    if (!clipScaled(dst, src, x, y, w, h, &c)) return;
    const int32_t n = static_cast<int32_t>(c.j1 - c.j0);
    const int64_t sx0 = c.j0 * c.stepX;   // clipped columns still advance the source
    const uint32_t op = static_cast<uint32_t>(opacity) & 0xFF;
    const bool plain = blitRows == &blitRowsReference || src == dst;
    // Output rows k0 .. k1-1, source row (k * stepY) >> 16 for row k. Drawn onto itself, a
    // row may read rows another band writes: one thread.
    const int64_t work = src == dst ? 0 : n * (c.k1 - c.k0);
    forEachBand(RowBand{static_cast<int32_t>(c.k0), static_cast<int32_t>(c.k1)}, work, [&](RowBand band) {
        int64_t sy = band.begin * c.stepY;
        if (!plain && c.stepX == 65536) {
            // One to one across (the grass strips): the picked pixels would be the source
            // row itself, so the row kernel blends straight from it.
            for (int64_t k = band.begin; k < band.end; ++k, sy += c.stepY)
                rowKernel(pixelAt(dst, x + c.j0, y + k), pixelAt(src, c.j0, sy >> 16), n, op);
            return;
        }
        if (plain || n > kPickedRow) {
            for (int64_t k = band.begin; k < band.end; ++k, sy += c.stepY)
                kernel(pixelAt(dst, x + c.j0, y + k), pixelAt(src, 0, sy >> 16), n, sx0, c.stepX, op);
            return;
        }
        uint32_t picked[kPickedRow];
        int64_t pickedRow = -1;
        for (int64_t k = band.begin; k < band.end; ++k, sy += c.stepY) {
            if ((sy >> 16) != pickedRow) {
                pickedRow = sy >> 16;
                blitRows->copyScaled(picked, pixelAt(src, 0, pickedRow), n, sx0, c.stepX);
            }
            rowKernel(pixelAt(dst, x + c.j0, y + k), picked, n, op);
        }
    });
}

}  // namespace

void fillImage(Image* dst, uint32_t value) {
    if (drawingSuspended()) return;
    if (!dst->pixels || dst->width <= 0 || dst->height <= 0) return;
    forEachBand(RowBand{0, dst->height}, static_cast<int64_t>(dst->width) * dst->height, [&](RowBand band) {
        std::fill(pixelAt(dst, 0, band.begin), pixelAt(dst, 0, band.end), value);
    });
}

void copyImage(const Image* src, Image* dst) {
    if (drawingSuspended()) return;
    // Only the overlap of the two images is copied, whatever their sizes.
    const int32_t rows = std::min(src->height, dst->height);
    const int32_t cols = std::min(src->width, dst->width);
    if (rows <= 0 || cols <= 0 || src == dst) return;
    forEachBand(RowBand{0, rows}, static_cast<int64_t>(rows) * cols, [&](RowBand band) {
        const size_t rowBytes = static_cast<size_t>(cols) * sizeof(uint32_t);
        if (src->width == dst->width) {
            std::memcpy(pixelAt(dst, 0, band.begin), pixelAt(src, 0, band.begin),
                        static_cast<size_t>(band.end - band.begin) * rowBytes);
            return;
        }
        for (int32_t r = band.begin; r < band.end; ++r)
            std::memcpy(pixelAt(dst, 0, r), pixelAt(src, 0, r), rowBytes);
    });
}

void drawImage(Image* dst, const Image* src, int32_t x, int32_t y, int32_t opacity) {
    if (drawingSuspended()) return;
    blitUnscaled(dst, src, x, y, opacity, blitRows->over);
}

void drawImageAdd(Image* dst, const Image* src, int32_t x, int32_t y, int32_t opacity) {
    if (drawingSuspended()) return;
    blitUnscaled(dst, src, x, y, opacity, blitRows->add);
}

void drawLayers(Image* dst, const Layer* layers, int32_t count) {
    if (drawingSuspended()) return;
    // Each pixel meets the pictures in the same order as with one blit after the other, and
    // a pixel's result depends only on its own value and the pictures' pixels at it.
    int32_t rows = 0;
    bool ontoItself = false;
    for (int32_t k = 0; k < count; ++k) {
        rows = std::max(rows, std::min(layers[k].image->height, dst->height));
        ontoItself = ontoItself || layers[k].image == dst;
    }
    const int64_t work = ontoItself ? 0 : static_cast<int64_t>(rows) * dst->width * count;
    forEachBand(RowBand{0, rows}, work, [&](RowBand band) {
        for (int64_t i = band.begin; i < band.end; ++i) {
            for (int32_t k = 0; k < count; ++k) {
                const Layer& layer = layers[k];
                const Image* src = layer.image;
                const int32_t n = std::min(src->width, dst->width);
                if (i >= src->height || n <= 0) continue;
                const RowBlend kernel = layer.add ? blitRows->add : blitRows->over;
                kernel(pixelAt(dst, 0, i), pixelAt(src, 0, i), n, static_cast<uint32_t>(layer.opacity) & 0xFF);
            }
        }
    });
}

void stretchCopy(const Image* src, Image* dst, int32_t y, int32_t w, int32_t h) {
    if (drawingSuspended()) return;
    // Clipped on every side like the blended blits; rows above the top edge are skipped
    // but still advance the source, as in stretchDraw.
    ScaledClip c;
    if (!clipScaled(dst, src, 0, y, w, h, &c)) return;
    const int32_t n = static_cast<int32_t>(c.j1);
    // A row that samples the same source row as the one above it is a copy of that row
    // (unless source and destination are one image, or the plain reference set runs); a
    // band's first row is always made from the source, the row above being another band's.
    const bool reuse = src != dst && blitRows != &blitRowsReference;
    const int64_t work = src == dst ? 0 : n * (c.k1 - c.k0);
    forEachBand(RowBand{static_cast<int32_t>(c.k0), static_cast<int32_t>(c.k1)}, work, [&](RowBand band) {
        int64_t sy = band.begin * c.stepY;
        for (int64_t k = band.begin; k < band.end; ++k, sy += c.stepY) {
            uint32_t* row = pixelAt(dst, 0, y + k);
            if (reuse && k > band.begin && ((sy - c.stepY) >> 16) == (sy >> 16))
                std::memcpy(row, row - dst->width, static_cast<size_t>(n) * sizeof(uint32_t));
            else
                blitRows->copyScaled(row, pixelAt(src, 0, sy >> 16), n, 0, c.stepX);
        }
    });
}

void stretchDraw(Image* dst, const Image* src, int32_t x, int32_t y, int32_t w, int32_t h,
                 int32_t opacity) {
    if (drawingSuspended()) return;
    blitScaled(dst, src, x, y, w, h, opacity, blitRows->overScaled, blitRows->over);
}

void stretchDrawAdd(Image* dst, const Image* src, int32_t x, int32_t y, int32_t w, int32_t h,
                    int32_t opacity) {
    if (drawingSuspended()) return;
    blitScaled(dst, src, x, y, w, h, opacity, blitRows->addScaled, blitRows->add);
}
