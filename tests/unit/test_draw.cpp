// Mesh drawing: the vertex transform into the slot buffer, environment-map coordinates,
// clipping on and off, meshes and indices that do not fit, model order and bounds.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "render3d/draw.h"
#include "tests/unit/fixtures.h"

using namespace fixtures;

namespace {

constexpr float kHalfPi = 1.5707963267948966f;

Vertex vert(float x, float y, float z, float u = 0.5f, float v = 0.5f, float nx = 0, float ny = 0,
            float nz = 1) {
    return Vertex{x, y, z, 1.0f, nx, ny, nz, u, v};
}

const float* slot(int i) { return renderer.transformedVertices + 9 * i; }

// A square from (-s, -s) to (s, s) at depth z with u = col/256 everywhere.
struct Quad {
    std::vector<Vertex> v;
    std::vector<int32_t> idx{0, 1, 2, 0, 2, 3};
    Quad(float s, float z, int col) {
        const float u = (static_cast<float>(col) + 0.5f) / 256.0f;
        v = {vert(-s, -s, z, u), vert(s, -s, z, u), vert(s, s, z, u), vert(-s, s, z, u)};
    }
    void draw() { drawMesh(&renderer, v.data(), idx.data(), 4, 6); }
};

struct DrawTest : ::testing::Test {
    GuardedImage img{16, 16};
    MarkerTexture tex{256, 256, 8};
    RendererScope scope{&img.image, &tex.texture};
    void SetUp() override {
        renderer.model = renderer.view = renderer.projection = mat4Identity();
        renderer.viewportX = renderer.viewportY = 0;
        renderer.viewportWidth = renderer.viewportHeight = 16;
    }
    int drawnCount() const {
        int n = 0;
        for (int i = 0; i < 16 * 16; ++i) n += img.image.pixels[i] != kUntouchedPixel;
        return n;
    }
};

TEST_F(DrawTest, SlotsHoldTheProjectedPositionAndTheMeshTextureCoordinates) {
    mat4Perspective(renderer.projection, 90, 1, 1, 10);
    mat4LookAt(renderer.view, Vec3{0, 0, 4}, Vec3{0, 0, 0}, Vec3{0, 1, 0});
    const Vertex v[] = {vert(1, 1, 0, 0.25f, 0.75f), vert(0, 0, 2, 0.1f, 0.2f)};
    const int32_t idx[] = {0, 1, 1};
    drawMesh(&renderer, v, idx, 2, 3);
    // (1, 1, 0) is 4 in front of the eye: w = 4, x and y divided by it.
    EXPECT_FLOAT_EQ(slot(0)[3], 4.0f);
    EXPECT_FLOAT_EQ(slot(0)[0], 0.25f);
    EXPECT_FLOAT_EQ(slot(0)[1], 0.25f);
    EXPECT_FLOAT_EQ(slot(1)[3], 2.0f);
    EXPECT_EQ(slot(0)[7], 0.25f);
    EXPECT_EQ(slot(0)[8], 0.75f);
    EXPECT_EQ(slot(1)[7], 0.1f);
}

// The eye-space normal (model and view, never the projection) picks the texel.
TEST_F(DrawTest, EnvironmentMapCoordinatesFromTheEyeSpaceNormal) {
    renderer.envMap = true;
    mat4Perspective(renderer.projection, 60, 1.5f, 1, 100);
    struct Case { float nx, ny, nz; float angleZ; float u, v; };
    const Case cases[] = {
        {0, 0, 1, 0, 0.5f, 0.5f},      // facing the viewer: the middle
        {1, 0, 0, 0, 1.0f, 0.5f},      // pointing right
        {0, 3, 0, 0, 0.5f, 1.0f},      // pointing up, not unit length
        {1, 0, 0, kHalfPi, 0.5f, 0.0f} // turned by the model matrix to point down
    };
    for (const Case& c : cases) {
        mat4RotateAxis(renderer.model, c.angleZ, Vec3{0, 0, 1});
        const Vertex v[] = {vert(0, 0, -5, 0.9f, 0.9f, c.nx, c.ny, c.nz)};
        const int32_t idx[] = {0, 0, 0};
        drawMesh(&renderer, v, idx, 1, 3);
        EXPECT_NEAR(slot(0)[7], c.u, 1e-6f) << c.nx << "," << c.ny << "," << c.nz;
        EXPECT_NEAR(slot(0)[8], c.v, 1e-6f) << c.nx << "," << c.ny << "," << c.nz;
    }
}

TEST_F(DrawTest, ClippingKeepsTrianglesInsideTheViewportAndOffPassesThemThrough) {
    renderer.viewportX = renderer.viewportY = 4;
    renderer.viewportWidth = renderer.viewportHeight = 8;
    const std::vector<Vertex> v = {vert(-1.5f, -1.5f, 0), vert(1.5f, -1.5f, 0), vert(0, 1.5f, 0)};
    const int32_t idx[] = {0, 1, 2};
    drawMesh(&renderer, v.data(), idx, 3, 3);
    // A span that starts exactly on the viewport's right edge (x = 12) draws that pixel
    // first, so column 12 may be touched; nothing lies further out.
    int outside = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            if (img.at(x, y) != kUntouchedPixel) outside += x < 4 || x > 12 || y < 4 || y >= 12;
    EXPECT_EQ(outside, 0);
    EXPECT_GT(drawnCount(), 40);

    GuardedImage fresh(16, 16);
    RendererScope s(&fresh.image, &tex.texture);
    renderer.clipping = false;
    drawMesh(&renderer, v.data(), idx, 3, 3);
    EXPECT_NE(fresh.at(2, 13), kUntouchedPixel);   // below-left of the viewport, inside the triangle
}

// Meshes built in code are not validated by the loader: out-of-range indices skip their
// triangle, a mesh larger than the slot buffer is skipped whole, nothing reads or writes
// outside.
TEST_F(DrawTest, MalformedMeshesAreSkippedSafely) {
    Quad q(1, 0, 7);
    std::vector<int32_t> bad = {0, 1, 4, 0, 2, 3, -1, 1, 2};
    drawMesh(&renderer, q.v.data(), bad.data(), 4, 9);
    // Only the triangle (0, 2, 3), the upper-left half, is drawn.
    EXPECT_NE(img.at(2, 5), kUntouchedPixel);
    EXPECT_EQ(img.at(13, 10), kUntouchedPixel);

    GuardedImage fresh(16, 16);
    RendererScope s(&fresh.image, &tex.texture);
    drawMesh(&renderer, q.v.data(), q.idx.data(), kTransformedVertexSlots + 1, 6);
    drawMesh(&renderer, q.v.data(), q.idx.data(), -4, 6);
    drawMesh(&renderer, nullptr, q.idx.data(), 4, 6);
    drawMesh(&renderer, q.v.data(), nullptr, 4, 6);
    drawMesh(&renderer, q.v.data(), q.idx.data(), 4, 2);   // fewer than three indices
    for (int i = 0; i < 16 * 16; ++i) ASSERT_EQ(fresh.image.pixels[i], kUntouchedPixel);
}

TEST_F(DrawTest, TrailingIndicesBeyondTheLastFullTriangleAreIgnored) {
    Quad q(1, 0, 7);
    q.draw();
    const int full = drawnCount();
    GuardedImage fresh(16, 16);
    RendererScope s(&fresh.image, &tex.texture);
    drawMesh(&renderer, q.v.data(), q.idx.data(), 4, 5);   // one triangle and two spare indices
    int half = 0;
    for (int i = 0; i < 16 * 16; ++i) half += fresh.image.pixels[i] != kUntouchedPixel;
    EXPECT_GT(half, full / 3);
    EXPECT_LT(half, full);
}

TEST_F(DrawTest, ModelMeshesDrawInOrderAndTheSameMeshTwiceAddsNothing) {
    Quad first(0.5f, 0.1f, 3), second(0.5f, 0.1f, 9);
    Mesh meshes[] = {{first.v.data(), first.idx.data(), 4, 6}, {second.v.data(), second.idx.data(), 4, 6}};
    Mesh* list[] = {&meshes[0], nullptr, &meshes[1]};
    Model model{list, 3};
    drawModel(&renderer, &model);
    EXPECT_EQ(img.at(8, 8), marker(0, 128, 3));   // equal depth: the first mesh stays
    const std::vector<uint32_t> before = img.block;
    drawModel(&renderer, &model);
    EXPECT_EQ(img.block, before);

    Model empty{nullptr, 0};
    drawModel(&renderer, &empty);
    drawModel(&renderer, nullptr);
    EXPECT_EQ(img.block, before);
}

// A fan that reaches far beyond the frustum is cut on all four sides: every pixel of the
// viewport is drawn, including its first and last rows and columns, and nothing outside.
TEST(DrawBounds, ClippedFanFillsTheViewportToItsEdges) {
    MarkerTexture tex(256, 256, 8);
    struct Case { int32_t x, y, w, h; float angle; };
    const Case cases[] = {{0, 30, 640, 400, 0.0f}, {0, 30, 640, 400, 0.37f},
                          {0, 0, 640, 480, 0.11f}, {13, 7, 101, 77, 0.9f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y << " " << c.w << "x" << c.h);
        GuardedImage img(640, 480);
        RendererScope s(&img.image, &tex.texture);
        renderer.model = renderer.view = renderer.projection = mat4Identity();
        renderer.viewportX = c.x;
        renderer.viewportY = c.y;
        renderer.viewportWidth = c.w;
        renderer.viewportHeight = c.h;
        std::vector<Vertex> v = {vert(0.05f, -0.03f, 0)};
        std::vector<int32_t> idx;
        constexpr int kSides = 13;
        for (int i = 0; i < kSides; ++i) {
            const float a = c.angle + 6.2831853f * static_cast<float>(i) / kSides;
            v.push_back(vert(3 * std::cos(a), 3 * std::sin(a), 0.2f * std::sin(3 * a)));
            idx.insert(idx.end(), {0, 1 + i, 1 + (i + 1) % kSides});
        }
        drawMesh(&renderer, v.data(), idx.data(), static_cast<int32_t>(v.size()),
                 static_cast<int32_t>(idx.size()));
        int missing = 0, outside = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) {
                const bool in = x >= c.x && x < c.x + c.w && y >= c.y && y < c.y + c.h;
                const bool drawn = img.at(x, y) != kUntouchedPixel;
                missing += in && !drawn;
                // The right edge's column may be touched by a span starting on it.
                outside += !in && drawn && !(x == c.x + c.w && y >= c.y && y < c.y + c.h);
            }
        EXPECT_EQ(missing, 0);
        EXPECT_EQ(outside, 0);
    }
}

// Scene 2 draws with the 640x480 viewport into a 640x300 image: rows below the image and
// their depth entries stay untouched, with clipping on or off.
TEST(DrawBounds, NoWriteOutsideA640x300ImageWithTheFullViewport) {
    MarkerTexture tex(256, 256, 8);
    for (bool clipping : {true, false}) {
        SCOPED_TRACE(clipping);
        GuardedImage img(640, 300);
        RendererScope s(&img.image, &tex.texture);
        renderer.model = renderer.view = renderer.projection = mat4Identity();
        renderer.viewportX = renderer.viewportY = 0;
        renderer.viewportWidth = 640;
        renderer.viewportHeight = 480;
        renderer.clipping = clipping;
        const size_t inside = 640 * 300;
        std::fill(renderer.depthBuffer + inside, renderer.depthBuffer + 640 * 480, 0.5f);
        Quad full(clipping ? 1.5f : 1.0f, 0, 7);
        full.draw();
        for (size_t i = 0; i < inside; ++i) ASSERT_NE(img.image.pixels[i], kUntouchedPixel) << i;
        for (size_t i = inside; i < 640 * 480; ++i) ASSERT_EQ(renderer.depthBuffer[i], 0.5f) << i;
        EXPECT_TRUE(img.guardsIntact());
    }
}

}  // namespace
