// The eight row converters and their selection. Pure functions: no SDL state involved.
#include <SDL.h>

#include <cstring>

#include "display/display.h"

namespace {
inline uint32_t red(uint32_t p) { return (p >> 16) & 0xFF; }
inline uint32_t green(uint32_t p) { return (p >> 8) & 0xFF; }
inline uint32_t blue(uint32_t p) { return p & 0xFF; }

// 16-bit destinations are written little-endian whatever the host, so do 24-bit ones.
inline void store16(uint8_t* d, uint32_t v) {
    d[0] = static_cast<uint8_t>(v);
    d[1] = static_cast<uint8_t>(v >> 8);
}
inline void store32(uint8_t* d, uint32_t v) {
    d[0] = static_cast<uint8_t>(v);
    d[1] = static_cast<uint8_t>(v >> 8);
    d[2] = static_cast<uint8_t>(v >> 16);
    d[3] = static_cast<uint8_t>(v >> 24);
}
}  // namespace

void convertCopy32(const uint32_t* source, void* destination, int32_t count) {
    uint8_t* d = static_cast<uint8_t*>(destination);
    for (int32_t i = 0; i < count; ++i, d += 4) store32(d, source[i]);
}

void convertSwap32(const uint32_t* source, void* destination, int32_t count) {
    uint8_t* d = static_cast<uint8_t*>(destination);
    for (int32_t i = 0; i < count; ++i, d += 4) {
        const uint32_t p = source[i];
        store32(d, (blue(p) << 16) | (green(p) << 8) | red(p));
    }
}

void convertBgr24(const uint32_t* source, void* destination, int32_t count) {
    uint8_t* d = static_cast<uint8_t*>(destination);
    for (int32_t i = 0; i < count; ++i, d += 3) {
        const uint32_t p = source[i];
        d[0] = static_cast<uint8_t>(blue(p));
        d[1] = static_cast<uint8_t>(green(p));
        d[2] = static_cast<uint8_t>(red(p));
    }
}

void convertRgb24(const uint32_t* source, void* destination, int32_t count) {
    uint8_t* d = static_cast<uint8_t*>(destination);
    for (int32_t i = 0; i < count; ++i, d += 3) {
        const uint32_t p = source[i];
        d[0] = static_cast<uint8_t>(red(p));
        d[1] = static_cast<uint8_t>(green(p));
        d[2] = static_cast<uint8_t>(blue(p));
    }
}

void convert565(const uint32_t* source, void* destination, int32_t count) {
    uint8_t* d = static_cast<uint8_t*>(destination);
    for (int32_t i = 0; i < count; ++i, d += 2) {
        const uint32_t p = source[i];
        store16(d, ((red(p) >> 3) << 11) | ((green(p) >> 2) << 5) | (blue(p) >> 3));
    }
}

void convert565Swapped(const uint32_t* source, void* destination, int32_t count) {
    uint8_t* d = static_cast<uint8_t*>(destination);
    for (int32_t i = 0; i < count; ++i, d += 2) {
        const uint32_t p = source[i];
        store16(d, ((blue(p) >> 3) << 11) | ((green(p) >> 2) << 5) | (red(p) >> 3));
    }
}

void convert555(const uint32_t* source, void* destination, int32_t count) {
    uint8_t* d = static_cast<uint8_t*>(destination);
    for (int32_t i = 0; i < count; ++i, d += 2) {
        const uint32_t p = source[i];
        store16(d, ((red(p) >> 3) << 10) | ((green(p) >> 3) << 5) | (blue(p) >> 3));
    }
}

void convert555Swapped(const uint32_t* source, void* destination, int32_t count) {
    uint8_t* d = static_cast<uint8_t*>(destination);
    for (int32_t i = 0; i < count; ++i, d += 2) {
        const uint32_t p = source[i];
        store16(d, ((blue(p) >> 3) << 10) | ((green(p) >> 3) << 5) | (red(p) >> 3));
    }
}

PixelConverter selectPixelConverter(uint32_t bitCount, uint32_t redMask, uint32_t greenMask,
                                    uint32_t blueMask) {
    struct Row {
        uint32_t bits, r, g, b;
        PixelConverter converter;
    };
    static const Row rows[] = {
        {32, 0x00FF0000, 0x0000FF00, 0x000000FF, convertCopy32},
        {32, 0x000000FF, 0x0000FF00, 0x00FF0000, convertSwap32},
        {24, 0xFF0000, 0xFF00, 0xFF, convertBgr24},
        {24, 0xFF, 0xFF00, 0xFF0000, convertRgb24},
        {16, 0xF800, 0x07E0, 0x001F, convert565},
        {16, 0x001F, 0x07E0, 0xF800, convert565Swapped},
        {16, 0x7C00, 0x03E0, 0x001F, convert555},
        {16, 0x001F, 0x03E0, 0x7C00, convert555Swapped},
    };
    for (const Row& row : rows) {
        if (row.bits == bitCount && row.r == redMask && row.g == greenMask && row.b == blueMask)
            return row.converter;
    }
    return nullptr;
}

PixelConverter converterForSdlFormat(uint32_t sdlFormat) {
    int bpp = 0;
    Uint32 r = 0, g = 0, b = 0, a = 0;
    if (!SDL_PixelFormatEnumToMasks(sdlFormat, &bpp, &r, &g, &b, &a)) return nullptr;
    // SDL counts 5-5-5 formats as 15 bits; in memory they are 16-bit words.
    if (bpp == 15) bpp = 16;
    return selectPixelConverter(static_cast<uint32_t>(bpp), r, g, b);
}

int textureFormatCandidates(int firstDepth, uint32_t* formats, int capacity) {
    struct Group {
        int depth;
        uint32_t formats[4];
        int count;
    };
    static const Group groups[] = {
        {32, {SDL_PIXELFORMAT_ARGB8888, SDL_PIXELFORMAT_ABGR8888}, 2},
        {24, {SDL_PIXELFORMAT_RGB24, SDL_PIXELFORMAT_BGR24}, 2},
        {16,
         {SDL_PIXELFORMAT_RGB565, SDL_PIXELFORMAT_BGR565, SDL_PIXELFORMAT_RGB555,
          SDL_PIXELFORMAT_BGR555},
         4},
    };
    if (firstDepth != 24 && firstDepth != 16) firstDepth = 32;
    int n = 0;
    for (const Group& group : groups) {
        if (group.depth > firstDepth) continue;
        for (int i = 0; i < group.count && n < capacity; ++i) formats[n++] = group.formats[i];
    }
    return n;
}

void convertFrame(PixelConverter converter, const uint32_t* pixels, int32_t width,
                  int32_t height, void* destination, int32_t pitch) {
    uint8_t* row = static_cast<uint8_t*>(destination);
    for (int32_t y = 0; y < height; ++y, row += pitch) {
        converter(pixels + static_cast<size_t>(y) * width, row, width);
    }
}
