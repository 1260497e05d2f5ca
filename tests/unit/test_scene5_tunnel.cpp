// The tunnel scene: the stream of the tunnel's texture and its jump at 94 s, the texture
// coordinates rebuilt from the rest copy, the logos' placement, the 2D layers of a frame
// drawn from small hand-made pictures, and start-up with mesh files missing.
#include <gtest/gtest.h>

#include <cmath>

#include "scenes/sprites_captions.h"
#include "scenes/scene5_tunnel.h"
#include "scenes/twist.h"
#include "tests/unit/fixtures.h"

using namespace fixtures;

TEST(TunnelStream, JumpsAfter94SecondsAndRunsAboutAHundredTimesFaster) {
    struct Case { float t; float offset; float tolerance; } cases[] = {
        {80.0f, 80.0f, 0}, {93.99f, 93.99f, 0},
        {94.0f, 94.0f, 0},                  // the bound itself: still the slow stream
        {94.01f, 7.01f * 94.01f, 2e-3f},    // about 659
        {95.0f, 760.0f, 0},
        {95.49f, 8.49f * 95.49f, 2e-3f},
    };
    for (const Case& c : cases) EXPECT_NEAR(tunnelVOffset(c.t), c.offset, c.tolerance) << "t = " << c.t;
    EXPECT_NEAR(tunnelVOffset(94.01f), 659.0f, 0.1f);
    // From then on it grows by about 2t - 87 units a second instead of 1.
    const float rate = (tunnelVOffset(95.01f) - tunnelVOffset(95.0f)) / 0.01f;
    EXPECT_NEAR(rate, 2 * 95.0f - 87, 0.5f);
}

TEST(TunnelStream, CoordinatesAreRebuiltFromTheRestCopyEveryFrame) {
    Model* tunnel = modelOf({newMesh({vertexAt(5, 6, 0, 0.25f, 0.75f), vertexAt(0, 250, 5, 0.5f, 0.0f)}, {})});
    Model* rest = modelOf({newMesh({vertexAt(5, 6, 0, 0.25f, 0.75f), vertexAt(0, 250, 5, 0.5f, 0.0f)}, {})});
    // Reference values worked out separately: u = 0.25 - 1.5 cos(0.78 t), v = 0.35 * 0.75 - offset.
    struct Case { float t; float u, v; } cases[] = {{80.0f, -1.1122875f, -79.7375031f},
                                                    {94.5f, 0.4257365f, -708.4874878f}};
    for (const Case& c : cases) {
        ASSERT_TRUE(scrollTunnel(tunnel, rest, c.t));
        ASSERT_TRUE(scrollTunnel(tunnel, rest, c.t));   // twice: nothing accumulates
        const Vertex& v = tunnel->meshes[0]->vertices[0];
        EXPECT_NEAR(v.u, c.u, 1e-5f) << "t = " << c.t;
        EXPECT_NEAR(v.v, c.v, 1e-4f) << "t = " << c.t;
        EXPECT_EQ(v.x, 5.0f);
        EXPECT_EQ(v.y, 6.0f);
    }
    Model* empty = emptyModel();
    Model* shorter = modelOf({newMesh({vertexAt(5, 6, 0, 0.25f, 0.75f)}, {})});
    EXPECT_FALSE(scrollTunnel(empty, rest, 80.0f));
    EXPECT_FALSE(scrollTunnel(tunnel, empty, 80.0f));
    EXPECT_FALSE(scrollTunnel(shorter, rest, 80.0f));
    for (Model* m : {tunnel, rest, empty, shorter}) freeModel(m);
}

TEST(LogoModel, ScaledTurnedAboutYThenZAndFlownAwayLiftedByTheBass) {
    // Reference points at t = 80 with bass 0.3, worked out separately in double precision.
    struct Case { int logo; Vec4 p; float x, y, z; } cases[] = {
        {0, {1, 0, 0, 1}, -0.02944f, 30.99674f, 0.14522f},
        {0, {0, 0, 1, 1}, 0.00475f, 31.00053f, 0.12038f},
        {1, {1, 0, 0, 1}, -0.02944f, 17.00475f, 0.14670f},
        {1, {0, 0, 1, 1}, -0.00326f, 17.00053f, 0.17982f},
        {2, {1, 0, 0, 1}, -0.01149f, 4.99605f, 0.12257f},
        {2, {0, 0, 1, 1}, 0.02594f, 5.00892f, 0.13785f},
    };
    for (const Case& c : cases) {
        const Mat4 m = logoModel(c.logo, 80.0f, 0.3f);
        Vec4 q;
        mat4Transform(q, m, c.p);
        EXPECT_NEAR(q.x, c.x, 2e-5f) << "logo " << c.logo;
        EXPECT_NEAR(q.y, c.y, 2e-5f) << "logo " << c.logo;
        EXPECT_NEAR(q.z, c.z, 2e-5f) << "logo " << c.logo;
        EXPECT_EQ(q.w, 1.0f);
    }
    // With a silent spectrum the logos stay at z = 0.
    EXPECT_EQ(logoModel(1, 85.0f, 0.0f)[14], 0.0f);
    EXPECT_EQ(logoModel(1, 85.0f, 0.0f)[13], 27.0f);
}

namespace {

constexpr uint32_t kFalling = 0xFF10A010;
constexpr uint32_t kBit = 0xFF2020B0;
constexpr uint32_t kBit2 = 0xFFB02020;

uint32_t leftColour(int i) { return 0xFF000030u + static_cast<uint32_t>(i); }
uint32_t rightColour(int i) { return 0xFF000040u + static_cast<uint32_t>(i); }

// Frees what a scene state holds, whether SetUp made it or initScene5 loaded it (the demo
// keeps what it loads until it exits).
void release(Scene5State* state) {
    for (Model* m : {state->pixel, state->pixelRest, state->pxl, state->pxlRest, state->pxl2,
                     state->pxl2Rest, state->tunnel, state->tunnelRest})
        freeModel(m);
    for (int i = 0; i < 5; ++i) {
        freeImage(state->leftSprites[i]);
        freeImage(state->rightSprites[i]);
    }
    for (Image* image : {state->frame, state->falling, state->bit, state->bit2, state->white, state->s})
        freeImage(image);
    freeTexture(state->rainbow);
    freeTexture(state->blokk);
    for (float* lengths : {state->pixelRestLength, state->pxlRestLength, state->pxl2RestLength})
        delete[] lengths;
}

class Scene5Test : public ::testing::Test {
protected:
    Scene5State state{};
    float silence[4] = {0, 0, 0, 0};

    void SetUp() override {
        for (Model** m : {&state.pixel, &state.pixelRest, &state.pxl, &state.pxlRest, &state.pxl2,
                          &state.pxl2Rest, &state.tunnel, &state.tunnelRest})
            *m = emptyModel();
        for (int i = 0; i < 5; ++i) {
            state.leftSprites[i] = solidImage(8, 8, leftColour(i));
            state.rightSprites[i] = solidImage(8, 8, rightColour(i));
        }
        state.frame = solidImage(screenWidth, screenHeight, 0x00000000);
        state.s = solidImage(screenWidth, screenHeight, 0x00000000);
        state.falling = solidImage(60, 20, kFalling);
        state.bit = solidImage(60, 20, kBit);
        state.bit2 = solidImage(60, 20, kBit2);
        state.white = solidImage(4, 4, 0xFFFFFFFF);
        state.rainbow = solidOneLevelTexture(0xFF8040C0);
        state.blokk = solidOneLevelTexture(0xFF40C080);
        fillScreen(0xFF123456);
    }
    void TearDown() override { release(&state); }
};

}  // namespace

TEST_F(Scene5Test, SpritesAndCaptionsTakeTurns) {
    // Probes: left sprite (32, 322), right sprite (482, 322), and row 360 of the captions,
    // which lie 20 rows high from y = trunc(7 w + 350): at x 200 the first (x 180), at
    // x 255 the second and third (x 235). The picture is cleared to 0 under them.
    enum Sprite { kNoSprite, kLeft, kRight };
    const uint32_t none = 0;
    struct Case { float t; Sprite sprite; uint32_t falling, bit; } cases[] = {
        {72.5f, kLeft, none, none},
        {73.5f, kLeft, none, none},
        {73.75f, kLeft, over(0, kFalling, 200), none},   // shimmering in
        {74.0f, kLeft, none, none},                       // neither shimmer nor bob
        {77.0f, kLeft, kFalling, none},
        {80.0f, kLeft, none, none},
        {81.0f, kNoSprite, none, none},
        {82.0f, kNoSprite, none, none},
        {83.2f, kNoSprite, none, none},
        {83.3f, kRight, none, none},
        {84.75f, kRight, none, over(0, kBit, 200)},
        {87.0f, kRight, none, kBit},
        {89.0f, kRight, none, none},
        {92.0f, kRight, none, kBit2},
    };
    for (const Case& c : cases) {
        renderScene5(&state, c.t, silence);
        const int index = flickerIndex(c.t);
        EXPECT_EQ(pixelAt(32, 322), c.sprite == kLeft ? leftColour(index) : none) << "t = " << c.t;
        EXPECT_EQ(pixelAt(482, 322), c.sprite == kRight ? rightColour(index) : none) << "t = " << c.t;
        EXPECT_EQ(pixelAt(200, 360), c.falling) << "t = " << c.t;
        EXPECT_EQ(pixelAt(255, 360), c.bit) << "t = " << c.t;
    }
    renderScene5(&state, 77.0f, silence);
    EXPECT_EQ(countScreen(0), screenWidth * screenHeight - 60 * 20 - 8 * 8) << "a cleared picture";
}

TEST_F(Scene5Test, EndsInWhite) {
    struct Case { float t; uint32_t probe; } cases[] = {
        {94.4f, 0}, {94.95f, over(0, 0xFFFFFFFF, 127)}, {95.4999f, over(0, 0xFFFFFFFF, 254)}};
    for (const Case& c : cases) {
        renderScene5(&state, c.t, silence);
        EXPECT_EQ(pixelAt(320, 10), c.probe) << "t = " << c.t;
    }
}

TEST_F(Scene5Test, TunnelAndLogosDrawInTheirWindowsAndMissingOnesAreSkipped) {
    // A tunnel square far ahead fills the middle; a logo square close in front of it
    // covers the centre while its window is open.
    const uint32_t tunnelColour = 0xFF8040C0, logoColour = 0xFF40C080;
    freeModel(state.tunnel);
    freeModel(state.tunnelRest);
    state.tunnel = modelOf({squareXZ(40)});
    state.tunnelRest = modelOf({squareXZ(40)});
    for (Model* m : {state.tunnel, state.tunnelRest})
        for (int32_t i = 0; i < 4; ++i) m->meshes[0]->vertices[i].y = 100;
    freeModel(state.pxl);
    freeModel(state.pxlRest);
    state.pxl = modelOf({octahedron(200)});
    state.pxlRest = modelOf({octahedron(200)});
    state.pxlRestLength = newRestLengths(state.pxlRest);

    renderScene5(&state, 77.0f, silence);   // before the second logo's window
    EXPECT_EQ(pixelAt(320, 230) & 0xFFFFFF, tunnelColour & 0xFFFFFF);
    renderScene5(&state, 79.0f, silence);
    EXPECT_EQ(pixelAt(320, 230) & 0xFFFFFF, logoColour & 0xFFFFFF);
    // The logo's rest lengths missing: the logo is left out, the tunnel still shows.
    delete[] state.pxlRestLength;
    state.pxlRestLength = nullptr;
    renderScene5(&state, 79.0f, silence);
    EXPECT_EQ(pixelAt(320, 230) & 0xFFFFFF, tunnelColour & 0xFFFFFF);
    // The tunnel's rest copy missing: no tunnel.
    freeModel(state.tunnelRest);
    state.tunnelRest = emptyModel();
    renderScene5(&state, 79.0f, silence);
    EXPECT_EQ(pixelAt(320, 230), 0u);
}

TEST(Scene5Start, MissingMeshFilesSkipTheirObjects) {
    DataWithout data({"tunnell.ebr", "pixeldyr/pxl.ebr"});
    Scene5State state{};
    initScene5(&state);
    EXPECT_EQ(state.tunnel->meshCount, 0);
    EXPECT_EQ(state.pxl->meshCount, 0);
    EXPECT_EQ(state.pxlRestLength, nullptr);
    ASSERT_GT(state.pixel->meshCount, 0);
    ASSERT_NE(state.pixelRestLength, nullptr);
    ASSERT_NE(state.pxl2RestLength, nullptr);
    const float silence[4] = {0, 0, 0, 0};
    for (float t : {73.0f, 80.0f, 90.0f, 95.0f}) renderScene5(&state, t, silence);
    // The first logo was twisted from its rest copy at t = 95.
    const Vertex& rest = state.pixelRest->meshes[0]->vertices[0];
    Model* expected = modelOf({newMesh({rest}, {})});
    Model* restOnly = modelOf({newMesh({rest}, {})});
    const float length[1] = {state.pixelRestLength[0]};
    ASSERT_TRUE(twistFirstMesh(expected, restOnly, length, 95.0f, logoTwistAngle));
    EXPECT_EQ(state.pixel->meshes[0]->vertices[0].x, expected->meshes[0]->vertices[0].x);
    EXPECT_EQ(state.pixel->meshes[0]->vertices[0].z, expected->meshes[0]->vertices[0].z);
    freeModel(expected);
    freeModel(restOnly);
    release(&state);
}
