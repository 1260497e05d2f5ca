// Wave distortion (row and column picking, truncation, clamping) and the timed fades
// (opacity from the time window, replacement outside it).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "gfx2d/effects.h"

namespace {

// w x h image whose pixel (x, y) is 0xFF000000 | y << 8 | x: the value says where it came from.
Image* coordinateImage(int32_t w, int32_t h) {
    Image* image = newImage(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) image->pixels[y * w + x] = 0xFF000000u | (y << 8) | x;
    return image;
}

Image* filledImage(int32_t w, int32_t h, uint32_t value) {
    Image* image = newImage(w, h);
    for (int32_t i = 0; i < w * h; ++i) image->pixels[i] = value;
    return image;
}

}  // namespace

TEST(WaveDistort, PicksRowsAndColumnsByTruncatedSums) {
    constexpr int32_t W = 5, H = 6;
    // rowOf[i] and shift[i]: row i comes from source row rowOf[i], columns shifted by shift[i]
    // (then clamped to the image).
    struct Case {
        float phase, amplitude, frequency;
        int rowOf[H];
        int shift[H];
        const char* what;
    } cases[] = {
        {1.3f, 0.0f, 0.7f, {0, 1, 2, 3, 4, 5}, {0, 0, 0, 0, 0, 0}, "amplitude 0: exact copy"},
        {0.0f, 2.0f, 0.0f, {2, 3, 4, 5, 5, 5}, {0, 0, 0, 0, 0, 0},
         "every row from two further down; the last rows repeat the last"},
        {-0.5f, 1.5f, 0.0f, {1, 2, 3, 4, 5, 5}, {-1, -1, -1, -1, -1, -1},
         "offset -0.72 takes the column to the left, but column 0 stays"},
        {0.0f, 0.8f, 1.0f, {0, 1, 1, 2, 3, 5}, {0, 0, 0, 0, -1, -1},
         "sub-pixel amplitude: rows show the row above where cos < 0, shift where sin < 0"},
        {4.0f, 100.0f, 0.0f, {0, 0, 0, 0, 0, 0}, {-99, -99, -99, -99, -99, -99},
         "far up and left: clamped to the first row and column"},
        {1.0f, 100.0f, 0.0f, {5, 5, 5, 5, 5, 5}, {99, 99, 99, 99, 99, 99},
         "far down and right: clamped to the last row and column"},
    };
    Image* src = coordinateImage(W, H);
    for (const Case& c : cases) {
        Image* out = waveDistort(src, c.phase, c.amplitude, c.frequency);
        ASSERT_EQ(out->width, W);
        ASSERT_EQ(out->height, H);
        for (int32_t i = 0; i < H; ++i)
            for (int32_t j = 0; j < W; ++j) {
                int32_t col = j + c.shift[i];
                col = col < 0 ? 0 : col >= W ? W - 1 : col;
                // trunc toward zero: column 0 with a shift of -1 stays 0 (trunc(-0.7) = 0).
                const uint32_t expected = 0xFF000000u | (c.rowOf[i] << 8) | col;
                EXPECT_EQ(out->pixels[i * W + j], expected)
                    << c.what << ": row " << i << " column " << j;
            }
        freeImage(out);
    }
    freeImage(src);
}

TEST(WaveDistort, KeepsAllFourBytesAndHandlesEmptyImages) {
    Image* src = filledImage(3, 2, 0x12345678);
    Image* out = waveDistort(src, 0.3f, 1.7f, 0.2f);
    for (int32_t i = 0; i < 6; ++i) EXPECT_EQ(out->pixels[i], 0x12345678u);
    freeImage(out);
    freeImage(src);

    Image* empty = newImage(0, 0);
    Image* outEmpty = waveDistort(empty, 1.0f, 2.0f, 3.0f);
    EXPECT_EQ(outEmpty->width, 0);
    EXPECT_EQ(outEmpty->height, 0);
    freeImage(outEmpty);
    freeImage(empty);
}

// Opaque white over opaque black: each colour channel of the result is the opacity used,
// and the alpha byte too. A destination left alone stays 0xFF000000.
TEST(Fades, OpacityFollowsTheWindow) {
    constexpr uint32_t kUntouched = 0xFF000000u;
    constexpr uint32_t kReplaced = 0xFFFFFFFFu;   // the source copied as it is
    auto drawn = [](uint32_t opacity) { return (opacity << 24) | opacity * 0x010101u; };
    struct Case {
        bool in;   // fadeIn, else fadeOut
        float t, start, end;
        uint32_t expected;
        const char* what;
    } cases[] = {
        {true, -0.1f, 0.0f, 1.0f, kUntouched, "in, before the window"},
        {true, 0.0f, 0.0f, 1.0f, drawn(0), "in, at start: opacity 0, alpha bytes become 0"},
        {true, 0.25f, 0.0f, 1.0f, drawn(63), "in, a quarter"},
        {true, 0.5f, 0.0f, 1.0f, drawn(127), "in, half: 127.5 truncated"},
        {true, 1.0f, 0.0f, 1.0f, drawn(255), "in, at end"},
        {true, 1.001f, 0.0f, 1.0f, kReplaced, "in, after the window"},
        {false, -0.1f, 0.0f, 1.0f, kReplaced, "out, before the window"},
        {false, 0.0f, 0.0f, 1.0f, drawn(255), "out, at start"},
        {false, 0.25f, 0.0f, 1.0f, drawn(191), "out, a quarter"},
        {false, 0.5f, 0.0f, 1.0f, drawn(127), "out, half"},
        {false, 1.0f, 0.0f, 1.0f, drawn(0), "out, at end"},
        {false, 1.001f, 0.0f, 1.0f, kUntouched, "out, after the window"},
        // The scenes' windows, with their single-precision bounds: all half-way, all 127.
        {true, 6.05f, 6.0f, 6.1f, drawn(127), "first flash of the intro"},
        {true, 11.0f, 10.0f, 12.0f, drawn(127), "intro fade to white"},
        {false, 1.0f, 0.0f, 2.0f, drawn(127), "intro out of black"},
        {false, 0.001f, 0.0f, 2.0f, drawn(254), "intro's first frame: almost black"},
        {false, 121.2f, 121.0f, 121.4f, drawn(127), "closing scene's white"},
        {true, 125.75f, 125.5f, 126.0f, drawn(127), "creatures to white"},
        {false, 126.05f, 126.0f, 126.1f, drawn(127), "out of the white flash"},
        {true, 144.0f, 143.0f, 145.0f, drawn(127), "fade to black"},
    };
    Image* white = filledImage(1, 1, 0xFFFFFFFF);
    for (const Case& c : cases) {
        Image* dst = filledImage(3, 2, kUntouched);
        (c.in ? fadeIn : fadeOut)(white, dst, c.t, c.start, c.end);
        for (int32_t i = 0; i < 6; ++i)
            EXPECT_EQ(dst->pixels[i], c.expected) << c.what << ", pixel " << i;
        freeImage(dst);
    }
    freeImage(white);
}

TEST(Fades, ReplacementIsAnExactScaledCopy) {
    // 2x1 source over a 4x2 destination: every source pixel covers 2x2, alpha bytes included.
    Image* src = newImage(2, 1);
    src->pixels[0] = 0x80112233;
    src->pixels[1] = 0x00445566;
    for (int pass = 0; pass < 2; ++pass) {
        Image* dst = filledImage(4, 2, 0xFF000000);
        if (pass == 0)
            fadeIn(src, dst, 5.0f, 1.0f, 2.0f);
        else
            fadeOut(src, dst, 0.0f, 1.0f, 2.0f);
        const uint32_t expected[8] = {0x80112233, 0x80112233, 0x00445566, 0x00445566,
                                      0x80112233, 0x80112233, 0x00445566, 0x00445566};
        for (int32_t i = 0; i < 8; ++i) EXPECT_EQ(dst->pixels[i], expected[i]) << pass << ", " << i;
        freeImage(dst);
    }
    freeImage(src);
}
