// The capture's fast PNG settings and its encoder threads: fast files read back exactly
// like standard ones, and frames encoded side by side each land in their own file.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "assets/image.h"
#include "exporters/capture.h"

namespace fs = std::filesystem;

namespace {

struct TempDir {
    fs::path path;
    TempDir() {
        path = fs::temp_directory_path() / ("pixeldemo_capture_png_" + std::to_string(::getpid()));
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
};

Image* noise(int32_t w, int32_t h, uint32_t seed) {
    Image* image = newImage(w, h);
    std::mt19937 gen(seed);
    for (int32_t i = 0; i < w * h; ++i) {
        // Runs and noise mixed, so the run-length coder meets both.
        image->pixels[i] = (i % 7 < 3 && i > 0) ? image->pixels[i - 1] : gen();
    }
    return image;
}

}  // namespace

TEST(CapturePng, FastCompressionReadsBackExactly) {
    TempDir dir;
    const struct { int32_t w, h; } sizes[] = {{1, 1}, {37, 5}, {640, 48}};
    for (const auto& size : sizes)
        for (bool alpha : {false, true}) {
            Image* image = noise(size.w, size.h, static_cast<uint32_t>(size.w * 3 + alpha));
            const std::string path = (dir.path / "f.png").string();
            std::string error;
            ASSERT_TRUE(writePng(path.c_str(), *image, alpha, PngCompression::fast, &error)) << error;
            Image* back = loadImage(path.c_str());
            ASSERT_EQ(back->width, size.w);
            ASSERT_EQ(back->height, size.h);
            for (int32_t i = 0; i < size.w * size.h; ++i) {
                const uint32_t want = alpha ? image->pixels[i] : (image->pixels[i] | 0xFF000000u);
                ASSERT_EQ(back->pixels[i], want) << size.w << "x" << size.h << " pixel " << i;
            }
            freeImage(back);
            freeImage(image);
        }
}

// More frames than buffers, encoded by as many threads as there are cores: every file holds
// exactly the frame queued under its name.
TEST(CapturePng, EncoderThreadsKeepEveryFrameApart) {
    TempDir dir;
    constexpr int kFrames = 24;
    FrameWriter* writer = startFrameWriter(64, 16, 4);
    std::string error;
    for (int n = 1; n <= kFrames; ++n) {
        Image* frame = noise(64, 16, static_cast<uint32_t>(n));
        ASSERT_TRUE(queueFrame(writer, *frame, captureFramePath(dir.path.string(), n), &error));
        freeImage(frame);
    }
    ASSERT_TRUE(finishFrameWriter(writer, &error)) << error;
    for (int n = 1; n <= kFrames; ++n) {
        Image* want = noise(64, 16, static_cast<uint32_t>(n));
        Image* back = loadImage(captureFramePath(dir.path.string(), n).c_str());
        ASSERT_EQ(back->width, 64);
        for (int32_t i = 0; i < 64 * 16; ++i)
            ASSERT_EQ(back->pixels[i], want->pixels[i] | 0xFF000000u) << "frame " << n << " pixel " << i;
        freeImage(back);
        freeImage(want);
    }
}
