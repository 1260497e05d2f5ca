// Pixel blending, the blits' clipping and sampling, copies that must stay inside the
// destination, and the vertical mirror.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <vector>

#include "gfx2d/blit.h"
#include "gfx2d/blitrows.h"
#include "tests/unit/fixtures.h"

namespace {

using namespace fixtures;

// Every pixel different, with a mix of alphas, so a wrong sample or offset shows.
void fillPattern(Image* image, uint32_t seed) {
    for (int32_t i = 0; i < image->width * image->height; ++i) {
        const uint32_t alpha = (i % 4 == 0) ? 255u : (i % 4 == 1) ? 0u : 60u * (i % 4);
        image->pixels[i] = (alpha << 24) | ((seed * 2654435761u + i * 40503u) & 0xFFFFFF);
    }
}

using PixelBlend = void (*)(uint32_t*, uint32_t, int32_t);

}  // namespace

TEST(Div255, MatchesIntegerDivisionOverTheWholeRange) {
    for (uint32_t x = 0; x <= 65025; ++x) ASSERT_EQ(div255(x), x / 255) << x;
}

TEST(BlendAlpha, WorkedValues) {
    struct Case { uint32_t dst, src; int32_t opacity; uint32_t expected; } cases[] = {
        {0xFF102030, 0xFFABCDEF, 255, 0xFFABCDEF},   // opaque source: colour exactly, alpha 255
        {0x80102030, 0x00ABCDEF, 255, 0x00102030},   // transparent source: alpha becomes 0
        {0xFF000000, 0xFFFFFFFF, 128, 0x80808080},   // a = 128, (255*128)/255 = 128
        {0xFF000000, 0xFFFFFFFF, 256, 0x00000000},   // only the low 8 bits count: 256 is 0
        {0xFF000000, 0xFFFFFFFF, -1, 0xFFFFFFFF},    // and -1 is 255
        {0xFF00FF00, 0x80FF0000, 255, 0x80807F00},   // a = 128: R 32640/255 = 128, G 32385/255 = 127
    };
    for (const Case& c : cases) {
        uint32_t d = c.dst;
        blendAlpha(&d, c.src, c.opacity);
        EXPECT_EQ(d, c.expected) << std::hex << c.src << " over " << c.dst << " at " << std::dec
                                 << c.opacity;
    }
}

TEST(BlendAdd, WorkedValues) {
    struct Case { uint32_t dst, src; int32_t opacity; uint32_t expected; } cases[] = {
        {0xFF000000, 0xFFFFFFFF, 255, 0xFFFDFDFD},   // e = 254, 255*254 >> 8 = 253
        {0xFF808080, 0xFFFFFFFF, 255, 0xFFFFFFFF},   // 97410 saturates at 65535
        {0xFF808080, 0x00FFFFFF, 255, 0xFF7F7F7F},   // nothing added still loses one step
        {0x00000000, 0x00FFFFFF, 255, 0xFF000000},   // zero stays zero; alpha becomes 255
        {0xFF808080, 0xFFFFFFFF, 256, 0xFF7F7F7F},   // 256 acts as 0
        {0xFF000000, 0xFFFFFFFF, -1, 0xFFFDFDFD},    // -1 acts as 255
    };
    for (const Case& c : cases) {
        uint32_t d = c.dst;
        blendAdd(&d, c.src, c.opacity);
        EXPECT_EQ(d, c.expected) << std::hex << c.src << " + " << c.dst << " at " << std::dec
                                 << c.opacity;
    }
}

// The fast row kernels must equal the per-pixel rules bit for bit. Channels are
// independent lanes, so grey pixels cover every (alpha, source, destination) triple.
TEST(RowKernels, FastEqualsReferenceForEveryAlphaAndChannelPair) {
    std::vector<uint32_t> src(256), fast(256), ref(256);
    for (uint32_t alpha = 0; alpha < 256; ++alpha) {
        for (uint32_t sc = 0; sc < 256; ++sc) {
            for (uint32_t dc = 0; dc < 256; ++dc) {
                src[dc] = (alpha << 24) | (sc * 0x010101u);
                fast[dc] = ref[dc] = (dc << 24) | (dc * 0x010101u);
            }
            blitRowsFast.over(fast.data(), src.data(), 256, 255);
            blitRowsReference.over(ref.data(), src.data(), 256, 255);
            ASSERT_EQ(fast, ref) << "over, alpha " << alpha << " source " << sc;
            for (uint32_t dc = 0; dc < 256; ++dc) fast[dc] = ref[dc] = (dc << 24) | (dc * 0x010101u);
            blitRowsFast.add(fast.data(), src.data(), 256, 255);
            blitRowsReference.add(ref.data(), src.data(), 256, 255);
            ASSERT_EQ(fast, ref) << "add, alpha " << alpha << " source " << sc;
        }
    }
}

TEST(RowKernels, FastEqualsReferenceForEveryOpacity) {
    std::mt19937 gen(7);
    const int32_t n = 97;
    std::vector<uint32_t> src(n), dst(n);
    for (auto& p : src) p = gen();
    for (auto& p : dst) p = gen();
    src[0] |= 0xFF000000u;   // make sure opaque and transparent sources are in
    src[1] &= 0x00FFFFFFu;
    for (uint32_t op = 0; op < 256; ++op) {
        for (int kind = 0; kind < 4; ++kind) {
            std::vector<uint32_t> fast = dst, ref = dst;
            switch (kind) {
                case 0:
                    blitRowsFast.over(fast.data(), src.data(), n, op);
                    blitRowsReference.over(ref.data(), src.data(), n, op);
                    break;
                case 1:
                    blitRowsFast.add(fast.data(), src.data(), n, op);
                    blitRowsReference.add(ref.data(), src.data(), n, op);
                    break;
                case 2:   // 16.16 stepping from an offset, shrinking
                    blitRowsFast.overScaled(fast.data(), src.data(), 40, 70000, 147000, op);
                    blitRowsReference.overScaled(ref.data(), src.data(), 40, 70000, 147000, op);
                    break;
                case 3:   // enlarging
                    blitRowsFast.addScaled(fast.data(), src.data(), n, 0, 40000, op);
                    blitRowsReference.addScaled(ref.data(), src.data(), n, 0, 40000, op);
                    break;
            }
            ASSERT_EQ(fast, ref) << "kernel " << kind << " opacity " << op;
        }
    }
}

// --- Unscaled blits: every pixel of the destination checked against a per-pixel model.

struct UnscaledCase { int32_t x, y; const char* what; };

void PrintTo(const UnscaledCase& c, std::ostream* os) { *os << c.what; }

class UnscaledClip : public ::testing::TestWithParam<UnscaledCase> {};

TEST_P(UnscaledClip, MatchesPerPixelModelAndStaysInside) {
    const UnscaledCase c = GetParam();
    struct Op {
        void (*blit)(Image*, const Image*, int32_t, int32_t, int32_t);
        PixelBlend pixel;
    } ops[] = {{drawImage, blendAlpha}, {drawImageAdd, blendAdd}};
    for (const Op& op : ops) {
        GuardedImage dst(7, 5), src(3, 4);
        fillPattern(&dst.image, 1);
        fillPattern(&src.image, 2);
        std::vector<uint32_t> expected = dst.pixels();
        for (int64_t Y = 0; Y < 5; ++Y)
            for (int64_t X = 0; X < 7; ++X) {
                const int64_t j = X - c.x, i = Y - c.y;
                if (j >= 0 && j < 3 && i >= 0 && i < 4) op.pixel(&expected[Y * 7 + X], src.at(j, i), 200);
            }
        op.blit(&dst.image, &src.image, c.x, c.y, 200);
        EXPECT_EQ(dst.pixels(), expected) << c.what;
        EXPECT_TRUE(dst.guardsIntact()) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(Edges, UnscaledClip, ::testing::Values(
    UnscaledCase{2, 1, "inside"},
    UnscaledCase{-1, 1, "left edge: from source column 1"},
    UnscaledCase{5, 1, "right edge: rest of each row dropped"},
    UnscaledCase{2, -2, "top edge: from source row 2"},
    UnscaledCase{2, 3, "bottom edge"},
    UnscaledCase{-2, -3, "top-left corner"},
    UnscaledCase{6, 4, "bottom-right corner"},
    UnscaledCase{-3, 0, "just off the left"},
    UnscaledCase{7, 0, "just off the right"},
    UnscaledCase{0, -4, "just off the top"},
    UnscaledCase{0, 5, "just off the bottom"},
    UnscaledCase{INT_MIN, INT_MIN, "far negative"},
    UnscaledCase{INT_MAX, INT_MAX, "far positive"}));

TEST(DrawImage, SourceLargerThanDestinationOnEverySide) {
    GuardedImage dst(4, 3), src(8, 7);
    fillPattern(&src.image, 3);
    for (int32_t i = 0; i < 8 * 7; ++i) src.image.pixels[i] |= 0xFF000000u;
    drawImage(&dst.image, &src.image, -2, -3, 255);
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(dst.at(x, y), src.at(x + 2, y + 3));
    EXPECT_TRUE(dst.guardsIntact());
}

// --- Scaled blits.

struct ScaledCase { int32_t x, y, w, h; const char* what; };

void PrintTo(const ScaledCase& c, std::ostream* os) { *os << c.what; }

class ScaledClip : public ::testing::TestWithParam<ScaledCase> {};

TEST_P(ScaledClip, MatchesPerPixelModelAndStaysInside) {
    const ScaledCase c = GetParam();
    struct Op {
        void (*blit)(Image*, const Image*, int32_t, int32_t, int32_t, int32_t, int32_t);
        PixelBlend pixel;
    } ops[] = {{stretchDraw, blendAlpha}, {stretchDrawAdd, blendAdd}};
    for (const Op& op : ops) {
        GuardedImage dst(7, 5), src(3, 2);
        fillPattern(&dst.image, 4);
        fillPattern(&src.image, 5);
        std::vector<uint32_t> expected = dst.pixels();
        if (c.w > 0 && c.h > 0) {
            const int64_t stepX = 3 * 65536 / c.w, stepY = 2 * 65536 / c.h;
            for (int64_t Y = 0; Y < 5; ++Y)
                for (int64_t X = 0; X < 7; ++X) {
                    const int64_t j = X - c.x, k = Y - c.y;
                    if (j >= 0 && j < c.w && k >= 0 && k < c.h)
                        op.pixel(&expected[Y * 7 + X], src.at((j * stepX) >> 16, (k * stepY) >> 16), 230);
                }
        }
        op.blit(&dst.image, &src.image, c.x, c.y, c.w, c.h, 230);
        EXPECT_EQ(dst.pixels(), expected) << c.what;
        EXPECT_TRUE(dst.guardsIntact()) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(Edges, ScaledClip, ::testing::Values(
    ScaledCase{1, 1, 5, 3, "inside, enlarged"},
    ScaledCase{0, 0, 2, 1, "inside, shrunk: pixels skipped"},
    ScaledCase{-2, 1, 6, 3, "left edge: clipped columns advance the source"},
    ScaledCase{4, 1, 6, 3, "right edge"},
    ScaledCase{1, -2, 4, 5, "top edge: clipped rows advance the source"},
    ScaledCase{1, 3, 4, 5, "bottom edge"},
    ScaledCase{-3, -3, 12, 10, "larger than the destination on every side"},
    ScaledCase{-6, 0, 6, 5, "just off the left"},
    ScaledCase{0, 5, 6, 5, "just off the bottom"},
    ScaledCase{2, 2, 0, 3, "zero width draws nothing"},
    ScaledCase{2, 2, 3, -1, "negative height draws nothing"},
    ScaledCase{INT_MIN, INT_MIN, INT_MAX, INT_MAX, "far negative, huge"}));

TEST(StretchDraw, SmallImageBlownUpToTheScreen) {
    // 32x24 to 640x480: step 3276 both ways, so a source pixel covers about 20x20.
    Image* src = newImage(32, 24);
    for (int32_t i = 0; i < 32 * 24; ++i) src->pixels[i] = 0xFF000000u | static_cast<uint32_t>(i);
    Image* dst = newImage(640, 480);
    stretchDraw(dst, src, 0, 0, 640, 480, 255);
    auto sampled = [&](int32_t x, int32_t y) { return dst->pixels[y * 640 + x] & 0xFFFFFF; };
    struct Probe { int32_t x, y; uint32_t srcX, srcY; } probes[] = {
        {0, 0, 0, 0}, {20, 20, 0, 0}, {21, 21, 1, 1}, {639, 479, 31, 23}, {320, 240, 15, 11}};
    for (const Probe& p : probes)
        EXPECT_EQ(sampled(p.x, p.y), p.srcY * 32 + p.srcX) << p.x << "," << p.y;

    // Drawn 5 rows above the top, destination row 0 shows source row (5*3276) >> 16 = 0
    // and destination row 16 shows output row 21, source row 1.
    stretchDraw(dst, src, 0, -5, 640, 480, 255);
    EXPECT_EQ(sampled(0, 0), 0u);
    EXPECT_EQ(sampled(0, 15), 0u);
    EXPECT_EQ(sampled(0, 16), 32u);
    EXPECT_EQ(sampled(0, 474), 23u * 32);
    freeImage(src);
    freeImage(dst);
}

// --- Copies: only inside the destination, whatever the sizes and position.

TEST(CopyImage, CopiesTheOverlapOnly) {
    struct Case { int32_t sw, sh, dw, dh; } cases[] = {
        {4, 3, 4, 3},   // the usual case: equal sizes
        {3, 2, 5, 4},   // smaller source: the rest of the destination kept
        {6, 5, 4, 3},   // larger source: clipped on the right and at the bottom
        {6, 2, 4, 3},   // wider only
        {2, 5, 4, 3},   // taller only
        {0, 0, 4, 3},   // empty source
    };
    for (const Case& c : cases) {
        GuardedImage src(c.sw, c.sh), dst(c.dw, c.dh, 0x11111111);
        fillPattern(&src.image, 6);
        copyImage(&src.image, &dst.image);
        for (int32_t y = 0; y < c.dh; ++y)
            for (int32_t x = 0; x < c.dw; ++x) {
                const uint32_t expected = (x < c.sw && y < c.sh) ? src.at(x, y) : 0x11111111u;
                ASSERT_EQ(dst.at(x, y), expected) << c.sw << "x" << c.sh << " at " << x << "," << y;
            }
        EXPECT_TRUE(dst.guardsIntact()) << c.sw << "x" << c.sh << " into " << c.dw << "x" << c.dh;
    }
}

TEST(StretchCopy, ReplacesWithinTheDestinationOnly) {
    struct Case { int32_t y, w, h; const char* what; } cases[] = {
        {0, 5, 4, "full destination"},
        {1, 3, 2, "part, pixels doubled and skipped"},
        {2, 5, 6, "past the bottom"},
        {0, 9, 4, "wider than the destination"},
        {-3, 5, 6, "above the top: rows skipped, source advanced"},
        {-10, 5, 4, "entirely above"},
        {4, 5, 4, "entirely below"},
        {0, 0, 4, "zero width"},
        {INT_MIN, INT_MAX, INT_MAX, "far above, huge"},
    };
    for (const Case& c : cases) {
        GuardedImage src(3, 3), dst(5, 4, 0x22222222);
        fillPattern(&src.image, 7);
        std::vector<uint32_t> expected = dst.pixels();
        if (c.w > 0 && c.h > 0) {
            const int64_t stepX = 3 * 65536 / c.w, stepY = 3 * 65536 / c.h;
            for (int64_t Y = 0; Y < 4; ++Y)
                for (int64_t X = 0; X < 5; ++X) {
                    const int64_t k = Y - c.y;
                    if (X < c.w && k >= 0 && k < c.h)
                        expected[Y * 5 + X] = src.at((X * stepX) >> 16, (k * stepY) >> 16);
                }
        }
        stretchCopy(&src.image, &dst.image, c.y, c.w, c.h);
        EXPECT_EQ(dst.pixels(), expected) << c.what;
        EXPECT_TRUE(dst.guardsIntact()) << c.what;
    }
}

TEST(FlipVertical, MirrorsRows) {
    struct Case { int32_t h; std::vector<int> order; } cases[] = {
        {1, {0}}, {2, {1, 0}}, {3, {2, 1, 0}}, {4, {3, 2, 1, 0}}, {0, {}}};
    for (const Case& c : cases) {
        GuardedImage img(3, c.h);
        fillPattern(&img.image, 8);
        const std::vector<uint32_t> before = img.pixels();
        img.image.flipVertical();
        for (int32_t y = 0; y < c.h; ++y)
            for (int32_t x = 0; x < 3; ++x)
                EXPECT_EQ(img.at(x, y), before[c.order[y] * 3 + x]) << "height " << c.h;
        EXPECT_TRUE(img.guardsIntact());
    }
}

// Layers a row at a time give what one blit after the other gives: pictures larger and
// smaller than the destination, over and add mixed, opacities whose low byte alone counts,
// and the destination itself as one of the layers.
TEST(DrawLayers, EqualsOneBlitAfterTheOther) {
    GuardedImage big(40, 30), small(13, 7), wide(50, 4), same(24, 18), empty(0, 0);
    fillPattern(&big.image, 1);
    fillPattern(&small.image, 2);
    fillPattern(&wide.image, 3);
    fillPattern(&same.image, 4);
    const struct Case {
        const char* name;
        std::vector<Layer> layers;
    } cases[] = {
        {"overlays at 255", {{&big.image, 255, false}, {&small.image, 255, false}, {&same.image, 255, false}}},
        {"add then over", {{&same.image, 180, true}, {&big.image, 255, false}, {&small.image, 200, false}}},
        {"low byte only", {{&wide.image, 256 + 77, false}, {&small.image, -1, true}, {&empty.image, 255, false}}},
        {"one layer", {{&small.image, 128, false}}},
        {"none", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (bool selfLayer : {false, true}) {
            GuardedImage sequential(24, 18), layered(24, 18);
            fillPattern(&sequential.image, 9);
            fillPattern(&layered.image, 9);
            std::vector<Layer> layers = c.layers, seqLayers = c.layers;
            if (selfLayer) {   // the destination drawn over itself between the others
                layers.insert(layers.begin() + layers.size() / 2, Layer{&layered.image, 150, false});
                seqLayers.insert(seqLayers.begin() + seqLayers.size() / 2, Layer{&sequential.image, 150, false});
            }
            for (const Layer& l : seqLayers)
                (l.add ? drawImageAdd : drawImage)(&sequential.image, l.image, 0, 0, l.opacity);
            drawLayers(&layered.image, layers.data(), static_cast<int32_t>(layers.size()));
            EXPECT_EQ(sequential.pixels(), layered.pixels()) << "destination layer " << selfLayer;
            EXPECT_TRUE(layered.guardsIntact());
        }
    }
}
