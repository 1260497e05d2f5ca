// The 3D pipeline's shortcuts against its plain paths on a full 640x480 screen:
// - the rasteriser's fast walk (rows two at a time in wide triangles, one at a time in
//   narrow ones, the mask-and-shift samplers) against its plain walk (one row at a time,
//   the sampler for any size), with overlapping triangles of every size, both row
//   directions, flat tops and bottoms, and triangles reaching over every image border;
// - drawMesh sending triangles whose corners are all inside the clip planes straight to the
//   rasteriser, against every triangle going through all six planes;
// - the walk limited to bands of rows (one drawing thread's share), band after band,
//   against the walk of whole triangles, and drawMesh with 2 to 7 drawing threads against
//   one.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "bands/bands.h"
#include "render3d/draw.h"
#include "render3d/raster.h"
#include "render3d/renderer.h"
#include "tests/unit/fixtures.h"

using namespace fixtures;

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

TEST(RasterRows, FastWalkEqualsThePlainWalk) {
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
        for (int i = 0; i < screenWidth * screenHeight; ++i) drawn += fast.image.pixels[i] != kUntouchedPixel;
        EXPECT_GT(drawn, screenWidth * screenHeight / 2) << "the triangles should cover most of the screen";
    }
}

// Every band starts its walk inside some triangles (and inside their upper and lower
// halves, paired rows and all); triangles far taller than the screen reach it through the
// image's own clamp first. Bands drawn one after the other, each over all the triangles,
// must give the pixels and depths of the whole triangles drawn once.
TEST(RasterRows, BandsOfRowsEqualTheWholeWalk) {
    MarkerTexture tex(256, 256, 8);
    std::vector<ClipVertex> tris = triangles(9, 500);
    const ClipVertex tall[] = {corner(-300.0f, -9000.5f, 0.1f, 0.0f, 0.0f), corner(900.0f, 239.7f, 0.2f, 3.0f, 1.0f),
                               corner(200.2f, 9100.0f, 0.3f, 1.0f, 7.0f), corner(10.0f, -5000.0f, -0.5f, 0.0f, 0.0f),
                               corner(630.0f, 5000.0f, -0.5f, 2.0f, 0.5f), corner(320.0f, 240.5f, -0.4f, 0.5f, 2.0f)};
    tris.insert(tris.end(), tall, tall + 6);
    const std::vector<std::vector<int32_t>> splits = {
        {0, 480}, {0, 1, 480}, {0, 239, 480}, {0, 240, 241, 480}, {0, 30, 100, 101, 300, 430, 479, 480},
        {-50, 68, 137, 205, 274, 342, 411, 600}};
    const TriangleRasterizer paths[] = {rasterizeTriangle, rasterizeTriangleAnySize};
    for (const TriangleRasterizer path : paths) {
        GuardedImage whole(screenWidth, screenHeight);
        std::vector<float> wholeDepth;
        {
            RendererScope s(&whole.image, &tex.texture);
            renderer.mipmapping = true;
            for (size_t i = 0; i < tris.size(); i += 3) path(&renderer, tris[i], tris[i + 1], tris[i + 2], kEveryRow);
            wholeDepth.assign(renderer.depthBuffer, renderer.depthBuffer + screenWidth * screenHeight);
        }
        for (const std::vector<int32_t>& split : splits) {
            SCOPED_TRACE(testing::Message() << (path == rasterizeTriangle ? "fast" : "plain") << " walk, "
                                            << split.size() - 1 << " bands, the second from row " << split[1]);
            GuardedImage banded(screenWidth, screenHeight);
            RendererScope s(&banded.image, &tex.texture);
            renderer.mipmapping = true;
            for (size_t b = 0; b + 1 < split.size(); ++b)
                for (size_t i = 0; i < tris.size(); i += 3)
                    path(&renderer, tris[i], tris[i + 1], tris[i + 2], RowBand{split[b], split[b + 1]});
            ASSERT_EQ(wholeDepth, std::vector<float>(renderer.depthBuffer,
                                                     renderer.depthBuffer + screenWidth * screenHeight));
            ASSERT_EQ(whole.block, banded.block);
        }
    }
}

// Corners on, just inside and just outside the planes x, y, z = +-1 (and well inside or
// outside), with identity matrices so the mesh coordinates reach the clipper unchanged.
TEST(RasterRows, MeshShortcutPastTheClipperEqualsClippingEveryTriangle) {
    MarkerTexture tex(256, 256, 8);
    std::mt19937 rng(17);
    const float edges[] = {-1.0000001f, -1.0f, -0.9999999f, -0.7f, 0.0f, 0.6f, 0.9999999f, 1.0f, 1.0000001f, 1.3f};
    std::uniform_int_distribution<int> pick(0, 9);
    std::uniform_real_distribution<float> any(-1.2f, 1.2f), tc(0.0f, 1.0f);
    std::vector<Vertex> vertices;
    for (int i = 0; i < 900; ++i) {
        float c[3];
        for (float& x : c) x = pick(rng) < 6 ? edges[pick(rng)] : any(rng);
        vertices.push_back(Vertex{c[0], c[1], c[2], 1.0f, 0, 0, 1, tc(rng), tc(rng)});
    }
    std::vector<int32_t> indices;
    std::uniform_int_distribution<int32_t> vertex(0, 899);
    for (int i = 0; i < 3 * 1500; ++i) indices.push_back(vertex(rng));
    // And small triangles well inside and in front, a few pixels each: every band's first
    // and last rows cut some of them, or have them end or begin just there.
    std::uniform_real_distribution<float> centre(-0.9f, 0.9f), near(-0.02f, 0.02f);
    const int32_t firstSmall = static_cast<int32_t>(vertices.size());
    for (int i = 0; i < 3 * 1200; ++i) {
        const float x = i % 3 == 0 ? centre(rng) : vertices.back().x + near(rng);
        const float y = i % 3 == 0 ? centre(rng) : vertices.back().y + near(rng);
        vertices.push_back(Vertex{x, y, -0.95f + 0.04f * centre(rng), 1.0f, 0, 0, 1, tc(rng), tc(rng)});
        indices.push_back(firstSmall + i);
    }
    const int32_t count = static_cast<int32_t>(vertices.size());
    // Triangles with an index outside the mesh are passed over, on every path.
    for (int32_t bad : {-1, count, 1 << 30}) indices.insert(indices.begin() + 3 * (bad & 511), {bad, 5, 6});
    auto valid = [count](int32_t i) { return i >= 0 && i < count; };

    GuardedImage viaMesh(screenWidth, screenHeight), viaClipper(screenWidth, screenHeight);
    std::vector<float> meshDepth;
    auto drawWithMesh = [&](GuardedImage* target) {
        RendererScope s(&target->image, &tex.texture);
        renderer.model = renderer.view = renderer.projection = mat4Identity();
        renderer.viewportX = 0;
        renderer.viewportY = 30;
        renderer.viewportWidth = 640;
        renderer.viewportHeight = 400;
        drawMesh(&renderer, vertices.data(), indices.data(), static_cast<int32_t>(vertices.size()),
                 static_cast<int32_t>(indices.size()));
        return std::vector<float>(renderer.depthBuffer, renderer.depthBuffer + screenWidth * screenHeight);
    };
    meshDepth = drawWithMesh(&viaMesh);
    {
        RendererScope s(&viaClipper.image, &tex.texture);
        renderer.viewportX = 0;
        renderer.viewportY = 30;
        renderer.viewportWidth = 640;
        renderer.viewportHeight = 400;
        extractClipPlanes(renderer.clipPlanes, mat4Identity());
        for (size_t k = 0; k < indices.size(); k += 3) {
            if (!valid(indices[k]) || !valid(indices[k + 1]) || !valid(indices[k + 2])) continue;
            const Vertex& a = vertices[indices[k]];
            const Vertex& b = vertices[indices[k + 1]];
            const Vertex& c = vertices[indices[k + 2]];
            clipTriangle(&renderer, ClipVertex{a.x, a.y, a.z, a.u, a.v}, ClipVertex{b.x, b.y, b.z, b.u, b.v},
                         ClipVertex{c.x, c.y, c.z, c.u, c.v}, 0);
        }
        ASSERT_EQ(meshDepth, std::vector<float>(renderer.depthBuffer,
                                                renderer.depthBuffer + screenWidth * screenHeight));
    }
    EXPECT_EQ(viaMesh.block, viaClipper.block);

    // The same mesh shared out among drawing threads, each clipping the triangles that reach
    // its own band of rows and drawing them there.
    const int saved = drawingThreads();
    for (int threads : {2, 3, 7}) {
        setDrawingThreads(threads);
        GuardedImage shared(screenWidth, screenHeight);
        EXPECT_EQ(meshDepth, drawWithMesh(&shared)) << threads << " threads";
        EXPECT_EQ(viaMesh.block, shared.block) << threads << " threads";
    }
    // A mesh with more triangles than the threads keep a record of the rows for: the list
    // over and over again (the copies draw nothing more, the depth test being strict).
    setDrawingThreads(2);
    const std::vector<int32_t> once = indices;
    while (indices.size() / 3 <= static_cast<size_t>(kTriangleReachSlots))
        indices.insert(indices.end(), once.begin(), once.end());
    GuardedImage repeated(screenWidth, screenHeight);
    EXPECT_EQ(meshDepth, drawWithMesh(&repeated));
    EXPECT_EQ(viaMesh.block, repeated.block);
    setDrawingThreads(saved);
}
