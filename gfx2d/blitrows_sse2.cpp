// gfx2d/blitrows_sse2.cpp — the SIMD row kernels on SSE2 (every x86-64 processor has it;
// in WebAssembly emscripten's SSE2 header maps it onto wasm SIMD): four pixels a step.
#include "gfx2d/blitrows.h"

#include <cstring>
#include <emmintrin.h>

namespace {

struct Ops {
    using V = __m128i;
    static constexpr int kPixels = 4;
    static V load(const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static void store(uint32_t* p, V v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
    static V set1(uint32_t x) { return _mm_set1_epi32(static_cast<int>(x)); }
    static V and_(V a, V b) { return _mm_and_si128(a, b); }
    static V or_(V a, V b) { return _mm_or_si128(a, b); }
    static V mul16(V a, V b) { return _mm_mullo_epi16(a, b); }
    static V add16(V a, V b) { return _mm_add_epi16(a, b); }
    static V sub16(V a, V b) { return _mm_sub_epi16(a, b); }
    static V shr16(V a, int n) { return _mm_srli_epi16(a, n); }
    static V shl16(V a, int n) { return _mm_slli_epi16(a, n); }
    static V shl32(V a, int n) { return _mm_slli_epi32(a, n); }
    static V shr32(V a, int n) { return _mm_srli_epi32(a, n); }
    static V addSat16(V a, V b) { return _mm_adds_epu16(a, b); }
    static V subSat16(V a, V b) { return _mm_subs_epu16(a, b); }
    static V subSat8(V a, V b) { return _mm_subs_epu8(a, b); }
    static bool allZero(V a) { return _mm_movemask_epi8(_mm_cmpeq_epi32(a, _mm_setzero_si128())) == 0xFFFF; }
    static bool allEqual(V a, V b) { return _mm_movemask_epi8(_mm_cmpeq_epi32(a, b)) == 0xFFFF; }
};

#include "gfx2d/blitrows_simd.inl"

}  // namespace

extern const BlitRowKernels blitRowsSse2 = {"sse2", simdOver, simdAdd, simdOverScaled,
                                            simdAddScaled, simdCopyScaled};
