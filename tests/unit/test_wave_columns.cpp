// waveDistort picks its source columns four at a time; the plain column-by-column form must
// give the same picture for every width (vector steps and tails), offsets of either sign,
// offsets whose float rounding lands on a whole column, and amplitudes that are huge,
// infinite or not a number.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "gfx2d/blit.h"
#include "gfx2d/effects.h"

namespace {

Image* numbered(int32_t w, int32_t h) {
    Image* image = newImage(w, h);
    for (int32_t i = 0; i < w * h; ++i) image->pixels[i] = 0xFF000000u | static_cast<uint32_t>(i);
    return image;
}

}  // namespace

TEST(WaveColumns, VectorPickEqualsThePlainPick) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float amplitudes[] = {0.0f, 0.3f, 0.8f, 2.0f, 2.5f, -7.25f, 40.0f, 1e6f, 3e9f, -3e9f, inf, -inf, nan};
    const int32_t widths[] = {1, 3, 4, 5, 17, 640};
    std::mt19937 gen(3);
    std::uniform_real_distribution<float> phase(0.0f, 150.0f), frequency(-1.0f, 1.0f);
    for (int32_t w : widths) {
        Image* src = numbered(w, 40);
        for (float amplitude : amplitudes)
            for (int k = 0; k < 6; ++k) {
                const float p = phase(gen), f = frequency(gen);
                Image* fast = waveDistort(src, p, amplitude, f);
                Image* plain = waveDistortReference(src, p, amplitude, f);
                ASSERT_EQ(std::vector<uint32_t>(fast->pixels, fast->pixels + w * 40),
                          std::vector<uint32_t>(plain->pixels, plain->pixels + w * 40))
                    << "width " << w << " amplitude " << amplitude << " phase " << p << " frequency " << f;
                freeImage(fast);
                freeImage(plain);
            }
        freeImage(src);
    }
}

// Offsets just below a whole number round up to it in float for larger columns only, so
// the shift changes along the row; both forms must agree column by column.
TEST(WaveColumns, RoundingAtWholeColumnsMatches) {
    Image* src = numbered(640, 1);
    // phase pi/2 with frequency 0: sin = 1, so the offset is the amplitude itself.
    const float halfPi = static_cast<float>(M_PI / 2);
    for (float amplitude : {0.99999f, 0.999999f, 1.9999999f, 2.99999f, -0.999999f, -1.0000001f}) {
        Image* fast = waveDistort(src, halfPi, amplitude, 0.0f);
        Image* plain = waveDistortReference(src, halfPi, amplitude, 0.0f);
        for (int32_t j = 0; j < 640; ++j) ASSERT_EQ(fast->pixels[j], plain->pixels[j]) << amplitude << " column " << j;
        freeImage(fast);
        freeImage(plain);
    }
    freeImage(src);
}

// The one-pass reflection writes exactly what turning the picture upside down, distorting it
// and scaling it into the destination rows writes: squashed and stretched, clipped at the
// bottom and on the right, and with amplitudes that push every row and column to a border.
TEST(WaveReflection, EqualsTurningDistortingAndScaling) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct { int32_t srcW, srcH, dstW, dstH, y, h; } layouts[] = {
        {640, 300, 640, 480, 300, 180},   // the box parade's water
        {17, 9, 17, 40, 0, 40},           // stretched
        {17, 9, 17, 40, 30, 25},          // clipped at the bottom
        {20, 12, 8, 12, 2, 5},            // destination narrower than the picture
        {5, 40, 9, 6, 1, 3},              // destination wider, most rows skipped
    };
    const float amplitudes[] = {0.0f, 2.5f, -7.25f, 1e6f, nan};
    std::mt19937 gen(11);
    std::uniform_real_distribution<float> phase(0.0f, 150.0f), frequency(-1.0f, 1.0f);
    for (const auto& l : layouts)
        for (float amplitude : amplitudes) {
            const float p = phase(gen), f = frequency(gen);
            SCOPED_TRACE(testing::Message() << l.srcW << "x" << l.srcH << " into " << l.dstW << "x"
                                            << l.dstH << " at " << l.y << ", amplitude " << amplitude);
            Image* src = numbered(l.srcW, l.srcH);
            Image* expected = newImage(l.dstW, l.dstH);
            Image* actual = newImage(l.dstW, l.dstH);
            for (int32_t i = 0; i < l.dstW * l.dstH; ++i)
                expected->pixels[i] = actual->pixels[i] = 0x12345678u + static_cast<uint32_t>(i);

            Image* turned = newImage(l.srcW, l.srcH);
            copyImage(src, turned);
            turned->flipVertical();
            Image* wave = waveDistortReference(turned, p, amplitude, f);
            stretchCopy(wave, expected, l.y, l.srcW, l.h);
            drawWaveReflection(src, actual, l.y, l.h, p, amplitude, f);

            EXPECT_EQ(std::vector<uint32_t>(expected->pixels, expected->pixels + l.dstW * l.dstH),
                      std::vector<uint32_t>(actual->pixels, actual->pixels + l.dstW * l.dstH));
            for (Image* image : {src, expected, actual, turned, wave}) freeImage(image);
        }
}
