// Pixel lettering and pixel art made by the asset tool: the font, the sprite and caption
// sources, the files they become under data/pixeldyr/, and the program's icon.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <iterator>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include "assets/image.h"
#include "tools/assetgen/generators.h"
#include "tools/assetgen/icon.h"
#include "tools/assetgen/pixelart.h"
#include "tools/assetgen/pixelfont.h"

namespace {

std::string glyphText(const char* header, const char* rows) {
    return std::string(header) + "\n" + rows + "\n";
}

// A two-glyph font: 'A' 3 wide with a descender row, '?' 1 wide.
const char* kTinyFont =
    "; tiny\n"
    "[A]\n"
    ".#.\n#.#\n###\n#.#\n#.#\n...\n...\n#..\n...\n"
    "\n"
    "[?]\n"
    "#\n#\n.\n#\n.\n.\n.\n.\n.\n";

PixelFont tinyFont() {
    PixelFont font;
    std::string error;
    EXPECT_TRUE(parsePixelFont(kTinyFont, &font, &error)) << error;
    return font;
}

std::string bitmapRows(const PixelBitmap& b) {
    std::string s;
    for (int y = 0; y < b.height; ++y) {
        for (int x = 0; x < b.width; ++x) s += pixelAt(b, x, y) ? '#' : '.';
        s += '\n';
    }
    return s;
}

}  // namespace

TEST(PixelFont, ShippedFontSitsOnOneBaseline) {
    PixelFont font;
    std::string error;
    ASSERT_TRUE(loadPixelFont(DEMO_SOURCE_DIR "/tools/assetgen/sources/pixelart/font.txt", &font, &error))
        << error;
    const std::string descenders = "gjpqy,";
    const std::string required =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 .,!?'-:/&+()";
    for (char c : required) {
        SCOPED_TRACE(std::string("glyph '") + c + "'");
        ASSERT_TRUE(font.present[static_cast<unsigned char>(c)]);
        const PixelGlyph& g = font.glyphs[static_cast<unsigned char>(c)];
        bool inkBelow = g.rows[kPixelFontAscent] || g.rows[kPixelFontAscent + 1];
        EXPECT_EQ(inkBelow, descenders.find(c) != std::string::npos);
        bool tall = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (tall) {  // capitals and digits fill the full capital height
            EXPECT_NE(g.rows[0], 0) << "top row empty";
            EXPECT_NE(g.rows[kPixelFontAscent - 1], 0) << "baseline row empty";
        }
        if (c >= 'a' && c <= 'z' && descenders.find(c) == std::string::npos) {
            EXPECT_NE(g.rows[kPixelFontAscent - 1], 0) << "lower case letter floats above the baseline";
        }
        // Every column of a letter or digit carries ink: no hidden side bearing.
        if (std::isalnum(static_cast<unsigned char>(c))) {
            for (int x = 0; x < g.width; ++x) {
                bool ink = false;
                for (int y = 0; y < kPixelFontHeight; ++y) ink = ink || pixelGlyphInk(g, x, y);
                EXPECT_TRUE(ink) << "empty column " << x;
            }
        }
    }
}

TEST(PixelFont, RejectsMalformedGridsWithTheLine) {
    const std::string nine = ".\n.\n.\n.\n.\n.\n.\n.\n.";
    struct Case { const char* name; std::string text; const char* lineTag; };
    const Case cases[] = {
        {"too few rows", glyphText("[A]", "#\n#\n#"), "line 1"},
        {"too few rows at end of file", "[A]\n" + nine + "\n\n[B]\n#\n", "line 12"},
        {"too many rows", glyphText("[A]", (nine + "\n#").c_str()), "line 11"},
        {"uneven row", glyphText("[A]", "##\n#\n.\n.\n.\n.\n.\n.\n."), "line 3"},
        {"too wide", glyphText("[A]", "#########"), "line 2"},
        {"row outside glyph", "#.#\n", "line 1"},
        {"stray character", glyphText("[A]", "#x#"), "line 2"},
        {"bad header", glyphText("[AB]", nine.c_str()), "line 1"},
        {"duplicate glyph", glyphText("[A]", nine.c_str()) + "\n" + glyphText("[A]", nine.c_str()), "line 12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PixelFont font = tinyFont();
        std::string error;
        EXPECT_FALSE(parsePixelFont(c.text, &font, &error));
        EXPECT_NE(error.find(c.lineTag), std::string::npos) << error;
        EXPECT_TRUE(font.present['A'] && font.present['?'] && font.glyphs['A'].width == 3)
            << "a failed parse must leave the font as it was";
    }
    PixelFont font;
    std::string error;
    EXPECT_FALSE(loadPixelFont("/nonexistent/font.txt", &font, &error));
    EXPECT_NE(error.find("/nonexistent/font.txt"), std::string::npos);
}

TEST(PixelFont, SetsTextWithSpacingFallbacksAndLines) {
    PixelFont font = tinyFont();
    struct Case { const char* text; int spacing; int width; };
    const Case widths[] = {
        {"", 1, 0}, {"A", 5, 3}, {"AA", 1, 7}, {"AA", 0, 6}, {"AA", -4, 6},
        {"a", 1, 3},          // lower case falls back to the capital
        {"A~", 2, 6},         // no glyph: drawn as '?'
        {"A\nAAA", 1, 3},     // one line only
    };
    for (const Case& c : widths)
        EXPECT_EQ(pixelTextWidth(font, c.text, c.spacing), c.width) << '"' << c.text << "\" spacing " << c.spacing;
    EXPECT_EQ(pixelTextWidth(font, nullptr, 1), 0);

    PixelBitmap b = renderPixelText(font, "A~\na", 1, 1);
    EXPECT_EQ(b.width, 5);
    EXPECT_EQ(b.height, 2 * kPixelFontHeight + 1);
    EXPECT_EQ(bitmapRows(b),
              ".#..#\n"
              "#.#.#\n"
              "###..\n"
              "#.#.#\n"
              "#.#..\n"
              ".....\n"
              ".....\n"
              "#....\n"
              ".....\n"
              ".....\n"   // line gap
              ".#...\n"
              "#.#..\n"
              "###..\n"
              "#.#..\n"
              "#.#..\n"
              ".....\n"
              ".....\n"
              "#....\n"
              ".....\n");
    EXPECT_FALSE(pixelAt(b, -1, 0));
    EXPECT_FALSE(pixelAt(b, 0, b.height));

    PixelBitmap empty = renderPixelText(font, "", 1);
    EXPECT_EQ(empty.width, 0);
    EXPECT_EQ(empty.height, kPixelFontHeight);
}

// ---- sprite and caption sources ----------------------------------------------------------

namespace {

namespace fs = std::filesystem;

// A scratch folder laid out like the asset tool's sources, with the real font.
struct SourcesFixture : ::testing::Test {
    fs::path root;
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("pixelart_test_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "sources/pixelart");
        fs::create_directories(root / "out/pixeldyr");
        fs::copy_file(DEMO_SOURCE_DIR "/tools/assetgen/sources/pixelart/font.txt",
                      root / "sources/pixelart/font.txt");
    }
    void TearDown() override { fs::remove_all(root); }
    std::string write(const std::string& name, const std::string& text) {
        fs::path path = root / "sources/pixelart" / name;
        std::ofstream(path) << text;
        return path.string();
    }
    GenContext context() const {
        return GenContext{(root / "out").string(), (root / "sources").string(), false};
    }
};

const char* kSetHeader =
    "scale 3\n"
    "outline k\n"
    "key . none\n"
    "key k #000000\n"
    "key r #ff0000\n"
    "key h #ff000080\n";

uint32_t pixel(const Image& image, int x, int y) { return image.pixels[y * image.width + x]; }

}  // namespace

TEST_F(SourcesFixture, PoseIsOutlinedThenScaledByWholeBlocks) {
    // A plus of red with one half-transparent cell; the outline takes the 4 neighbours only.
    std::string path = write("sprites_t.txt", std::string(kSetHeader) +
                                                  "[t0]\n"
                                                  ".r.\n"
                                                  "rhr\n"
                                                  ".r.\n");
    SpriteSet set = parseSpriteSet(path);
    ASSERT_EQ(set.poses.size(), 1u);
    Image* image = renderPose(set, set.poses[0]);
    ASSERT_EQ(image->width, 15);   // (3 + 2 outline cells) * 3
    ASSERT_EQ(image->height, 15);
    const char* expect[5] = {
        "..k..",
        ".krk.",
        "krhrk",
        ".krk.",
        "..k..",
    };
    for (int cy = 0; cy < 5; ++cy)
        for (int cx = 0; cx < 5; ++cx) {
            uint32_t want = expect[cy][cx] == 'k' ? 0xFF000000u
                          : expect[cy][cx] == 'r' ? 0xFFFF0000u
                          : expect[cy][cx] == 'h' ? 0x80FF0000u : 0u;
            for (int y = cy * 3; y < cy * 3 + 3; ++y)
                for (int x = cx * 3; x < cx * 3 + 3; ++x)
                    ASSERT_EQ(pixel(*image, x, y), want) << "cell " << cx << "," << cy;
        }
    freeImage(image);
}

TEST_F(SourcesFixture, PictureGridsMayDifferInSizeAndKeepTheirOutline) {
    // The pictures read their own sprites with the same reader; only creature sets must be
    // of one size.
    std::string path = write("creatures.txt", std::string(kSetHeader) + "[big]\nrrr\nrhr\n\n[dot]\nh\n");
    SpriteSet set = readSpriteGrids(path);
    ASSERT_EQ(set.poses.size(), 2u);
    PoseCells dot = poseCells(set, set.poses[1]);
    ASSERT_EQ(dot.width, 3);
    ASSERT_EQ(dot.height, 3);
    EXPECT_EQ(dot.argb, (std::vector<uint32_t>{0, 0xFF000000u, 0,
                                               0xFF000000u, 0x80FF0000u, 0xFF000000u,
                                               0, 0xFF000000u, 0}));
    EXPECT_EQ(poseCells(set, set.poses[0]).width, 5);
}

TEST_F(SourcesFixture, AdditiveSpriteIsOpaqueOverItsBackgroundWithAHalo) {
    std::string path = write("sprites_s.txt",
                             "scale 2\nbackground #000000\nglow 2 80\nkey . none\nkey w #ffffff\n"
                             "[s0]\n.....\n.....\n..w..\n.....\n.....\n");
    SpriteSet set = parseSpriteSet(path);
    Image* image = renderPose(set, set.poses[0]);
    ASSERT_EQ(image->width, 10);
    EXPECT_EQ(pixel(*image, 0, 0), 0xFF000000u) << "far corner stays black";
    EXPECT_EQ(pixel(*image, 4, 4), 0xFFFFFFFFu);
    uint32_t halo = pixel(*image, 3, 4);
    EXPECT_EQ(halo >> 24, 0xFFu);
    EXPECT_GT(halo & 0xFF, 0u) << "the halo lights the pixels beside the sprite";
    EXPECT_LT(halo & 0xFF, 0xFFu);
    freeImage(image);
}

TEST_F(SourcesFixture, BrokenSourcesStopTheToolNamingFileAndLine) {
    struct Case { const char* name; const char* file; std::string text; const char* message; };
    const std::string twoRows = "[p0]\nrr\nrr\n";
    const Case cases[] = {
        {"character not in the palette", "sprites_a.txt", std::string(kSetHeader) + "[p0]\nrr\nrz\n",
         "sprites_a.txt:9: character 'z' is not in the palette"},
        {"uneven rows", "sprites_a.txt", std::string(kSetHeader) + "[p0]\nrr\nrrr\n",
         "sprites_a.txt:9: rows of pose \\[p0\\] differ in width"},
        {"poses of different size", "sprites_a.txt", std::string(kSetHeader) + twoRows + "\n[p1]\nrr\n",
         "sprites_a.txt:11: pose \\[p1\\] differs in size"},
        {"pose too large", "sprites_a.txt", "scale 16\nkey r #ff0000\n[p0]\nrrrrrrrrrr\n",
         "sprites_a.txt:3: pose \\[p0\\] comes out 160x16, larger than 150x150"},
        {"unknown directive", "sprites_a.txt", "scael 3\n", "sprites_a.txt:1: unknown directive"},
        {"caption too long", "captions.txt", "[c]\nx 600\nfill #ffffff\ntext far too long for the edge\n",
         "captions.txt:1: caption \\[c\\] is .* even unscaled; it must fit 40x80"},
        {"caption without text", "captions.txt", "[c]\nx 10\nfill #ffffff\n", "captions.txt:1: caption \\[c\\] has no text"},
        {"a sprite is never made", "captions.txt", "", "no source makes pixeldyr/00.png"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(root / "sources/pixelart/sprites_a.txt");
        write("captions.txt", "");
        write(c.file, c.text);
        EXPECT_EXIT(generatePixelArt(context()), ::testing::ExitedWithCode(1), c.message);
    }
    // Two sources claiming the same file.
    write("captions.txt", "");
    write("sprites_a.txt", std::string(kSetHeader) + twoRows);
    write("sprites_b.txt", std::string(kSetHeader) + twoRows);
    EXPECT_EXIT(generatePixelArt(context()), ::testing::ExitedWithCode(1),
                "sprites_b.txt:7: \\[p0\\] is also made by .*sprites_a.txt");
}

// ---- the generated files -----------------------------------------------------------------

namespace {

struct Loaded {
    Image image{nullptr, 0, 0};
    std::string error;
    ~Loaded() { delete[] image.pixels; }
};

void loadData(const std::string& stem, Loaded* out) {
    std::string path = std::string(DEMO_DATA_DIR) + "/pixeldyr/" + stem + ".png";
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty() || !decodePng(bytes.data(), bytes.size(), &out->image, &out->error))
        out->error = path + ": " + (bytes.empty() ? "missing" : out->error);
}

// The largest block size s (up to 8) for which the picture is made of uniform s x s blocks:
// pixel art scaled up by a whole factor with hard edges.
int blockSize(const Image& image) {
    for (int s = 8; s > 1; --s) {
        if (image.width % s || image.height % s) continue;
        bool uniform = true;
        for (int y = 0; y < image.height && uniform; ++y)
            for (int x = 0; x < image.width && uniform; ++x)
                uniform = pixel(image, x, y) == pixel(image, x - x % s, y - y % s);
        if (uniform) return s;
    }
    return 1;
}

int luminance(uint32_t p) {
    return (((p >> 16) & 0xFF) * 299 + ((p >> 8) & 0xFF) * 587 + (p & 0xFF) * 114) / 1000;
}

}  // namespace

TEST(PixelArtFiles, CreatureSetsAreFiveDistinctPosesOfOneSizeThatFitTheirCorner) {
    struct Set { const char* stems[5]; int x, y; };
    // Where the scenes draw each set (a set drawn in two scenes lists its rightmost place).
    const Set sets[] = {
        {{"00", "01", "02", "03", "04"}, 450, 320},
        {{"a0", "a1", "a2", "a3", "a4"}, 480, 320},
        {{"05", "06", "07", "08", "09"}, 30, 320},
        {{"10", "11", "12", "13", "14"}, 20, 320},
        {{"b0", "b1", "b2", "b3", "b4"}, 480, 320},
        {{"b10", "b11", "b12", "b13", "b14"}, 20, 330},
    };
    for (const Set& set : sets) {
        SCOPED_TRACE(set.stems[0]);
        Loaded poses[5];
        for (int i = 0; i < 5; ++i) {
            loadData(set.stems[i], &poses[i]);
            ASSERT_TRUE(poses[i].error.empty()) << poses[i].error;
        }
        const Image& first = poses[0].image;
        EXPECT_LE(first.width, 150);
        EXPECT_LE(first.height, 150);
        EXPECT_LE(set.x + first.width, 640);
        EXPECT_LE(set.y + first.height, 480);
        std::set<std::vector<uint32_t>> distinct;
        for (int i = 0; i < 5; ++i) {
            const Image& im = poses[i].image;
            SCOPED_TRACE(set.stems[i]);
            ASSERT_EQ(im.width, first.width) << "the flicker draws every pose at one place";
            ASSERT_EQ(im.height, first.height);
            EXPECT_GE(blockSize(im), 3) << "hard-edged pixel art scaled by a whole factor";
            int opaque = 0, clear = 0;
            for (int p = 0; p < im.width * im.height; ++p) {
                opaque += (im.pixels[p] >> 24) == 0xFF;
                clear += (im.pixels[p] >> 24) == 0;
            }
            EXPECT_EQ(pixel(im, 0, 0) >> 24, 0u) << "transparent background";
            EXPECT_GT(opaque, im.width * im.height / 4) << "a creature, not a speck";
            EXPECT_GT(clear, im.width * im.height / 5);
            distinct.insert(std::vector<uint32_t>(im.pixels, im.pixels + im.width * im.height));
        }
        EXPECT_EQ(distinct.size(), 5u) << "five poses, no copies";
    }
}

TEST(PixelArtFiles, CaptionsFitBesideTheirXAndReadOverAnyBackground) {
    struct Caption { const char* stem; int x, baseY; };
    const Caption captions[] = {
        {"rendered", 220, 340}, {"foru", 180, 340}, {"cred1", 180, 340}, {"cred2", 180, 340},
        {"falling", 180, 350}, {"bit", 235, 350}, {"bit2", 235, 350}, {"greet", 170, 395},
    };
    for (const Caption& c : captions) {
        SCOPED_TRACE(c.stem);
        Loaded cap;
        loadData(c.stem, &cap);
        ASSERT_TRUE(cap.error.empty()) << cap.error;
        const Image& im = cap.image;
        EXPECT_LE(c.x + im.width, 640);
        EXPECT_LE(im.height, 80);
        EXPECT_LE(c.baseY + 7 + im.height, 480) << "stays on screen at the top of its bob";
        EXPECT_GE(blockSize(im), 2);
        int darkest = 255, lightest = 0, clear = 0;
        for (int p = 0; p < im.width * im.height; ++p) {
            clear += (im.pixels[p] >> 24) == 0;
            if ((im.pixels[p] >> 24) != 0xFF) continue;
            darkest = std::min(darkest, luminance(im.pixels[p]));
            lightest = std::max(lightest, luminance(im.pixels[p]));
        }
        EXPECT_GT(clear, im.width * im.height / 20) << "transparent around the letters, no backing box";
        EXPECT_LT(darkest, 40) << "a dark edge around the letters";
        EXPECT_GT(lightest, 150) << "light letters inside it";
    }
}

TEST(PixelArtFiles, TinySpritesGlowOnBlack) {
    for (const char* stem : {"pxl_s1", "pxl_s2", "pxl_s3"}) {
        SCOPED_TRACE(stem);
        Loaded s;
        loadData(stem, &s);
        ASSERT_TRUE(s.error.empty()) << s.error;
        const Image& im = s.image;
        EXPECT_GE(im.width, 12);
        EXPECT_LE(im.width, 24);
        EXPECT_GE(im.height, 12);
        EXPECT_LE(im.height, 24);
        int lit = 0;
        for (int p = 0; p < im.width * im.height; ++p) {
            EXPECT_EQ(im.pixels[p] >> 24, 0xFFu);
            lit += luminance(im.pixels[p]) > 128;
        }
        for (int corner : {0, im.width - 1, (im.height - 1) * im.width, im.width * im.height - 1})
            EXPECT_EQ(im.pixels[corner] & 0xFFFFFF, 0u) << "black counts as nothing when added";
        EXPECT_GE(lit, 8) << "something bright to add";
    }
}

// ---- The program's icon ----------------------------------------------------------------

namespace {

uint32_t le(const std::vector<uint8_t>& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b.at(at + i);
    return v;
}

// One picture of an .ico file, as the format says to read it.
Image* decodeIconPicture(const std::vector<uint8_t>& data, int size) {
    if (data.size() > 8 && data[0] == 0x89 && data[1] == 'P') {
        Image* image = new Image{nullptr, 0, 0};
        std::string error;
        EXPECT_TRUE(decodePng(data.data(), data.size(), image, &error)) << error;
        return image;
    }
    EXPECT_EQ(le(data, 0, 4), 40u);                     // BITMAPINFOHEADER
    EXPECT_EQ(le(data, 4, 4), static_cast<uint32_t>(size));
    EXPECT_EQ(le(data, 8, 4), static_cast<uint32_t>(2 * size));   // colours and mask
    EXPECT_EQ(le(data, 14, 2), 32u);
    const size_t maskStride = (size + 31) / 32 * 4;
    EXPECT_EQ(data.size(), 40 + size * size * 4 + maskStride * size);
    Image* image = newImage(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const int row = size - 1 - y;   // bottom row first
            const uint32_t argb = le(data, 40 + (row * size + x) * 4, 4);
            const bool masked = data.at(40 + size * size * 4 + row * maskStride + x / 8) & (0x80 >> (x % 8));
            EXPECT_EQ(masked, (argb >> 24) == 0) << "mask at " << x << "," << y;
            image->pixels[y * size + x] = argb;
        }
    return image;
}

}  // namespace

TEST(Icon, PictureIsTheCellsInWholeBlocksCentredOnTransparency) {
    // 2 x 3 cells in 16 pixels: blocks of 5 (16 / 3), 3 pixels left and right, 0 and 1 above
    // and below.
    PoseCells cells{2, 3, {0xFF000001, 0xFF000002, 0xFF000003, 0x00000000, 0xFF000005, 0x80000006}};
    Image* picture = iconPicture(cells, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const bool inside = x >= 3 && x < 13 && y < 15;
            const uint32_t want = inside ? cells.argb[(y / 5) * 2 + (x - 3) / 5] : 0u;
            ASSERT_EQ(pixel(*picture, x, y), want) << x << "," << y;
        }
    freeImage(picture);
}

TEST(Icon, FileHoldsBlipAtEachSizeAsWindowsReadsIt) {
    const fs::path file = fs::temp_directory_path() / ("icon_test_" + std::to_string(::getpid()) + ".ico");
    generateIcon(DEMO_SOURCE_DIR "/tools/assetgen/sources", file.string());
    std::ifstream in(file, std::ios::binary);
    const std::vector<uint8_t> ico((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    fs::remove(file);
    ASSERT_GE(ico.size(), 6u);
    EXPECT_EQ(le(ico, 0, 2), 0u);
    EXPECT_EQ(le(ico, 2, 2), 1u);   // an icon, not a cursor
    ASSERT_EQ(le(ico, 4, 2), std::size(kIconSizes));

    const SpriteSet set = readSpriteGrids(DEMO_SOURCE_DIR "/tools/assetgen/sources/pictures/creatures.txt");
    const auto blip = std::find_if(set.poses.begin(), set.poses.end(),
                                   [](const Pose& pose) { return pose.name == "blip"; });
    ASSERT_NE(blip, set.poses.end());
    const PoseCells cells = poseCells(set, *blip);
    size_t end = 6 + 16 * std::size(kIconSizes);
    for (size_t i = 0; i < std::size(kIconSizes); ++i) {
        const int size = kIconSizes[i];
        SCOPED_TRACE(size);
        const size_t entry = 6 + 16 * i;
        EXPECT_EQ(ico[entry], size == 256 ? 0 : size);       // 0 stands for 256
        EXPECT_EQ(ico[entry + 1], size == 256 ? 0 : size);
        EXPECT_EQ(le(ico, entry + 6, 2), 32u);
        const uint32_t length = le(ico, entry + 8, 4), offset = le(ico, entry + 12, 4);
        EXPECT_EQ(offset, end) << "the pictures follow each other";
        ASSERT_LE(offset + length, ico.size());
        end = offset + length;
        const std::vector<uint8_t> data(ico.begin() + offset, ico.begin() + offset + length);
        EXPECT_EQ(data[0] == 0x89, size > 48) << "PNG above 48 pixels, bitmaps up to it";
        Image* decoded = decodeIconPicture(data, size);
        Image* expected = iconPicture(cells, size);
        ASSERT_EQ(decoded->width, size);
        ASSERT_EQ(decoded->height, size);
        EXPECT_TRUE(std::equal(decoded->pixels, decoded->pixels + size * size, expected->pixels));
        // Blip fills the height at a whole factor: 16 rows of cells.
        EXPECT_EQ(cells.height * (size / cells.height), size);
        freeImage(decoded);
        freeImage(expected);
    }
    EXPECT_EQ(end, ico.size());
}
