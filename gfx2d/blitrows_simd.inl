// gfx2d/blitrows_simd.inl — the blend row kernels written once over a small vector
// interface, compiled by gfx2d/blitrows_sse2.cpp (4 pixels a step) and
// gfx2d/blitrows_avx2.cpp (8 pixels a step).
//
// The including file defines, inside an anonymous namespace and before including this:
//   struct Ops { using V = ...; static constexpr int kPixels; load, store, set1, and_, or_,
//                lo8/hi8 (bytes to 16-bit lanes), pack (16-bit lanes to bytes, saturating),
//                mul16, add16, sub16, shr16, shl16, shl32, shr32, addSat16, subSat8,
//                lo32/hi32 (interleave 32-bit lanes), allZero, allEqual };
// with lo8/hi8/lo32/hi32/pack working within the same 128-bit halves, so that pixel k of a
// lo8/hi8 half lines up with the alpha spread by lo32/hi32.
//
// Results are bit-identical to blendAlpha/blendAdd: every sum below fits a 16-bit lane,
// and the division by 255 uses (x + 1 + (x >> 8)) >> 8, equal to x / 255 for x <= 65025.
//
// Nothing here may instantiate a template or inline function shared with other files:
// this code is compiled with instruction sets the processor may lack, and only the
// kernel entry points below may run after a run-time check.

using V = Ops::V;
constexpr int kPixels = Ops::kPixels;

inline V div255(V x) {
    return Ops::shr16(Ops::add16(Ops::add16(x, Ops::set1(0x00010001u)), Ops::shr16(x, 8)), 8);
}

// Per-pixel value v (0..255 in each 32-bit lane) spread over the four 16-bit channel lanes
// of the pixels that lo8 and hi8 hold.
inline void spread(V v, V* lo, V* hi) {
    const V twice = Ops::or_(v, Ops::shl32(v, 16));
    *lo = Ops::lo32(twice, twice);
    *hi = Ops::hi32(twice, twice);
}

// blendAlpha of kPixels pixels. opacity is 0..255; op32 holds it in every 32-bit lane.
inline V overBlock(V d, V s, uint32_t opacity, V op32) {
    const V sa = Ops::shr32(s, 24);
    const V a = opacity == 255 ? sa : div255(Ops::mul16(sa, op32));
    const V alphaMask = Ops::set1(0xFF000000u);
    if (Ops::allZero(a)) return Ops::and_(d, Ops::set1(0x00FFFFFFu));
    if (Ops::allEqual(a, Ops::set1(255))) return s;   // only an opaque source at full opacity
    // The alpha lane comes out as a: source alpha 255 weighted a, destination alpha 0.
    const V sw = Ops::or_(s, alphaMask);
    const V dw = Ops::and_(d, Ops::set1(0x00FFFFFFu));
    V aLo, aHi;
    spread(a, &aLo, &aHi);
    const V c255 = Ops::set1(0x00FF00FFu);
    const V lo = Ops::add16(Ops::mul16(Ops::lo8(sw), aLo), Ops::mul16(Ops::lo8(dw), Ops::sub16(c255, aLo)));
    const V hi = Ops::add16(Ops::mul16(Ops::hi8(sw), aHi), Ops::mul16(Ops::hi8(dw), Ops::sub16(c255, aHi)));
    return Ops::pack(div255(lo), div255(hi));
}

// blendAdd of kPixels pixels.
inline V addBlock(V d, V s, V op32) {
    const V alphaMask = Ops::set1(0xFF000000u);
    const V e = Ops::shr16(Ops::mul16(Ops::shr32(s, 24), op32), 8);
    // Nothing added: dC*255 >> 8 is dC - 1 for every dC from 1 to 255, and 0 stays 0.
    if (Ops::allZero(e)) return Ops::or_(Ops::subSat8(d, Ops::set1(0x00010101u)), alphaMask);
    V eLo, eHi;
    spread(e, &eLo, &eHi);
    const V dLo = Ops::lo8(d), dHi = Ops::hi8(d);
    // sC*e <= 64770 and dC*255 <= 65025 each fit; the saturating sum is min(v, 65535).
    const V lo = Ops::addSat16(Ops::mul16(Ops::lo8(s), eLo), Ops::sub16(Ops::shl16(dLo, 8), dLo));
    const V hi = Ops::addSat16(Ops::mul16(Ops::hi8(s), eHi), Ops::sub16(Ops::shl16(dHi, 8), dHi));
    return Ops::or_(Ops::pack(Ops::shr16(lo, 8), Ops::shr16(hi, 8)), alphaMask);
}

// The last n < kPixels pixels of a row go through a block on a copy.
template <class Block>
inline void tail(uint32_t* dst, const uint32_t* src, int32_t n, Block block) {
    uint32_t d[kPixels] = {}, s[kPixels] = {};
    for (int32_t j = 0; j < n; ++j) {
        d[j] = dst[j];
        s[j] = src[j];
    }
    Ops::store(d, block(Ops::load(d), Ops::load(s)));
    for (int32_t j = 0; j < n; ++j) dst[j] = d[j];
}

// A block whose result equals what is there already is not stored: overlays are mostly
// transparent, and where an earlier overlay left the alpha at 0 their pixels stay as they
// are, so the cache lines stay clean.
void simdOver(uint32_t* dst, const uint32_t* src, int32_t n, uint32_t opacity) {
    const V op32 = Ops::set1(opacity);
    auto block = [opacity, op32](V d, V s) { return overBlock(d, s, opacity, op32); };
    int32_t j = 0;
    for (; j + kPixels <= n; j += kPixels) {
        const V d = Ops::load(dst + j);
        const V r = block(d, Ops::load(src + j));
        if (!Ops::allEqual(r, d)) Ops::store(dst + j, r);
    }
    if (j < n) tail(dst + j, src + j, n - j, block);
}

void simdAdd(uint32_t* dst, const uint32_t* src, int32_t n, uint32_t opacity) {
    const V op32 = Ops::set1(opacity);
    auto block = [op32](V d, V s) { return addBlock(d, s, op32); };
    int32_t j = 0;
    for (; j + kPixels <= n; j += kPixels)
        Ops::store(dst + j, block(Ops::load(dst + j), Ops::load(src + j)));
    if (j < n) tail(dst + j, src + j, n - j, block);
}

// Scaled rows: the source pixels of a chunk are picked with the 16.16 running sum into a
// small buffer, which then blends like an unscaled row.
constexpr int32_t kChunk = 128;

void simdOverScaled(uint32_t* dst, const uint32_t* row, int32_t n, int64_t sx, int64_t stepX,
                    uint32_t opacity) {
    uint32_t picked[kChunk];
    while (n > 0) {
        const int32_t m = n < kChunk ? n : kChunk;
        for (int32_t j = 0; j < m; ++j, sx += stepX) picked[j] = row[sx >> 16];
        simdOver(dst, picked, m, opacity);
        dst += m;
        n -= m;
    }
}

void simdAddScaled(uint32_t* dst, const uint32_t* row, int32_t n, int64_t sx, int64_t stepX,
                   uint32_t opacity) {
    uint32_t picked[kChunk];
    while (n > 0) {
        const int32_t m = n < kChunk ? n : kChunk;
        for (int32_t j = 0; j < m; ++j, sx += stepX) picked[j] = row[sx >> 16];
        simdAdd(dst, picked, m, opacity);
        dst += m;
        n -= m;
    }
}

// Scaled copy: a unit step is a plain copy; anything else picks pixel by pixel.
void simdCopyScaled(uint32_t* dst, const uint32_t* row, int32_t n, int64_t sx, int64_t stepX) {
    if (stepX == 65536) {
        const uint32_t* src = row + (sx >> 16);
        int32_t j = 0;
        for (; j + kPixels <= n; j += kPixels) Ops::store(dst + j, Ops::load(src + j));
        for (; j < n; ++j) dst[j] = src[j];
        return;
    }
    for (int32_t j = 0; j < n; ++j, sx += stepX) dst[j] = row[sx >> 16];
}
