// Which scene plays at which music time (the scene table), the frame-rate report and the fixed clock.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "demo/scene_table.h"
#include "demo/timeline.h"

namespace {
float below(float x) { return std::nextafter(x, -1e9f); }
float above(float x) { return std::nextafter(x, 1e9f); }
}  // namespace

// At every bound no scene draws; one float step inside, the neighbouring scenes do.
TEST(Timeline, WindowsAtAndAroundEveryBound) {
    struct Bound { float at; int before; int after; } bounds[] = {
        {0.0f, 0, 1},   {12.0f, 1, 2},  {24.5f, 2, 3},   {48.0f, 3, 4},
        {72.4f, 4, 5},  {95.5f, 5, 6},  {121.0f, 6, 7},  {146.0f, 7, 0},
    };
    for (const Bound& b : bounds) {
        EXPECT_EQ(sceneAt(b.at), 0) << b.at;
        EXPECT_EQ(sceneAt(below(b.at)), b.before) << b.at;
        EXPECT_EQ(sceneAt(above(b.at)), b.after) << b.at;
    }
    // Not more than one window ever holds t.
    for (float t = -1.0f; t < 150.0f; t += 0.01f) {
        int holding = 0;
        for (const SceneEntry& scene : kScenes) holding += insideWindow(scene.window, t) ? 1 : 0;
        EXPECT_LE(holding, 1) << t;
    }
}

// 72.4 is the float nearest to it, used on both sides; a double 72.4 would move the bound.
TEST(Timeline, TheScene5BoundIsTheSinglePrecision72_4) {
    EXPECT_EQ(kScenes[3].window.end, 72.4f);
    EXPECT_EQ(kScenes[4].window.start, 72.4f);
    EXPECT_GT(static_cast<double>(72.4f), 72.4);   // 72.40000153
    EXPECT_EQ(sceneAt(72.4f), 0);
    EXPECT_EQ(sceneAt(below(72.4f)), 4);
    EXPECT_EQ(sceneAt(above(72.4f)), 5);
}

TEST(Timeline, EndsOnlyPast149) {
    EXPECT_FALSE(timelineEnded(149.0f));
    EXPECT_TRUE(timelineEnded(above(149.0f)));
    EXPECT_FALSE(timelineEnded(0.0f));
    EXPECT_EQ(sceneAt(147.0f), 0);   // the quiet tail after scene 7
    EXPECT_EQ(sceneAt(-0.5f), 0);
}

TEST(FrameStats, FirstLineOnlyAfterMoreThanOneSecond) {
    FrameStats s;
    resetFrameStats(&s);
    float rate = 0, average = 0;
    EXPECT_FALSE(countFrame(&s, 0.5f, &rate, &average));
    EXPECT_FALSE(countFrame(&s, 1.0f, &rate, &average));   // exactly 1.0: no line
    EXPECT_TRUE(countFrame(&s, 1.25f, &rate, &average));
    EXPECT_FLOAT_EQ(rate, 3.0f / 1.25f);
    EXPECT_FLOAT_EQ(average, rate);
    EXPECT_EQ(s.framesSinceReport, 0);
    EXPECT_EQ(s.lastReportTime, 1.25f);
}

// The average is the plain mean of the printed rates, not weighted by frames.
TEST(FrameStats, AverageIsTheMeanOfReportedRates) {
    FrameStats s;
    resetFrameStats(&s);
    float rate = 0, average = 0;
    // 10 frames over the first 2 s (rate 5), then 1 frame 1.5 s later (rate 2/3).
    for (int i = 1; i <= 9; ++i) EXPECT_FALSE(countFrame(&s, 0.1f * i, &rate, &average));
    ASSERT_TRUE(countFrame(&s, 2.0f, &rate, &average));
    EXPECT_FLOAT_EQ(rate, 5.0f);
    ASSERT_TRUE(countFrame(&s, 3.5f, &rate, &average));
    EXPECT_FLOAT_EQ(rate, 1.0f / 1.5f);
    EXPECT_FLOAT_EQ(average, (5.0f + 1.0f / 1.5f) / 2.0f);
    EXPECT_EQ(s.reportCount, 2.0f);
}

TEST(FrameStats, LineFormat) {
    char line[160];
    formatFpsLine(line, sizeof line, 50.0f, 62.5f);
    EXPECT_STREQ(line, "FPS: 50.00 (20.00 ms), Average: 62.50 (16.00 ms)\n");
    formatFpsLine(line, sizeof line, 59.94f, 60.0f);
    EXPECT_STREQ(line, "FPS: 59.94 (16.68 ms), Average: 60.00 (16.67 ms)\n");
}

TEST(FixedClock, TimesAndCaptureRules) {
    EXPECT_EQ(fixedClockTime(1, 60), 1.0f / 60.0f);
    EXPECT_EQ(fixedClockTime(30, 10), 3.0f);
    EXPECT_EQ(fixedClockTime(8940, 60), 149.0f);
    // --fps 10 --to 3: frames 1..30 are written; frame 31 (t = 3.1) is rendered and ends it.
    EXPECT_EQ(captureFrameCount(10, 0.0f, 3.0f), 30);
    EXPECT_TRUE(captureWrites(3.0f, 0.0f, 3.0f));
    EXPECT_FALSE(captureEnded(3.0f, 3.0f));
    EXPECT_TRUE(captureEnded(3.1f, 3.0f));
    // Bounds of --from/--to are inclusive.
    EXPECT_EQ(captureFrameCount(10, 1.0f, 2.0f), 11);
    // Without --to the run stops after the first frame past 149 s, which is written too.
    EXPECT_EQ(captureFrameCount(60, 0.0f, 1e30f), 8941);
    EXPECT_EQ(captureFrameCount(1, 148.5f, 1e30f), 2);   // t = 149 and t = 150
    EXPECT_EQ(captureFrameCount(10, 200.0f, 300.0f), 0);
}
