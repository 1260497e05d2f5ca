// How frames reach the window: the scaling plan, the pixels that land on the screen for
// window sizes that are and are not whole multiples of the frame, and the waiting of a
// hidden window. The windows are made on SDL's dummy video driver, which draws with SDL's
// software renderer into memory; tests/e2e/e2e_fullscreen.sh runs the picture checks again on
// a real X display (PIXELDEMO_TEST_VIDEO=x11) with full-screen windows.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "display/display.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

TEST(FrameScaling, PlansEveryWindowShape) {
    struct Case {
        int outW, outH;
        int factor;
        bool intermediate, linear;
        int x, y, w, h;
    } cases[] = {
        // Whole multiples: nearest neighbour only.
        {640, 480, 1, false, false, 0, 0, 640, 480},
        {1280, 960, 2, false, false, 0, 0, 1280, 960},
        {1280, 1024, 2, false, false, 0, 32, 1280, 960},       // 5:4, bars above and below
        {2560, 1440, 3, false, false, 320, 0, 1920, 1440},
        {1000, 480, 1, false, false, 180, 0, 640, 480},        // a wide window, 1x
        // Between whole factors: nearest by the whole part, then linear.
        {1920, 1080, 2, true, true, 240, 0, 1440, 1080},       // 2.25
        {1920, 1200, 2, true, true, 160, 0, 1600, 1200},       // 2.5
        {3840, 2160, 4, true, true, 480, 0, 2880, 2160},       // 4.5
        {1300, 1000, 2, true, true, 0, 12, 1300, 975},         // width decides, 2.03
        // Between 1x and 2x: doubled, then filtered down to the picture.
        {1280, 720, 2, true, true, 160, 0, 960, 720},          // 1.5
        {1366, 768, 2, true, true, 171, 0, 1024, 768},         // odd bar widths
        {800, 600, 2, true, true, 0, 0, 800, 600},
        {641, 481, 2, true, true, 0, 0, 641, 481},
        // Smaller than the frame: filtered straight down.
        {320, 240, 1, false, true, 0, 0, 320, 240},
        {100, 1000, 1, false, true, 0, 462, 100, 75},
        // Nothing to draw into.
        {0, 480, 1, false, false, 0, 0, 0, 0},
        {640, -1, 1, false, false, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.outW) + "x" + std::to_string(c.outH));
        const FrameScaling p = planFrameScaling(kWidth, kHeight, c.outW, c.outH);
        EXPECT_EQ(p.factor, c.factor);
        EXPECT_EQ(p.intermediate, c.intermediate);
        EXPECT_EQ(p.linear, c.linear);
        EXPECT_EQ(p.x, c.x);
        EXPECT_EQ(p.y, c.y);
        EXPECT_EQ(p.width, c.w);
        EXPECT_EQ(p.height, c.h);
        if (p.intermediate) {
            EXPECT_EQ(p.intermediateWidth, kWidth * p.factor);
            EXPECT_EQ(p.intermediateHeight, kHeight * p.factor);
            // The last pass shrinks by less than half, if at all: it sees every texel.
            EXPECT_LT(p.intermediateWidth, 2 * p.width);
            EXPECT_LT(p.intermediateHeight, 2 * p.height);
        }
    }
}

// ---------------------------------------------------------------------------------------
// The picture on the screen.

// The window the display opened ("^__^").
SDL_Window* displayWindow() {
    for (Uint32 id = 1; id < 256; ++id) {
        SDL_Window* w = SDL_GetWindowFromID(id);
        if (w && std::string(SDL_GetWindowTitle(w)) == "^__^") return w;
    }
    return nullptr;
}

// Black frames with white lines one pixel wide, every fourth column (vertical lines) or
// every fourth row: each line has black on both sides, so all of its light on the screen
// stays inside its own four-pixel cell and can be summed there.
std::vector<uint32_t> linesFrame(bool vertical) {
    std::vector<uint32_t> f(kWidth * kHeight, 0xFF000000u);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            if ((vertical ? x : y) % 4 == 1) f[y * kWidth + x] = 0xFFFFFFFFu;
        }
    }
    return f;
}

struct Screen {
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    double brightness(int x, int y) const {   // green channel, 0..1
        return ((pixels[static_cast<size_t>(y) * width + x] >> 8) & 0xFF) / 255.0;
    }
};

// What the screen shows of `frame`, with the picture rectangle of the plan.
void checkLines(const Screen& s, const FrameScaling& plan, bool vertical) {
    SCOPED_TRACE(vertical ? "vertical lines" : "horizontal lines");
    // Outside the picture: black, exactly.
    int outside = 0;
    for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x) {
            const bool in = x >= plan.x && x < plan.x + plan.width && y >= plan.y &&
                            y < plan.y + plan.height;
            if (!in && (s.pixels[static_cast<size_t>(y) * s.width + x] & 0xFFFFFF) != 0) {
                ++outside;
            }
        }
    }
    EXPECT_EQ(outside, 0) << "lit pixels outside the picture";

    // One screen line across the lines, through the middle of the picture.
    const int length = vertical ? plan.width : plan.height;
    const double scale = static_cast<double>(length) / (vertical ? kWidth : kHeight);
    std::vector<double> profile(length);
    for (int i = 0; i < length; ++i) {
        profile[i] = vertical ? s.brightness(plan.x + i, plan.y + plan.height / 2)
                              : s.brightness(plan.x + plan.width / 2, plan.y + i);
    }
    // Each cell of four frame pixels holds one line; the screen pixels whose centres fall in
    // the cell carry all of its light. Every line must come out with about the same light,
    // `scale` screen pixels' worth: linear filtering at a scale whose phase drifts from
    // line to line varies it by up to about a fifth of a pixel, nearest neighbour by a
    // whole pixel. And it must stay sharp: from 2x on, a solid core of fully lit pixels
    // (at least ceil(scale) - 2), below 2x at most about two blended pixels a line (the
    // two edges; plain linear filtering blends three or four).
    const int cells = (vertical ? kWidth : kHeight) / 4;
    const int core = std::max(0, static_cast<int>(std::ceil(scale)) - 2);
    int uneven = 0, soft = 0, blended = 0;
    double least = 1e9, most = 0, total = 0;
    for (int cell = 0; cell < cells; ++cell) {
        double light = 0;
        int solid = 0;
        for (int i = 0; i < length; ++i) {
            const double at = (i + 0.5) / scale;   // frame coordinate of the pixel centre
            if (at < cell * 4 || at >= cell * 4 + 4) continue;
            light += profile[i];
            if (profile[i] > 0.98) ++solid;
            if (profile[i] > 0.02 && profile[i] < 0.98) ++blended;
        }
        least = std::min(least, light);
        most = std::max(most, light);
        total += light;
        if (std::fabs(light - scale) > 0.25) ++uneven;
        if (solid < core) ++soft;
    }
    EXPECT_EQ(uneven, 0) << "lines of unequal width: from " << least << " to " << most
                         << " screen pixels, expected " << scale;
    EXPECT_NEAR(total / cells, scale, 0.05);
    EXPECT_EQ(soft, 0) << "lines without a solid core of " << core << " pixels";
    if (scale > 1 && scale < 2) {
        EXPECT_LE(static_cast<double>(blended) / cells, 2.2) << "blurred lines";
    }
    if (!plan.linear) {   // whole multiples: nothing but full black and full white
        int grey = 0;
        for (double v : profile) grey += v != 0.0 && v != 1.0;
        EXPECT_EQ(grey, 0) << "blended pixels at a whole-number scale";
    }
}

void checkWindowShowsLines(int depth) {
    for (bool vertical : {true, false}) {
        const std::vector<uint32_t> frame = linesFrame(vertical);
        Screen s;
        ASSERT_TRUE(readBackFrame(frame.data(), &s.pixels, &s.width, &s.height)) << SDL_GetError();
        const FrameScaling plan = planFrameScaling(kWidth, kHeight, s.width, s.height);
        SCOPED_TRACE("window " + std::to_string(s.width) + "x" + std::to_string(s.height) +
                     ", " + std::to_string(depth) + "-bit texture " + displayFormatName());
        checkLines(s, plan, vertical);
        // The frame is shown as well, not only read back.
        EXPECT_EQ(presentFrame(frame.data()), 1);
    }
}

// The video driver of these tests: dummy (in memory), unless the end-to-end script asks for
// a real display.
std::string testVideoDriver() {
    const char* v = std::getenv("PIXELDEMO_TEST_VIDEO");
    return v && *v ? v : "dummy";
}

class DisplayWindow : public ::testing::Test {
protected:
    void SetUp() override { SDL_setenv("SDL_VIDEODRIVER", testVideoDriver().c_str(), 1); }
    void TearDown() override { shutdownDisplay(); }
    void open(bool windowed, int depth) {
        setDisplayOptions({windowed, depth});
        ASSERT_EQ(initDisplay(), 1) << displayError();
        window = displayWindow();
        ASSERT_NE(window, nullptr);
    }
    // Sets the window's size and lets the renderer see it.
    void resize(int w, int h) {
        SDL_SetWindowSize(window, w, h);
        for (int i = 0; i < 50; ++i) {
            SDL_PumpEvents();
            int ow = 0, oh = 0;
            SDL_GetRendererOutputSize(SDL_GetRenderer(window), &ow, &oh);
            if (ow == w && oh == h) return;
            SDL_Delay(10);
        }
        FAIL() << "the window did not take the size " << w << "x" << h;
    }
    SDL_Window* window = nullptr;
};

TEST_F(DisplayWindow, EveryFramePixelComesOutTheSameSize) {
    if (testVideoDriver() != "dummy") GTEST_SKIP() << "windowed sizes are checked on the dummy driver";
    struct Case { int w, h, depth; } cases[] = {
        {640, 480, 32}, {1280, 960, 32}, {1440, 1080, 32}, {1600, 1200, 32},
        {960, 720, 32}, {1280, 1024, 32}, {1010, 700, 32},
        {1440, 1080, 16}, {960, 720, 24},   // the converters' textures feed the same passes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        open(true, c.depth);
        resize(c.w, c.h);
        checkWindowShowsLines(c.depth);
        shutdownDisplay();
    }
}

// A renderer that lost its device (SDL_RENDER_DEVICE_RESET: on Windows a driver reset, or
// a Direct3D 9 reset that failed) has lost every texture; the display makes them again and
// the next frames come out as before, through the direct and the enlarged path.
TEST_F(DisplayWindow, ShowsFramesAgainAfterTheDeviceIsReset) {
    if (testVideoDriver() != "dummy") GTEST_SKIP() << "checked on the dummy driver";
    for (const int w : {1280, 1440}) {
        SCOPED_TRACE(std::to_string(w) + " wide");
        open(true, 32);
        resize(w, w * 3 / 4);
        const std::vector<uint32_t> frame = linesFrame(true);
        ASSERT_EQ(presentFrame(frame.data()), 1);
        SDL_Event reset = {};
        reset.type = SDL_RENDER_DEVICE_RESET;
        ASSERT_EQ(SDL_PushEvent(&reset), 1);
        ASSERT_EQ(presentFrame(frame.data()), 1);   // handles the event, then draws
        checkWindowShowsLines(32);
        shutdownDisplay();
    }
}

// Full screen on the desktop of whatever display the end-to-end script started.
TEST_F(DisplayWindow, FullScreenOnTheDesktop) {
    if (testVideoDriver() == "dummy") GTEST_SKIP() << "needs a real display (tests/e2e/e2e_fullscreen.sh)";
    open(false, 32);
    SDL_Rect bounds;
    ASSERT_EQ(SDL_GetDisplayBounds(0, &bounds), 0);
    // The window covers the desktop once the server has mapped it.
    for (int i = 0; i < 100; ++i) {
        SDL_PumpEvents();
        int ow = 0, oh = 0;
        SDL_GetRendererOutputSize(SDL_GetRenderer(window), &ow, &oh);
        if (ow == bounds.w && oh == bounds.h) break;
        SDL_Delay(20);
    }
    std::printf("desktop %dx%d, renderer %s\n", bounds.w, bounds.h, [this] {
        SDL_RendererInfo info;
        SDL_GetRendererInfo(SDL_GetRenderer(window), &info);
        return info.name;
    }());
    checkWindowShowsLines(32);
}

// ---------------------------------------------------------------------------------------
// A hidden window.

// Milliseconds that `passes` runs of `body` take, on SDL's clock (the one the display
// waits by); the steady clock's count goes to the test's output as well.
double millisecondsOf(void (*body)(int), int passes) {
    const auto start = std::chrono::steady_clock::now();
    const Uint64 ticks = SDL_GetTicks64();
    body(passes);
    const double sdl = static_cast<double>(SDL_GetTicks64() - ticks);
    const double steady =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d passes: %.1f ms (steady clock %.1f ms)\n", passes, sdl, steady);
    return sdl;
}

// While nothing can be seen, a pass of the frame loop waits for events for about a frame
// instead of returning at once: 10 passes take at least 10 frames' time (the bound is from
// below only; a busy machine makes them longer, never shorter).
TEST_F(DisplayWindow, HiddenWindowWaitsAFrameAPassInsteadOfSpinning) {
    if (testVideoDriver() != "dummy") GTEST_SKIP();
    open(true, 32);
    static std::vector<uint32_t> frame(kWidth * kHeight, 0xFF204060u);
    EXPECT_FALSE(displayHidden());
    EXPECT_EQ(presentFrame(frame.data()), 1);

    SDL_HideWindow(window);
    EXPECT_TRUE(displayHidden());
    const double hidden = millisecondsOf([](int n) {
        for (int i = 0; i < n; ++i) EXPECT_TRUE(displayHidden());
    }, 10);
    EXPECT_GE(hidden, 10 * 15.0) << "displayHidden() returned without waiting";
    const double presenting = millisecondsOf([](int n) {
        for (int i = 0; i < n; ++i) EXPECT_EQ(presentFrame(frame.data()), 1);
    }, 10);
    EXPECT_GE(presenting, 10 * 15.0) << "presentFrame() of a hidden window returned at once";

    SDL_ShowWindow(window);
    EXPECT_FALSE(displayHidden());
    EXPECT_EQ(presentFrame(frame.data()), 1);
}

// Without a window (never opened, or shut down) there is nothing to wait for.
TEST(DisplayHidden, FalseWithoutAWindow) {
    shutdownDisplay();
    EXPECT_FALSE(displayHidden());
    std::vector<uint32_t> out;
    int w = 0, h = 0;
    const std::vector<uint32_t> frame(kWidth * kHeight, 0);
    EXPECT_FALSE(readBackFrame(frame.data(), &out, &w, &h));
}

}  // namespace
