// Music decoding, the playback clock and the byte/second arithmetic, on MP3 files the test
// encodes itself with LAME.
#include <gtest/gtest.h>

#include <lame/lame.h>
#include <unistd.h>

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "audio/music.h"
#include "audio/fft.h"

namespace fs = std::filesystem;

namespace {

constexpr int kToneBin = 10;   // 10 * 44100 / 256 = 1722.7 Hz
const double kToneHz = kToneBin * 44100.0 / kFftSize;

std::string tempPath(const std::string& name) {
    return (fs::temp_directory_path() / ("pixeldemo_audio_" + std::to_string(::getpid()) + "_" + name))
        .string();
}

// Encodes `seconds` of a sine at kToneHz, amplitude 0.5, as an MP3 of the given format.
std::string makeMp3(const std::string& name, int rate, int channels, double seconds) {
    const int frames = static_cast<int>(seconds * rate);
    std::vector<short> left(frames), right(frames);
    for (int i = 0; i < frames; ++i) {
        left[i] = static_cast<short>(std::lround(0.5 * 32767.0 * std::sin(2.0 * M_PI * kToneHz * i / rate)));
        right[i] = left[i];
    }
    lame_global_flags* gf = lame_init();
    lame_set_in_samplerate(gf, rate);
    lame_set_out_samplerate(gf, rate);
    lame_set_num_channels(gf, channels);
    lame_set_mode(gf, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_brate(gf, 128);
    lame_set_quality(gf, 5);
    EXPECT_EQ(lame_init_params(gf), 0);
    std::vector<unsigned char> mp3(frames * 2 + 16384);
    int n = lame_encode_buffer(gf, left.data(), channels == 2 ? right.data() : nullptr, frames,
                               mp3.data(), static_cast<int>(mp3.size()));
    EXPECT_GE(n, 0);
    int total = n;
    n = lame_encode_flush(gf, mp3.data() + total, static_cast<int>(mp3.size()) - total);
    EXPECT_GE(n, 0);
    total += n;
    lame_close(gf);
    const std::string path = tempPath(name);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(mp3.data()), total);
    return path;
}

std::string makeFile(const std::string& name, const std::string& content) {
    const std::string path = tempPath(name);
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

}  // namespace

// Whatever the file's rate and channel count, the result is 44.1 kHz stereo with the same
// duration and pitch: the tone still sits on its bin.
TEST(MusicDecoding, ConvertsToStereoAt44100) {
    struct Case { int rate; int channels; } cases[] = {{44100, 2}, {22050, 1}, {48000, 2}, {32000, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz, " + std::to_string(c.channels) + " ch");
        const std::string path = makeMp3("tone.mp3", c.rate, c.channels, 1.0);
        std::vector<int16_t> pcm;
        std::string error;
        ASSERT_TRUE(decodeMusicFile(path.c_str(), &pcm, &error)) << error;
        fs::remove(path);
        const int64_t frames = static_cast<int64_t>(pcm.size() / 2);
        EXPECT_EQ(pcm.size() % 2, 0u);
        // One second, plus the encoder's delay and padding (no gapless tag is written).
        EXPECT_GE(frames, 44100 - 1200);
        EXPECT_LE(frames, 44100 + 4000);
        for (int64_t i = 0; i < frames; i += 97) {
            ASSERT_EQ(pcm[2 * i], pcm[2 * i + 1]) << i;
        }
        float spectrum[kSpectrumBins];
        computeSpectrum(pcm.data(), frames, frames / 2, spectrum);
        const int peak = static_cast<int>(std::max_element(spectrum, spectrum + kSpectrumBins) - spectrum);
        EXPECT_EQ(peak, kToneBin);
        EXPECT_NEAR(spectrum[kToneBin], 0.5f, 0.05f);
    }
}

TEST(MusicDecoding, RefusesWhatIsNotMusic) {
    struct Case { const char* name; std::string content; } cases[] = {
        {"empty.mp3", ""},
        {"text.mp3", std::string(20000, 'x')},
        {"png.mp3", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(4000, '\0')},
    };
    for (const Case& c : cases) {
        const std::string path = makeFile(c.name, c.content);
        std::vector<int16_t> pcm(10, 1);
        std::string error;
        EXPECT_FALSE(decodeMusicFile(path.c_str(), &pcm, &error)) << c.name;
        EXPECT_TRUE(pcm.empty()) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
        fs::remove(path);
    }
    std::vector<int16_t> pcm;
    std::string error;
    EXPECT_FALSE(decodeMusicFile("/nonexistent/pelotrix.mp3", &pcm, &error));
    EXPECT_NE(error.find("/nonexistent/pelotrix.mp3"), std::string::npos) << error;
}

TEST(MusicPosition, ByteSecondArithmetic) {
    struct Case { double seconds; uint32_t bytes; } cases[] = {
        {0.0, 0},          {1.0, 176400},        {2.5, 441000},
        {0.1, 17640},      {1.0 / 44100, 4},     {0.00001, 1},   // truncated, not rounded
        {72.4, 12771360},  {-3.0, 0},            {NAN, 0},
        {24347.0, 4294810800u}, {24348.0, 0xFFFFFFFFu},        // saturates at 32 bits
    };
    for (const Case& c : cases) EXPECT_EQ(musicSecondsToBytes(c.seconds), c.bytes) << c.seconds;
    EXPECT_EQ(musicBytesToSeconds(176400), 1.0f);
    EXPECT_EQ(musicBytesToSeconds(441000), 2.5f);
    EXPECT_EQ(musicBytesToSeconds(0), 0.0f);
    EXPECT_EQ(musicBytesToSeconds(12771360), static_cast<float>(12771360 / 176400.0));
}

class MusicPlayer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        mp3 = makeMp3("player.mp3", 44100, 2, 1.0);
    }
    static void TearDownTestSuite() { fs::remove(mp3); }
    void TearDown() override { closeMusic(); }

    // Reads the position every millisecond for `ms`, checking it never goes back.
    static std::vector<uint64_t> watch(int ms) {
        std::vector<uint64_t> seen;
        for (int i = 0; i < ms; ++i) {
            const uint64_t p = getMusicPosition();
            if (!seen.empty()) {
                EXPECT_GE(p, seen.back()) << "went backwards";
            }
            EXPECT_EQ(p % 4, 0u);
            seen.push_back(p);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return seen;
    }

    static std::string mp3;
};
std::string MusicPlayer::mp3;

TEST_F(MusicPlayer, AudiblePositionAdvancesSmoothlyAndNeverBack) {
    ASSERT_TRUE(initMusicOutput()) << musicError();
    ASSERT_TRUE(loadMusic(mp3.c_str())) << musicError();
    EXPECT_EQ(getMusicPosition(), 0u);   // not started yet
    ASSERT_TRUE(playMusic());
    const std::vector<uint64_t> seen = watch(300);
    EXPECT_GT(seen.back(), 0u);
    // Interpolated between the device's callbacks (~23 ms apart): many distinct readings.
    EXPECT_GT(std::set<uint64_t>(seen.begin(), seen.end()).size(), 40u);

    // A seek moves the clock there; it keeps running, also past the end of the music.
    setMusicPosition(uint64_t{176400} * 9 / 10 + 2);
    const uint64_t atSeek = getMusicPosition();
    EXPECT_GE(atSeek, 158760u);
    EXPECT_LT(atSeek, 176400u);
    const std::vector<uint64_t> after = watch(400);
    EXPECT_GT(after.back(), 176400u) << "the clock stopped at the end of the music";

    float spectrum[kSpectrumBins];
    getMusicSpectrum(spectrum);   // past the end: silence
    EXPECT_LT(*std::max_element(spectrum, spectrum + kSpectrumBins), 0.01f);
}

// No audio device: the clock runs on its own and the spectrum still follows the music.
TEST_F(MusicPlayer, SilentClockWithoutADevice) {
    ASSERT_TRUE(loadMusic(mp3.c_str())) << musicError();
    EXPECT_FALSE(playMusic());
    setMusicPosition(176400 / 4);
    const std::vector<uint64_t> seen = watch(100);
    EXPECT_GT(seen.back(), seen.front());
    float spectrum[kSpectrumBins];
    getMusicSpectrum(spectrum);
    EXPECT_NEAR(spectrum[kToneBin], 0.5f, 0.05f);
}

// No music at all: the clock still runs, so the demo plays on; the spectrum is zero.
TEST_F(MusicPlayer, MissingFileGivesAZeroSpectrumAndARunningClock) {
    ASSERT_TRUE(initMusicOutput()) << musicError();
    EXPECT_FALSE(loadMusic("/nonexistent/pelotrix.mp3"));
    EXPECT_STRNE(musicError(), "");
    EXPECT_FALSE(playMusic());
    const std::vector<uint64_t> seen = watch(60);
    EXPECT_GT(seen.back(), seen.front());
    float spectrum[kSpectrumBins];
    getMusicSpectrum(spectrum);
    for (float v : spectrum) EXPECT_EQ(v, 0.0f);
}

TEST_F(MusicPlayer, SpectrumAtAFixedPositionComesFromTheDecodedMusic) {
    ASSERT_TRUE(loadMusic(mp3.c_str())) << musicError();
    float spectrum[kSpectrumBins];
    getMusicSpectrumAt(176400 / 2, spectrum);
    EXPECT_NEAR(spectrum[kToneBin], 0.5f, 0.05f);
    getMusicSpectrumAt(176400 * 5, spectrum);   // long past the end
    for (float v : spectrum) EXPECT_EQ(v, 0.0f);
}
