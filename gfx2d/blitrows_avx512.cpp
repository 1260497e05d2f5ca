// gfx2d/blitrows_avx512.cpp — the SIMD row kernels on AVX-512 (F and BW): sixteen pixels a
// step. This file alone is compiled with -mavx512f -mavx512bw; blitRowKernelSets offers it
// only where the processor and the system support both.
#include "gfx2d/blitrows.h"

#include <cstring>

// GCC 12's AVX-512 intrinsics header builds some shifts from an undefined vector and warns
// about it wherever they are inlined; the values are fully defined.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <immintrin.h>

namespace {

struct Ops {
    using V = __m512i;
    static constexpr int kPixels = 16;
    static V load(const uint32_t* p) { return _mm512_loadu_si512(p); }
    static void store(uint32_t* p, V v) { _mm512_storeu_si512(p, v); }
    static V set1(uint32_t x) { return _mm512_set1_epi32(static_cast<int>(x)); }
    static V and_(V a, V b) { return _mm512_and_si512(a, b); }
    static V or_(V a, V b) { return _mm512_or_si512(a, b); }
    static V mul16(V a, V b) { return _mm512_mullo_epi16(a, b); }
    static V add16(V a, V b) { return _mm512_add_epi16(a, b); }
    static V sub16(V a, V b) { return _mm512_sub_epi16(a, b); }
    static V shr16(V a, int n) { return _mm512_srli_epi16(a, static_cast<unsigned>(n)); }
    static V shl16(V a, int n) { return _mm512_slli_epi16(a, static_cast<unsigned>(n)); }
    static V shl32(V a, int n) { return _mm512_slli_epi32(a, static_cast<unsigned>(n)); }
    static V shr32(V a, int n) { return _mm512_srli_epi32(a, static_cast<unsigned>(n)); }
    static V addSat16(V a, V b) { return _mm512_adds_epu16(a, b); }
    static V subSat16(V a, V b) { return _mm512_subs_epu16(a, b); }
    static V subSat8(V a, V b) { return _mm512_subs_epu8(a, b); }
    static bool allZero(V a) { return _mm512_test_epi32_mask(a, a) == 0; }
    static bool allEqual(V a, V b) { return _mm512_cmpeq_epi32_mask(a, b) == 0xFFFF; }
};

#include "gfx2d/blitrows_simd.inl"

}  // namespace

extern const BlitRowKernels blitRowsAvx512 = {"avx512", simdOver, simdAdd, simdOverScaled,
                                              simdAddScaled, simdCopyScaled};
