// The spectrum's calibration: what a scene reads for a known signal.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/fft.h"

namespace {

// Interleaved stereo frames of a sine centred on `bin`, with per-channel amplitudes.
std::vector<int16_t> sine(int frames, double bin, double left, double right) {
    std::vector<int16_t> s(2 * frames);
    for (int i = 0; i < frames; ++i) {
        const double v = std::sin(2.0 * M_PI * bin * i / kFftSize);
        s[2 * i] = static_cast<int16_t>(std::lround(v * left * 32767.0));
        s[2 * i + 1] = static_cast<int16_t>(std::lround(v * right * 32767.0));
    }
    return s;
}

}  // namespace

TEST(Spectrum, FullScaleSineCentredOnABinReadsOne) {
    for (int bin : {1, 2, 5, 40, 127}) {
        const auto s = sine(1024, bin, 1.0, 1.0);
        float out[kSpectrumCapacity] = {};
        computeSpectrum(s.data(), 1024, 300, out);
        EXPECT_NEAR(out[bin], 1.0f, 2e-3f) << bin;
        // The Hann window spreads half into each neighbour and nothing further.
        if (bin > 1) {
            EXPECT_NEAR(out[bin - 1], 0.5f, 2e-3f) << bin;
        }
        if (bin < 126) {
            EXPECT_NEAR(out[bin + 1], 0.5f, 2e-3f) << bin;
        }
        for (int k = 0; k < kSpectrumBins; ++k) {
            if (std::abs(k - bin) > 1) {
                EXPECT_LT(out[k], 2e-3f) << bin << " at " << k;
            }
        }
        EXPECT_EQ(out[kSpectrumBins], 0.0f);   // only the bins are written
    }
}

TEST(Spectrum, ChannelsAreAveragedToMono) {
    struct Case { double left, right, expected; } cases[] = {
        {1.0, -1.0, 0.0},   // opposite phases cancel
        {1.0, 0.0, 0.5},    // one channel alone is half as loud
        {0.5, 0.5, 0.5},
    };
    for (const Case& c : cases) {
        const auto s = sine(512, 3, c.left, c.right);
        float out[kSpectrumBins];
        computeSpectrum(s.data(), 512, 0, out);
        EXPECT_NEAR(out[3], c.expected, 2e-3) << c.left << "/" << c.right;
    }
}

TEST(Spectrum, SilenceAndFramesOutsideTheMusicReadZero) {
    const std::vector<int16_t> silence(2 * 512, 0);
    const auto loud = sine(512, 8, 1.0, 1.0);
    float out[kSpectrumBins];
    for (int64_t start : {int64_t{0}, int64_t{200}}) {
        computeSpectrum(silence.data(), 512, start, out);
        for (float v : out) EXPECT_EQ(v, 0.0f);
    }
    // Wholly before the start or past the end of the music: silence, no out-of-bounds read.
    for (int64_t start : {int64_t{-256}, int64_t{-10000}, int64_t{512}, int64_t{1} << 40}) {
        computeSpectrum(loud.data(), 512, start, out);
        for (float v : out) EXPECT_EQ(v, 0.0f) << start;
    }
    // Half the window inside: some energy, less than the full reading.
    computeSpectrum(loud.data(), 512, 512 - 128, out);
    EXPECT_GT(out[8], 0.1f);
    EXPECT_LT(out[8], 0.9f);
}
