// File names beyond ASCII (platform/paths.h): folders with accented and Japanese names, made,
// listed and written into, pictures written and read back, the music decoded from there, and
// a failure's message naming the file as it is. On Windows this test program has no UTF-8
// manifest, so it runs with the ANSI code page and proves the wide API is used throughout.
#include "platform/paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "assets/image.h"
#include "audio/music.h"
#include "tests/unit/fixtures.h"

namespace fs = std::filesystem;

namespace {

// UTF-8 names as a user might give them, and their UTF-16 spelling on Windows.
struct NameCase {
    const char* label;
    const char* utf8;
    const wchar_t* wide;
};
const NameCase kNames[] = {
    {"ascii", "plain", L"plain"},
    {"accented", "Mes D\xC3\xA9mos/sortie \xC3\xBC", L"Mes D\u00E9mos/sortie \u00FC"},
    {"japanese", "\xE3\x83\x87\xE3\x83\xA2", L"\u30C7\u30E2"},   // デモ
};
// The case's label in test names and messages.
void PrintTo(const NameCase& c, std::ostream* out) { *out << c.label; }

class Paths : public ::testing::TestWithParam<NameCase> {
protected:
    void SetUp() override {
        root_ = ::testing::TempDir() + "paths." + std::to_string(getpid());
        dir_ = root_ + "/" + GetParam().utf8;
        std::error_code ec;
        fs::create_directories(filePath(dir_), ec);
        ASSERT_FALSE(ec) << ec.message();
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(filePath(root_), ec);
    }
    std::string root_, dir_;
};

TEST_P(Paths, FolderHasTheNameGiven) {
#ifdef _WIN32
    EXPECT_EQ(filePath(GetParam().utf8).wstring(), GetParam().wide);
#endif
    // Listed from its parent, the last part comes back as the same UTF-8.
    const std::string name = pathText(filePath(GetParam().utf8).filename());
    const fs::path parent = filePath(dir_).parent_path();
    std::vector<std::string> listed;
    for (const fs::directory_entry& entry : fs::directory_iterator(parent))
        listed.push_back(pathText(entry.path().filename()));
    EXPECT_EQ(listed, std::vector<std::string>{name});
}

TEST_P(Paths, FilesAreMadeOpenedAndRefusedWhenThere) {
    const std::string file = dir_ + "/f\xC3\xA9.bin";   // fé.bin
    const int fd = createNewFile(file);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    ASSERT_EQ(write(fd, "a\nb", 3), 3);
    close(fd);
    EXPECT_EQ(createNewFile(file), -1);
    EXPECT_EQ(errno, EEXIST);
    FILE* in = openFile(file, "rb");
    ASSERT_NE(in, nullptr);
    char bytes[8] = {};
    EXPECT_EQ(std::fread(bytes, 1, sizeof bytes, in), 3u);   // binary: no CR added
    std::fclose(in);
    EXPECT_EQ(std::string(bytes), "a\nb");
}

TEST_P(Paths, PicturesAreWrittenAndRead) {
    const std::string png = dir_ + "/image \xE3\x83\x87.png";
    Image* written = fixtures::solidImage(3, 2, 0xFF336699u);
    std::string error;
    ASSERT_TRUE(writePng(png.c_str(), *written, false, &error)) << error;
    Image* read = loadImage(png.c_str());
    ASSERT_EQ(read->width, 3);
    EXPECT_EQ(read->pixels[5], 0xFF336699u);
    freeImage(read);
    freeImage(written);
    // Only the file: no temporary left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(filePath(dir_)), fs::directory_iterator()), 1);
}

TEST_P(Paths, MissingPictureIsNamedAsGiven) {
    const std::string png = dir_ + "/absent.png";
    fixtures::ReportedProblems reported;
    Image* stand_in = loadImage(png.c_str());
    freeImage(stand_in);
    ASSERT_EQ(reported.problems.size(), 1u);
    EXPECT_EQ(reported.problems[0].message, "File not found: " + png + " \n");
}

TEST_P(Paths, MusicIsDecodedFromThere) {
    // The start of the demo's track is enough for the decoder to open it and read frames.
    FILE* in = openFile(DEMO_DATA_DIR "/pelotrix.mp3", "rb");
    ASSERT_NE(in, nullptr);
    std::vector<char> start(100000);
    start.resize(std::fread(start.data(), 1, start.size(), in));
    std::fclose(in);
    const std::string mp3 = dir_ + "/musique \xC3\xA9t\xC3\xA9.mp3";
    FILE* out = openFile(mp3, "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(start.data(), 1, start.size(), out);
    std::fclose(out);
    std::vector<int16_t> stereo;
    std::string error;
    EXPECT_TRUE(decodeMusicFile(mp3.c_str(), &stereo, &error)) << error;
    EXPECT_GT(stereo.size(), 44100u);
}

INSTANTIATE_TEST_SUITE_P(Names, Paths, ::testing::ValuesIn(kNames),
                         [](const ::testing::TestParamInfo<NameCase>& info) {
                             return std::string(info.param.label);
                         });

}  // namespace
