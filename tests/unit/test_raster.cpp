// Scanline rasteriser: coverage pixel by pixel, span direction, mip level choice, the strict
// depth test, texel addressing and wrap, and that no write leaves the target image.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <vector>

#include "tests/unit/fixtures.h"

using namespace fixtures;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

ClipVertex pt(float x, float y, float z = 0.0f, float u = 0.0f, float v = 0.0f) {
    return ClipVertex{x, y, z, u, v};
}

struct RasterTest : ::testing::Test {
    GuardedImage img{16, 16};
    MarkerTexture tex{256, 256, 8};
    RendererScope scope{&img.image, &tex.texture};

    void draw(ClipVertex a, ClipVertex b, ClipVertex c) { rasterizeTriangle(&renderer, a, b, c); }
    int levelAt(int x, int y) const { return static_cast<int>(img.at(x, y) >> 16); }
    int colAt(int x, int y) const { return static_cast<int>(img.at(x, y) & 255); }
    int rowAt(int x, int y) const { return static_cast<int>((img.at(x, y) >> 8) & 255); }
};

// ---------------------------------------------------------------- coverage

struct CoverageCase {
    const char* name;
    ClipVertex a, b, c;
    std::map<int, std::vector<int>> rows;   // row -> covered columns; other rows stay empty
};

TEST_F(RasterTest, CoversExactlyThePixelsOfTheRowAndSpanRules) {
    const CoverageCase cases[] = {
        {"general", pt(1.2f, 0.7f), pt(5.6f, 3.4f), pt(2.1f, 6.3f),
         {{1, columns(1, 2)}, {2, columns(1, 4)}, {3, columns(2, 5)}, {4, columns(2, 4)}, {5, columns(2, 3)}}},
        {"flat top", pt(2, 1), pt(8, 1), pt(2, 7),
         {{1, columns(2, 7)}, {2, columns(2, 6)}, {3, columns(2, 5)}, {4, columns(2, 4)}, {5, columns(2, 3)},
          {6, columns(2, 2)}}},
        {"flat bottom", pt(2, 1), pt(2, 7), pt(8, 7),
         {{1, columns(2, 2)}, {2, columns(2, 3)}, {3, columns(2, 4)}, {4, columns(2, 5)}, {5, columns(2, 6)},
          {6, columns(2, 7)}}},
        // A leftward row whose long edge lies left of 0.5 keeps pixel 0 (its centre is inside).
        {"long edge at x 0.3", pt(0.3f, 0), pt(6.3f, 3), pt(0.3f, 6),
         {{0, columns(0, 1)}, {1, columns(0, 3)}, {2, columns(0, 5)}, {3, columns(0, 5)}, {4, columns(0, 3)},
          {5, columns(0, 1)}}},
        {"one row height", pt(1, 4), pt(9, 4), pt(5, 4), {}},
    };
    for (const CoverageCase& c : cases) {
        SCOPED_TRACE(c.name);
        GuardedImage fresh(16, 16);
        RendererScope s(&fresh.image, &tex.texture);
        draw(c.a, c.b, c.c);
        for (int y = 0; y < 16; ++y) {
            const auto it = c.rows.find(y);
            EXPECT_EQ(rowCoverage(fresh, y), it == c.rows.end() ? std::vector<int>{} : it->second)
                << "row " << y;
        }
        // The corner order does not change the coverage.
        GuardedImage rotated(16, 16);
        RendererScope s2(&rotated.image, &tex.texture);
        draw(c.c, c.a, c.b);
        EXPECT_EQ(rotated.block, fresh.block);
    }
}

// A row runs from the short edge towards the long edge, starting with the short edge's
// texture coordinate at pixel trunc(xS). With u = x + 0.5 texels, pixel x samples column
// trunc(x + frac(xS) + 0.5): x + 1 when the walk starts at 10.7, x when it starts at 3.2.
TEST_F(RasterTest, SpansRunFromTheShortEdgeTowardsTheLongEdge) {
    struct Case { float xShort, xLong; int colOffset; };
    const Case cases[] = {{10.7f, 3.2f, 1}, {3.2f, 10.7f, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xShort);
        GuardedImage fresh(16, 2);
        RendererScope s(&fresh.image, &tex.texture);
        auto u = [](float x) { return (x + 0.5f) / 256.0f; };
        // Long edge vertical at xLong; the short edge leaves the top row at xShort.
        draw(pt(c.xLong, 0, 0, u(c.xLong)), pt(c.xShort, 0, 0, u(c.xShort)),
             pt(c.xLong, 1000, 0, u(c.xLong)));
        EXPECT_EQ(rowCoverage(fresh, 0), columns(3, 10));
        for (int x = 3; x <= 10; ++x)
            EXPECT_EQ(static_cast<int>(fresh.at(x, 0) & 255), x + c.colOffset) << "x " << x;
    }
}

// Triangles that share an edge leave no pixel between them: a jittered grid of quads, each
// split along one diagonal or the other, covers every pixel inside its outline.
TEST(RasterSeams, SharedEdgesLeaveNoCracks) {
    MarkerTexture tex(256, 256, 8);
    GuardedImage img(240, 240);
    RendererScope s(&img.image, &tex.texture);
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> jitter(-0.45f, 0.45f);
    constexpr int N = 20;
    constexpr float cell = 11.37f;
    int holes = 0;
    for (int trial = 0; trial < 400; ++trial) {
        std::fill(img.image.pixels, img.image.pixels + 240 * 240, kUntouchedPixel);
        clearDepth(&renderer, 240 * 240);
        std::vector<ClipVertex> g((N + 1) * (N + 1));
        for (int y = 0; y <= N; ++y)
            for (int x = 0; x <= N; ++x) {
                const bool border = x == 0 || x == N || y == 0 || y == N;
                const float jx = border ? 0 : jitter(rng) * cell, jy = border ? 0 : jitter(rng) * cell;
                g[y * (N + 1) + x] = pt(3 + x * cell + jx, 3 + y * cell + jy, 0.5f, 0.3f, 0.3f);
            }
        for (int y = 0; y < N; ++y)
            for (int x = 0; x < N; ++x) {
                const ClipVertex& a = g[y * (N + 1) + x];
                const ClipVertex& b = g[y * (N + 1) + x + 1];
                const ClipVertex& c = g[(y + 1) * (N + 1) + x];
                const ClipVertex& d = g[(y + 1) * (N + 1) + x + 1];
                if ((x + y + trial) % 2) {
                    rasterizeTriangle(&renderer, a, b, d);
                    rasterizeTriangle(&renderer, a, d, c);
                } else {
                    rasterizeTriangle(&renderer, a, b, c);
                    rasterizeTriangle(&renderer, b, d, c);
                }
            }
        for (int y = 5; y < 3 + N * cell - 2; ++y)
            for (int x = 5; x < 3 + N * cell - 2; ++x) holes += img.at(x, y) == kUntouchedPixel;
    }
    EXPECT_EQ(holes, 0);
}

// ---------------------------------------------------------------- mip levels

TEST(PickMipLevel, SmallestLevelWhosePowerOfTwoExceedsTheStep) {
    MarkerTexture tex(256, 256, 8);
    const struct { float g; int level; } cases[] = {
        {0.0f, 0}, {0.7f, 0}, {1.0f, 1}, {1.5f, 1}, {3.0f, 2}, {255.9f, 8},
        {256.0f, 7}, {300.0f, 7}, {kInf, 7}, {kNaN, 7}, {-2.0f, 0}};
    for (const auto& c : cases) EXPECT_EQ(pickMipLevel(&tex.texture, c.g), c.level) << c.g;
}

TEST(PickMipLevel, SingleLevelTextureNeverGetsANegativeLevel) {
    MarkerTexture tex(1, 1, 0);
    EXPECT_EQ(pickMipLevel(&tex.texture, 0.5f), 0);
    EXPECT_EQ(pickMipLevel(&tex.texture, 5.0f), 0);
    EXPECT_EQ(pickMipLevel(&tex.texture, kNaN), 0);
}

// Corners mapped with u = g·x and v = g·y texels: the texel step per pixel is g, and one
// level serves every pixel of the triangle.
TEST_F(RasterTest, OneMipLevelPerTriangleFromTheTexelStep) {
    struct Case {
        const char* name;
        ClipVertex a, b, c;
        float g;
        bool mipmapping;
        float bias;
        int level;
    };
    const Case cases[] = {
        {"general g=3", pt(0, 0), pt(12, 3), pt(2, 14), 3.0f, true, 0.0f, 2},
        {"general g=0.7", pt(0, 0), pt(12, 3), pt(2, 14), 0.7f, true, 0.0f, 0},
        {"bias added to the step", pt(0, 0), pt(12, 3), pt(2, 14), 0.7f, true, 1.5f, 2},
        {"mipmapping off", pt(0, 0), pt(12, 3), pt(2, 14), 3.0f, false, 0.0f, 0},
        {"flat bottom g=3", pt(0, 0), pt(0, 14), pt(14, 14), 3.0f, true, 0.0f, 2},
        // yT == yM: the vertical step comes from the lower short edge instead of a
        // division by zero, so the level follows the texel step rather than falling to 7.
        {"flat top g=3", pt(0, 0), pt(14, 0), pt(0, 14), 3.0f, true, 0.0f, 2},
        {"flat top g=20", pt(0, 0), pt(14, 0), pt(0, 14), 20.0f, true, 0.0f, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GuardedImage fresh(16, 16);
        RendererScope s(&fresh.image, &tex.texture);
        renderer.mipmapping = c.mipmapping;
        renderer.mipBias = c.bias;
        auto mapped = [&](ClipVertex p) {
            p.u = p.x * c.g / 256.0f;
            p.v = p.y * c.g / 256.0f;
            return p;
        };
        draw(mapped(c.a), mapped(c.b), mapped(c.c));
        int drawn = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                if (fresh.at(x, y) != kUntouchedPixel) {
                    ++drawn;
                    EXPECT_EQ(static_cast<int>(fresh.at(x, y) >> 16), c.level) << x << "," << y;
                }
        EXPECT_GT(drawn, 20);
    }
}

// ---------------------------------------------------------------- depth and texels

TEST_F(RasterTest, StrictDepthTestKeepsTheFirstOfEqualDepths) {
    auto tri = [&](float z, float col) {
        const float u = (col + 0.5f) / 256.0f;
        draw(pt(1, 1, z, u), pt(14, 2, z, u), pt(3, 14, z, u));
    };
    tri(0.25f, 5);
    ASSERT_EQ(colAt(5, 5), 5);
    EXPECT_EQ(renderer.depthBuffer[5 * 16 + 5], 0.25f);
    tri(0.25f, 9);                      // equal depth: not redrawn
    tri(0.30f, 9);                      // farther: not drawn
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            if (img.at(x, y) != kUntouchedPixel) {
                EXPECT_EQ(colAt(x, y), 5);
            }
    tri(0.20f, 9);                      // nearer: replaces colour and depth
    EXPECT_EQ(colAt(5, 5), 9);
    EXPECT_EQ(renderer.depthBuffer[5 * 16 + 5], 0.20f);

    // The cleared depth is 1.0: a triangle at exactly 1.0 draws nothing.
    GuardedImage fresh(16, 16);
    RendererScope s(&fresh.image, &tex.texture);
    draw(pt(1, 1, 1.0f), pt(14, 2, 1.0f), pt(3, 14, 1.0f));
    EXPECT_TRUE(rowCoverage(fresh, 5).empty());
}

// Texel coordinates are truncated towards zero and wrapped with the mask 255: 1.25 is
// column 64, anything in (-1, 0) texels is column 0, anything in (-2, -1] is column 255.
TEST_F(RasterTest, TexelAddressWrapsAt256AndTruncatesTowardsZero) {
    const struct { float coord; int texel; } cases[] = {
        {1.25f, 64}, {0.0f, 0}, {0.999f, 255}, {2.0f, 0}, {-0.5f / 256, 0},
        {-0.99f / 256, 0}, {-1.5f / 256, 255}, {-1.0f / 256, 255}, {-3.25f, 192}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.coord);
        GuardedImage fresh(16, 16);
        RendererScope s(&fresh.image, &tex.texture);
        // Constant u on one triangle, constant v on another.
        draw(pt(1, 1, 0, c.coord, 0.5f), pt(6, 1, 0, c.coord, 0.5f), pt(1, 6, 0, c.coord, 0.5f));
        draw(pt(9, 9, 0, 0.5f, c.coord), pt(14, 9, 0, 0.5f, c.coord), pt(9, 14, 0, 0.5f, c.coord));
        EXPECT_EQ(fresh.at(2, 2), marker(0, 128, c.texel));
        EXPECT_EQ(fresh.at(10, 10), marker(0, c.texel, 128));
    }
}

// ---------------------------------------------------------------- bounds

// A span whose first pixel is the image's right border (xS == width, long edge to the
// left) would address the next row's first pixel, or past the image on the last row.
TEST_F(RasterTest, RightBorderSpanStaysInsideItsRow) {
    GuardedImage narrow(16, 12);
    RendererScope s(&narrow.image, &tex.texture);
    draw(pt(16, 0, 0, 0.1f, 0.1f), pt(16, 10, 0, 0.1f, 0.1f), pt(8, 24, 0, 0.1f, 0.1f));
    // Rows 0 and 1 consist of pixel 16 alone; from row 2 on the span reaches pixel 15.
    for (int y = 0; y < 12; ++y) {
        EXPECT_EQ(narrow.at(0, y), kUntouchedPixel) << "row " << y;
        EXPECT_EQ(narrow.at(15, y) != kUntouchedPixel, y >= 2) << "row " << y;
    }
    EXPECT_TRUE(narrow.guardsIntact());
}

// Clamping a span or the rows to the image leaves every pixel inside it exactly as the
// unclamped walk would draw it.
TEST_F(RasterTest, ClampingChangesNothingInsideTheImage) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> coord(-20.0f, 60.0f), tc(-1.0f, 2.0f), depth(-1, 1);
    GuardedImage big(64, 48);
    GuardedImage small(20, 12);
    for (int i = 0; i < 60; ++i) {
        ClipVertex v[3];
        for (auto& p : v) p = pt(coord(rng), coord(rng), depth(rng), tc(rng), tc(rng));
        {
            RendererScope s(&big.image, &tex.texture);
            renderer.mipmapping = true;
            // The big image's depth rows are 64 wide; keep them apart from the small one.
            draw(v[0], v[1], v[2]);
        }
        {
            RendererScope s(&small.image, &tex.texture);
            renderer.mipmapping = true;
            draw(v[0], v[1], v[2]);
        }
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 20; ++x) ASSERT_EQ(small.at(x, y), big.at(x, y)) << i;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) big.at(x, y) = kUntouchedPixel;
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 20; ++x) small.at(x, y) = kUntouchedPixel;
    }
    EXPECT_TRUE(big.guardsIntact());
    EXPECT_TRUE(small.guardsIntact());
}

// Spans and rows that start outside the image keep their texture alignment: the
// interpolants are advanced over the skipped pixels and rows. With u = x + 20.5 texels a
// pixel samples column x + 20 ± 1 (the span starts at trunc(xS) with the edge's u).
TEST_F(RasterTest, ClippedStartKeepsTheTextureAligned) {
    auto mapped = [](float x, float y) { return pt(x, y, 0, (x + 20.5f) / 256, (y + 20.5f) / 256); };
    // Short edge on the right (spans run leftwards past x = 0), then on the left (spans
    // start left of x = 0).
    const ClipVertex cases[][3] = {
        {mapped(-10.3f, -10.3f), mapped(40, -9.8f), mapped(-9.7f, 40)},
        {mapped(40, -10.3f), mapped(-10.3f, 20), mapped(40.5f, 40)},
    };
    for (const auto& c : cases) {
        GuardedImage fresh(16, 16);
        RendererScope s(&fresh.image, &tex.texture);
        draw(c[0], c[1], c[2]);
        int drawn = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                if (fresh.at(x, y) == kUntouchedPixel) continue;
                ++drawn;
                EXPECT_NEAR(static_cast<int>(fresh.at(x, y) & 255) - x, 20, 1) << x << "," << y;
                EXPECT_NEAR(static_cast<int>((fresh.at(x, y) >> 8) & 255) - y, 20, 1) << x << "," << y;
            }
        EXPECT_GT(drawn, 100);
    }
}

TEST_F(RasterTest, NonFiniteAndHugeCornersNeverWriteOutside) {
    const ClipVertex cases[][3] = {
        {pt(kNaN, 1), pt(10, 5), pt(3, 12)},
        {pt(1, kNaN), pt(10, 5), pt(3, 12)},
        {pt(1, 1, kNaN), pt(10, 5, kNaN), pt(3, 12, kNaN)},
        {pt(1, 1, 0, kNaN, kInf), pt(10, 5, 0, kNaN, kInf), pt(3, 12, 0, kNaN, kInf)},
        {pt(-kInf, 1), pt(kInf, 5), pt(3, 12)},
        {pt(-1e30f, -1e30f), pt(1e30f, -1e29f), pt(-1e29f, 1e30f)},
        {pt(-3e9f, 2), pt(3e9f, 3), pt(0, 3e9f)},
    };
    for (const auto& c : cases) rasterizeTriangle(&renderer, c[0], c[1], c[2]);
    EXPECT_TRUE(img.guardsIntact());
    EXPECT_TRUE(tex.guardsIntact());
}

TEST_F(RasterTest, ImageLargerThanTheDepthBufferDrawsOnlyTheRowsItHas) {
    GuardedImage wide(1000, 400);   // 400,000 pixels; the depth buffer holds 307,200
    RendererScope s(&wide.image, &tex.texture);
    draw(pt(0, 0), pt(2000, 0), pt(0, 2000));
    EXPECT_NE(wide.at(5, 306), kUntouchedPixel);
    EXPECT_EQ(wide.at(5, 307), kUntouchedPixel);
    EXPECT_TRUE(wide.guardsIntact());
}

TEST_F(RasterTest, NothingIsDrawnWithoutATexture) {
    renderer.texture = nullptr;
    draw(pt(1, 1), pt(14, 2), pt(3, 14));
    EXPECT_TRUE(rowCoverage(img, 5).empty());
}

// ---------------------------------------------------------------- texture sizes

std::vector<ClipVertex> randomTriangles(unsigned seed, int count, float extent, float tcLo,
                                        float tcHi) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> coord(-4.0f, extent), tc(tcLo, tcHi), depth(-1, 1);
    std::vector<ClipVertex> v;
    for (int i = 0; i < 3 * count; ++i) v.push_back(pt(coord(rng), coord(rng), depth(rng), tc(rng), tc(rng)));
    return v;
}

// The 256x256 fast path and the path for any size give the same picture and depth.
TEST(RasterPaths, FastAndGeneralPathsAgreeOn256Textures) {
    MarkerTexture tex(256, 256, 8);
    const auto tris = randomTriangles(11, 300, 36.0f, -2.5f, 3.5f);
    for (float bias : {0.0f, 2.5f}) {
        GuardedImage fast(32, 32), general(32, 32);
        std::vector<float> fastDepth;
        {
            RendererScope s(&fast.image, &tex.texture);
            renderer.mipmapping = true;
            renderer.mipBias = bias;
            for (size_t i = 0; i < tris.size(); i += 3)
                rasterizeTriangle(&renderer, tris[i], tris[i + 1], tris[i + 2]);
            fastDepth.assign(renderer.depthBuffer, renderer.depthBuffer + 32 * 32);
        }
        {
            RendererScope s(&general.image, &tex.texture);
            renderer.mipmapping = true;
            renderer.mipBias = bias;
            for (size_t i = 0; i < tris.size(); i += 3)
                rasterizeTriangleAnySize(&renderer, tris[i], tris[i + 1], tris[i + 2]);
            EXPECT_EQ(fastDepth, std::vector<float>(renderer.depthBuffer, renderer.depthBuffer + 32 * 32));
        }
        EXPECT_EQ(fast.block, general.block);
        std::map<int, int> levels;
        for (int i = 0; i < 32 * 32; ++i)
            if (fast.image.pixels[i] != kUntouchedPixel) ++levels[static_cast<int>(fast.image.pixels[i] >> 16)];
        EXPECT_GE(levels.size(), 3u) << "the triangles should exercise several levels";
    }
}

// Textures of other sizes wrap at their own level-0 size and never read outside a level.
TEST(RasterPaths, OtherTextureSizesWrapAtTheirOwnSize) {
    const struct { int w, h, maxLevel; } sizes[] = {
        {64, 64, 6}, {128, 32, 7}, {100, 60, 6}, {7, 5, 2}, {1, 1, 0}, {512, 512, 9}};
    for (const auto& sz : sizes) {
        SCOPED_TRACE(testing::Message() << sz.w << "x" << sz.h);
        MarkerTexture tex(sz.w, sz.h, sz.maxLevel);
        auto wrap = [](int t, int n) { return ((t % n) + n) % n; };

        // Constant coordinates at level 0: 0..1 spans the texture once, then it repeats.
        for (float coord : {0.3f, 1.25f, -0.01f, -2.6f}) {
            GuardedImage img(8, 8);
            RendererScope s(&img.image, &tex.texture);
            const float u = coord, v = 1.0f - coord;
            rasterizeTriangle(&renderer, pt(0, 0, 0, u, v), pt(8, 0, 0, u, v), pt(0, 8, 0, u, v));
            const int col = wrap(static_cast<int>(u * static_cast<float>(sz.w)), sz.w);
            const int row = wrap(static_cast<int>(v * static_cast<float>(sz.h)), sz.h);
            EXPECT_EQ(img.at(1, 1), marker(0, row, col)) << coord;
        }

        // Mip-mapped triangles far outside 0..1: every pixel is a real texel of its level.
        GuardedImage img(48, 48);
        RendererScope s(&img.image, &tex.texture);
        renderer.mipmapping = true;
        const auto tris = randomTriangles(5, 200, 52.0f, -6.0f, 7.0f);
        for (size_t i = 0; i < tris.size(); i += 3)
            rasterizeTriangle(&renderer, tris[i], tris[i + 1], tris[i + 2]);
        for (int i = 0; i < 48 * 48; ++i) {
            const uint32_t p = img.image.pixels[i];
            if (p == kUntouchedPixel) continue;
            ASSERT_NE(p, kGuardWord);
            const int level = static_cast<int>(p >> 16);
            ASSERT_LE(level, sz.maxLevel);
            EXPECT_LT(static_cast<int>((p >> 8) & 255), sz.h >> level);
            EXPECT_LT(static_cast<int>(p & 255), std::max(sz.w >> level, 1));
        }
        EXPECT_TRUE(img.guardsIntact());
    }
}

}  // namespace
