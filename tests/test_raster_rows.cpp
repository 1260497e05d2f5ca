// The rasteriser's fast walk (rows two at a time, the level-0 and mask-and-shift samplers)
// against its plain walk (one row at a time, the sampler for any size) on a full 640x480
// screen: overlapping triangles of every size, both row directions, flat tops and bottoms,
// and triangles reaching over every image border give the same picture and depth buffer.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "render3d/raster.h"
#include "render3d/renderer.h"
#include "test_raster_util.h"

using namespace r3dtest;

namespace {

ClipVertex corner(float x, float y, float z, float u, float v) { return ClipVertex{x, y, z, u, v}; }

// Triangles around random centres with sizes from a pixel to beyond the screen; some share
// a y between two corners (flat tops and bottoms), many overlap with random depths.
std::vector<ClipVertex> triangles(unsigned seed, int count) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> cx(-60.0f, 700.0f), cy(-60.0f, 540.0f), unit(-1.0f, 1.0f),
        tc(-1.5f, 2.5f);
    const float sizes[] = {1.5f, 6.0f, 25.0f, 90.0f, 400.0f};
    std::vector<ClipVertex> v;
    for (int i = 0; i < count; ++i) {
        const float x = cx(rng), y = cy(rng), size = sizes[i % 5];
        ClipVertex p[3];
        for (ClipVertex& c : p)
            c = corner(x + size * unit(rng), y + size * unit(rng), unit(rng), tc(rng), tc(rng));
        if (i % 7 == 0) p[1].y = p[0].y;   // flat top or bottom
        v.insert(v.end(), p, p + 3);
    }
    return v;
}

}  // namespace

TEST(RasterRows, PairedWalkEqualsThePlainWalk) {
    MarkerTexture tex(256, 256, 8);
    const std::vector<ClipVertex> tris = triangles(5, 600);
    const struct { bool mip; float bias; } settings[] = {{false, 0.0f}, {true, 0.0f}, {true, 2.0f}};
    for (const auto& set : settings) {
        SCOPED_TRACE(testing::Message() << "mipmapping " << set.mip << " bias " << set.bias);
        GuardedImage fast(screenWidth, screenHeight), plain(screenWidth, screenHeight);
        std::vector<float> fastDepth;
        {
            RendererScope s(&fast.image, &tex.texture);
            renderer.mipmapping = set.mip;
            renderer.mipBias = set.bias;
            for (size_t i = 0; i < tris.size(); i += 3)
                rasterizeTriangle(&renderer, tris[i], tris[i + 1], tris[i + 2]);
            fastDepth.assign(renderer.depthBuffer, renderer.depthBuffer + screenWidth * screenHeight);
        }
        {
            RendererScope s(&plain.image, &tex.texture);
            renderer.mipmapping = set.mip;
            renderer.mipBias = set.bias;
            for (size_t i = 0; i < tris.size(); i += 3)
                rasterizeTriangleAnySize(&renderer, tris[i], tris[i + 1], tris[i + 2]);
            ASSERT_EQ(fastDepth, std::vector<float>(renderer.depthBuffer,
                                                    renderer.depthBuffer + screenWidth * screenHeight));
        }
        EXPECT_EQ(fast.block, plain.block);
        EXPECT_TRUE(fast.guardsIntact());
        int drawn = 0;
        for (int i = 0; i < screenWidth * screenHeight; ++i) drawn += fast.image.pixels[i] != kBackground;
        EXPECT_GT(drawn, screenWidth * screenHeight / 2) << "the triangles should cover most of the screen";
    }
}
