// What --capture writes: frame files through the writer thread and the contact sheet.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "assets/image.h"
#include "exporters/capture.h"
#include "app/loading.h"
#include "gfx2d/tinyfont.h"

namespace fs = std::filesystem;

namespace {

struct TempDir {
    fs::path path;
    TempDir() {
        path = fs::temp_directory_path() /
               ("pixeldemo_capture_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
};

Image* solid(int w, int h, uint32_t color) {
    Image* image = newImage(w, h);
    for (int i = 0; i < w * h; ++i) image->pixels[i] = color;
    return image;
}

Image readBack(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    Image image{nullptr, 0, 0};
    std::string error;
    EXPECT_TRUE(decodePng(bytes.data(), bytes.size(), &image, &error)) << path << ": " << error;
    return image;
}

}  // namespace

TEST(Capture, FramePaths) {
    EXPECT_EQ(captureFramePath("/tmp/c", 1), "/tmp/c/frame_000001.png");
    EXPECT_EQ(captureFramePath("/tmp/c/", 123456), "/tmp/c/frame_123456.png");
    EXPECT_EQ(captureFramePath("out", 1234567), "out/frame_1234567.png");
}

// More frames than buffers: the writer must reuse buffers only after they are written, so
// every file holds its own frame.
TEST(Capture, WriterKeepsEveryFrameApart) {
    TempDir dir;
    FrameWriter* writer = startFrameWriter(8, 4, 2);
    std::string error;
    for (int n = 1; n <= 7; ++n) {
        Image* frame = solid(8, 4, 0xFF000000u | static_cast<uint32_t>(n * 30));
        ASSERT_TRUE(queueFrame(writer, *frame, captureFramePath(dir.path.string(), n), &error));
        freeImage(frame);   // the writer keeps its own copy
    }
    ASSERT_TRUE(finishFrameWriter(writer, &error)) << error;
    for (int n = 1; n <= 7; ++n) {
        Image back = readBack(captureFramePath(dir.path.string(), n));
        ASSERT_EQ(back.width, 8);
        ASSERT_EQ(back.height, 4);
        EXPECT_EQ(back.pixels[0], 0xFF000000u | static_cast<uint32_t>(n * 30)) << n;
        delete[] back.pixels;
    }
}

TEST(Capture, WriteFailureIsReported) {
    FrameWriter* writer = startFrameWriter(4, 4, 1);
    Image* frame = solid(4, 4, 0xFF112233);
    std::string error;
    EXPECT_TRUE(queueFrame(writer, *frame, "/nonexistent_dir_for_pixeldemo/f.png", &error));
    EXPECT_FALSE(finishFrameWriter(writer, &error));
    EXPECT_FALSE(error.empty());
    freeImage(frame);
}

// Thumbnails go in time order, left to right then down, with a label under each.
TEST(ContactSheet, ThumbnailsInOrderWithLabels) {
    const uint32_t colors[5] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00, 0xFF00FFFF};
    ContactSheet* sheet = newContactSheet(5, 640, 480);
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->thumbWidth, 160);
    EXPECT_EQ(sheet->thumbHeight, 120);
    EXPECT_GE(sheet->columns * sheet->cellWidth, 2 * sheet->cellWidth);
    for (int i = 0; i < 5; ++i) {
        Image* frame = solid(640, 480, colors[i]);
        addToContactSheet(sheet, *frame, 0.5f * (i + 1));
        freeImage(frame);
    }
    Image* extra = solid(640, 480, 0xFFFFFFFF);
    addToContactSheet(sheet, *extra, 9.0f);   // beyond capacity: ignored
    freeImage(extra);
    EXPECT_EQ(sheet->count, 5);

    const Image* img = sheet->image;
    for (int i = 0; i < 5; ++i) {
        const int x0 = 2 + (i % sheet->columns) * sheet->cellWidth;
        const int y0 = 2 + (i / sheet->columns) * sheet->cellHeight;
        const uint32_t centre = img->pixels[(y0 + 60) * img->width + x0 + 80];
        EXPECT_EQ(centre, colors[i]) << i;
        // Some white label pixels sit under the thumbnail.
        int labelPixels = 0;
        for (int y = y0 + 120; y < y0 + sheet->cellHeight - 2; ++y)
            for (int x = x0; x < x0 + 160; ++x)
                labelPixels += img->pixels[y * img->width + x] == 0xFFFFFFFF ? 1 : 0;
        EXPECT_GT(labelPixels, 20) << i;
    }
    freeContactSheet(sheet);
}

TEST(ContactSheet, SizeStaysBoundedAndRefusesTheAbsurd) {
    // A whole run at 60 frames a second still fits, with smaller thumbnails.
    ContactSheet* sheet = newContactSheet(8941, 640, 480);
    ASSERT_NE(sheet, nullptr);
    EXPECT_LT(sheet->thumbWidth, 160);
    EXPECT_LE(int64_t{sheet->image->width} * sheet->image->height, kMaxSheetPixels);
    EXPECT_GE(int64_t{sheet->columns} *
                  ((sheet->image->height - 2) / sheet->cellHeight),
              8941);
    freeContactSheet(sheet);
    EXPECT_EQ(newContactSheet(10000000, 640, 480), nullptr);
    EXPECT_EQ(newContactSheet(0, 640, 480), nullptr);
}

TEST(TinyFont, DrawsKnownGlyphsAndClips) {
    Image* image = solid(16, 8, 0);
    EXPECT_EQ(tinyTextWidth("t=1", 1), 11);
    EXPECT_EQ(tinyTextWidth("", 2), 0);
    drawTinyText(image, 0, 0, "1", 0xFFFFFFFF, 1);
    // The "1" glyph: ".#." on its first row, "###" on its last.
    EXPECT_EQ(image->pixels[0 * 16 + 0], 0u);
    EXPECT_EQ(image->pixels[0 * 16 + 1], 0xFFFFFFFFu);
    EXPECT_EQ(image->pixels[4 * 16 + 0], 0xFFFFFFFFu);
    EXPECT_EQ(image->pixels[4 * 16 + 2], 0xFFFFFFFFu);
    // Partly outside on every side: must not write out of bounds (checked by sanitizers).
    drawTinyText(image, -5, -3, "88888", 0xFF00FF00, 2);
    drawTinyText(image, 14, 6, "888", 0xFF00FF00, 3);
    freeImage(image);
}

// Every character the sheet and the plots label with draws a glyph of its own (a
// character missing from the table would silently print as a gap); others stay blank.
TEST(TinyFont, EveryKnownCharacterHasItsOwnGlyph) {
    struct Case { const char* chars; bool drawn; } cases[] = {
        {"0123456789.-=:>/%st", true},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", true},
        {" ?az", false},
    };
    std::vector<std::vector<uint32_t>> glyphs;
    for (const Case& c : cases) {
        for (const char* p = c.chars; *p; ++p) {
            SCOPED_TRACE(std::string(1, *p));
            Image* cell = solid(kTinyGlyphWidth, kTinyGlyphHeight, 0);
            const char text[2] = {*p, 0};
            drawTinyText(cell, 0, 0, text, 0xFFFFFFFF, 1);
            const std::vector<uint32_t> pixels(cell->pixels,
                                               cell->pixels + kTinyGlyphWidth * kTinyGlyphHeight);
            freeImage(cell);
            const bool blank = pixels == std::vector<uint32_t>(pixels.size(), 0u);
            EXPECT_EQ(!blank, c.drawn);
            if (blank) continue;
            EXPECT_EQ(std::count(glyphs.begin(), glyphs.end(), pixels), 0) << "same glyph as another";
            glyphs.push_back(pixels);
        }
    }
}

// A loading picture of another size is scaled to the screen, never read past its end.
TEST(LoadingPicture, OtherSizesAreScaledToTheScreen) {
    Image* exact = solid(640, 480, 0xFF102030);
    EXPECT_EQ(fitToScreen(exact), exact);
    freeImage(exact);

    struct Case { int w, h; } cases[] = {{320, 240}, {2, 2}, {1000, 100}};
    for (const Case& c : cases) {
        // Left half red, right half blue.
        Image* small = newImage(c.w, c.h);
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x)
                small->pixels[y * c.w + x] = x < c.w / 2 ? 0xFFFF0000 : 0xFF0000FF;
        Image* fitted = fitToScreen(small);
        ASSERT_NE(fitted, small);
        ASSERT_EQ(fitted->width, 640);
        ASSERT_EQ(fitted->height, 480);
        EXPECT_EQ(fitted->pixels[0], 0xFFFF0000u) << c.w;
        EXPECT_EQ(fitted->pixels[479 * 640 + 639], 0xFF0000FFu) << c.w;
        EXPECT_EQ(fitted->pixels[240 * 640 + 100], 0xFFFF0000u) << c.w;
        EXPECT_EQ(fitted->pixels[240 * 640 + 540], 0xFF0000FFu) << c.w;
        freeImage(fitted);
        freeImage(small);
    }
}
