// PNG decoding, the process-ending loader, half-size copies, mip chains and PNG writing.
// Every fixture is encoded with libpng (tests/unit/png_encode.h) in the colour type the case needs.
#include "assets/image.h"

#include <gtest/gtest.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <algorithm>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#include "tests/unit/fixtures.h"
#include "tests/unit/png_encode.h"

namespace {

using namespace pngtest;
using fixtures::ReportedProblem;
using fixtures::ReportedProblems;

Bytes encode(const PngPlan& plan) {
    Bytes out;
    EXPECT_TRUE(encodeInto(plan, &out));
    return out;
}

// A 2x1 RGB picture: the smallest valid file for the error cases.
Bytes smallRgb() {
    PngPlan plan;
    plan.width = 2;
    plan.samples = {10, 20, 30, 40, 50, 60};
    return encode(plan);
}

std::string tempDir() {
    static std::string dir = [] {
        const std::filesystem::path made = std::filesystem::path(::testing::TempDir()) /
                                           ("pngtest." + std::to_string(getpid()));
        std::error_code ec;
        std::filesystem::remove_all(made, ec);
        EXPECT_TRUE(std::filesystem::create_directories(made, ec)) << ec.message();
        return made.string();
    }();
    return dir;
}

// Removes the scratch directory once every test has run (death-test children never get here).
class TempDirCleanup : public ::testing::Environment {
public:
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(tempDir(), ignored);
    }
};
const auto* const kCleanup = ::testing::AddGlobalTestEnvironment(new TempDirCleanup);

std::string writeFile(const std::string& name, const Bytes& bytes) {
    const std::string path = tempDir() + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (f) {
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

std::vector<uint32_t> pixelsOf(const Image& image) {
    return std::vector<uint32_t>(image.pixels,
                                 image.pixels + size_t(image.width) * size_t(image.height));
}

// Fixes up a chunk's CRC after the test edited its data (chunk starts at its length field).
void refreshCrc(Bytes* png, size_t chunkStart) {
    const uint32_t length = (uint32_t((*png)[chunkStart]) << 24) |
                            (uint32_t((*png)[chunkStart + 1]) << 16) |
                            (uint32_t((*png)[chunkStart + 2]) << 8) | (*png)[chunkStart + 3];
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, png->data() + chunkStart + 4, length + 4);
    const size_t at = chunkStart + 8 + length;
    for (int i = 0; i < 4; ++i) (*png)[at + i] = uint8_t(crc >> (24 - 8 * i));
}

// ---------------------------------------------------------------------------------------
// Colour types and depths

struct DecodeCase {
    const char* name;
    PngPlan plan;
    std::vector<uint32_t> expected;  // empty: the file must be refused as not RGB/RGBA
};

std::vector<DecodeCase> decodeCases() {
    std::vector<DecodeCase> cases;
    {
        DecodeCase c{"rgb8_opaque", {}, {0xFF102030u, 0xFFA0B0C0u}};
        c.plan.width = 2;
        c.plan.samples = {0x10, 0x20, 0x30, 0xA0, 0xB0, 0xC0};
        cases.push_back(c);
    }
    {
        DecodeCase c{"rgba8_keeps_alpha", {}, {0x80112233u, 0x00FFFFFFu}};
        c.plan.width = 2;
        c.plan.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
        c.plan.samples = {0x11, 0x22, 0x33, 0x80, 0xFF, 0xFF, 0xFF, 0x00};
        cases.push_back(c);
    }
    {
        DecodeCase c{"rgb16_high_byte", {}, {0xFF12569Au}};
        c.plan.depth = 16;
        c.plan.samples = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
        cases.push_back(c);
    }
    {
        DecodeCase c{"rgba16_high_byte", {}, {0xF0ABCDEFu}};
        c.plan.depth = 16;
        c.plan.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
        c.plan.samples = {0xAB, 0xFF, 0xCD, 0x00, 0xEF, 0x80, 0xF0, 0x0F};
        cases.push_back(c);
    }
    {
        DecodeCase c{"palette_without_trns_opaque", {}, {0xFF0000FFu, 0xFF00FF00u, 0xFF0000FFu}};
        c.plan.width = 3;
        c.plan.colorType = PNG_COLOR_TYPE_PALETTE;
        c.plan.palette = {{0, 0, 255}, {0, 255, 0}};
        c.plan.samples = {0, 1, 0};
        cases.push_back(c);
    }
    {
        // Entries past the end of tRNS stay opaque.
        DecodeCase c{"palette_with_trns", {}, {0x400000FFu, 0x0000FF00u, 0xFFFF0000u}};
        c.plan.width = 3;
        c.plan.colorType = PNG_COLOR_TYPE_PALETTE;
        c.plan.palette = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}};
        c.plan.trnsAlpha = {0x40, 0x00};
        c.plan.samples = {0, 1, 2};
        cases.push_back(c);
    }
    {
        // 4-bit indices, two per byte: unpacked before the palette lookup.
        DecodeCase c{"palette_4bit_packed", {}, {0xFF010203u, 0xFF040506u, 0xFF040506u}};
        c.plan.width = 3;
        c.plan.depth = 4;
        c.plan.colorType = PNG_COLOR_TYPE_PALETTE;
        c.plan.palette = {{1, 2, 3}, {4, 5, 6}};
        c.plan.samples = {0x01, 0x10};
        cases.push_back(c);
    }
    {
        DecodeCase c{"rgb_trns_colour_becomes_clear", {}, {0x00010203u, 0xFF040506u}};
        c.plan.width = 2;
        c.plan.samples = {1, 2, 3, 4, 5, 6};
        c.plan.trnsColor = true;
        c.plan.trnsValue.red = 1;
        c.plan.trnsValue.green = 2;
        c.plan.trnsValue.blue = 3;
        cases.push_back(c);
    }
    {
        DecodeCase c{"grey1_widened_to_rgb", {}, {0xFF000000u, 0xFFFFFFFFu, 0xFFFFFFFFu}};
        c.plan.width = 3;
        c.plan.depth = 1;
        c.plan.colorType = PNG_COLOR_TYPE_GRAY;
        c.plan.samples = {0x60};
        cases.push_back(c);
    }
    {
        DecodeCase c{"interlaced_rgb", {}, {}};
        c.plan.width = 3;
        c.plan.height = 3;
        c.plan.interlaced = true;
        for (int i = 0; i < 9; ++i) {
            c.plan.samples.insert(c.plan.samples.end(),
                                  {uint8_t(i), uint8_t(10 * i), uint8_t(255 - i)});
            c.expected.push_back(0xFF000000u | uint32_t(i) << 16 | uint32_t(10 * i) << 8 |
                                 uint32_t(255 - i));
        }
        cases.push_back(c);
    }
    {
        DecodeCase c{"grey8_refused", {}, {}};
        c.plan.colorType = PNG_COLOR_TYPE_GRAY;
        c.plan.samples = {7};
        cases.push_back(c);
    }
    {
        DecodeCase c{"grey_alpha8_refused", {}, {}};
        c.plan.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
        c.plan.samples = {7, 8};
        cases.push_back(c);
    }
    {
        DecodeCase c{"grey16_refused", {}, {}};
        c.plan.depth = 16;
        c.plan.colorType = PNG_COLOR_TYPE_GRAY;
        c.plan.samples = {7, 8};
        cases.push_back(c);
    }
    {
        DecodeCase c{"grey8_with_trns_refused", {}, {}};
        c.plan.colorType = PNG_COLOR_TYPE_GRAY;
        c.plan.samples = {7};
        c.plan.trnsColor = true;
        c.plan.trnsValue.gray = 7;
        cases.push_back(c);
    }
    return cases;
}

void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }

class DecodePng : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodePng, ConvertsToArgbOrRefuses) {
    const DecodeCase& c = GetParam();
    const Bytes file = encode(c.plan);
    Image image{nullptr, -1, -1};
    std::string error;
    const bool ok = decodePng(file.data(), file.size(), &image, &error);
    if (c.expected.empty()) {
        EXPECT_FALSE(ok);
        EXPECT_EQ(error, "The PNG's without alpha channel or it's invalid \n");
        EXPECT_EQ(image.pixels, nullptr);
        EXPECT_EQ(image.width, -1);
        return;
    }
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(image.width, int32_t(c.plan.width));
    EXPECT_EQ(image.height, int32_t(c.plan.height));
    EXPECT_EQ(pixelsOf(image), c.expected);
    delete[] image.pixels;
}

INSTANTIATE_TEST_SUITE_P(ColourTypes, DecodePng, ::testing::ValuesIn(decodeCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DecodePngLayout, PixelBytesInMemoryAreBgra) {
    PngPlan plan;
    plan.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    plan.samples = {0x11, 0x22, 0x33, 0x44};
    const Bytes file = encode(plan);
    Image image{};
    ASSERT_TRUE(decodePng(file.data(), file.size(), &image, nullptr));
    uint8_t bytes[4];
    std::memcpy(bytes, image.pixels, 4);
    EXPECT_EQ(bytes[0], 0x33);
    EXPECT_EQ(bytes[1], 0x22);
    EXPECT_EQ(bytes[2], 0x11);
    EXPECT_EQ(bytes[3], 0x44);
    delete[] image.pixels;
}

// ---------------------------------------------------------------------------------------
// Damaged and hostile input

struct BadInput {
    const char* name;
    Bytes (*make)();
};

Bytes truncatedAt(size_t keep) {
    Bytes b = smallRgb();
    b.resize(std::min(keep, b.size()));
    return b;
}

Bytes withIhdrSize(uint32_t width, uint32_t height) {
    Bytes b = smallRgb();
    // Signature (8), IHDR length and type (8), then width and height, big-endian.
    for (int i = 0; i < 4; ++i) {
        b[16 + i] = uint8_t(width >> (24 - 8 * i));
        b[20 + i] = uint8_t(height >> (24 - 8 * i));
    }
    refreshCrc(&b, 8);
    return b;
}

size_t findChunk(const Bytes& b, const char* type) {
    for (size_t at = 8; at + 8 <= b.size();) {
        const uint32_t length = (uint32_t(b[at]) << 24) | (uint32_t(b[at + 1]) << 16) |
                                (uint32_t(b[at + 2]) << 8) | b[at + 3];
        if (std::memcmp(b.data() + at + 4, type, 4) == 0) return at;
        at += 12 + length;
    }
    ADD_FAILURE() << "no chunk " << type;
    return 0;
}

const BadInput kBadInputs[] = {
    {"empty", [] { return Bytes{}; }},
    {"text_file", [] { return Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'}; }},
    {"signature_only", [] { return truncatedAt(8); }},
    {"cut_inside_ihdr", [] { return truncatedAt(20); }},
    {"cut_inside_idat", [] {
         Bytes b = smallRgb();
         return truncatedAt(findChunk(b, "IDAT") + 10);
     }},
    {"cut_before_iend", [] {
         Bytes b = smallRgb();
         return truncatedAt(findChunk(b, "IEND"));
     }},
    {"ihdr_crc_wrong", [] {
         Bytes b = smallRgb();
         b[29] ^= 0xFF;
         return b;
     }},
    {"idat_data_corrupt", [] {
         Bytes b = smallRgb();
         const size_t idat = findChunk(b, "IDAT");
         b[idat + 8] ^= 0xFF;  // zlib header byte
         refreshCrc(&b, idat);
         return b;
     }},
    {"width_zero", [] { return withIhdrSize(0, 1); }},
    {"width_absurd", [] { return withIhdrSize(1u << 20, 1); }},
    {"both_sides_above_limit", [] { return withIhdrSize(16385, 16385); }},
    {"height_above_limit", [] { return withIhdrSize(2, 100000); }},
};

void PrintTo(const BadInput& c, std::ostream* os) { *os << c.name; }

class DecodePngBad : public ::testing::TestWithParam<BadInput> {};

TEST_P(DecodePngBad, ReturnsErrorAndLeavesImageAlone) {
    const Bytes file = GetParam().make();
    Image image{nullptr, 7, 9};
    std::string error, reason;
    EXPECT_FALSE(decodePng(file.data(), file.size(), &image, &error, &reason));
    EXPECT_EQ(error, "Not a valid PNG file \n");
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.width, 7);
    EXPECT_EQ(image.height, 9);
}

INSTANTIATE_TEST_SUITE_P(Inputs, DecodePngBad, ::testing::ValuesIn(kBadInputs),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DecodePngBad, EveryTruncationIsRefused) {
    const Bytes whole = smallRgb();
    for (size_t keep = 0; keep < whole.size(); ++keep) {
        Image image{nullptr, 0, 0};
        std::string error;
        EXPECT_FALSE(decodePng(whole.data(), keep, &image, &error)) << "kept " << keep;
        EXPECT_EQ(image.pixels, nullptr);
    }
}

TEST(DecodePngBad, NullBufferIsRefused) {
    Image image{nullptr, 0, 0};
    std::string error;
    EXPECT_FALSE(decodePng(nullptr, 0, &image, &error));
    EXPECT_EQ(error, "Not a valid PNG file \n");
}

// ---------------------------------------------------------------------------------------
// loadPng: every failure reported once, with the user's line and the reason

TEST(LoadPng, FailuresAreReportedWithTheirLineAndReason) {
    PngPlan grey;
    grey.colorType = PNG_COLOR_TYPE_GRAY;
    grey.samples = {1};
    const std::string missing = "/nonexistent-pixeldemo-dir/no_such_file.png";
    struct Case {
        std::string path;
        std::string line;     // what the user is shown
        std::string reason;   // the start of the reported cause
    } cases[] = {
        {missing, "File not found: " + missing + " \n", "No such file or directory"},
        {writeFile("text.png", {'n', 'o', 't', ' ', 'p', 'n', 'g'}), "Not a valid PNG file \n",
         "file ends early"},
        {writeFile("grey.png", encode(grey)), "The PNG's without alpha channel or it's invalid \n",
         "colour type"},
        {writeFile("empty.png", {}), "Not a valid PNG file \n", "the file is empty"},
        {tempDir(), "Not a valid PNG file \n", ""},
    };
    for (const Case& c : cases) {
        const ReportedProblems reported;
        Image image{};
        loadPng(&image, c.path.c_str());
        ASSERT_EQ(reported.problems.size(), 1u) << c.path;
        const ReportedProblem& p = reported.problems[0];
        EXPECT_EQ(p.kind, AssetKind::picture);
        EXPECT_EQ(p.path, c.path);
        EXPECT_EQ(p.message, c.line);
        EXPECT_FALSE(p.reason.empty()) << c.path;
        EXPECT_EQ(p.reason.rfind(c.reason, 0), 0u) << c.path << ": " << p.reason;
        // The reporter returned: one transparent pixel stands in.
        ASSERT_EQ(image.width, 1);
        ASSERT_EQ(image.height, 1);
        EXPECT_EQ(image.pixels[0], 0u);
        delete[] image.pixels;
    }
    const ReportedProblems reported;
    Image good{};
    loadPng(&good, writeFile("good.png", smallRgb()).c_str());
    EXPECT_TRUE(reported.problems.empty());
    EXPECT_EQ(good.width, 2);
    delete[] good.pixels;
}

TEST(LoadImage, ReturnsDecodedHeapImage) {
    const std::string path = writeFile("load_image.png", smallRgb());
    Image* image = loadImage(path.c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(pixelsOf(*image), (std::vector<uint32_t>{0xFF0A141Eu, 0xFF28323Cu}));
    freeImage(image);
}

// ---------------------------------------------------------------------------------------
// halveImage

Image* imageOf(int32_t w, int32_t h, std::vector<uint32_t> pixels) {
    Image* image = newImage(w, h);
    std::copy(pixels.begin(), pixels.end(), image->pixels);
    return image;
}

TEST(HalveImage, RoundsEachChannelSeparately) {
    struct Case {
        uint32_t p[4];
        uint32_t expected;
    };
    const Case cases[] = {
        {{0, 0, 0, 2}, 1},                  // mean 0.5 rounds up
        {{0, 0, 0, 1}, 0},                  // mean 0.25 rounds down
        {{0, 0, 1, 1}, 1},
        {{0x02000000u, 0, 0, 0}, 0x01000000u},  // alpha averaged too
        {{0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u}, 0xFF00FF00u},
        // No carry from one channel into the next.
        {{0x00FFFFFFu, 0x00FFFFFFu, 0x00FFFFFFu, 0x00FFFFFEu}, 0x00FFFFFFu},
        {{0x04030201u, 0x08070605u, 0x0C0B0A09u, 0x100F0E0Du}, 0x0A090807u},
    };
    for (const Case& c : cases) {
        Image* src = imageOf(2, 2, {c.p[0], c.p[1], c.p[2], c.p[3]});
        Image* half = halveImage(src);
        ASSERT_EQ(half->width, 1);
        ASSERT_EQ(half->height, 1);
        EXPECT_EQ(half->pixels[0], c.expected) << std::hex << c.p[0] << " " << c.p[3];
        freeImage(src);
        freeImage(half);
    }
}

TEST(HalveImage, TakesEachBlockFromItsOwnPlaceAndIgnoresOddEdges) {
    // 5x3: blocks at x 0-1 and 2-3 of rows 0-1; column 4 and row 2 are ignored.
    std::vector<uint32_t> px(15);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) px[y * 5 + x] = (x >= 4 || y >= 2) ? 0xFFFFFFFFu : uint32_t(4 * (x / 2 + 1));
    Image* src = imageOf(5, 3, px);
    Image* half = halveImage(src);
    EXPECT_EQ(half->width, 2);
    EXPECT_EQ(half->height, 1);
    EXPECT_EQ(pixelsOf(*half), (std::vector<uint32_t>{4, 8}));
    freeImage(src);
    freeImage(half);

    Image* three = imageOf(3, 3, {8, 0, 99, 0, 0, 99, 99, 99, 99});
    Image* one = halveImage(three);
    EXPECT_EQ(pixelsOf(*one), (std::vector<uint32_t>{2}));
    freeImage(three);
    freeImage(one);
}

TEST(HalveImage, ThinInputGivesEmptyOutput) {
    Image* column = imageOf(1, 6, {1, 2, 3, 4, 5, 6});
    Image* half = halveImage(column);
    EXPECT_EQ(half->width, 0);
    EXPECT_EQ(half->height, 3);
    freeImage(column);
    freeImage(half);
}

// ---------------------------------------------------------------------------------------
// loadTexture

TEST(LoadTexture, BuildsChainDownToOnePixel) {
    PngPlan plan;
    plan.width = plan.height = 256;
    plan.samples.resize(256 * 256 * 3);
    for (size_t i = 0; i < plan.samples.size(); ++i) plan.samples[i] = uint8_t(i * 7);
    const std::string path = writeFile("tex256.png", encode(plan));
    Texture texture{};
    EXPECT_EQ(loadTexture(&texture, path.c_str()), &texture);
    ASSERT_EQ(texture.maxLevel, 8);
    for (int k = 0; k <= 8; ++k) {
        EXPECT_EQ(texture.levels[k]->width, 256 >> k) << k;
        EXPECT_EQ(texture.levels[k]->height, 256 >> k) << k;
    }
    Image* expected = halveImage(texture.levels[3]);
    EXPECT_EQ(pixelsOf(*texture.levels[4]), pixelsOf(*expected));
    freeImage(expected);
    clearTexture(&texture);
}

TEST(LoadTexture, OnlyTheWidthSetsTheDepth) {
    struct Case {
        uint32_t width, height;
        int32_t maxLevel;
    };
    const Case cases[] = {{640, 4, 9}, {1, 1, 0}, {3, 3, 1}, {1024, 1, 10}};
    for (const Case& c : cases) {
        PngPlan plan;
        plan.width = c.width;
        plan.height = c.height;
        plan.samples.assign(size_t(c.width) * c.height * 3, 0x55);
        const std::string path = writeFile("tex_depth.png", encode(plan));
        Texture texture{};
        loadTexture(&texture, path.c_str());
        EXPECT_EQ(texture.maxLevel, c.maxLevel) << c.width;
        EXPECT_EQ(texture.levels[texture.maxLevel]->width, int32_t(c.width >> c.maxLevel));
        EXPECT_EQ(texture.levels[texture.maxLevel]->height, int32_t(c.height >> c.maxLevel));
        clearTexture(&texture);
    }
}

// ---------------------------------------------------------------------------------------
// writePng

// The second write replaces the first file (a rename over an existing name, which Windows
// refuses unless asked).
TEST(WritePng, RoundTripsWithAndWithoutAlpha) {
    Image* image = imageOf(3, 2, {0x00000000u, 0x80FF0000u, 0xFF00FF00u, 0x120000FFu,
                                  0xFFFFFFFFu, 0x7F123456u});
    for (bool alpha : {true, false}) {
        const std::string path = tempDir() + "/written.png";
        std::string error;
        ASSERT_TRUE(writePng(path.c_str(), *image, alpha, &error)) << error;
        Image back{};
        loadPng(&back, path.c_str());
        ASSERT_EQ(back.width, 3);
        ASSERT_EQ(back.height, 2);
        for (int i = 0; i < 6; ++i) {
            const uint32_t want = alpha ? image->pixels[i] : (image->pixels[i] | 0xFF000000u);
            EXPECT_EQ(back.pixels[i], want) << i;
        }
        delete[] back.pixels;
    }
    freeImage(image);
}

TEST(WritePng, FailureReportsAndLeavesNothingBehind) {
    Image* image = imageOf(1, 1, {0xFF000000u});
    std::string error;
#ifndef _WIN32   // a read-only folder takes new files on Windows
    const std::string dir = tempDir() + "/readonly";
    std::filesystem::create_directory(dir);
    std::filesystem::permissions(dir, std::filesystem::perms::owner_write |
                                          std::filesystem::perms::group_write |
                                          std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    if (geteuid() != 0) {  // root writes anywhere
        EXPECT_FALSE(writePng((dir + "/x.png").c_str(), *image, false, &error));
        EXPECT_NE(error.find("x.png"), std::string::npos);
    }
    error.clear();
#endif
    const std::string nowhere = tempDir() + "/missing_dir/x.png";
    EXPECT_FALSE(writePng(nowhere.c_str(), *image, false, &error));
    EXPECT_NE(error.find("missing_dir/x.png"), std::string::npos) << error;

    // A directory in the way of the final name: the encoded temp file must not linger.
    const std::string blocked = tempDir() + "/blocked.png";
    std::filesystem::create_directories(blocked + "/child");
    EXPECT_FALSE(writePng(blocked.c_str(), *image, false, &error));
    for (const auto& entry : std::filesystem::directory_iterator(tempDir())) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
    }
    freeImage(image);
}

}  // namespace
