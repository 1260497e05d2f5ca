// render3d/raster.cpp — scanline rasteriser: corners sorted top to bottom, an upper half
// (top to middle corner) and a lower half (middle to bottom corner), every row walked from
// the short edge towards the long edge with affine u, v and z, a strict depth test, and
// texels copied unchanged from one mip level per triangle.
//
// Rows are clamped to the image `screen` points at (and to the depth buffer), spans to its
// columns. Where a clamp moves the start of a row or span, the interpolants are advanced by
// the same additions the unclamped walk would make, so every pixel inside the image gets
// exactly the value it would have had without the clamp.
//
// A drawing thread walks only the rows of its band (bands/bands.h). The band's top is one
// more clamp of the same kind: the edges reach the band's first row by the row-by-row
// additions the whole walk makes from the image's first row, never by a jump computed
// afresh, so a band's rows come out exactly as in the walk of the whole triangle.
#include "render3d/raster.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

#if defined(__SSE__) || defined(_M_X64) || defined(_M_IX86)
#include <xmmintrin.h>
#define RASTER_HAVE_SSE 1
#endif
// Not in WebAssembly: there the walk with the plain samplers below is faster (measured in
// Chromium, even with wasm's own vector conversion in place of emscripten's emulated
// _mm_cvttps_epi32: the packing and the 64-bit lane move cost more than they save).
#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#define RASTER_HAVE_SSE2_WALK 1
#endif

namespace {

// Where a walk writes: the image's pixels and the depth entries with the same indices.
struct Target {
    uint32_t* pixels;
    float* depth;
    int64_t width;
    int64_t rows;       // rows that may be written: image height, limited by the depth buffer
    int64_t bandBegin;  // the rows of this thread's band: bandBegin .. bandEnd-1
    int64_t bandEnd;
    float dudx, dvdx, dzdx;
};

// One half of a triangle: the long edge xL, the short edge xS and the values u, v, z at
// the short edge, all at the half's first row, with their per-row steps.
struct HalfEdges {
    float xL, sL;
    float xS, sS;
    float uS, duS;
    float vS, dvS;
    float zS, dzS;
};

// One span ready to walk: where it starts, how many pixels, which way, and the
// interpolants at its first pixel with their per-pixel steps (signed with the direction).
struct Span {
    uint32_t* px;
    float* dp;
    int64_t count;
    int64_t step;
    float u, v, z;
    float du, dv, dz;
};

// Float to int by truncation towards zero. NaN and values out of int32 range give
// INT32_MIN, as the x86 instruction does, instead of undefined behaviour.
inline int32_t truncToInt(float f) {
#if defined(RASTER_HAVE_SSE) && !defined(__wasm__)
    // (emscripten's SSE header emulates this conversion with a call to lrint: in
    // WebAssembly the plain form below is the fast one.)
    return _mm_cvtt_ss2si(_mm_set_ss(f));
#else
    if (!(f > -2147483904.0f && f < 2147483648.0f)) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(f);
#endif
}

// Float to int rounding down; NaN gives INT32_MIN, values below the int32 range one less.
inline int64_t floorToInt(float f) {
    const int64_t t = truncToInt(f);
    return static_cast<float>(t) > f ? t - 1 : t;
}

// Longer skips than this are jumped with one multiplication instead of repeated additions
// (exactness only matters for pixels that can still land inside an image).
constexpr int64_t kExactSkipLimit = 4096;

inline float advance(float value, float step, int64_t n) {
    if (n > kExactSkipLimit) return value + static_cast<float>(n) * step;
    for (int64_t i = 0; i < n; ++i) value += step;
    return value;
}

// Limits rows rowBegin .. rowEnd-1 to the rows the target has, moving the edges to the
// first row kept. False when no row is left.
inline bool clampRows(const Target& t, int64_t* rowBegin, int64_t* rowEnd, HalfEdges* e) {
    *rowEnd = std::min<int64_t>(*rowEnd, t.rows);
    if (*rowEnd <= std::max<int64_t>(*rowBegin, 0)) return false;
    if (*rowBegin < 0) {
        const int64_t skip = -*rowBegin;
        e->xL = advance(e->xL, e->sL, skip);
        e->xS = advance(e->xS, e->sS, skip);
        e->uS = advance(e->uS, e->duS, skip);
        e->vS = advance(e->vS, e->dvS, skip);
        e->zS = advance(e->zS, e->dzS, skip);
        *rowBegin = 0;
    }
    return true;
}

// The edges one row further down.
inline void nextRow(HalfEdges* e) {
    e->xL += e->sL;
    e->xS += e->sS;
    e->uS += e->duS;
    e->vS += e->dvS;
    e->zS += e->dzS;
}

// One row: from trunc(xS) towards the long edge; the end pixel xL + 0.5 * step, rounded
// down, is excluded. Rounding down rather than towards zero matters only for a leftward row
// whose long edge lies left of 0.5: there it keeps pixel 0, whose centre is inside, instead
// of leaving column 0 of the viewport empty along a clipped left edge.
// False when no pixel of the row lies inside the image.
__attribute__((always_inline)) inline bool setUpSpan(const Target& t, int64_t y, const HalfEdges& e,
                                                     Span* s) {
    const float xL = e.xL, xS = e.xS;
    float u = e.uS, v = e.vS, z = e.zS;
    const int step = xL > xS ? 1 : -1;
    const int64_t first = truncToInt(xS);
    const int64_t end = step > 0 ? truncToInt(xL + 0.5f) : floorToInt(xL - 0.5f);
    // Per-pixel steps signed with the direction; the span's pixels lo .. hi inside the
    // image, walked from the short edge's end (lo rightward, hi leftward).
    const float sign = static_cast<float>(step);
    const float du = sign * t.dudx, dv = sign * t.dvdx, dz = sign * t.dzdx;
    const int64_t lo = std::max<int64_t>(step > 0 ? first : end + 1, 0);
    const int64_t hi = std::min<int64_t>(step > 0 ? end - 1 : first, t.width - 1);
    if (hi < lo) return false;
    const int64_t start = step > 0 ? lo : hi;
    const int64_t count = hi - lo + 1;
    const int64_t skip = (start - first) * step;   // pixels clipped off before the image
    if (skip > 0) {
        u = advance(u, du, skip);
        v = advance(v, dv, skip);
        z = advance(z, dz, skip);
    }
    s->px = t.pixels + y * t.width + start;
    s->dp = t.depth + y * t.width + start;
    s->count = count;
    s->step = step;
    s->u = u;
    s->v = v;
    s->z = z;
    s->du = du;
    s->dv = dv;
    s->dz = dz;
    return true;
}


// q[i] = n_i / d_i for four pairs, in one vector division where there is one.
inline void divide4(float n0, float n1, float n2, float n3, float d0, float d1, float d2, float d3,
                    float* q) {
#ifdef RASTER_HAVE_SSE
    _mm_storeu_ps(q, _mm_div_ps(_mm_setr_ps(n0, n1, n2, n3), _mm_setr_ps(d0, d1, d2, d3)));
#else
    q[0] = n0 / d0;
    q[1] = n1 / d1;
    q[2] = n2 / d2;
    q[3] = n3 / d3;
#endif
}

// 256x256 textures with the full chain of square levels: texel addressing by the fixed
// mask and shifts.
struct Sampler256 {
    const uint32_t* pixels;
    uint32_t level;
    uint32_t rowShift;   // 8 - level: log2 of the level's row length

    uint32_t operator()(float u, float v) const {
        const uint32_t col = (static_cast<uint32_t>(truncToInt(u)) & 255u) >> level;
        const uint32_t row = ((static_cast<uint32_t>(truncToInt(v)) & 255u) >> level) << rowShift;
        return pixels[row + col];
    }
};

// Any other size: texel coordinates wrap at the level-0 size (a mask for powers of two),
// then shift to the level and stay inside that level's image even where halving dropped
// an odd last row or column.
struct SamplerAny {
    const uint32_t* pixels;
    int32_t level;
    int32_t width0, height0;      // level-0 size: the wrap period
    int32_t maskU, maskV;         // size - 1 for powers of two, else -1 (use modulo)
    int32_t levelWidth, levelHeight;

    static int32_t wrap(int32_t t, int32_t size, int32_t mask) {
        if (mask >= 0) return t & mask;
        const int32_t m = t % size;
        return m < 0 ? m + size : m;
    }
    uint32_t operator()(float u, float v) const {
        const int32_t col = std::min(wrap(truncToInt(u), width0, maskU) >> level, levelWidth - 1);
        const int32_t row = std::min(wrap(truncToInt(v), height0, maskV) >> level, levelHeight - 1);
        return pixels[static_cast<size_t>(row) * levelWidth + col];
    }
};

// Level 0 of a 256x256 texture (the scenes without mip mapping): the same addressing with
// the shifts by zero left out.
struct Sampler256Level0 {
    const uint32_t* pixels;

    uint32_t operator()(float u, float v) const {
        const uint32_t col = static_cast<uint32_t>(truncToInt(u)) & 255u;
        const uint32_t row = (static_cast<uint32_t>(truncToInt(v)) & 255u) << 8;
        return pixels[row + col];
    }
};

// The depth test and write of one pixel, then a step along the span.
template <class Sampler>
inline void spanPixel(uint32_t*& px, float*& dp, float& u, float& v, float& z, float du,
                      float dv, float dz, int64_t step, const Sampler& sample) {
    if (z < *dp) {
        *px = sample(u, v);
        *dp = z;
    }
    u += du;
    v += dv;
    z += dz;
    px += step;
    dp += step;
}

// The samplers are passed by value so that their texture pointer stays in a register
// instead of being read again after every pixel store.
template <class Sampler>
inline void walkSpan(Span s, const Sampler sample) {
    for (int64_t n = s.count; n > 0; --n)
        spanPixel(s.px, s.dp, s.u, s.v, s.z, s.du, s.dv, s.dz, s.step, sample);
}

// Two spans of different rows side by side. Each pixel's values come from its own chain of
// additions, exactly as when the spans are walked one after the other, but the two chains
// overlap in time: the additions of one span wait on each other, not on the other span's.
template <class Sampler>
inline void walkSpanPair(Span a, Span b, const Sampler sample) {
    const int64_t both = std::min(a.count, b.count);
    uint32_t* apx = a.px;
    float* adp = a.dp;
    float au = a.u, av = a.v, az = a.z;
    uint32_t* bpx = b.px;
    float* bdp = b.dp;
    float bu = b.u, bv = b.v, bz = b.z;
    for (int64_t n = both; n > 0; --n) {
        spanPixel(apx, adp, au, av, az, a.du, a.dv, a.dz, a.step, sample);
        spanPixel(bpx, bdp, bu, bv, bz, b.du, b.dv, b.dz, b.step, sample);
    }
    if (a.count > both) {
        a.px = apx, a.dp = adp, a.u = au, a.v = av, a.z = az, a.count -= both;
        walkSpan(a, sample);
    } else if (b.count > both) {
        b.px = bpx, b.dp = bdp, b.u = bu, b.v = bv, b.z = bz, b.count -= both;
        walkSpan(b, sample);
    }
}

#ifdef RASTER_HAVE_SSE2_WALK
// The 256x256 walk with SSE2: the u and v chains of a pair of spans live in one vector
// (u0, v0, u1, v1) and advance with one vector addition, lane by lane exactly as the four
// scalar additions; the texel numbers of both pixels come out of one conversion: truncate,
// wrap to 0..255, shift to the level, and row * size + column by one multiply-add of the
// 16-bit pairs (u, v) with (1, 2^(8-L)).
struct Texels256 {
    const uint32_t* pixels;   // the level's image
    __m128i shift;            // L
    __m128i weights;          // 16-bit pairs (1, 2^(8-L))

    Texels256(const uint32_t* p, int level)
        : pixels(p),
          shift(_mm_cvtsi32_si128(level)),
          weights(_mm_set1_epi32(static_cast<int>((1u << (8 - level)) << 16 | 1u))) {}

    // Texel numbers of the pixels at (lane 0, lane 1) and (lane 2, lane 3): low and high half.
    uint64_t numbers(__m128 uv) const {
        __m128i t = _mm_and_si128(_mm_cvttps_epi32(uv), _mm_set1_epi32(255));
        t = _mm_srl_epi32(t, shift);
        t = _mm_madd_epi16(_mm_packs_epi32(t, t), weights);
        return static_cast<uint64_t>(_mm_cvtsi128_si64(t));
    }
};

inline void texelPixel(uint32_t* px, float* dp, float z, uint32_t texel) {
    if (z < *dp) {
        *px = texel;
        *dp = z;
    }
}

inline void walkSpan(Span s, const Texels256 tex) {
    __m128 uv = _mm_setr_ps(s.u, s.v, 0.0f, 0.0f);
    const __m128 duv = _mm_setr_ps(s.du, s.dv, 0.0f, 0.0f);
    for (int64_t n = s.count; n > 0; --n) {
        texelPixel(s.px, s.dp, s.z, tex.pixels[static_cast<uint32_t>(tex.numbers(uv))]);
        uv = _mm_add_ps(uv, duv);
        s.z += s.dz;
        s.px += s.step;
        s.dp += s.step;
    }
}

inline void walkSpanPair(Span a, Span b, const Texels256 tex) {
    const int64_t both = std::min(a.count, b.count);
    __m128 uv = _mm_setr_ps(a.u, a.v, b.u, b.v);
    const __m128 duv = _mm_setr_ps(a.du, a.dv, b.du, b.dv);
    for (int64_t n = both; n > 0; --n) {
        const uint64_t k = tex.numbers(uv);
        texelPixel(a.px, a.dp, a.z, tex.pixels[static_cast<uint32_t>(k)]);
        texelPixel(b.px, b.dp, b.z, tex.pixels[k >> 32]);
        uv = _mm_add_ps(uv, duv);
        a.z += a.dz;
        b.z += b.dz;
        a.px += a.step;
        a.dp += a.step;
        b.px += b.step;
        b.dp += b.step;
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, uv);
    if (a.count > both) {
        a.u = lanes[0], a.v = lanes[1], a.count -= both;
        walkSpan(a, tex);
    } else if (b.count > both) {
        b.u = lanes[2], b.v = lanes[3], b.count -= both;
        walkSpan(b, tex);
    }
}
#endif

// Rows rowBegin .. rowEnd-1 of one half; the edge values belong to row rowBegin and move
// by their per-row steps. With Paired, rows go two at a time (see walkSpanPair); without,
// one after the other: the plain walk the paired one is checked against.
// Only the rows of the target's band are drawn. Rows of the image above the band move the
// edges without drawing; rows below it are left out, and the edges then stop at the band's
// end (the caller draws no lower half there).
// Returns how many rows the edges in *e moved: rowEnd - rowBegin when any row is inside
// the image, else none (e is then unchanged).
template <bool Paired, class Sampler>
inline int64_t drawHalf(const Target& t, int64_t rowBegin, int64_t rowEnd, HalfEdges* edges,
                        const Sampler& sample) {
    const int64_t firstRow = rowBegin;
    // A local copy: the depth stores are floats too, and through the pointer the edges
    // would have to be read again after every one of them.
    HalfEdges e = *edges;
    if (!clampRows(t, &rowBegin, &rowEnd, &e)) return 0;
    const int64_t drawBegin = std::min(std::max(rowBegin, t.bandBegin), rowEnd);
    for (int64_t y = rowBegin; y < drawBegin; ++y) nextRow(&e);
    const int64_t drawEnd = std::min(rowEnd, t.bandEnd);
    Span pending;
    bool havePending = false;
    for (int64_t y = drawBegin; y < drawEnd; ++y) {
        Span s;
        if (setUpSpan(t, y, e, &s)) {
            if (!Paired) {
                walkSpan(s, sample);
            } else if (havePending) {
                walkSpanPair(pending, s, sample);
                havePending = false;
            } else {
                pending = s;
                havePending = true;
            }
        }
        nextRow(&e);
    }
    if (havePending) walkSpan(pending, sample);
    *edges = e;
    return rowEnd - firstRow;
}

bool isPowerOfTwo(int32_t n) { return n > 0 && (n & (n - 1)) == 0; }

bool usableLevel(const Image* img) {
    return img && img->pixels && img->width > 0 && img->height > 0;
}

// Triangles whose widest row is narrower than this many pixels walk their rows one at a
// time even on the fast path.
constexpr float kPairedMinWidth = 16.0f;

// fast: the mask-and-shift samplers for 256x256 textures and, in triangles at least
// kPairedMinWidth wide, rows walked in pairs; without it, the sampler for any size and one
// row at a time (the plain path).
void rasterize(Renderer* r, const ClipVertex& a, const ClipVertex& b, const ClipVertex& c,
               bool fast, RowBand band) {
    Image* dst = r->screen;
    const Texture* tex = r->texture;
    if (!dst || !dst->pixels || dst->width <= 0 || dst->height <= 0 || !r->depthBuffer) return;
    if (!tex || !tex->levels || tex->maxLevel < 0 || !usableLevel(tex->levels[0])) return;

    // 1. Sort top to bottom; among equal y the input order stays.
    const ClipVertex* p0 = &a;
    const ClipVertex* p1 = &b;
    const ClipVertex* p2 = &c;
    if (p1->y < p0->y) std::swap(p0, p1);
    if (p2->y < p1->y) {
        std::swap(p1, p2);
        if (p1->y < p0->y) std::swap(p0, p1);
    }
    const ClipVertex& T = *p0;
    const ClipVertex& M = *p1;
    const ClipVertex& B = *p2;

    // 5 (early). Rows; nothing to do when both halves miss the image.
    const int64_t yTop = truncToInt(T.y + 0.5f);
    const int64_t yMid = truncToInt(M.y + 0.5f);
    const int64_t yBottom = truncToInt(B.y + 0.5f);
    const int64_t width = dst->width;
    const int64_t rows = std::min<int64_t>(
        dst->height, static_cast<int64_t>(screenWidth) * screenHeight / width);
    const bool upper = yTop < yMid && yMid > 0 && yTop < rows;
    const bool lower = yMid < yBottom && yBottom > 0 && yMid < rows;
    if (!upper && !lower) return;
    // Nothing in this thread's band (rows yTop .. yBottom-1 at most).
    if (yBottom <= band.begin || yTop >= band.end) return;

    // 2. Texture coordinates in level-0 texels.
    const Image* base = tex->levels[0];
    const bool square256 = tex->maxLevel == 8 && base->width == 256 && base->height == 256;
    const float su = square256 ? 256.0f : static_cast<float>(base->width);
    const float sv = square256 ? 256.0f : static_cast<float>(base->height);
    const float uT = T.u * su, vT = T.v * sv;
    const float uM = M.u * su, vM = M.v * sv;
    const float uB = B.u * su, vB = B.v * sv;
    const float xT = T.x, yT = T.y, zT = T.z;
    const float xM = M.x, yM = M.y, zM = M.z;
    const float xB = B.x, yB = B.y, zB = B.z;

    // 3. Edges and gradients. The divisions go up to four at a time, the independent ones
    // first: every lane of a vector division is rounded exactly as the same division alone.
    const float dyTM = yM - yT, dyTB = yB - yT, dyMB = yB - yM;
    float q[4];
    divide4(xB - xT, xM - xT, xB - xM, dyTM, dyTB, dyTM, dyMB, dyTB, q);
    const float sTB = q[0], sTM = q[1], sMB = q[2], ratio = q[3];
    divide4(uM - uT, vM - vT, zM - zT, uB - uM, dyTM, dyTM, dyTM, dyMB, q);
    const float dudyTM = q[0], dvdyTM = q[1], dzdyTM = q[2], dudyMB = q[3];
    divide4(vB - vM, zB - zM, 0.0f, 0.0f, dyMB, dyMB, 1.0f, 1.0f, q);
    const float dvdyMB = q[0], dzdyMB = q[1];
    const float xLM = xT + sTB * dyTM;
    const float spanWidth = xLM - xM;
    const float uLM = uT + (uB - uT) * ratio;
    const float vLM = vT + (vB - vT) * ratio;
    const float zLM = zT + (zB - zT) * ratio;
    Target t;
    t.pixels = dst->pixels;
    t.depth = r->depthBuffer;
    t.width = width;
    t.rows = rows;
    t.bandBegin = band.begin;
    t.bandEnd = band.end;
    divide4(uLM - uM, vLM - vM, zLM - zM, 0.0f, spanWidth, spanWidth, spanWidth, 1.0f, q);
    t.dudx = q[0];
    t.dvdx = q[1];
    t.dzdx = q[2];

    // 4. One mip level for the whole triangle, from the texel step per pixel.
    int level = 0;
    if (r->mipmapping) {
        // Vertical derivatives at constant x, taken along the upper short edge; a flat-top
        // triangle (yT == yM) has none, so it takes them along the lower short edge.
        if (dyTM != 0.0f)
            divide4(uM + t.dudx * (xT - xM) - uT, vM + t.dvdx * (xT - xM) - vT, 0.0f, 0.0f, dyTM,
                    dyTM, 1.0f, 1.0f, q);
        else
            divide4(uB + t.dudx * (xM - xB) - uM, vB + t.dvdx * (xM - xB) - vM, 0.0f, 0.0f, dyMB,
                    dyMB, 1.0f, 1.0f, q);
        const float dudy = q[0], dvdy = q[1];
        float g = std::max(std::max(std::fabs(t.dudx), std::fabs(dudy)),
                           std::max(std::fabs(t.dvdx), std::fabs(dvdy)));
        if (std::isnan(t.dudx) || std::isnan(dudy) || std::isnan(t.dvdx) || std::isnan(dvdy))
            g = std::numeric_limits<float>::quiet_NaN();
        level = pickMipLevel(tex, r->mipBias + g);
    }
    level = std::min(level, tex->maxLevel);
    while (level > 0 && !usableLevel(tex->levels[level])) --level;
    const Image* img = tex->levels[level];

    // 6./7. Start values of each half. The short edge and the interpolants of the lower half
    // start afresh at the middle corner. The long edge continues the additions of the upper
    // half instead, so every triangle with the same top and bottom corners computes exactly
    // the same long-edge x on every row; recomputing it from the middle corner differs in the
    // last bit between the two triangles of a split quad and leaves one-pixel cracks where
    // a pixel centre lies on their shared edge.
    float pU = static_cast<float>(yTop) + 0.5f - yT;
    if (pU < 0.0f) pU = 0.0f;
    float pL = static_cast<float>(yMid) + 0.5f - yM;
    if (pL < 0.0f) pL = 0.0f;

    // The lower half's long edge carries on from the upper half's: upperRows additions of
    // sTB in all, the ones the upper walk did not make (rows outside the image) made here.
    // Jumps too long to add one by one use advance's multiplication from the start value.
    const HalfEdges upperStart{xT + pU * sTB, sTB, xT + pU * sTM, sTM, uT + pU * dudyTM, dudyTM,
                               vT + pU * dvdyTM, dvdyTM, zT + pU * dzdyTM, dzdyTM};
    const int64_t upperRows = yMid - yTop;
    auto drawBoth = [&](auto paired, const auto& sampler) {
        constexpr bool kPaired = decltype(paired)::value;
        HalfEdges e = upperStart;
        int64_t moved = 0;
        if (upper) moved = drawHalf<kPaired>(t, yTop, yMid, &e, sampler);
        if (!lower || yMid >= t.bandEnd) return;
        const float xLower = upperRows > kExactSkipLimit ? advance(upperStart.xL, sTB, upperRows)
                                                         : advance(e.xL, sTB, upperRows - moved);
        HalfEdges lowerEdges{xLower, sTB, xM + pL * sMB, sMB, uM + pL * dudyMB, dudyMB,
                             vM + pL * dvdyMB, dvdyMB, zM + pL * dzdyMB, dzdyMB};
        drawHalf<kPaired>(t, yMid, yBottom, &lowerEdges, sampler);
    };

    // Pairs pay where rows are long enough for the two chains to overlap; the rows of a
    // narrow triangle (the scenes' meshes are mostly such) go faster one at a time.
    const bool pairRows = std::fabs(spanWidth) >= kPairedMinWidth;
    auto drawFast = [&](const auto& sampler) {
        if (pairRows)
            drawBoth(std::true_type(), sampler);
        else
            drawBoth(std::false_type(), sampler);
    };

    const int levelSize = 256 >> level;
    if (fast && square256 && img->width == levelSize && img->height == levelSize) {
#ifdef RASTER_HAVE_SSE2_WALK
        drawFast(Texels256(img->pixels, level));
#else
        if (level == 0) {
            drawFast(Sampler256Level0{img->pixels});
        } else {
            drawFast(Sampler256{img->pixels, static_cast<uint32_t>(level), static_cast<uint32_t>(8 - level)});
        }
#endif
    } else {
        SamplerAny s;
        s.pixels = img->pixels;
        s.level = level;
        s.width0 = base->width;
        s.height0 = base->height;
        s.maskU = isPowerOfTwo(base->width) ? base->width - 1 : -1;
        s.maskV = isPowerOfTwo(base->height) ? base->height - 1 : -1;
        s.levelWidth = img->width;
        s.levelHeight = img->height;
        if (fast)
            drawFast(s);
        else
            drawBoth(std::false_type(), s);
    }
}

}  // namespace

void rasterizeTriangle(Renderer* r, const ClipVertex& a, const ClipVertex& b,
                       const ClipVertex& c, RowBand rows) {
    rasterize(r, a, b, c, true, rows);
}

void rasterizeTriangleAnySize(Renderer* r, const ClipVertex& a, const ClipVertex& b,
                              const ClipVertex& c, RowBand rows) {
    rasterize(r, a, b, c, false, rows);
}

TriangleRasterizer triangleRasterizer = rasterizeTriangle;

int pickMipLevel(const Texture* texture, float g) {
    if (!texture) return 0;
    const int maxLevel = texture->maxLevel;
    for (int level = 0; level <= maxLevel && level < 31; ++level) {
        if (static_cast<float>(1u << level) > g) return level;
    }
    return std::max(maxLevel - 1, 0);
}
