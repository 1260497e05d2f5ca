// Every row kernel set this processor runs (the portable fast set and the SIMD sets)
// against the plain per-pixel reference: all blend inputs, every row length around the
// vector width with guards on both sides, scaled stepping, and whole clipped blits.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "gfx2d/blit.h"
#include "gfx2d/blitrows.h"

#ifdef GFX2D_HAVE_X86_KERNELS
#include <cpuid.h>
#endif

namespace {

std::vector<const BlitRowKernels*> setsUnderTest() {
    int count = 0;
    const BlitRowKernels* const* sets = blitRowKernelSets(&count);
    std::vector<const BlitRowKernels*> out;
    for (int i = 1; i < count; ++i) out.push_back(sets[i]);   // all but the reference
    return out;
}

std::string setName(const testing::TestParamInfo<const BlitRowKernels*>& info) {
    return info.param->name;
}

class KernelSet : public testing::TestWithParam<const BlitRowKernels*> {};

std::vector<uint32_t> randomPixels(size_t n, uint32_t seed) {
    std::mt19937 gen(seed);
    std::vector<uint32_t> v(n);
    for (uint32_t& p : v) {
        p = gen();
        // Plenty of the alphas with shortcuts, alone and in runs.
        const uint32_t pick = gen() % 8;
        if (pick < 2) p |= 0xFF000000u;
        else if (pick < 4) p &= 0x00FFFFFFu;
    }
    return v;
}

}  // namespace

TEST(KernelSets, ListStartsWithTheReferenceAndFindsEveryMemberByName) {
    int count = 0;
    const BlitRowKernels* const* sets = blitRowKernelSets(&count);
    ASSERT_GE(count, 2);
    EXPECT_EQ(sets[0], &blitRowsReference);
    EXPECT_EQ(bestBlitRowKernels(), sets[count - 1]);
    for (int i = 0; i < count; ++i) EXPECT_EQ(findBlitRowKernels(sets[i]->name), sets[i]);
    EXPECT_EQ(findBlitRowKernels("no such set"), nullptr);
    EXPECT_EQ(findBlitRowKernels(nullptr), nullptr);
#ifdef GFX2D_HAVE_X86_KERNELS
    EXPECT_NE(findBlitRowKernels("sse2"), nullptr);   // part of x86-64
    __builtin_cpu_init();
    EXPECT_EQ(findBlitRowKernels("avx2") != nullptr, __builtin_cpu_supports("avx2") != 0);
    EXPECT_EQ(findBlitRowKernels("avx512") != nullptr,
              __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw"));
#endif
}

// Channels are independent lanes, so grey pixels cover every (alpha, source, destination)
// triple; at opacity 255 the effective alpha is the source alpha itself.
TEST_P(KernelSet, EqualsReferenceForEveryAlphaAndChannelPair) {
    const BlitRowKernels* set = GetParam();
    std::vector<uint32_t> src(256), out(256), ref(256);
    for (uint32_t alpha = 0; alpha < 256; ++alpha) {
        for (uint32_t sc = 0; sc < 256; ++sc) {
            for (uint32_t dc = 0; dc < 256; ++dc) src[dc] = (alpha << 24) | (sc * 0x010101u);
            for (int add = 0; add < 2; ++add) {
                for (uint32_t dc = 0; dc < 256; ++dc)
                    out[dc] = ref[dc] = ((255 - dc) << 24) | (dc * 0x010101u);
                (add ? set->add : set->over)(out.data(), src.data(), 256, 255);
                (add ? blitRowsReference.add : blitRowsReference.over)(ref.data(), src.data(), 256, 255);
                ASSERT_EQ(out, ref) << (add ? "add" : "over") << ", alpha " << alpha << " source " << sc;
            }
        }
    }
}

// The opacity only enters through the effective alpha: every (source alpha, opacity) pair,
// over a spread of colours.
TEST_P(KernelSet, EqualsReferenceForEveryAlphaAndOpacityPair) {
    const BlitRowKernels* set = GetParam();
    std::mt19937 gen(11);
    std::vector<uint32_t> src(256), dst(256);
    for (uint32_t& p : dst) p = gen();
    for (uint32_t opacity = 0; opacity < 256; ++opacity) {
        for (uint32_t a = 0; a < 256; ++a) src[a] = (a << 24) | (gen() & 0xFFFFFF);
        for (int add = 0; add < 2; ++add) {
            std::vector<uint32_t> out = dst, ref = dst;
            (add ? set->add : set->over)(out.data(), src.data(), 256, opacity);
            (add ? blitRowsReference.add : blitRowsReference.over)(ref.data(), src.data(), 256, opacity);
            ASSERT_EQ(out, ref) << (add ? "add" : "over") << ", opacity " << opacity;
        }
    }
}

// Rows of every length up to a few vector widths, starting at every alignment; nothing
// outside the n pixels changes.
TEST_P(KernelSet, RowsOfAnyLengthAndAlignmentStayInside) {
    const BlitRowKernels* set = GetParam();
    const std::vector<uint32_t> src = randomPixels(64, 1), dst = randomPixels(64, 2);
    const uint32_t opacities[] = {0, 1, 128, 200, 255};
    for (int32_t start = 0; start < 8; ++start)
        for (int32_t n = 0; n <= 40; ++n)
            for (uint32_t op : opacities)
                for (int kind = 0; kind < 5; ++kind) {
                    std::vector<uint32_t> out = dst, ref = dst;
                    uint32_t* o = out.data() + start;
                    uint32_t* r = ref.data() + start;
                    const uint32_t* s = src.data() + 3;
                    switch (kind) {
                        case 0: set->over(o, s, n, op); blitRowsReference.over(r, s, n, op); break;
                        case 1: set->add(o, s, n, op); blitRowsReference.add(r, s, n, op); break;
                        case 2:
                            set->overScaled(o, s, n, 30000, 49000, op);
                            blitRowsReference.overScaled(r, s, n, 30000, 49000, op);
                            break;
                        case 3:
                            set->addScaled(o, s, n, 0, 65536, op);
                            blitRowsReference.addScaled(r, s, n, 0, 65536, op);
                            break;
                        case 4:
                            set->copyScaled(o, s, n, 65536 * 2, 65536);
                            blitRowsReference.copyScaled(r, s, n, 65536 * 2, 65536);
                            break;
                    }
                    ASSERT_EQ(out, ref) << "kind " << kind << " start " << start << " n " << n
                                        << " opacity " << op;
                }
}

// Rows built from runs that are all transparent, all opaque or mixed, long enough to fill
// whole blocks of every vector width, at every start alignment of the widest vector, over
// destinations that each shortcut may leave unchanged (alpha already 0, black with alpha
// 255, white) or must change: every opacity gives the reference's pixels, and nothing
// outside the row changes.
TEST_P(KernelSet, UniformBlocksMatchTheReferenceAtEveryOpacity) {
    const BlitRowKernels* set = GetParam();
    enum Kind { transparent, opaque, mixed, nearlyClear, nearlySolid };
    struct Run { Kind kind; int32_t length; } runs[] = {
        {transparent, 48}, {opaque, 32}, {mixed, 16}, {transparent, 5}, {opaque, 17},
        {nearlyClear, 16}, {transparent, 33}, {nearlySolid, 16}, {mixed, 3}, {opaque, 64},
        {transparent, 16}, {mixed, 40},
    };
    std::mt19937 gen(21);
    std::vector<uint32_t> src;
    for (const Run& run : runs)
        for (int32_t k = 0; k < run.length; ++k) {
            const uint32_t colour = gen() & 0xFFFFFFu;
            const uint32_t alpha = run.kind == transparent ? 0 : run.kind == opaque ? 255
                                 : run.kind == nearlyClear ? 1 : run.kind == nearlySolid ? 254
                                 : gen() % 256;
            src.push_back((alpha << 24) | colour);
        }
    const int32_t length = static_cast<int32_t>(src.size());
    constexpr int32_t kGuard = 16;
    struct Destination { const char* name; uint32_t fixed; bool random; uint32_t alphaMask; } destinations[] = {
        {"alpha 0", 0, true, 0x00FFFFFFu}, {"opaque black", 0xFF000000u, false, 0},
        {"white", 0xFFFFFFFFu, false, 0}, {"random", 0, true, 0xFFFFFFFFu},
    };
    for (const Destination& dest : destinations) {
        std::vector<uint32_t> dst(static_cast<size_t>(length + 2 * kGuard));
        for (uint32_t& p : dst) p = dest.random ? gen() & dest.alphaMask : dest.fixed;
        for (int32_t start = 0; start < 16; ++start) {
            const int32_t n = length - start;
            for (uint32_t op = 0; op < 256; ++op)
                for (int add = 0; add < 2; ++add) {
                    std::vector<uint32_t> out = dst, ref = dst;
                    (add ? set->add : set->over)(out.data() + kGuard + start, src.data() + start, n, op);
                    (add ? blitRowsReference.add : blitRowsReference.over)(ref.data() + kGuard + start,
                                                                          src.data() + start, n, op);
                    ASSERT_EQ(out, ref) << (add ? "add" : "over") << " onto " << dest.name << ", start "
                                        << start << ", opacity " << op;
                }
        }
    }
}

// Scaled rows longer than any internal chunk, enlarging and shrinking, from offsets.
TEST_P(KernelSet, ScaledRowsFollowTheRunningSum) {
    const BlitRowKernels* set = GetParam();
    const std::vector<uint32_t> src = randomPixels(2000, 3), dst = randomPixels(700, 4);
    struct Step { int64_t sx, stepX; int32_t n; } steps[] = {
        {0, 3276, 640},        // 32 pixels blown up to 640
        {5 * 3276, 3276, 635}, // the same, first 5 columns clipped
        {70000, 147000, 500},  // shrinking by about 2.2
        {0, 65536, 640},       // one to one
        {0, 0, 300},           // a zero step repeats one pixel
    };
    for (const Step& st : steps)
        for (uint32_t op : {0u, 77u, 255u}) {
            std::vector<uint32_t> out = dst, ref = dst;
            set->overScaled(out.data(), src.data(), st.n, st.sx, st.stepX, op);
            blitRowsReference.overScaled(ref.data(), src.data(), st.n, st.sx, st.stepX, op);
            ASSERT_EQ(out, ref) << "over, step " << st.stepX << " opacity " << op;
            set->addScaled(out.data(), src.data(), st.n, st.sx, st.stepX, op);
            blitRowsReference.addScaled(ref.data(), src.data(), st.n, st.sx, st.stepX, op);
            ASSERT_EQ(out, ref) << "add, step " << st.stepX << " opacity " << op;
            set->copyScaled(out.data(), src.data(), st.n, st.sx, st.stepX);
            blitRowsReference.copyScaled(ref.data(), src.data(), st.n, st.sx, st.stepX);
            ASSERT_EQ(out, ref) << "copy, step " << st.stepX;
        }
}

// Whole blits, as the scenes call them, with the set in use swapped: random images at
// clipped positions on every side give the same picture as the reference set.
TEST_P(KernelSet, ClippedBlitsMatchTheReferenceSet) {
    const BlitRowKernels* set = GetParam();
    std::vector<uint32_t> srcPixels = randomPixels(77 * 53, 5);
    const std::vector<uint32_t> background = randomPixels(160 * 120, 6);
    const Image src{srcPixels.data(), 77, 53};
    struct Place { int32_t x, y, w, h; } places[] = {
        {10, 7, 77, 53}, {-20, -9, 120, 40}, {120, 100, 90, 60}, {-100, 50, 400, 300},
        {0, 0, 160, 120}, {159, 119, 5, 5}, {3, -60, 31, 61},
        // one to one across, clipped on the left and on the right (the add swaps x/y, w/h)
        {-30, 20, 77, 100}, {100, -10, 77, 30}, {20, -40, 50, 77},
    };
    const BlitRowKernels* saved = blitRows;
    for (const Place& p : places)
        for (int32_t op : {0, 90, 255, 256 + 40}) {
            std::vector<uint32_t> out[2];
            for (int pass = 0; pass < 2; ++pass) {
                blitRows = pass == 0 ? set : &blitRowsReference;
                out[pass] = background;
                Image dst{out[pass].data(), 160, 120};
                drawImage(&dst, &src, p.x, p.y, op);
                drawImageAdd(&dst, &src, p.y, p.x, op);
                stretchDraw(&dst, &src, p.x, p.y, p.w, p.h, op);
                stretchDrawAdd(&dst, &src, p.y, p.x, p.h, p.w, op);
                if (p.y >= 0) stretchCopy(&src, &dst, p.y / 2, p.w / 3, p.h / 3);
            }
            blitRows = saved;
            ASSERT_EQ(out[0], out[1]) << "at " << p.x << ", " << p.y << " size " << p.w << "x"
                                      << p.h << " opacity " << op;
        }
}

INSTANTIATE_TEST_SUITE_P(AllSets, KernelSet, testing::ValuesIn(setsUnderTest()), setName);

// Scaled blits of an image onto itself read rows that earlier rows of the same blit have
// already changed; every set must see them in the same state as the reference does.
TEST_P(KernelSet, ScaledBlitsOfAnImageOntoItselfMatchTheReferenceSet) {
    const BlitRowKernels* set = GetParam();
    const std::vector<uint32_t> start = randomPixels(48 * 40, 9);
    const BlitRowKernels* saved = blitRows;
    std::vector<uint32_t> out[2];
    for (int pass = 0; pass < 2; ++pass) {
        blitRows = pass == 0 ? set : &blitRowsReference;
        out[pass] = start;
        Image img{out[pass].data(), 48, 40};
        stretchDraw(&img, &img, 3, 2, 96, 80, 150);
        stretchDrawAdd(&img, &img, -5, 1, 70, 90, 255);
        stretchCopy(&img, &img, 4, 60, 70);
    }
    blitRows = saved;
    EXPECT_EQ(out[0], out[1]);
}

#ifdef GFX2D_HAVE_X86_KERNELS
// The AVX2 and AVX-512 kernels must return with the upper halves of the vector registers
// cleared (vzeroupper): left dirty, every plain SSE instruction that runs afterwards (the
// scenes' float code, libm) pays a state transition, several times slower. The processor
// reports which register state is in use through XGETBV with ECX = 1; bit 2 is the upper
// halves of YMM0-15, bit 6 those of ZMM0-15.
TEST_P(KernelSet, LeavesTheUpperVectorHalvesClean) {
    const BlitRowKernels* set = GetParam();
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid_count(0xD, 1, &eax, &ebx, &ecx, &edx) || !(eax & 4) || !__builtin_cpu_supports("avx"))
        GTEST_SKIP() << "the processor does not report the register state in use";
    const auto upperInUse = [] {
        uint32_t lo = 0, hi = 0;
        __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(1));
        return lo & ((1u << 2) | (1u << 6));
    };
    std::vector<uint32_t> src = randomPixels(700, 12), dst = randomPixels(700, 13);
    for (int32_t n : {5, 640}) {
        for (int kernel = 0; kernel < 5; ++kernel) {
            __asm__ volatile("vzeroupper");
            ASSERT_EQ(upperInUse(), 0u);
            switch (kernel) {
                case 0: set->over(dst.data() + 1, src.data(), n, 255); break;
                case 1: set->add(dst.data() + 1, src.data(), n, 200); break;
                case 2: set->overScaled(dst.data() + 1, src.data(), n, 0, 40000, 128); break;
                case 3: set->addScaled(dst.data() + 1, src.data(), n, 0, 65536, 255); break;
                case 4: set->copyScaled(dst.data() + 1, src.data(), n, 0, 65536); break;
            }
            EXPECT_EQ(upperInUse(), 0u) << "kernel " << kernel << ", " << n << " pixels";
        }
    }
}
#endif

// The mirror exchanges rows through a buffer up to a width and pixel by pixel beyond it;
// both ways give the mirrored rows.
TEST(FlipVertical, NarrowAndWideRowsAreMirrored) {
    for (int32_t w : {640, 2048, 2049, 3000}) {
        const int32_t h = 5;
        std::vector<uint32_t> pixels = randomPixels(static_cast<size_t>(w) * h, static_cast<uint32_t>(w));
        const std::vector<uint32_t> before = pixels;
        Image img{pixels.data(), w, h};
        img.flipVertical();
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; x += 97)
                ASSERT_EQ(pixels[y * w + x], before[(h - 1 - y) * w + x]) << "width " << w << " row " << y;
    }
}
