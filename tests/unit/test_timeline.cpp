// Which scene plays at which music time (the scene table), the frame-rate report and the fixed clock.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "scenes/scene_table.h"
#include "app/timeline.h"

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

// --start 72.5: the first line counts from 72.5 s, not from 0, and so does the average.
TEST(FrameStats, CountFromWhereTheRunStarted) {
    FrameStats s;
    resetFrameStats(&s, 72.5f);
    float rate = 0, average = 0;
    EXPECT_FALSE(countFrame(&s, 72.55f, &rate, &average));
    for (int i = 2; i <= 60; ++i) EXPECT_FALSE(countFrame(&s, 72.5f + i / 60.0f, &rate, &average));
    ASSERT_TRUE(countFrame(&s, 72.5f + 61 / 60.0f, &rate, &average));
    EXPECT_NEAR(rate, 60.0f, 0.01f);
    EXPECT_NEAR(average, 60.0f, 0.01f);
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

// A frame exactly on a bound of a window the drawing scene tests is drawn one float step
// later; on another scene's bound, the scene table's bounds and everywhere else at its own
// time.
TEST(FixedClock, ScenesDrawJustAfterTheirOwnBounds) {
    struct Case { float t; float drawn; } cases[] = {
        {6.0f, above(6.0f)},     {6.1f, above(6.1f)},     {24.0f, above(24.0f)},
        {35.08f, above(35.08f)}, {94.0f, above(94.0f)},   {120.0f, above(120.0f)},
        {6.25f, 6.25f},          {below(6.1f), below(6.1f)},
        {72.0f, 72.0f},          {96.0f, 96.0f},   // scene 5's bounds, drawn by 4 and 6
        {0.0f, 0.0f},            {12.0f, 12.0f},          {24.5f, 24.5f},
        {72.4f, 72.4f},          {146.0f, 146.0f},        {149.0f, 149.0f},
    };
    for (const Case& c : cases) EXPECT_EQ(fixedClockSceneTime(c.t), c.drawn) << c.t;
}

TEST(FixedClock, TimesAndExportRules) {
    EXPECT_EQ(fixedClockTime(0, 60), 0.0f);
    EXPECT_EQ(fixedClockTime(1, 60), 1.0f / 60.0f);
    EXPECT_EQ(fixedClockTime(30, 10), 3.0f);
    EXPECT_EQ(fixedClockTime(8940, 60), 149.0f);
    EXPECT_TRUE(exportWrites(3.0f, 0.0f, 3.0f));
    EXPECT_FALSE(exportEnded(3.0f, 3.0f));
    EXPECT_TRUE(exportEnded(3.1f, 3.0f));
    struct Case { int fps; float from, to; int64_t first, count; } cases[] = {
        // --fps 10 --to 3: frames 0..30 (t = 0 included); frame 31 (t = 3.1) ends it.
        {10, 0.0f, 3.0f, 0, 31},
        {10, 0.0f, 0.0f, 0, 1},       // --to 0: the frame at t = 0
        {10, 0.0f, 0.3f, 0, 4},
        {10, 1.0f, 2.0f, 10, 11},     // bounds of --from/--to are inclusive
        // Without --to the run stops after the first frame past 149 s, written too.
        {60, 0.0f, 1e30f, 0, 8942},
        {1, 148.5f, 1e30f, 149, 2},   // t = 149 and t = 150
        {10, 200.0f, 300.0f, 0, 0},
        {10, 150.0f, 160.0f, 0, 0},   // nothing after the end of the timeline
    };
    for (const Case& c : cases) {
        const ExportFrames f = exportFrames(c.fps, c.from, c.to);
        EXPECT_EQ(f.count, c.count) << c.fps << " " << c.from << " " << c.to;
        if (c.count > 0) {
            EXPECT_EQ(f.first, c.first) << c.fps << " " << c.from << " " << c.to;
        }
    }
}

