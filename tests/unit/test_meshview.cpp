// meshview end to end: a cube file and a texture written here, the tool run on them, and the
// picture it writes; bad input gives an error and no picture.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "assets/image.h"

namespace fs = std::filesystem;

namespace {

void put32(std::vector<uint8_t>& out, uint32_t w) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(w >> (8 * i)));
}
void putF(std::vector<uint8_t>& out, float f) {
    uint32_t w;
    std::memcpy(&w, &f, 4);
    put32(out, w);
}

// A closed cube of half-size 3 around (10, -4, 7) with one vertex per corner.
std::vector<uint8_t> cubeFile() {
    std::vector<uint8_t> out;
    put32(out, 1);
    put32(out, 8);
    put32(out, 12);
    put32(out, 4);
    for (char ch : std::string("cube")) out.push_back(static_cast<uint8_t>(ch));
    for (int i = 0; i < 8; ++i) {
        putF(out, 10 + ((i & 1) ? 3.0f : -3.0f));
        putF(out, -4 + ((i & 2) ? 3.0f : -3.0f));
        putF(out, 7 + ((i & 4) ? 3.0f : -3.0f));
        putF(out, (i & 1) ? 1.0f : 0.0f);
        putF(out, (i & 2) ? 1.0f : 0.0f);
    }
    const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                             {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& f : faces) {
        for (int k : {f[0], f[1], f[2], f[0], f[2], f[3]}) put32(out, static_cast<uint32_t>(k));
    }
    return out;
}

struct MeshviewTest : ::testing::Test {
    fs::path dir;
    std::string tool = std::string(DEMO_BINARY_DIR) + "/meshview";

    void SetUp() override {
        if (!fs::exists(tool)) GTEST_SKIP() << "meshview is not built";
        dir = fs::temp_directory_path() / ("meshview_test_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        write("cube.ebr", cubeFile());
        Image* tex = newImage(256, 256);
        for (int i = 0; i < 256 * 256; ++i) tex->pixels[i] = ((i / 256 / 32 + i % 256 / 32) % 2) ? 0xFFE0C040u : 0xFF3060D0u;
        std::string error;
        const bool written = writePng((dir / "tex.png").c_str(), *tex, false, &error);
        freeImage(tex);
        ASSERT_TRUE(written) << error;
    }
    void TearDown() override {
        std::error_code ec;
        if (!dir.empty()) fs::remove_all(dir, ec);
    }
    void write(const char* name, const std::vector<uint8_t>& bytes) {
        FILE* f = std::fopen((dir / name).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    int run(const std::string& args) {
        const std::string cmd = "'" + tool + "' " + args + " > '" + (dir / "log.txt").string() + "' 2>&1";
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string log() {
        std::string text;
        FILE* f = std::fopen((dir / "log.txt").c_str(), "rb");
        if (!f) return text;
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
        std::fclose(f);
        return text;
    }
    bool readPng(const fs::path& path, Image* image) {
        std::vector<uint8_t> bytes;
        FILE* f = std::fopen(path.c_str(), "rb");
        if (!f) return false;
        int c;
        while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
        std::fclose(f);
        std::string error;
        return decodePng(bytes.data(), bytes.size(), image, &error);
    }
};

TEST_F(MeshviewTest, FramesTheModelInTheMiddleOfA640x480Picture) {
    for (const char* mode : {"", "--envmap", "--letterbox --zoom 3"}) {
        SCOPED_TRACE(mode);
        const fs::path out = dir / "out.png";
        fs::remove(out);
        ASSERT_EQ(run("'" + (dir / "cube.ebr").string() + "' --texture '" + (dir / "tex.png").string() +
                      "' --yaw 40 --pitch 25 " + mode + " --out '" + out.string() + "'"),
                  0)
            << log();
        Image img{};
        ASSERT_TRUE(readPng(out, &img));
        ASSERT_EQ(img.width, 640);
        ASSERT_EQ(img.height, 480);
        const uint32_t corner = img.pixels[0];
        EXPECT_NE(img.pixels[240 * 640 + 320], corner);      // the cube covers the centre
        EXPECT_EQ(img.pixels[479 * 640 + 639], corner);      // and not the corners
        // Framed from its bounds: the drawn area is roughly centred.
        long sumX = 0, sumY = 0, n = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                if (img.pixels[y * 640 + x] != corner) sumX += x, sumY += y, ++n;
        ASSERT_GT(n, 20000);
        EXPECT_NEAR(static_cast<double>(sumX) / n, 320, 40);
        EXPECT_NEAR(static_cast<double>(sumY) / n, 240, 40);
        delete[] img.pixels;
    }
}

TEST_F(MeshviewTest, BadInputFailsWithAMessageAndNoPicture) {
    std::vector<uint8_t> bad = cubeFile();
    bad[bad.size() - 4] = 99;   // the last index points past the 8 vertices
    write("bad.ebr", bad);
    write("empty.ebr", {0, 0, 0, 0});
    const std::string tex = " --texture '" + (dir / "tex.png").string() + "'";
    const std::string out = " --out '" + (dir / "out.png").string() + "'";
    struct Case { std::string args; const char* says; };
    const Case cases[] = {
        {"'" + (dir / "bad.ebr").string() + "'" + tex + out, "bad.ebr"},
        {"'" + (dir / "empty.ebr").string() + "'" + tex + out, "nothing to draw"},
        {"'" + (dir / "missing.ebr").string() + "'" + tex + out, "missing.ebr"},
        {"'" + (dir / "cube.ebr").string() + "'" + out, "--texture"},
    };
    for (const Case& c : cases) {
        EXPECT_NE(run(c.args), 0) << c.args;
        EXPECT_NE(log().find(c.says), std::string::npos) << log();
        EXPECT_FALSE(fs::exists(dir / "out.png"));
    }
    EXPECT_EQ(run("--help"), 0);
}

}  // namespace
