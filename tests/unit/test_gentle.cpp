// The gentle run's limiter (app/gentle.h) on small synthetic frame sequences: what it shows
// never holds more than three flashes in a second by the analysis' own count, it shows every
// frame as drawn until a fourth flash would come and again once the flashing has passed,
// and it never touches the frame it is given.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "app/gentle.h"
#include "exporters/flashes.h"
#include "tests/unit/fixtures.h"

namespace {

constexpr int kFps = 60;
constexpr int kW = 64, kH = 48;

// Paints the frame for frame number i.
using Painter = std::function<void(Image* frame, int i)>;

void fill(Image* frame, uint32_t colour, bool bottomRightOnly = false) {
    for (int y = bottomRightOnly ? kH / 2 : 0; y < kH; ++y)
        for (int x = bottomRightOnly ? kW / 2 : 0; x < kW; ++x) frame->pixels[y * kW + x] = colour;
}

// `perSecond` single-frame blinks a second from 1 s to 2 s, `on` otherwise.
Painter blinking(int perSecond, uint32_t on, uint32_t off, bool quarter = false) {
    return [=](Image* frame, int i) {
        fill(frame, 0xFF808080u);
        const bool blink = i >= kFps && i < 2 * kFps && (i - kFps) % (kFps / perSecond) == 0;
        fill(frame, blink ? off : on, quarter);
    };
}

std::vector<uint32_t> pixelsOf(const Image& image) {
    return std::vector<uint32_t>(image.pixels, image.pixels + image.width * image.height);
}

}  // namespace

TEST(Gentle, AtMostThreeFlashesAndOtherwiseAsDrawn) {
    struct Case {
        const char* what;
        Painter paint;
        bool limited;   // the limiter has to act
    } cases[] = {
        {"three blinks a second pass as drawn", blinking(3, 0xFFC0C0C0u, 0xFF000000u), false},
        {"ten blinks a second", blinking(10, 0xFFC0C0C0u, 0xFF000000u), true},
        {"ten blinks of one quarter", blinking(10, 0xFFFFFFFFu, 0xFF000000u, true), true},
        // Red 255 and 200: 9 % of full white apart (no general flash), but saturated red
        // changing by 42 % (a red one).
        {"ten saturated red blinks", blinking(10, 0xFFFF0000u, 0xFFC80000u), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FlashLimiter* limiter = newFlashLimiter();
        Image* frame = fixtures::solidImage(kW, kH, 0);
        FlashMeter shownMeter, drawnMeter;
        int mostShown = 0, mostDrawn = 0, firstDiffering = -1, lastDiffering = -1;
        for (int i = 0; i < 4 * kFps; ++i) {
            const double t = static_cast<double>(i) / kFps;
            c.paint(frame, i);
            const std::vector<uint32_t> drawn = pixelsOf(*frame);
            const Image* shown = limitFlashes(limiter, *frame, t);
            ASSERT_EQ(pixelsOf(*frame), drawn) << "the drawn frame changed, frame " << i;
            const FlashCounts drawnCounts = addFrame(&drawnMeter, t, measureFrame(*frame));
            mostDrawn = std::max(mostDrawn, drawnCounts.worst());
            mostShown = std::max(mostShown, addFrame(&shownMeter, t, measureFrame(*shown)).worst());
            if (pixelsOf(*shown) != drawn) {
                // Not before the drawn frames would make a fourth flash.
                if (firstDiffering < 0) {
                    EXPECT_GT(drawnCounts.worst(), 3) << "frame " << i;
                    firstDiffering = i;
                }
                lastDiffering = i;
            }
        }
        EXPECT_LE(mostShown, 3);
        EXPECT_EQ(firstDiffering >= 0, c.limited);
        EXPECT_EQ(limitedFrames(limiter) > 0, c.limited);
        if (c.limited) {
            EXPECT_GT(mostDrawn, 3);
            // The flashing ends at 2 s; a second later every frame is shown as drawn.
            EXPECT_LT(lastDiffering, 3 * kFps) << "still limiting at frame " << lastDiffering;
        }
        freeImage(frame);
        freeFlashLimiter(limiter);
    }
}
