// The row converters, their selection from a pixel format, and the texture format search.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstring>
#include <vector>

#include "display/display.h"

namespace {

struct ConverterCase {
    const char* name;
    uint32_t bits, r, g, b;
    PixelConverter converter;
    int bytes;
    // Destination bytes (little-endian) for 0xFF123456, white and opaque black.
    uint32_t sample, white, black;
};

const ConverterCase kConverters[] = {
    {"copy32", 32, 0x00FF0000, 0x0000FF00, 0x000000FF, convertCopy32, 4, 0xFF123456, 0xFFFFFFFF,
     0xFF000000},
    {"swap32", 32, 0x000000FF, 0x0000FF00, 0x00FF0000, convertSwap32, 4, 0x00563412, 0x00FFFFFF,
     0},
    {"bgr24", 24, 0xFF0000, 0xFF00, 0xFF, convertBgr24, 3, 0x123456, 0xFFFFFF, 0},
    {"rgb24", 24, 0xFF, 0xFF00, 0xFF0000, convertRgb24, 3, 0x563412, 0xFFFFFF, 0},
    {"565", 16, 0xF800, 0x07E0, 0x001F, convert565, 2, 0x11AA, 0xFFFF, 0},
    {"565 swapped", 16, 0x001F, 0x07E0, 0xF800, convert565Swapped, 2, 0x51A2, 0xFFFF, 0},
    {"555", 16, 0x7C00, 0x03E0, 0x001F, convert555, 2, 0x08CA, 0x7FFF, 0},
    {"555 swapped", 16, 0x001F, 0x03E0, 0x7C00, convert555Swapped, 2, 0x28C2, 0x7FFF, 0},
};

uint32_t readLittleEndian(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

}  // namespace

TEST(PixelConverters, WorkedValuesAndSelection) {
    const uint32_t source[3] = {0xFF123456, 0xFFFFFFFF, 0xFF000000};
    for (const ConverterCase& c : kConverters) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(selectPixelConverter(c.bits, c.r, c.g, c.b), c.converter);
        // One byte of guard after the three pixels: a converter must not write past count.
        uint8_t out[13];
        std::memset(out, 0xCD, sizeof out);
        c.converter(source, out, 3);
        EXPECT_EQ(readLittleEndian(out, c.bytes), c.sample);
        EXPECT_EQ(readLittleEndian(out + c.bytes, c.bytes), c.white);
        EXPECT_EQ(readLittleEndian(out + 2 * c.bytes, c.bytes), c.black);
        EXPECT_EQ(out[3 * c.bytes], 0xCD);
    }
    // The 24-bit byte orders spelled out, as the display reads them.
    uint8_t bgr[3], rgb[3];
    convertBgr24(source, bgr, 1);
    convertRgb24(source, rgb, 1);
    EXPECT_EQ(bgr[0], 0x56);
    EXPECT_EQ(bgr[2], 0x12);
    EXPECT_EQ(rgb[0], 0x12);
    EXPECT_EQ(rgb[2], 0x56);
}

TEST(PixelConverters, CountZeroWritesNothing) {
    const uint32_t source[1] = {0xFF123456};
    for (const ConverterCase& c : kConverters) {
        uint8_t out[4] = {0xCD, 0xCD, 0xCD, 0xCD};
        c.converter(source, out, 0);
        EXPECT_EQ(readLittleEndian(out, 4), 0xCDCDCDCDu) << c.name;
    }
}

TEST(PixelConverters, NoRowMatchesGivesNull) {
    struct Mismatch { uint32_t bits, r, g, b; } cases[] = {
        {16, 0xF800, 0x07C0, 0x003E},           // a 16-bit layout no row has
        {24, 0xF800, 0x07E0, 0x001F},           // right masks, wrong bit count
        {24, 0x00FF0000, 0x0000FF00, 0x0000FF00},
        {15, 0x7C00, 0x03E0, 0x001F},           // 5-5-5 is matched as 16 bits, not 15
        {8, 0xE0, 0x1C, 0x03},
        {32, 0xFF000000, 0x00FF0000, 0x0000FF00},
    };
    for (const Mismatch& m : cases) {
        EXPECT_EQ(selectPixelConverter(m.bits, m.r, m.g, m.b), nullptr)
            << m.bits << " " << std::hex << m.r << " " << m.g << " " << m.b;
    }
}

// Every texture format the search may pick gets a converter, and that converter writes
// exactly what SDL's own conversion from ARGB8888 writes: the masks and byte orders agree.
TEST(PixelConverters, AgreeWithSdlForEveryCandidateFormat) {
    uint32_t formats[16];
    const int count = textureFormatCandidates(32, formats, 16);
    ASSERT_EQ(count, 8);
    const uint32_t source[4] = {0xFF123456, 0x80FEDCBA, 0xFF0F7F80, 0x00000000};
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(SDL_GetPixelFormatName(formats[i]));
        PixelConverter converter = converterForSdlFormat(formats[i]);
        ASSERT_NE(converter, nullptr);
        const int bytes = SDL_BYTESPERPIXEL(formats[i]);
        uint8_t ours[16] = {}, sdl[16] = {};
        converter(source, ours, 4);
        ASSERT_EQ(SDL_ConvertPixels(4, 1, SDL_PIXELFORMAT_ARGB8888, source, 16, formats[i], sdl,
                                    4 * bytes),
                  0);
        for (int p = 0; p < 4; ++p) {
            uint32_t a = readLittleEndian(ours + p * bytes, bytes);
            uint32_t b = readLittleEndian(sdl + p * bytes, bytes);
            if (bytes == 4) {   // SDL fills unused alpha bits its own way; compare colour bits
                a &= 0x00FFFFFF;
                b &= 0x00FFFFFF;
            } else if (bytes == 2 && SDL_BITSPERPIXEL(formats[i]) == 15) {
                a &= 0x7FFF;
                b &= 0x7FFF;
            }
            EXPECT_EQ(a, b) << "pixel " << p;
        }
    }
}

TEST(PixelConverters, FormatSearchStartsAtTheRequestedDepth) {
    struct Case { int depth; int count; int firstBits; } cases[] = {
        {32, 8, 32}, {24, 6, 24}, {16, 4, 16}, {0, 8, 32}, {8, 8, 32},
    };
    for (const Case& c : cases) {
        uint32_t formats[16];
        const int n = textureFormatCandidates(c.depth, formats, 16);
        EXPECT_EQ(n, c.count) << c.depth;
        ASSERT_GT(n, 0);
        EXPECT_EQ(SDL_BITSPERPIXEL(formats[0]), static_cast<uint32_t>(c.firstBits)) << c.depth;
        for (int i = 1; i < n; ++i) {   // never a deeper format after a shallower one
            EXPECT_LE(SDL_BYTESPERPIXEL(formats[i]), SDL_BYTESPERPIXEL(formats[i - 1]));
        }
    }
    uint32_t two[2];
    EXPECT_EQ(textureFormatCandidates(32, two, 2), 2);   // capacity respected
}

// Rows land at their pitch offsets; the bytes between a row's pixels and the next row stay.
TEST(PixelConverters, ConvertFrameFollowsThePitch) {
    const int width = 5, height = 3, pitch = 5 * 2 + 6;
    std::vector<uint32_t> pixels(width * height);
    for (int i = 0; i < width * height; ++i) pixels[i] = 0xFF000000u | (i * 0x080808u);
    std::vector<uint8_t> memory(pitch * height, 0xAB);
    convertFrame(convert565, pixels.data(), width, height, memory.data(), pitch);
    for (int y = 0; y < height; ++y) {
        uint16_t expected[width];
        convert565(pixels.data() + y * width, expected, width);
        EXPECT_EQ(std::memcmp(memory.data() + y * pitch, expected, width * 2), 0) << y;
        for (int x = width * 2; x < pitch; ++x) EXPECT_EQ(memory[y * pitch + x], 0xAB) << y;
    }
}
