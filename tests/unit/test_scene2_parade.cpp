// The box parade: the boxes' loop and model matrix, the water reflection under the
// stage, the white flashes around 24 s, and the 3D pass that must stay inside the
// 300-row stage while the projection reaches further down.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "scenes/scene2_parade.h"
#include "tests/unit/fixtures.h"

namespace {

using namespace fixtures;

constexpr uint32_t kRed = 0xFFC00000;
constexpr uint32_t kBlue = 0xFF0000C0;
constexpr uint32_t kBoxGreen = 0xFF00E000;
constexpr uint32_t kCanary = 0xDEADBEEF;
constexpr float kDepthSentinel = 0.25f;

// Small hand-made pictures: a background whose top 150 rows are red and the rest blue
// (so the stage is red above its row 150 and blue below), transparent grass, sprites and
// overlay, a white flash picture and no boxes unless a test gives some.
class Scene2Test : public ::testing::Test {
protected:
    Scene2State state{};
    std::vector<uint32_t> stageBlock;   // 640x480: the stage's 300 rows, then guard rows
    float spectrum[4] = {0, 0, 0, 0};

    void SetUp() override {
        state.background = solidImage(screenWidth, screenHeight, kBlue);
        std::fill(state.background->pixels, state.background->pixels + 150 * screenWidth, kRed);
        state.grass = solidImage(4, 4, 0);
        state.grass2 = solidImage(4, 4, 0);
        state.grass3 = solidImage(4, 4, 0);
        state.sprite1 = solidImage(2, 2, 0);
        state.sprite2 = solidImage(2, 2, 0);
        state.sprite3 = solidImage(2, 2, 0);
        state.water = solidImage(1, 1, 0);
        state.white = solidImage(4, 4, 0xFFFFFFFF);
        state.s = solidImage(4, 4, 0);
        state.env = solidMipTexture(kBoxGreen);
        state.box = emptyModel();
        stageBlock.assign(static_cast<size_t>(screenWidth) * screenHeight, kCanary);
        state.stage = new Image{stageBlock.data(), kStageWidth, kStageHeight};
        fillScreen(0xFF123456);
    }
    void TearDown() override {
        for (Image* image : {state.background, state.grass, state.grass2, state.grass3,
                             state.sprite1, state.sprite2, state.sprite3, state.water,
                             state.white, state.s})
            freeImage(image);
        freeTexture(state.env);
        freeModel(state.box);
        delete state.stage;   // its pixels belong to stageBlock
    }

    uint32_t rgb(int32_t x, int32_t y) const { return screen->pixels[y * screenWidth + x] & 0xFFFFFF; }
};

}  // namespace

TEST(Scene2Boxes, PathAtTheSceneStartAndTheWrap) {
    struct Case { int box; float t; float phi; } cases[] = {
        {2, 12.0f, 0.0f},    // boxes 2 and 3 near the start of the path
        {3, 12.0f, 1.0f},
        {1, 12.0f, 7.0f},    // box 1 at its end
        {0, 12.0f, 6.0f},
        {2, 12.4f, 1.0f},    // 2.5 per second: one box spacing in 0.4 s
        {1, 12.4f, 0.0f},    // ... and box 1 has jumped back to the start
        {5, 23.0f, 6.5f},    // 5 + 57.5 = 62.5, seven loops and 6.5
    };
    for (const Case& c : cases) {
        const BoxPlace place = boxPlace(c.box, c.t);
        EXPECT_NEAR(place.phi, c.phi, 1e-5f) << "box " << c.box << " at t = " << c.t;
        EXPECT_GE(place.phi, 0.0f);
        EXPECT_LT(place.phi, 8.0f);
        EXPECT_FLOAT_EQ(place.a, place.phi + c.t);
    }
}

TEST(Scene2Boxes, BassLiftsWithoutTurning) {
    for (int box : {0, 3, 6}) {
        const float t = 15.3f;
        const BoxPlace place = boxPlace(box, t);
        const Mat4 still = boxModel(box, t, 0.0f);
        const Mat4 lifted = boxModel(box, t, 0.5f);
        // Without bass the box sits on its path.
        EXPECT_NEAR(still[12], 50.0f * place.phi - 175.0f, 1e-3f);
        EXPECT_NEAR(still[13], 70.0f * std::sin(place.a), 1e-3f);
        EXPECT_NEAR(still[14], 0.0f, 1e-5f);
        // The bass offset is added after the rotation: same turn, shifted by (5, 20, 5).
        for (int i : {0, 1, 2, 4, 5, 6, 8, 9, 10}) EXPECT_FLOAT_EQ(lifted[i], still[i]) << i;
        EXPECT_NEAR(lifted[12] - still[12], 5.0f, 1e-3f);
        EXPECT_NEAR(lifted[13] - still[13], 20.0f, 1e-3f);
        EXPECT_NEAR(lifted[14] - still[14], 5.0f, 1e-3f);
        // The rocking is a rotation by at most one radian about each axis: not identity.
        EXPECT_LT(still[0], 0.9999f);
    }
}

TEST_F(Scene2Test, StripAboveMirroredStripBelow) {
    const float t = 15.0f;
    renderScene2(&state, t, spectrum);
    // Rows 0-299 are the stage; rows 300-479 the stage upside down, squashed to 180 rows:
    // screen row 300 + k shows flipped row k*300/180, i.e. stage row 299 - k*300/180
    // (give or take the wobble of 2.5 rows).
    struct Probe { int32_t y; uint32_t colour; } probes[] = {
        {10, kRed}, {140, kRed}, {160, kBlue}, {220, kBlue},
        {350, kBlue}, {380, kBlue}, {400, kRed}, {470, kRed},
    };
    for (const Probe& p : probes)
        for (int32_t x : {5, 320, 634})
            EXPECT_EQ(rgb(x, p.y), p.colour & 0xFFFFFF) << "x " << x << ", y " << p.y;
}

TEST_F(Scene2Test, WhiteFlashWindowsAreOpen) {
    // Red (0xC00000) gains green and blue only while a flash is drawn.
    struct Case { float t; bool flash; } cases[] = {
        {23.85f, false}, {23.95f, true}, {24.0f, false}, {24.1f, true},
        {24.2f, false},  {24.3f, false}, {24.4f, false}, {24.45f, true}, {24.49f, true},
    };
    for (const Case& c : cases) {
        renderScene2(&state, c.t, spectrum);
        const uint32_t pixel = rgb(100, 100);
        if (c.flash)
            EXPECT_NE(pixel & 0xFFFF, 0u) << "t = " << c.t;
        else
            EXPECT_EQ(pixel, kRed & 0xFFFFFF) << "t = " << c.t;
    }
}

TEST_F(Scene2Test, BoxPassStaysInsideTheStage) {
    // Large boxes lifted by a full bass reach well below the stage's last row in the
    // 640x480 projection.
    freeModel(state.box);
    state.box = modelOf({cubeMesh(100.0f, 0.0f)});
    spectrum[1] = 1.0f;
    float* depth = renderer.depthBuffer;
    std::fill(depth + kStageWidth * kStageHeight, depth + screenWidth * screenHeight, kDepthSentinel);
    Image* const before = screen;

    renderScene2(&state, 12.5f, spectrum);

    EXPECT_EQ(screen, before) << "screen not restored after the 3D pass";
    // The boxes did reach the bottom of the stage...
    int boxPixels = 0;
    for (int32_t x = 0; x < screenWidth; ++x) boxPixels += rgb(x, 299) == (kBoxGreen & 0xFFFFFF);
    EXPECT_GT(boxPixels, 0);
    // ...and nothing went past it, neither colour nor depth.
    EXPECT_TRUE(std::all_of(stageBlock.begin() + kStageWidth * kStageHeight, stageBlock.end(),
                            [](uint32_t p) { return p == kCanary; }));
    EXPECT_TRUE(std::all_of(depth + kStageWidth * kStageHeight, depth + screenWidth * screenHeight,
                            [](float d) { return d == kDepthSentinel; }));
}
