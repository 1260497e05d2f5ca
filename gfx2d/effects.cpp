// gfx2d/effects.cpp — wave distortion and the timed fades.
//
// The float details matter: every value the description rounds to single precision is
// computed in double (where the products are exact) and rounded once, so the rows and
// columns picked and the fade opacities match to the pixel.
#include "gfx2d/effects.h"

#include <cmath>

#include "gfx2d/blit.h"

namespace {

// trunc(v) clamped to 0..last, safe for any float (NaN and huge values included).
inline int32_t truncClamp(float v, int32_t last) {
    if (!(v > 0.0f)) return 0;
    if (v >= static_cast<float>(last)) return last;
    return static_cast<int32_t>(v);
}

}  // namespace

Image* waveDistort(const Image* src, float phase, float amplitude, float frequency) {
    const int32_t width = src->width;
    const int32_t height = src->height;
    Image* out = newImage(width, height);
    for (int32_t i = 0; i < height; ++i) {
        const float phi = static_cast<float>(static_cast<double>(static_cast<float>(i)) * frequency + phase);
        const float c = static_cast<float>(std::cos(static_cast<double>(phi)));
        const float s = static_cast<float>(std::sin(static_cast<double>(phi)));
        const float rowF = static_cast<float>(static_cast<double>(c) * amplitude + i);
        const int32_t r = truncClamp(rowF, height - 1);
        const double offset = static_cast<double>(s) * amplitude;
        const uint32_t* srcRow = src->pixels + static_cast<size_t>(r) * static_cast<size_t>(width);
        uint32_t* dstRow = out->pixels + static_cast<size_t>(i) * static_cast<size_t>(width);
        for (int32_t j = 0; j < width; ++j) {
            const float colF = static_cast<float>(j + offset);
            dstRow[j] = srcRow[truncClamp(colF, width - 1)];
        }
    }
    return out;
}

namespace {

// (t - start) / (end - start) rounded to a float.
float fadeRatio(float t, float start, float end) {
    return static_cast<float>((static_cast<double>(t) - start) / (static_cast<double>(end) - start));
}

// A ratio in 0..1 to an opacity: times 255, truncated toward zero.
int32_t ratioOpacity(float ratio) {
    return static_cast<int32_t>(static_cast<double>(ratio) * 255.0) & 0xFF;
}

void replaceWith(const Image* src, Image* dst) { stretchCopy(src, dst, 0, dst->width, dst->height); }

void blendOver(const Image* src, Image* dst, int32_t opacity) {
    stretchDraw(dst, src, 0, 0, dst->width, dst->height, opacity);
}

}  // namespace

void fadeIn(const Image* src, Image* dst, float t, float start, float end) {
    if (t < start) return;
    if (t > end) {
        replaceWith(src, dst);
        return;
    }
    blendOver(src, dst, ratioOpacity(fadeRatio(t, start, end)));
}

void fadeOut(const Image* src, Image* dst, float t, float start, float end) {
    if (t > end) return;
    if (t < start) {
        replaceWith(src, dst);
        return;
    }
    blendOver(src, dst, ratioOpacity(1.0f - fadeRatio(t, start, end)));
}
