#include "audio/fft.h"

#include <kiss_fftr.h>

#include <cmath>

namespace {

struct FftPlan {
    kiss_fftr_cfg cfg;
    float window[kFftSize];
    float windowSum;

    FftPlan() : cfg(kiss_fftr_alloc(kFftSize, 0, nullptr, nullptr)), windowSum(0.0f) {
        for (int i = 0; i < kFftSize; ++i) {
            window[i] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * M_PI * i / kFftSize));
            windowSum += window[i];
        }
    }
    ~FftPlan() { kiss_fftr_free(cfg); }
};

const FftPlan& plan() {
    static const FftPlan p;
    return p;
}

}  // namespace

void computeSpectrum(const int16_t* stereo, int64_t frameCount, int64_t startFrame,
                     float* out) {
    const FftPlan& p = plan();
    kiss_fft_scalar in[kFftSize];
    kiss_fft_cpx bins[kFftSize / 2 + 1];
    for (int i = 0; i < kFftSize; ++i) {
        int64_t f = startFrame + i;
        float mono = 0.0f;
        if (f >= 0 && f < frameCount) {
            mono = (static_cast<float>(stereo[2 * f]) + static_cast<float>(stereo[2 * f + 1])) *
                   (0.5f / 32768.0f);
        }
        in[i] = mono * p.window[i];
    }
    kiss_fftr(p.cfg, in, bins);
    const float scale = 2.0f / p.windowSum;
    for (int k = 0; k < kSpectrumBins; ++k) {
        out[k] = std::sqrt(bins[k].r * bins[k].r + bins[k].i * bins[k].i) * scale;
    }
}
