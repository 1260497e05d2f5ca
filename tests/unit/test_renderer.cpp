// The global renderer as the first scene finds it: built before main with its buffers,
// identity matrices and the full-screen viewport.
#include <gtest/gtest.h>

#include "render3d/renderer.h"

namespace {

TEST(Renderer, StartsWithTheDocumentedState) {
    EXPECT_EQ(&screen, &renderer.screen);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->width, 640);
    EXPECT_EQ(screen->height, 480);
    ASSERT_NE(screen->pixels, nullptr);
    ASSERT_NE(renderer.depthBuffer, nullptr);
    ASSERT_NE(renderer.transformedVertices, nullptr);
    // The last slot of the vertex buffer and the last depth entry are usable.
    renderer.transformedVertices[9 * kTransformedVertexSlots - 1] = 1.0f;
    for (const Mat4* m : {&renderer.model, &renderer.view, &renderer.projection})
        for (int i = 0; i < 16; ++i) EXPECT_EQ((*m)[i], i % 5 == 0 ? 1.0f : 0.0f) << i;
    EXPECT_EQ(renderer.texture, nullptr);
    EXPECT_FALSE(renderer.envMap);
    EXPECT_TRUE(renderer.clipping);
    EXPECT_TRUE(renderer.mipmapping);
    EXPECT_EQ(renderer.mipBias, 0.0f);
    EXPECT_EQ(renderer.viewportX, 0);
    EXPECT_EQ(renderer.viewportY, 0);
    EXPECT_EQ(renderer.viewportWidth, 640);
    EXPECT_EQ(renderer.viewportHeight, 480);
}

TEST(Renderer, ClearDepthSetsTheRequestedEntriesWithinTheBuffer) {
    float* depth = renderer.depthBuffer;
    std::fill(depth, depth + 640 * 480, -3.0f);
    clearDepth(&renderer, 640 * 300);
    EXPECT_EQ(depth[0], 1.0f);
    EXPECT_EQ(depth[640 * 300 - 1], 1.0f);
    EXPECT_EQ(depth[640 * 300], -3.0f);
    clearDepth(&renderer, 1 << 30);   // more than the buffer holds: stops at its end
    EXPECT_EQ(depth[640 * 480 - 1], 1.0f);
    clearDepth(&renderer, -5);
}

}  // namespace
