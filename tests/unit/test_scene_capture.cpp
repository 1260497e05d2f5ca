// The first and last scenes as the demo itself renders them: frames written by
// `pixeldemo --capture DIR --fps N --from A --to B`, where frame n shows t = n / N.
// The intro runs at 100 frames a second; the close at 10, since a capture renders every
// scene from the start and the result does not depend on the frame rate.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "assets/image.h"
#include "gfx2d/blit.h"

namespace fs = std::filesystem;

namespace {

// Captures frames from..to into a fresh folder and reads them back on request.
struct Capture {
    fs::path dir;

    Capture(int fps, const char* from, const char* to) {
        dir = fs::temp_directory_path() /
              ("pixeldemo_scenes_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        const std::string command = std::string("'") + DEMO_BINARY_DIR + "/pixeldemo' --capture '" +
                                    dir.string() + "' --fps " + std::to_string(fps) + " --from " +
                                    from + " --to " + to + " >/dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
    }
    ~Capture() { fs::remove_all(dir); }

    // Frame n, colour bytes only (the files carry no alpha). Empty when unreadable.
    std::vector<uint32_t> frame(int n) const {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%06d.png", n);
        std::ifstream in(dir / name, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        Image image{nullptr, 0, 0};
        std::string error;
        if (!decodePng(bytes.data(), bytes.size(), &image, &error)) {
            ADD_FAILURE() << name << ": " << error;
            return {};
        }
        std::vector<uint32_t> pixels(image.pixels, image.pixels + image.width * image.height);
        for (uint32_t& p : pixels) p &= 0xFFFFFF;
        delete[] image.pixels;
        return pixels;
    }
};

// data/black.png scaled to the screen, colour bytes only.
std::vector<uint32_t> blackBackground() {
    Image* black = loadImage(DEMO_DATA_DIR "/black.png");
    Image* screenSized = newImage(640, 480);
    stretchCopy(black, screenSized, 0, 640, 480);
    std::vector<uint32_t> pixels(screenSized->pixels, screenSized->pixels + 640 * 480);
    for (uint32_t& p : pixels) p &= 0xFFFFFF;
    freeImage(black);
    freeImage(screenSized);
    return pixels;
}

}  // namespace

TEST(Scene1Capture, BetweenTheFlashesTheBlackBackgroundAlone) {
    Capture capture(100, "6.25", "6.25");
    const std::vector<uint32_t> frame = capture.frame(625);
    ASSERT_EQ(frame.size(), 640u * 480u);
    EXPECT_TRUE(frame == blackBackground()) << "t = 6.25 shows more than the black background";
}

TEST(Scene1Capture, AtTwelveNoSceneDrawsAndThePreviousFrameStays) {
    Capture capture(100, "11.99", "12");
    const std::vector<uint32_t> before = capture.frame(1199);
    const std::vector<uint32_t> atTwelve = capture.frame(1200);
    ASSERT_EQ(before.size(), 640u * 480u);
    EXPECT_TRUE(atTwelve == before) << "frame at t = 12 differs from the one at 11.99";
    // And 11.99 is the almost-white end of the fade (white at opacity 253).
    EXPECT_TRUE(before != blackBackground());
    int dark = 0;
    for (uint32_t p : before) dark += (p & 0xFF) < 250;
    EXPECT_EQ(dark, 0);
}

TEST(Scene7Capture, BlackFrom145AndTheLastFrameStaysAfter146) {
    Capture capture(10, "145.1", "146");
    const std::vector<uint32_t> black = blackBackground();
    for (int n = 1451; n <= 1459; ++n) {
        const std::vector<uint32_t> frame = capture.frame(n);
        ASSERT_EQ(frame.size(), 640u * 480u) << "frame " << n;
        EXPECT_TRUE(frame == black) << "t = " << n / 10.0 << " is not entirely black";
    }
    EXPECT_TRUE(capture.frame(1460) == capture.frame(1459)) << "t = 146 drew something";
}
