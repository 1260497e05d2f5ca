// gfx2d/effects.cpp — wave distortion and the timed fades.
//
// The float details matter: every value the description rounds to single precision is
// computed in double (where the products are exact) and rounded once, so the rows and
// columns picked and the fade opacities match to the pixel.
#include "gfx2d/effects.h"

#include <cmath>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "gfx2d/blit.h"

namespace {

// trunc(v) clamped to 0..last, safe for any float (NaN and huge values included).
inline int32_t truncClamp(float v, int32_t last) {
    if (!(v > 0.0f)) return 0;
    if (v >= static_cast<float>(last)) return last;
    return static_cast<int32_t>(v);
}

}  // namespace

namespace {

// Column j of the result takes source column truncClamp(float(j + offset)): one call per
// pixel, the plain form the vector form below is checked against.
void pickColumnsPlain(int32_t* columns, int32_t width, double offset) {
    for (int32_t j = 0; j < width; ++j) columns[j] = truncClamp(static_cast<float>(j + offset), width - 1);
}

// The same four columns at a time: j to double, plus the offset, rounded to float, then
// truncated and clamped, each step rounding exactly as the plain form does.
void pickColumns(int32_t* columns, int32_t width, double offset) {
    int32_t j = 0;
#ifdef __SSE2__
    const __m128d off = _mm_set1_pd(offset);
    const __m128 zero = _mm_setzero_ps();
    const __m128 lastF = _mm_set1_ps(static_cast<float>(width - 1));
    const __m128i lastI = _mm_set1_epi32(width - 1);
    __m128i index = _mm_setr_epi32(0, 1, 2, 3);
    const __m128i four = _mm_set1_epi32(4);
    for (; j + 4 <= width; j += 4) {
        const __m128 lo = _mm_cvtpd_ps(_mm_add_pd(_mm_cvtepi32_pd(index), off));
        const __m128 hi = _mm_cvtpd_ps(_mm_add_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(index, 0xEE)), off));
        const __m128 v = _mm_movelh_ps(lo, hi);
        // Not above zero (NaN included): column 0; at or beyond the last: the last.
        const __m128i above = _mm_castps_si128(_mm_cmpgt_ps(v, zero));
        const __m128i beyond = _mm_castps_si128(_mm_cmpge_ps(v, lastF));
        const __m128i inside = _mm_and_si128(_mm_cvttps_epi32(v), above);
        const __m128i c = _mm_or_si128(_mm_andnot_si128(beyond, inside), _mm_and_si128(beyond, lastI));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(columns + j), c);
        index = _mm_add_epi32(index, four);
    }
#endif
    for (; j < width; ++j) columns[j] = truncClamp(static_cast<float>(j + offset), width - 1);
}

using ColumnPicker = void (*)(int32_t*, int32_t, double);

Image* distort(const Image* src, float phase, float amplitude, float frequency, ColumnPicker pick) {
    const int32_t width = src->width;
    const int32_t height = src->height;
    Image* out = newImage(width, height);
    // Column indices of one row, in chunks so that any width works without allocating.
    constexpr int32_t kChunk = 1024;
    int32_t columns[kChunk];
    for (int32_t i = 0; i < height; ++i) {
        const float phi = static_cast<float>(static_cast<double>(static_cast<float>(i)) * frequency + phase);
        const float c = static_cast<float>(std::cos(static_cast<double>(phi)));
        const float s = static_cast<float>(std::sin(static_cast<double>(phi)));
        const float rowF = static_cast<float>(static_cast<double>(c) * amplitude + i);
        const int32_t r = truncClamp(rowF, height - 1);
        const double offset = static_cast<double>(s) * amplitude;
        const uint32_t* srcRow = src->pixels + static_cast<size_t>(r) * static_cast<size_t>(width);
        uint32_t* dstRow = out->pixels + static_cast<size_t>(i) * static_cast<size_t>(width);
        if (width <= kChunk) {
            pick(columns, width, offset);
            for (int32_t j = 0; j < width; ++j) dstRow[j] = srcRow[columns[j]];
        } else {
            for (int32_t j = 0; j < width; ++j)
                dstRow[j] = srcRow[truncClamp(static_cast<float>(j + offset), width - 1)];
        }
    }
    return out;
}

}  // namespace

Image* waveDistort(const Image* src, float phase, float amplitude, float frequency) {
    return distort(src, phase, amplitude, frequency, pickColumns);
}

Image* waveDistortReference(const Image* src, float phase, float amplitude, float frequency) {
    return distort(src, phase, amplitude, frequency, pickColumnsPlain);
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
