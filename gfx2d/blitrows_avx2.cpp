// gfx2d/blitrows_avx2.cpp — the SIMD row kernels on AVX2: eight pixels a step. This file
// alone is compiled with -mavx2; blitRowKernelSets offers it only where the processor
// reports AVX2.
#include "gfx2d/blitrows.h"

#include <cstring>
#include <immintrin.h>

namespace {

struct Ops {
    using V = __m256i;
    static constexpr int kPixels = 8;
    static V load(const uint32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static void store(uint32_t* p, V v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
    static V set1(uint32_t x) { return _mm256_set1_epi32(static_cast<int>(x)); }
    static V and_(V a, V b) { return _mm256_and_si256(a, b); }
    static V or_(V a, V b) { return _mm256_or_si256(a, b); }
    static V mul16(V a, V b) { return _mm256_mullo_epi16(a, b); }
    static V add16(V a, V b) { return _mm256_add_epi16(a, b); }
    static V sub16(V a, V b) { return _mm256_sub_epi16(a, b); }
    static V shr16(V a, int n) { return _mm256_srli_epi16(a, n); }
    static V shl16(V a, int n) { return _mm256_slli_epi16(a, n); }
    static V shl32(V a, int n) { return _mm256_slli_epi32(a, n); }
    static V shr32(V a, int n) { return _mm256_srli_epi32(a, n); }
    static V addSat16(V a, V b) { return _mm256_adds_epu16(a, b); }
    static V subSat16(V a, V b) { return _mm256_subs_epu16(a, b); }
    static V subSat8(V a, V b) { return _mm256_subs_epu8(a, b); }
    static bool allZero(V a) { return _mm256_testz_si256(a, a) != 0; }
    static bool allEqual(V a, V b) {
        return _mm256_movemask_epi8(_mm256_cmpeq_epi32(a, b)) == -1;
    }
};

#include "gfx2d/blitrows_simd.inl"

}  // namespace

extern const BlitRowKernels blitRowsAvx2 = {"avx2", simdOver, simdAdd, simdOverScaled,
                                            simdAddScaled, simdCopyScaled};
