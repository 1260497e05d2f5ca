// gfx2d/blitrows.h — the row kernels every blit in gfx2d/blit.cpp runs on.
//
// Offers: BlitRowKernels, blitRowsReference (plain per-pixel blendAlpha/blendAdd),
//         blitRowsFast (packed integer arithmetic with opaque/transparent shortcuts),
//         blitRows (the set the blits use; blitRowsFast unless someone points it elsewhere).
// Needs:  nothing beyond <cstdint>.
//
// The blits do all clipping and addressing; a kernel only walks n pixels of one row.
// Every set must give bit-identical results to blitRowsReference; tests compare them.
// A faster set (SIMD, say) is added by filling another BlitRowKernels and pointing
// blitRows at it.
#pragma once
#include <cstdint>

struct BlitRowKernels {
    // dst[j] = blend(dst[j], src[j]) for j < n; opacity is already reduced to 0..255.
    void (*over)(uint32_t* dst, const uint32_t* src, int32_t n, uint32_t opacity);
    void (*add)(uint32_t* dst, const uint32_t* src, int32_t n, uint32_t opacity);
    // dst[j] = blend(dst[j], srcRow[(sx + j*stepX) >> 16]) for j < n, the source
    // position kept as a running 16.16 sum. sx >= 0, stepX >= 0.
    void (*overScaled)(uint32_t* dst, const uint32_t* srcRow, int32_t n, int64_t sx,
                       int64_t stepX, uint32_t opacity);
    void (*addScaled)(uint32_t* dst, const uint32_t* srcRow, int32_t n, int64_t sx,
                      int64_t stepX, uint32_t opacity);
    void (*copyScaled)(uint32_t* dst, const uint32_t* srcRow, int32_t n, int64_t sx,
                       int64_t stepX);
};

extern const BlitRowKernels blitRowsReference;
extern const BlitRowKernels blitRowsFast;
extern const BlitRowKernels* blitRows;
