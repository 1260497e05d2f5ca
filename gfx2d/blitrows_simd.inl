// gfx2d/blitrows_simd.inl — the blend row kernels written once over a small vector
// interface, compiled by gfx2d/blitrows_sse2.cpp (4 pixels a step),
// gfx2d/blitrows_avx2.cpp (8) and gfx2d/blitrows_avx512.cpp (16).
//
// The including file defines, inside an anonymous namespace and before including this:
//   struct Ops { using V = ...; static constexpr int kPixels; load, store, set1, and_, or_,
//                mul16, add16, sub16, shr16, shl16, shl32, shr32, addSat16, subSat16,
//                subSat8, allZero, allEqual };
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

// The channels are worked on in place, two 16-bit lanes per pixel: the "even" vector holds
// B and R (the pixel masked with 0x00FF00FF), the "odd" one G and A (the pixel shifted
// down 8 bits in each 16-bit lane). No byte shuffles are needed, and every sum below still
// fits its 16-bit lane.
constexpr uint32_t kEvenBytes = 0x00FF00FFu;

// Per-pixel value v (0..255 in each 32-bit lane) copied into both 16-bit lanes.
inline V bothLanes(V v) { return Ops::or_(v, Ops::shl32(v, 16)); }

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
    const V even = Ops::set1(kEvenBytes);
    const V a2 = bothLanes(a);
    const V ia2 = Ops::sub16(Ops::set1(0x00FF00FFu), a2);
    const V lo = Ops::add16(Ops::mul16(Ops::and_(sw, even), a2), Ops::mul16(Ops::and_(dw, even), ia2));
    const V hi = Ops::add16(Ops::mul16(Ops::shr16(sw, 8), a2), Ops::mul16(Ops::shr16(dw, 8), ia2));
    return Ops::or_(div255(lo), Ops::shl16(div255(hi), 8));
}

// blendAdd of kPixels pixels.
inline V addBlock(V d, V s, uint32_t opacity, V op32) {
    const V alphaMask = Ops::set1(0xFF000000u);
    const V sa = Ops::shr32(s, 24);
    // (sA * 255) >> 8 is sA - 1 for every sA from 1 to 255, and 0 stays 0.
    const V e = opacity == 255 ? Ops::subSat16(sa, Ops::set1(1)) : Ops::shr16(Ops::mul16(sa, op32), 8);
    // Nothing added: dC*255 >> 8 is dC - 1 for every dC from 1 to 255, and 0 stays 0.
    if (Ops::allZero(e)) return Ops::or_(Ops::subSat8(d, Ops::set1(0x00010101u)), alphaMask);
    const V even = Ops::set1(kEvenBytes);
    const V e2 = bothLanes(e);
    const V dLo = Ops::and_(d, even), dHi = Ops::shr16(d, 8);
    // sC*e <= 64770 and dC*255 <= 65025 each fit; the saturating sum is min(v, 65535).
    const V lo = Ops::addSat16(Ops::mul16(Ops::and_(s, even), e2), Ops::sub16(Ops::shl16(dLo, 8), dLo));
    const V hi = Ops::addSat16(Ops::mul16(Ops::shr16(s, 8), e2), Ops::sub16(Ops::shl16(dHi, 8), dHi));
    // v >> 8 of the B and R lanes, and of the G lane moved up into its byte; alpha is 255.
    return Ops::or_(Ops::or_(Ops::shr16(lo, 8), Ops::and_(hi, Ops::set1(0x0000FF00u))), alphaMask);
}

// A row of fewer than kPixels pixels goes through one block on a copy.
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

// Pixels to take one by one before dst reaches a whole vector's alignment (at most n), so
// that the vector loads and stores of the destination never straddle two cache lines.
inline int32_t alignedStart(const uint32_t* dst, int32_t n) {
    constexpr uintptr_t kBytes = sizeof(uint32_t) * kPixels;
    const uintptr_t misalignment = reinterpret_cast<uintptr_t>(dst) & (kBytes - 1);
    if (misalignment == 0 || misalignment % sizeof(uint32_t) != 0) return 0;
    const int32_t head = static_cast<int32_t>((kBytes - misalignment) / sizeof(uint32_t));
    return head < n ? head : n;
}

// Full-screen blends stream two pictures that do not fit the core's cache. Each is asked
// for 2 KiB ahead of the pixels being blended, on into the next row: the hardware's own
// prefetching stops at every 4 KiB page. A hint only: the address may lie past the
// picture, so it is formed as a number and never read.
constexpr uintptr_t kAheadBytes = 2048;

inline void prefetchAhead(const uint32_t* p) {
    __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(p) + kAheadBytes));
}

// One row through a block function. The middle runs on aligned destination vectors. A row
// of at least kPixels starts and ends with a whole unaligned block each, both computed from
// the untouched destination before the loop and stored after it: they overlap the aligned
// blocks, but every pixel's result depends on that pixel alone, so the overlapping lanes
// are stored with the values the loop stored there (no scalar head or tail, no round trip
// through a buffer). Shorter rows go through a copy.
// A block whose result equals what is there already is not stored: overlays are mostly
// transparent, and where an earlier overlay left the alpha at 0 their pixels stay as they
// are, so the cache lines stay clean; likewise an add of nothing onto black.
// Always inlined into the kernel entry points: a function of its own would take the block
// (holding a vector) by value, and the compiler leaves out the vzeroupper on return from
// functions with vector arguments. The dirty upper register halves would then slow every
// plain SSE instruction that runs after a blend (the scenes' float code, libm's sinf) many
// times over.
template <class Block>
__attribute__((always_inline)) inline void blendRow(uint32_t* dst, const uint32_t* src, int32_t n,
                                                    Block block) {
    if (n < kPixels) {
        if (n > 0) tail(dst, src, n, block);
        return;
    }
    const int32_t head = alignedStart(dst, n);
    const int32_t lastAt = n - kPixels;
    const V firstD = Ops::load(dst), lastD = Ops::load(dst + lastAt);
    const V first = block(firstD, Ops::load(src));
    const V last = block(lastD, Ops::load(src + lastAt));
    int32_t j = head;
    for (; j + kPixels <= n; j += kPixels) {
        prefetchAhead(src + j);
        prefetchAhead(dst + j);
        const V d = Ops::load(dst + j);
        const V r = block(d, Ops::load(src + j));
        if (!Ops::allEqual(r, d)) Ops::store(dst + j, r);
    }
    if (head > 0 && !Ops::allEqual(first, firstD)) Ops::store(dst, first);
    if (j < n && !Ops::allEqual(last, lastD)) Ops::store(dst + lastAt, last);
}

void simdOver(uint32_t* dst, const uint32_t* src, int32_t n, uint32_t opacity) {
    const V op32 = Ops::set1(opacity);
    blendRow(dst, src, n, [opacity, op32](V d, V s) { return overBlock(d, s, opacity, op32); });
}

void simdAdd(uint32_t* dst, const uint32_t* src, int32_t n, uint32_t opacity) {
    const V op32 = Ops::set1(opacity);
    blendRow(dst, src, n, [opacity, op32](V d, V s) { return addBlock(d, s, opacity, op32); });
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

// Scaled copy: a unit step is a plain copy, left to the C library, which aligns the
// stores to the destination's cache lines (a row of the screen starts 16 bytes into one);
// anything else picks pixel by pixel.
void simdCopyScaled(uint32_t* dst, const uint32_t* row, int32_t n, int64_t sx, int64_t stepX) {
    if (stepX == 65536) {
        if (n > 0) std::memcpy(dst, row + (sx >> 16), static_cast<size_t>(n) * sizeof(uint32_t));
        return;
    }
    // Four pixels an iteration from independent positions, so the loads do not wait on
    // one running sum.
    int32_t j = 0;
    const int64_t step2 = 2 * stepX, step3 = 3 * stepX, step4 = 4 * stepX;
    for (; j + 4 <= n; j += 4, sx += step4) {
        const uint32_t a = row[sx >> 16], b = row[(sx + stepX) >> 16];
        const uint32_t c = row[(sx + step2) >> 16], d = row[(sx + step3) >> 16];
        dst[j] = a;
        dst[j + 1] = b;
        dst[j + 2] = c;
        dst[j + 3] = d;
    }
    for (; j < n; ++j, sx += stepX) dst[j] = row[sx >> 16];
}
