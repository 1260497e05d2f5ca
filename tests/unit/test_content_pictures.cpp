// Every PNG that a scene loads must exist in the build's data/ folder in the form the engine
// relies on: an 8-bit RGB or RGBA file the loader accepts, of the size and transparency its
// use needs (screen-sized copies opaque, overlays mostly clear, textures 256x256, sprites
// and captions small enough to stay on screen where they are drawn).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "assets/image.h"
#include "gfx2d/blit.h"

namespace {

enum class Kind {
    Opaque,    // every pixel alpha 255; exact size when w > 0
    Texture,   // opaque 256x256 (the rasteriser addresses 256x256 levels)
    Overlay,   // 640x480 RGBA, at least half of it fully transparent
    Frame,     // an overlay whose bars cover rows 0..29 and 430..479 and whose band is clear
    Clear,     // RGBA of exact size (when w > 0) with a fully transparent border
    Alpha,     // RGBA, any size
    Strip,     // a wide RGBA strip of grass: clear sky along the top, grass along the bottom
    Dot,       // RGBA, a bright opaque centre, a margin that leaves the picture unchanged
    Any,       // loaded but never shown: only has to load
    Tiny,      // additive pixel sprite of about 12..24 pixels a side
    Sprite,    // RGBA, at most 150x150, fits on screen when drawn at (x, y)
    Caption,   // RGBA, at most 80 high, fits on screen when drawn at x
};

struct Case {
    const char* path;  // under data/
    Kind kind;
    int w, h;          // Opaque/Clear: exact size; Sprite: drawing position; Caption: w = x
};

// The PNG paths the seven scenes load, with the strictest use of each.
const Case kCases[] = {
    {"loading.png", Kind::Opaque, 640, 480},
    {"logo.png", Kind::Clear, 640, 480},
    {"glow.png", Kind::Alpha, 0, 0},
    {"glow2.png", Kind::Alpha, 0, 0},
    {"white.png", Kind::Opaque, 256, 256},
    {"black.png", Kind::Texture, 256, 256},
    {"background.png", Kind::Opaque, 0, 0},
    {"gress.png", Kind::Strip, 0, 0},
    {"gress2.png", Kind::Strip, 0, 0},
    {"gress3.png", Kind::Strip, 0, 0},
    {"vann.png", Kind::Any, 0, 0},
    {"colorenv2.png", Kind::Texture, 256, 256},
    {"s.png", Kind::Overlay, 640, 480},
    {"pixeldyr/pxl_s1.png", Kind::Tiny, 0, 0},
    {"pixeldyr/pxl_s2.png", Kind::Tiny, 0, 0},
    {"pixeldyr/pxl_s3.png", Kind::Tiny, 0, 0},
    {"bluenv.png", Kind::Texture, 256, 256},
    {"lolbg.png", Kind::Opaque, 640, 480},
    {"striper.png", Kind::Overlay, 640, 480},
    {"frame2.png", Kind::Frame, 640, 480},
    {"pixeldyr/rendered.png", Kind::Caption, 220, 0},
    {"pixeldyr/foru.png", Kind::Caption, 180, 0},
    {"red.png", Kind::Clear, 640, 480},
    {"bronze.png", Kind::Texture, 256, 256},
    {"pixeldyr/cred1.png", Kind::Caption, 180, 0},
    {"pixeldyr/cred2.png", Kind::Caption, 180, 0},
    {"frame.png", Kind::Frame, 640, 480},
    {"rainbow.png", Kind::Texture, 256, 256},
    {"blokk.png", Kind::Texture, 256, 256},
    {"pixeldyr/falling.png", Kind::Caption, 180, 0},
    {"pixeldyr/bit.png", Kind::Caption, 235, 0},
    {"pixeldyr/bit2.png", Kind::Caption, 235, 0},
    {"pixeldyr/greet.png", Kind::Caption, 170, 0},
    {"girl.png", Kind::Opaque, 640, 480},
    {"creatures.png", Kind::Opaque, 640, 480},
    {"hand.png", Kind::Overlay, 640, 480},
    {"dot.png", Kind::Dot, 0, 0},
    // Sprite sets, each at the right-most and lowest place a scene draws it.
    {"pixeldyr/00.png", Kind::Sprite, 450, 320}, {"pixeldyr/01.png", Kind::Sprite, 450, 320},
    {"pixeldyr/02.png", Kind::Sprite, 450, 320}, {"pixeldyr/03.png", Kind::Sprite, 450, 320},
    {"pixeldyr/04.png", Kind::Sprite, 450, 320},
    {"pixeldyr/a0.png", Kind::Sprite, 480, 320}, {"pixeldyr/a1.png", Kind::Sprite, 480, 320},
    {"pixeldyr/a2.png", Kind::Sprite, 480, 320}, {"pixeldyr/a3.png", Kind::Sprite, 480, 320},
    {"pixeldyr/a4.png", Kind::Sprite, 480, 320},
    {"pixeldyr/05.png", Kind::Sprite, 30, 320}, {"pixeldyr/06.png", Kind::Sprite, 30, 320},
    {"pixeldyr/07.png", Kind::Sprite, 30, 320}, {"pixeldyr/08.png", Kind::Sprite, 30, 320},
    {"pixeldyr/09.png", Kind::Sprite, 30, 320},
    {"pixeldyr/10.png", Kind::Sprite, 20, 320}, {"pixeldyr/11.png", Kind::Sprite, 20, 320},
    {"pixeldyr/12.png", Kind::Sprite, 20, 320}, {"pixeldyr/13.png", Kind::Sprite, 20, 320},
    {"pixeldyr/14.png", Kind::Sprite, 20, 320},
    {"pixeldyr/b0.png", Kind::Sprite, 480, 320}, {"pixeldyr/b1.png", Kind::Sprite, 480, 320},
    {"pixeldyr/b2.png", Kind::Sprite, 480, 320}, {"pixeldyr/b3.png", Kind::Sprite, 480, 320},
    {"pixeldyr/b4.png", Kind::Sprite, 480, 320},
    {"pixeldyr/b10.png", Kind::Sprite, 20, 330}, {"pixeldyr/b11.png", Kind::Sprite, 20, 330},
    {"pixeldyr/b12.png", Kind::Sprite, 20, 330}, {"pixeldyr/b13.png", Kind::Sprite, 20, 330},
    {"pixeldyr/b14.png", Kind::Sprite, 20, 330},
};

uint32_t be32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

struct Picture {
    int width = 0, height = 0;
    const uint32_t* pixels = nullptr;
    int alpha(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x] >> 24; }
    int luma(int x, int y) const {
        uint32_t p = pixels[static_cast<size_t>(y) * width + x];
        return (((p >> 16) & 255) * 3 + ((p >> 8) & 255) * 6 + (p & 255)) / 10;
    }
    double share(int minAlpha, int maxAlpha) const {  // fraction of pixels with alpha in range
        size_t n = 0, total = static_cast<size_t>(width) * height;
        for (size_t i = 0; i < total; ++i) {
            int a = pixels[i] >> 24;
            n += a >= minAlpha && a <= maxAlpha;
        }
        return total ? static_cast<double>(n) / total : 0;
    }
    double borderClearShare() const {  // fraction of the outermost pixels that are fully clear
        size_t n = 0, total = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (x == 0 || y == 0 || x == width - 1 || y == height - 1) {
                    ++total;
                    n += alpha(x, y) == 0;
                }
        return total ? static_cast<double>(n) / total : 0;
    }
    int rowMaxAlpha(int y) const {
        int m = 0;
        for (int x = 0; x < width; ++x) m = std::max(m, alpha(x, y));
        return m;
    }
};

TEST(ContentPictures, EveryLoadedPictureIsFitForItsUse) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.path);
        std::ifstream in(std::string(DEMO_DATA_DIR) + "/" + c.path, std::ios::binary);
        ASSERT_TRUE(in.good()) << "missing";
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_GE(bytes.size(), 33u);
        const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        ASSERT_TRUE(std::equal(signature, signature + 8, bytes.begin())) << "not a PNG";
        ASSERT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "IHDR");
        EXPECT_EQ(bytes[24], 8) << "bit depth";
        const int colourType = bytes[25];
        ASSERT_TRUE(colourType == 2 || colourType == 6) << "colour type " << colourType << " (want RGB or RGBA)";
        const bool hasAlpha = colourType == 6;

        Image image{nullptr, 0, 0};
        std::string error;
        ASSERT_TRUE(decodePng(bytes.data(), bytes.size(), &image, &error)) << error;
        Picture p{image.width, image.height, image.pixels};
        EXPECT_EQ(static_cast<uint32_t>(p.width), be32(bytes, 16));
        EXPECT_EQ(static_cast<uint32_t>(p.height), be32(bytes, 20));
        const int W = p.width, H = p.height;

        switch (c.kind) {
            case Kind::Texture:
            case Kind::Opaque:
                if (c.w > 0) {
                    EXPECT_EQ(W, c.w);
                    EXPECT_EQ(H, c.h);
                }
                EXPECT_EQ(p.share(255, 255), 1.0) << "must be fully opaque";
                break;
            case Kind::Overlay:
            case Kind::Frame:
                EXPECT_TRUE(hasAlpha);
                EXPECT_EQ(W, 640);
                EXPECT_EQ(H, 480);
                EXPECT_GE(p.share(0, 0), 0.5) << "an overlay must leave most of the picture clear";
                if (c.kind == Kind::Frame && W == 640 && H == 480) {
                    for (int y : {0, 15, 29, 430, 455, 479}) EXPECT_GE(p.alpha(320, y), 200) << "bar row " << y;
                    for (int y = 60; y < 400; y += 10)
                        for (int x = 40; x < 600; x += 10) ASSERT_EQ(p.alpha(x, y), 0) << "band at " << x << "," << y;
                }
                break;
            case Kind::Clear:
                EXPECT_TRUE(hasAlpha);
                if (c.w > 0) {
                    EXPECT_EQ(W, c.w);
                    EXPECT_EQ(H, c.h);
                }
                if (std::string(c.path) == "logo.png") {
                    for (int x = 0; x < W; ++x) EXPECT_EQ(p.alpha(x, 0) + p.alpha(x, H - 1), 0) << "column " << x;
                    for (int y = 0; y < H; ++y) EXPECT_EQ(p.alpha(0, y) + p.alpha(W - 1, y), 0) << "row " << y;
                    EXPECT_GE(p.share(255, 255), 0.05) << "the logo itself must be solid";
                }
                break;
            case Kind::Alpha:
                EXPECT_TRUE(hasAlpha);
                break;
            case Kind::Strip:
                EXPECT_TRUE(hasAlpha);
                EXPECT_GE(W, 2 * H) << "a strip is wide";
                EXPECT_EQ(p.rowMaxAlpha(0), 0) << "the sky above the grass must be clear";
                EXPECT_GE(p.share(255, 255), 0.2) << "the grass itself must be solid";
                EXPECT_EQ(p.rowMaxAlpha(H - 1), 255);
                break;
            case Kind::Dot:
                EXPECT_TRUE(hasAlpha);
                EXPECT_GE(W, 16);
                EXPECT_LE(W, 128);
                EXPECT_EQ(W, H);
                // The trail draws up to thirty overlapping copies additively: the margin of
                // the dot's square must not darken or brighten a night sky (channels up to
                // 127) at the opacities of all but the faintest copies.
                for (int corner = 0; corner < 4; ++corner) {
                    int x = corner & 1 ? W - 1 : 0, y = corner & 2 ? H - 1 : 0;
                    EXPECT_LE(p.alpha(x, y), 8) << "corner " << corner;
                    for (int opacity : {60, 100, 150})
                        for (uint32_t sky : {0xFF000000u, 0xFF101830u, 0xFF305a7fu}) {
                            uint32_t d = sky;
                            blendAdd(&d, p.pixels[static_cast<size_t>(y) * W + x], opacity);
                            EXPECT_EQ(d, sky) << "corner " << corner << " at opacity " << opacity;
                        }
                }
                EXPECT_GE(p.alpha(W / 2, H / 2), 200);
                EXPECT_GE(p.luma(W / 2, H / 2), 200) << "the dot must be bright in the middle";
                EXPECT_LT(p.alpha(W / 2, H / 8), p.alpha(W / 2, H / 4)) << "alpha must fall off outwards";
                break;
            case Kind::Any:
                break;
            case Kind::Tiny:
                EXPECT_GE(W, 8);
                EXPECT_LE(W, 32);
                EXPECT_GE(H, 8);
                EXPECT_LE(H, 32);
                break;
            case Kind::Sprite:
                EXPECT_TRUE(hasAlpha);
                EXPECT_LE(W, 150);
                EXPECT_LE(H, 150);
                EXPECT_LE(c.w + W, 640) << "runs off the right edge";
                EXPECT_LE(c.h + H, 480) << "runs off the bottom";
                EXPECT_GE(p.borderClearShare(), 0.5) << "a sprite stands on a transparent background";
                break;
            case Kind::Caption:
                EXPECT_TRUE(hasAlpha);
                EXPECT_LE(W, 640 - c.w) << "runs off the right edge";
                EXPECT_LE(H, 80);
                // Captions are cropped to their lettering, so only ask for see-through gaps.
                EXPECT_GE(p.share(0, 0), 0.05) << "a caption stands on a transparent background";
                break;
        }
        delete[] image.pixels;
    }
}

}  // namespace
