// gfx2d/blitrows.h — the row kernels every blit in gfx2d/blit.cpp runs on.
//
// Offers: BlitRowKernels; the sets blitRowsReference (plain per-pixel blendAlpha/blendAdd),
//         blitRowsFast (packed integer arithmetic in one 64-bit word, any processor),
//         on x86-64 blitRowsSse2, blitRowsAvx2 and blitRowsAvx512 (SIMD), and in
//         WebAssembly with SIMD blitRowsSse2 (emscripten turns the SSE2 intrinsics into
//         wasm SIMD); blitRows, the set the blits use;
//         blitRowKernelSets / findBlitRowKernels / bestBlitRowKernels to list and pick them.
// Needs:  nothing beyond <cstdint>.
//
// The blits do all clipping and addressing; a kernel only walks n pixels of one row.
// Every set gives bit-identical results to blitRowsReference; tests compare them all.
//
// blitRows starts as the fastest set the processor runs (AVX-512 with BW where present,
// else AVX2, else SSE2 on x86-64 and in WebAssembly with SIMD, else the portable fast set). The environment variable
// PIXELDEMO_BLIT_KERNELS, read once at start-up, forces a set by name: "reference",
// "fast", "sse2", "avx2" or "avx512"
// (a set the processor cannot run, or an unknown name, is reported and ignored).
#pragma once
#include <cstdint>

struct BlitRowKernels {
    const char* name;
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
#if defined(__x86_64__) || defined(_M_X64)
#define GFX2D_HAVE_X86_KERNELS 1
extern const BlitRowKernels blitRowsAvx2;     // run only where the processor has AVX2
extern const BlitRowKernels blitRowsAvx512;   // run only where it has AVX-512 F and BW
#endif
#if defined(GFX2D_HAVE_X86_KERNELS) || (defined(__wasm_simd128__) && defined(__SSE2__))
#define GFX2D_HAVE_SSE2_KERNELS 1
extern const BlitRowKernels blitRowsSse2;
#endif
extern const BlitRowKernels* blitRows;

// The sets this processor can run, reference first, fastest last; *count gets how many.
const BlitRowKernels* const* blitRowKernelSets(int* count);
// The set with that name if this processor can run it, else null.
const BlitRowKernels* findBlitRowKernels(const char* name);
// The fastest set this processor can run.
const BlitRowKernels* bestBlitRowKernels();
