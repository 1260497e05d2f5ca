// The closing scene: where its light-trail dots go, how big and bright they are, and its
// frames drawn straight into the screen from small hand-made pictures.
#include <gtest/gtest.h>

#include "scenes/scene7_trails.h"
#include "tests/unit/fixtures.h"

using namespace fixtures;

TEST(TrailDot, PointSevenGrowsAndBrightensAlongItsTrail) {
    struct Case { int i; int32_t size, opacity; } cases[] = {{0, 0, 0}, {1, 2, 5}, {29, 72, 150}};
    for (const Case& c : cases) {
        const TrailDot d = trailDot(7, c.i, 130.0f);
        EXPECT_EQ(d.size, c.size) << "i = " << c.i;
        EXPECT_EQ(d.opacity, c.opacity) << "i = " << c.i;
        EXPECT_EQ(d.x, 180) << "i = " << c.i;
    }
}

TEST(TrailDot, SizesAreThoseOfTheDecimalFactorsAtEveryStep) {
    // Size factor of each point in hundredths: the size is trunc(factor * i) exactly.
    const int hundredths[kTrailPoints] = {70, 70, 50, 60, 60, 30, 250, 70, 70,
                                          150, 20, 20, 20, 25, 25, 25, 16, 10};
    for (int point = 1; point <= kTrailPoints; ++point)
        for (int i = 0; i < kTrailSteps; ++i) {
            const TrailDot d = trailDot(point, i, 127.5f);
            ASSERT_EQ(d.size, hundredths[point - 1] * i / 100) << "point " << point << " i " << i;
            const int32_t maxOpacity = point <= 16 ? 150 : 75;
            ASSERT_EQ(d.opacity, maxOpacity * i / 29) << "point " << point << " i " << i;
        }
}

TEST(TrailDot, PositionsAtTime130) {
    // Worked out by hand from the trail table at t = 130 (phases -k*t - 0.05*i).
    struct Case { int point, i; int32_t x, y; } cases[] = {
        {1, 1, 193, 66},  {1, 29, 183, 32},     // 34 cos(th2) + 220 - s/2, 50 sin(th3) + 90 - s/2
        {7, 1, 180, 85},  {7, 29, 180, 96},     // fixed x; 36 sin(th2) + 110 - s/2
        {17, 1, 416, 165}, {17, 29, 411, 163},  // the whole size subtracted
        {18, 1, 411, 167}, {18, 29, 408, 165},
    };
    for (const Case& c : cases) {
        const TrailDot d = trailDot(c.point, c.i, 130.0f);
        EXPECT_EQ(d.x, c.x) << "point " << c.point << " i " << c.i;
        EXPECT_EQ(d.y, c.y) << "point " << c.point << " i " << c.i;
    }
}

TEST(TrailDot, UnknownPointDrawsNothing) {
    EXPECT_EQ(trailDot(0, 29, 130.0f).size, 0);
    EXPECT_EQ(trailDot(19, 29, 130.0f).size, 0);
}

namespace {

constexpr uint32_t kBlack = 0xFF000000;
constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kPrevious = 0xFF123456;   // what the screen held before the frame

class Scene7Test : public ::testing::Test {
protected:
    Scene7State state{};

    void SetUp() override {
        state.black = solidImage(4, 4, kBlack);
        state.white = solidImage(4, 4, kWhite);
        state.creatures = solidImage(screenWidth, screenHeight, 0xFF204060);
        state.girl = solidImage(screenWidth, screenHeight, 0xFF102030);
        state.hand = solidImage(screenWidth, screenHeight, 0x00000000);
        state.dot = solidImage(8, 8, 0xFFFFC080);
        fillScreen(kPrevious);
    }
    void TearDown() override {
        for (Image* image : {state.black, state.white, state.creatures, state.girl, state.hand, state.dot})
            freeImage(image);
    }
};

}  // namespace

TEST_F(Scene7Test, FramesAcrossTheScene) {
    constexpr int kAll = screenWidth * screenHeight;
    struct Case { float t; uint32_t probe; const char* what; } cases[] = {
        {121.0f, kPrevious, "at the scene's start bound nothing is drawn"},
        {121.2f, 0xFF204060, "the creatures, copied over the fading white"},
        {125.75f, over(0xFF204060, kWhite, 127), "creatures half-way to white"},
        {126.0f, kPrevious, "at 126 exactly neither part draws"},
        {126.05f, over(0xFF102030, kWhite, 127), "the girl coming out of the white flash"},
        // The transparent hand, drawn at full opacity, leaves alpha 0 behind (never shown).
        {130.0f, 0x00102030, "the girl, no overlay, away from the trails"},
        {144.0f, over(0xFF102030, kBlack, 127), "half-way to black"},
        {145.5f, kBlack, "black"},
        {146.0f, kPrevious, "past the scene nothing is drawn"},
    };
    for (const Case& c : cases) {
        fillScreen(kPrevious);
        renderScene7(&state, c.t);
        EXPECT_EQ(pixelAt(600, 450), c.probe) << c.what;
        if (c.probe == kPrevious || c.probe == kBlack || c.t < 126.0f) {
            EXPECT_EQ(countScreen(c.probe), kAll) << c.what;
        }
    }
}

TEST_F(Scene7Test, TrailsAreAddedOverTheGirl) {
    renderScene7(&state, 130.0f);
    // The centre of point 7's largest dot is brighter than the bare picture.
    const TrailDot d = trailDot(7, 29, 130.0f);
    const uint32_t centre = pixelAt(d.x + d.size / 2, d.y + d.size / 2);
    EXPECT_GT((centre >> 16) & 0xFF, 0x10u + 100);
    EXPECT_GT((centre >> 8) & 0xFF, 0x20u + 50);
}

TEST_F(Scene7Test, SmallerCreaturesPictureLeavesTheFadingWhiteAround) {
    freeImage(state.creatures);
    state.creatures = solidImage(320, 240, 0xFF204060);
    renderScene7(&state, 121.2f);
    EXPECT_EQ(pixelAt(10, 10), 0xFF204060u);
    EXPECT_EQ(pixelAt(400, 300), over(kPrevious, kWhite, 127));
}
