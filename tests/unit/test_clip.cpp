// Frustum clipper: the planes, the outside test, what reaches the rasteriser for each mask
// (and in which order), the viewport mapping and clipping switched off.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "render3d/clip.h"
#include "render3d/renderer.h"

namespace {

using Tri = std::array<ClipVertex, 3>;

std::vector<Tri> received;

void record(Renderer*, const ClipVertex& a, const ClipVertex& b, const ClipVertex& c, RowBand) {
    received.push_back(Tri{a, b, c});
}

ClipVertex cv(float x, float y, float z = 0, float u = 0, float v = 0) { return {x, y, z, u, v}; }

// Runs the clipper from `level` with viewport (0, 0, 2, 2), which maps normalised (x, y) to
// pixels (x + 1, 1 - y); the recorded pieces are mapped back for comparison.
struct ClipTest : ::testing::Test {
    int32_t saved[4];
    void SetUp() override {
        saved[0] = renderer.viewportX;
        saved[1] = renderer.viewportY;
        saved[2] = renderer.viewportWidth;
        saved[3] = renderer.viewportHeight;
        setViewport(0, 0, 2, 2);
        extractClipPlanes(renderer.clipPlanes, mat4Identity());
        received.clear();
    }
    void TearDown() override { setViewport(saved[0], saved[1], saved[2], saved[3]); }
    static void setViewport(int32_t x, int32_t y, int32_t w, int32_t h) {
        renderer.viewportX = x;
        renderer.viewportY = y;
        renderer.viewportWidth = w;
        renderer.viewportHeight = h;
    }
    std::vector<Tri> clip(ClipVertex a, ClipVertex b, ClipVertex c, int level = 0) {
        received.clear();
        clipTriangleTo(&renderer, a, b, c, level, record);
        std::vector<Tri> out = received;
        for (Tri& t : out)
            for (ClipVertex& p : t) {
                p.x -= 1;
                p.y = 1 - p.y;
            }
        return out;
    }
};

void expectSame(const ClipVertex& got, const ClipVertex& want, float tol = 1e-6f) {
    EXPECT_NEAR(got.x, want.x, tol);
    EXPECT_NEAR(got.y, want.y, tol);
    EXPECT_NEAR(got.z, want.z, tol);
    EXPECT_NEAR(got.u, want.u, tol);
    EXPECT_NEAR(got.v, want.v, tol);
}

void expectTri(const Tri& got, const Tri& want) {
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        expectSame(got[i], want[i]);
    }
}

float area(const Tri& t) {
    return 0.5f * std::fabs((t[1].x - t[0].x) * (t[2].y - t[0].y) -
                            (t[2].x - t[0].x) * (t[1].y - t[0].y));
}

TEST(ClipPlanes, IdentityGivesTheSixUnitPlanesInOrder) {
    Plane p[6];
    extractClipPlanes(p, mat4Identity());
    const Plane want[6] = {{-1, 0, 0, 1}, {1, 0, 0, 1}, {0, 1, 0, 1},
                           {0, -1, 0, 1}, {0, 0, -1, 1}, {0, 0, 1, 1}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(p[i].nx, want[i].nx) << i;
        EXPECT_EQ(p[i].ny, want[i].ny) << i;
        EXPECT_EQ(p[i].nz, want[i].nz) << i;
        EXPECT_EQ(p[i].d, want[i].d) << i;
    }
    // Only the normal is scaled to unit length; d keeps its value.
    Mat4 m = mat4Identity();
    m[0] = 2;
    extractClipPlanes(p, m);
    EXPECT_FLOAT_EQ(p[0].nx, -1);
    EXPECT_FLOAT_EQ(p[0].d, 1);
}

TEST(ClipPlanes, OutsideOnlyStrictlyBeyondThePlane) {
    const Plane xMax{1, 0, 0, 1};
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(outsideMask(xMax, cv(0, 0), cv(1, 5), cv(-3, 0)), 0u);         // on the plane
    EXPECT_EQ(outsideMask(xMax, cv(1.0001f, 0), cv(0, 0), cv(0, 0)), 1u);
    EXPECT_EQ(outsideMask(xMax, cv(0, 0), cv(2, 0), cv(3, 0)), 6u);
    EXPECT_EQ(outsideMask(xMax, cv(nan, 0), cv(2, 0), cv(0, 0)), 2u);       // NaN inside
}

TEST_F(ClipTest, InsideTriangleReachesTheRasteriserOnceUnchanged) {
    const Tri t{cv(-0.5f, -0.5f, 0.1f, 0.1f, 0.2f), cv(0.5f, -0.25f, 0.2f, 0.3f, 0.4f),
                cv(0, 1, 1, 0.5f, 0.6f)};   // a corner on two planes still counts as inside
    const auto out = clip(t[0], t[1], t[2]);
    ASSERT_EQ(out.size(), 1u);
    expectTri(out[0], t);
}

TEST_F(ClipTest, TriangleBeyondOnePlaneIsDropped) {
    EXPECT_TRUE(clip(cv(1.5f, 0), cv(2, 1), cv(3, -1)).empty());
    EXPECT_TRUE(clip(cv(0, 0, -1.5f), cv(0.5f, 0, -2), cv(0, 0.5f, -1.1f)).empty());
    EXPECT_TRUE(clip(cv(0, 1.1f), cv(9, 2), cv(-9, 1.5f)).empty());
}

// One corner O = (2, 0) beyond x = 1, the others at (0, ±0.5): every cut point is the
// midpoint of its edge. The triangle's own records carry the first half, the pieces the
// second; the halves share the diagonal from P to NQ.
TEST_F(ClipTest, OneCornerOutsideGivesTwoTrianglesInTheDesignedOrder) {
    const ClipVertex O = cv(2, 0, 0.5f, 1, 0);
    const ClipVertex P1 = cv(0, 0.5f, 0, 0, 1);
    const ClipVertex P2 = cv(0, -0.5f, 0.25f, 0, 0);
    auto mid = [](const ClipVertex& p, const ClipVertex& q) {
        return cv((p.x + q.x) / 2, (p.y + q.y) / 2, (p.z + q.z) / 2, (p.u + q.u) / 2, (p.v + q.v) / 2);
    };
    struct Case { const char* mask; ClipVertex a, b, c; };
    const Case cases[] = {{"a out", O, P1, P2}, {"b out", P1, O, P2}, {"c out", P1, P2, O}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.mask);
        const auto out = clip(k.a, k.b, k.c);
        ASSERT_EQ(out.size(), 2u);
        const ClipVertex &a = k.a, &b = k.b, &c = k.c;
        if (k.a.x > 1) {          // (X_ca, b, X_ba) then (b, X_ca, c)
            expectTri(out[0], Tri{mid(c, a), b, mid(b, a)});
            expectTri(out[1], Tri{b, mid(c, a), c});
        } else if (k.b.x > 1) {   // (a, X_cb, X_ab) then (a, X_cb, c)
            expectTri(out[0], Tri{a, mid(c, b), mid(a, b)});
            expectTri(out[1], Tri{a, mid(c, b), c});
        } else {                  // (a, X_ac, X_bc) then (a, X_bc, b)
            expectTri(out[0], Tri{a, mid(a, c), mid(b, c)});
            expectTri(out[1], Tri{a, mid(b, c), b});
        }
        EXPECT_NEAR(area(out[0]) + area(out[1]), 0.75f, 1e-6f);
    }
}

TEST_F(ClipTest, TwoCornersOutsideGiveOneTriangleInCornerOrder) {
    const ClipVertex in = cv(0, 0, 0, 0, 0);
    const ClipVertex o1 = cv(0, 2, 1, 0, 1);     // beyond y = 1
    const ClipVertex o2 = cv(1, 3, 0, 1, 1);
    const ClipVertex c1 = cv(0, 1, 0.5f, 0, 0.5f), c2 = cv(1.0f / 3, 1, 0, 1.0f / 3, 1.0f / 3);
    expectTri(clip(o1, o2, in).at(0), Tri{c1, c2, in});   // mask 3
    expectTri(clip(o1, in, o2).at(0), Tri{c1, in, c2});   // mask 5
    expectTri(clip(in, o1, o2).at(0), Tri{in, c1, c2});   // mask 6
    EXPECT_EQ(clip(in, o1, o2).size(), 1u);
}

// A triangle far larger than the frustum is cut down to exactly the visible square.
TEST_F(ClipTest, CutsAgainstEveryPlaneAndCoversExactlyTheViewport) {
    const auto out = clip(cv(-3, -3, 0), cv(9, -3, 0), cv(-3, 9, 0));
    ASSERT_GE(out.size(), 2u);
    float total = 0;
    for (const Tri& t : out) {
        total += area(t);
        for (const ClipVertex& p : t) {
            EXPECT_LE(std::fabs(p.x), 1.0f + 1e-6f);
            EXPECT_LE(std::fabs(p.y), 1.0f + 1e-6f);
        }
    }
    EXPECT_NEAR(total, 4.0f, 1e-5f);
    // Behind the near plane in z: the part with z < -1 goes.
    const auto zcut = clip(cv(-0.5f, -0.5f, -3), cv(0.5f, -0.5f, 0), cv(0, 0.5f, 0));
    for (const Tri& t : zcut)
        for (const ClipVertex& p : t) EXPECT_GE(p.z, -1.0f - 1e-6f);
}

TEST_F(ClipTest, ViewportMapping) {
    struct Case { int32_t vx, vy, vw, vh; float x, y, px, py; };
    const Case cases[] = {
        {0, 0, 640, 480, 0, 0, 320, 240},   {0, 0, 640, 480, -1, 1, 0, 0},
        {0, 0, 640, 480, 1, -1, 640, 480},  {0, 30, 640, 400, -1, 1, 0, 30},
        {0, 30, 640, 400, 1, -1, 640, 430}, {0, 30, 640, 400, 0, 0, 320, 230},
    };
    for (const Case& c : cases) {
        setViewport(c.vx, c.vy, c.vw, c.vh);
        received.clear();
        clipTriangleTo(&renderer, cv(c.x, c.y, 0.3f, 0.1f, 0.2f), cv(0, 0), cv(0, 0), 0, record);
        ASSERT_EQ(received.size(), 1u);
        EXPECT_EQ(received[0][0].x, c.px) << c.x << "," << c.y << " viewport y " << c.vy;
        EXPECT_EQ(received[0][0].y, c.py) << c.x << "," << c.y << " viewport y " << c.vy;
        EXPECT_EQ(received[0][0].z, 0.3f);
        EXPECT_EQ(received[0][0].u, 0.1f);
        EXPECT_EQ(received[0][0].v, 0.2f);
    }
}

TEST_F(ClipTest, StartingAtLevelSixSkipsEveryPlane) {
    const Tri t{cv(-3, 0.5f, -4), cv(5, 0, 9), cv(0, 7, 0)};
    const auto out = clip(t[0], t[1], t[2], 6);
    ASSERT_EQ(out.size(), 1u);
    expectTri(out[0], t);
}

}  // namespace
