// gfx2d/effects.cpp — wave distortion and the timed fades.
//
// The float details matter: every value the description rounds to single precision is
// computed in double (where the products are exact) and rounded once, so the rows and
// columns picked and the fade opacities match to the pixel.
#include "gfx2d/effects.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#ifdef __wasm_simd128__
#include <wasm_simd128.h>
#endif

#include "bands/bands.h"
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

#ifdef __SSE2__
// Four floats truncated to int32 where they lie inside 0..last; the caller replaces the
// lanes outside. In WebAssembly the saturating conversion of wasm SIMD: emscripten's
// _mm_cvttps_epi32 converts lane by lane through lrint, and the two differ only outside.
inline __m128i truncateInside(__m128 v) {
#ifdef __wasm_simd128__
    return wasm_i32x4_trunc_sat_f32x4(v);
#else
    return _mm_cvttps_epi32(v);
#endif
}
#endif

// The same four columns at a time: j to double, plus the offset, rounded to float, then
// truncated and clamped, each step rounding exactly as the plain form does.
void pickColumns(int32_t* columns, int32_t width, double offset) {
    int32_t j = 0;
#ifdef __SSE2__
    const __m128d off = _mm_set1_pd(offset);
    const __m128 zero = _mm_setzero_ps();
    const __m128 lastF = _mm_set1_ps(static_cast<float>(width - 1));
    const __m128i lastI = _mm_set1_epi32(width - 1);
    // j itself kept as doubles, stepped by 4.0: exact for any int32 j, and no conversion.
    __m128d indexLo = _mm_setr_pd(0.0, 1.0), indexHi = _mm_setr_pd(2.0, 3.0);
    const __m128d four = _mm_set1_pd(4.0);
    for (; j + 4 <= width; j += 4) {
        const __m128 lo = _mm_cvtpd_ps(_mm_add_pd(indexLo, off));
        const __m128 hi = _mm_cvtpd_ps(_mm_add_pd(indexHi, off));
        indexLo = _mm_add_pd(indexLo, four);
        indexHi = _mm_add_pd(indexHi, four);
        const __m128 v = _mm_movelh_ps(lo, hi);
        // Not above zero (NaN included): column 0; at or beyond the last: the last.
        const __m128i above = _mm_castps_si128(_mm_cmpgt_ps(v, zero));
        const __m128i beyond = _mm_castps_si128(_mm_cmpge_ps(v, lastF));
        const __m128i inside = _mm_and_si128(truncateInside(v), above);
        const __m128i c = _mm_or_si128(_mm_andnot_si128(beyond, inside), _mm_and_si128(beyond, lastI));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(columns + j), c);
    }
#endif
    for (; j < width; ++j) columns[j] = truncClamp(static_cast<float>(j + offset), width - 1);
}

using ColumnPicker = void (*)(int32_t*, int32_t, double);
using ColumnCopier = void (*)(uint32_t*, const uint32_t*, const int32_t*, int32_t);

// dstRow[j] = srcRow[columns[j]], one pixel at a time: the plain form.
void copyColumnsPlain(uint32_t* dstRow, const uint32_t* srcRow, const int32_t* columns, int32_t width) {
    for (int32_t j = 0; j < width; ++j) dstRow[j] = srcRow[columns[j]];
}

// The first index from j on (up to width) whose column is not j + shift.
inline int32_t runEnd(const int32_t* columns, int32_t j, int32_t width, int32_t shift) {
#ifdef __SSE2__
    const __m128i delta = _mm_set1_epi32(shift);
    __m128i index = _mm_add_epi32(_mm_set1_epi32(j), _mm_setr_epi32(0, 1, 2, 3));
    const __m128i four = _mm_set1_epi32(4);
    for (; j + 4 <= width; j += 4, index = _mm_add_epi32(index, four)) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(columns + j));
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(c, _mm_add_epi32(index, delta))) != 0xFFFF) break;
    }
#endif
    while (j < width && columns[j] == j + shift) ++j;
    return j;
}

// The same pixels as copyColumnsPlain. Away from the clamped borders a row's columns run on
// one by one (j + shift for a whole stretch, the shift changing only where the float
// rounding of j + offset crosses a whole column), so each such run is one block copy.
void copyColumns(uint32_t* dstRow, const uint32_t* srcRow, const int32_t* columns, int32_t width) {
    constexpr int32_t kShortRun = 8;
    int32_t j = 0;
    while (j < width) {
        const int32_t shift = columns[j] - j;
        const int32_t end = runEnd(columns, j + 1, width, shift);
        if (end - j >= kShortRun)
            std::memcpy(dstRow + j, srcRow + j + shift, static_cast<size_t>(end - j) * sizeof(uint32_t));
        else
            for (int32_t k = j; k < end; ++k) dstRow[k] = srcRow[columns[k]];
        j = end;
    }
}

// Row i of the distorted picture: the source row it takes and the sideways offset.
struct WaveRow {
    int32_t row;
    double offset;
};

inline WaveRow waveRow(int32_t i, int32_t height, float phase, float amplitude, float frequency) {
    const float phi = static_cast<float>(static_cast<double>(static_cast<float>(i)) * frequency + phase);
    const float c = static_cast<float>(std::cos(static_cast<double>(phi)));
    const float s = static_cast<float>(std::sin(static_cast<double>(phi)));
    const float rowF = static_cast<float>(static_cast<double>(c) * amplitude + i);
    return WaveRow{truncClamp(rowF, height - 1), static_cast<double>(s) * amplitude};
}

// The first n pixels of a distorted row: source columns picked for the whole width, then
// copied. Column indices are kept in chunks so that any width works without allocating;
// wider pictures pick pixel by pixel.
constexpr int32_t kColumnChunk = 1024;

inline void distortRow(uint32_t* dstRow, const uint32_t* srcRow, int32_t width, int32_t n,
                       double offset, ColumnPicker pick, ColumnCopier copy) {
    if (width <= kColumnChunk) {
        int32_t columns[kColumnChunk];
        pick(columns, width, offset);
        copy(dstRow, srcRow, columns, n);
    } else {
        for (int32_t j = 0; j < n; ++j)
            dstRow[j] = srcRow[truncClamp(static_cast<float>(j + offset), width - 1)];
    }
}

Image* distort(const Image* src, float phase, float amplitude, float frequency, ColumnPicker pick,
               ColumnCopier copy) {
    const int32_t width = src->width;
    const int32_t height = src->height;
    Image* out = newImage(width, height);
    // Every row from its own number alone: the drawing threads share them out.
    forEachBand(RowBand{0, height}, static_cast<int64_t>(width) * height, [&](RowBand band) {
        for (int32_t i = band.begin; i < band.end; ++i) {
            const WaveRow wave = waveRow(i, height, phase, amplitude, frequency);
            const uint32_t* srcRow = src->pixels + static_cast<size_t>(wave.row) * static_cast<size_t>(width);
            uint32_t* dstRow = out->pixels + static_cast<size_t>(i) * static_cast<size_t>(width);
            distortRow(dstRow, srcRow, width, width, wave.offset, pick, copy);
        }
    });
    return out;
}

}  // namespace

Image* waveDistort(const Image* src, float phase, float amplitude, float frequency) {
    if (drawingSuspended()) return newImage(0, 0);
    return distort(src, phase, amplitude, frequency, pickColumns, copyColumns);
}

Image* waveDistortReference(const Image* src, float phase, float amplitude, float frequency) {
    return distort(src, phase, amplitude, frequency, pickColumnsPlain, copyColumnsPlain);
}

void drawWaveReflection(const Image* src, Image* dst, int32_t y, int32_t h, float phase,
                        float amplitude, float frequency) {
    if (drawingSuspended()) return;
    const int32_t width = src->width;
    const int32_t height = src->height;
    if (width <= 0 || height <= 0 || h <= 0 || y < 0) return;
    // stretchCopy's steps for the full width: one source column per column, and source row
    // (k * stepY) >> 16 for output row k, kept as a running sum.
    const int64_t stepY = (static_cast<int64_t>(height) * 65536) / h;
    const int32_t n = width < dst->width ? width : dst->width;
    const int32_t rows = static_cast<int32_t>(std::min<int64_t>(h, static_cast<int64_t>(dst->height) - y));
    // Row k from k alone (source row (k * stepY) >> 16): the drawing threads share them out,
    // unless the picture is reflected into itself.
    const int64_t work = src == dst ? 0 : static_cast<int64_t>(n) * rows;
    forEachBand(RowBand{0, rows}, work, [&](RowBand band) {
        int64_t sy = band.begin * stepY;
        for (int32_t k = band.begin; k < band.end; ++k, sy += stepY) {
            const int32_t i = static_cast<int32_t>(sy >> 16);
            const WaveRow wave = waveRow(i, height, phase, amplitude, frequency);
            // The picture is seen upside down: its row r is the source's row height-1-r.
            const uint32_t* srcRow = src->pixels + static_cast<size_t>(height - 1 - wave.row) * width;
            uint32_t* dstRow = dst->pixels + static_cast<size_t>(y + k) * dst->width;
            distortRow(dstRow, srcRow, width, n, wave.offset, pickColumns, copyColumns);
        }
    });
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
