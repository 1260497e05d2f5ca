// Flashing lights (exporters/flashes.h): a frame's light measured on pictures whose answer
// is known, and flashes counted in series whose count is known.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "exporters/flashes.h"
#include "tests/unit/fixtures.h"

namespace {

constexpr int32_t kLit = 50000;   // about 76 % of full white: dark enough to flash from
constexpr int kFps = 60;

// A second of lit frames, then `count` single black frames `every` frames apart starting
// at frame `first` of the second second, then lit to the end of the fourth second: each
// black frame is a change down and one back up, one flash.
std::vector<int32_t> blinks(int count, int every, int first = 0) {
    std::vector<int32_t> levels(4 * kFps, kLit);
    for (int k = 0; k < count; ++k) levels[static_cast<size_t>(kFps + first + k * every)] = 0;
    return levels;
}

// Two levels taking turns every frame for two seconds.
std::vector<int32_t> alternate(int32_t a, int32_t b) {
    std::vector<int32_t> levels;
    for (int i = 0; i < 2 * kFps; ++i) levels.push_back(i % 2 ? b : a);
    return levels;
}

std::vector<int32_t> ramp(int32_t from, int32_t to, int frames) {
    std::vector<int32_t> levels;
    for (int i = 0; i <= frames; ++i) levels.push_back(from + (to - from) * i / frames);
    return levels;
}

}  // namespace

TEST(Flashes, MostFlashesInAnySecond) {
    std::vector<int32_t> fade = ramp(0, kFullLight, 2 * kFps);
    const std::vector<int32_t> down = ramp(kFullLight, 0, 2 * kFps);
    fade.insert(fade.end(), down.begin(), down.end());
    struct Case {
        const char* what;
        std::vector<int32_t> levels;
        const FlashRule& rule;
        int flashes;
    } cases[] = {
        {"steady", std::vector<int32_t>(3 * kFps, kLit), kGeneralFlash, 0},
        {"slow fade up and down, two seconds each", fade, kGeneralFlash, 0},
        {"2 flashes in a second", blinks(2, 12), kGeneralFlash, 2},
        {"3 flashes in a second", blinks(3, 12), kGeneralFlash, 3},
        {"4 flashes in a second", blinks(4, 12), kGeneralFlash, 4},
        {"4 flashes 20 frames apart: 3 in any second", blinks(4, 20), kGeneralFlash, 3},
        // The fourth black frame 59 frames after the first: its change down lies in the
        // second of the first flash, its change back up does not (the first flash's change
        // down has left by then), so no second holds four pairs.
        {"a fourth flash across the second's edge", [] {
             std::vector<int32_t> l = blinks(3, 20);
             l[kFps + 59] = 0;
             return l;
         }(), kGeneralFlash, 3},
        {"the same fourth flash one frame sooner", [] {
             std::vector<int32_t> l = blinks(3, 20);
             l[kFps + 58] = 0;
             return l;
         }(), kGeneralFlash, 4},
        {"two blinks each side of a whole second", [] {
             std::vector<int32_t> l(4 * kFps, kLit);
             for (int f : {100, 110, 130, 140}) l[static_cast<size_t>(f)] = 0;
             return l;
         }(), kGeneralFlash, 4},
        {"changes of 10 % every frame", alternate(0, 6554), kGeneralFlash, 30},
        {"changes just under 10 %", alternate(0, 6553), kGeneralFlash, 0},
        {"flicker above 80 %", alternate(52428, kFullLight), kGeneralFlash, 0},
        {"flicker reaching just below 80 %", alternate(52427, kFullLight), kGeneralFlash, 30},
        {"wiggles of less than a step inside changes", [] {
             std::vector<int32_t> l;
             for (int k = 0; k < 6; ++k)
                 for (int32_t v : {0, 6000, 3000, 9000, 6000, 12000, 30000, 24000, 30000}) l.push_back(v);
             return l;
         }(), kGeneralFlash, 5},
        {"saturated red changing by 20 of 320", alternate(0, 4096), kRedFlash, 30},
        {"saturated red changing by less", alternate(0, 4095), kRedFlash, 0},
        {"saturated red flashes at any level", alternate(kFullLight - 4096, kFullLight), kRedFlash, 30},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(mostFlashesInASecond(c.levels, kFps, c.rule), c.flashes) << c.what;
    }
}

// The frame and its quarters: pictures whose light is known.
TEST(Flashes, MeasureWholeFrameAndQuarters) {
    using fixtures::solidImage;
    struct Case {
        const char* what;
        uint32_t topLeft, rest;
        FrameLight want;
    } cases[] = {
        {"black", 0xFF000000u, 0xFF000000u, {{0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}}},
        {"white", 0xFFFFFFFFu, 0xFFFFFFFFu,
         {{65535, 65535, 65535, 65535, 65535}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}}},
        // Rec. 709: red is 21.26 % of white; all of it saturated.
        {"pure red (alpha ignored)", 0x00FF0000u, 0x00FF0000u,
         {{13932, 13932, 13932, 13932, 13932}, {65535, 65535, 65535, 65535, 65535},
          {65535, 65535, 65535, 65535, 65535}}},
        {"white top left quarter", 0xFFFFFFFFu, 0xFF000000u,
         {{16383, 65535, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}}},
        // sRGB 128 is 21.6 % in linear light. Orange (255, 64, 0): R is 98 % of the sum,
        // saturated; R - G - B = 65535 - 3360.
        {"orange top left on grey", 0xFFFF4000u, 0xFF808080u,
         {{(4 * 13932 + 4 * 7152 * 3360 / 10000 + 3 * 4 * 14146) / 16, 13932 + 7152 * 3360 / 10000,
           14146, 14146, 14146},
          {62175 / 4, 62175, 0, 0, 0},
          {65535 / 4, 65535, 0, 0, 0}}},
    };
    for (const Case& c : cases) {
        Image* frame = solidImage(640, 480, c.rest);
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x) frame->pixels[y * 640 + x] = c.topLeft;
        const FrameLight got = measureFrame(*frame);
        freeImage(frame);
        for (int a = 0; a < kLightAreas; ++a) {
            EXPECT_NEAR(got.luminance[a], c.want.luminance[a], 1) << c.what << ", area " << a;
            EXPECT_EQ(got.red[a], c.want.red[a]) << c.what << ", area " << a;
            EXPECT_EQ(got.redShare[a], c.want.redShare[a]) << c.what << ", area " << a;
        }
    }
}

// Every grey level's luminance is the sRGB curve decoded, to the unit.
TEST(Flashes, GreyLevelsFollowTheSrgbCurve) {
    Image* frame = fixtures::solidImage(4, 4, 0);
    for (int c = 0; c < 256; ++c) {
        std::fill(frame->pixels, frame->pixels + 16, 0xFF000000u | c * 0x010101u);
        const double s = c / 255.0;
        const double linear = s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        EXPECT_EQ(measureFrame(*frame).luminance[0], std::lround(linear * kFullLight)) << c;
    }
    freeImage(frame);
}

// The meter counts each measure on its own; wouldExceed foresees what addFrame will count.
TEST(Flashes, MeterWatchesEveryAreaAndForesees) {
    FlashMeter meter;
    FrameLight lit{}, dark{};
    for (int a = 0; a < kLightAreas; ++a) lit.luminance[a] = dark.luminance[a] = kLit;
    dark.luminance[4] = 0;      // only the bottom right quarter blinks
    int most = 0;
    for (int i = 0; i < kFps; ++i) {
        const double t = static_cast<double>(i) / kFps;
        const FrameLight& light = i % 6 == 3 ? dark : lit;   // ten blinks in the second
        const bool foreseen = wouldExceed(meter, t, light, 3);
        const FlashCounts counts = addFrame(&meter, t, light);
        const bool change = i >= 3 && (i % 6 == 3 || i % 6 == 4);
        EXPECT_EQ(foreseen, change && counts.flashes[4] > 3) << i;
        most = std::max(most, counts.flashes[4]);
        EXPECT_EQ(counts.worstMeasure(), counts.worst() > 0 ? 4 : 0);
        EXPECT_EQ(counts.flashes[0], 0);
    }
    EXPECT_EQ(most, 10);
}

TEST(Flashes, ReportAndPlot) {
    FlashTrace trace;
    FlashMeter meter;
    Image* lit = fixtures::solidImage(640, 480, 0xFFC0C0C0u);
    Image* black = fixtures::solidImage(640, 480, 0xFF000000u);
    for (int i = 0; i <= 3 * kFps; ++i) {
        const bool blink = i >= 72 && i < 100 && i % 8 == 0;   // 1.2 to 1.6 s, four blinks
        traceFrame(&trace, &meter, static_cast<double>(i) / kFps, blink ? *black : *lit);
    }
    freeImage(lit);
    freeImage(black);
    const std::string report = flashReport(trace);
    EXPECT_NE(report.find("the seconds ending at 1.617 to 2.183 s: up to 4 flashes (whole frame)"),
              std::string::npos) << report;
    EXPECT_NE(report.find("scene 1 (0.0-12.0 s): 4 general (whole frame, the second ending at "
                          "1.617 s), 0 red"), std::string::npos) << report;
    EXPECT_NE(report.find("verdict: 1 stretch of seconds with more than three flashes"),
              std::string::npos) << report;
    Image* plot = plotFlashes(trace);
    EXPECT_EQ(plot->width, 80 + 1500 + 16);
    freeImage(plot);
}
