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
constexpr int kSecondToneBin = 20;

std::string tempPath(const std::string& name) {
    return (fs::temp_directory_path() / ("pixeldemo_audio_" + std::to_string(::getpid()) + "_" + name))
        .string();
}

// Encodes `seconds` of a sine at kToneHz, amplitude 0.5, as an MP3 of the given format;
// from `switchAt` seconds on the sine is on kSecondToneBin instead.
std::string makeMp3(const std::string& name, int rate, int channels, double seconds,
                    double switchAt = 1e9) {
    const int frames = static_cast<int>(seconds * rate);
    std::vector<short> left(frames), right(frames);
    const double secondHz = kSecondToneBin * 44100.0 / kFftSize;
    for (int i = 0; i < frames; ++i) {
        const double hz = i < switchAt * rate ? kToneHz : secondHz;
        left[i] = static_cast<short>(std::lround(0.5 * 32767.0 * std::sin(2.0 * M_PI * hz * i / rate)));
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
        // SDL sends its device events only with its event subsystem running.
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
        mp3 = makeMp3("player.mp3", 44100, 2, 1.0);
        twoTones = makeMp3("two_tones.mp3", 44100, 2, 3.0, kSwitchSeconds);
    }
    static void TearDownTestSuite() {
        fs::remove(mp3);
        fs::remove(twoTones);
        SDL_QuitSubSystem(SDL_INIT_EVENTS);
    }
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

    // Plays the two-tone file from `seconds`, heard through the dummy device.
    static void playTwoTonesFrom(double seconds) {
        ASSERT_TRUE(initMusicOutput()) << musicError();
        ASSERT_TRUE(loadMusic(twoTones.c_str())) << musicError();
        ASSERT_TRUE(playMusic());
        setMusicPosition(musicSecondsToBytes(seconds));
        watchFor(100);
        ASSERT_TRUE(audibleWithin(2000));
    }

    // Whether the sound is heard within `ms`, reading the position meanwhile (a reading is
    // what notices a stall). A callback that comes late on a busy machine is taken for a
    // stall for as long as it is late, so one reading at one moment can find the clock
    // silent; the fault looked for is sound that does not come back.
    static bool audibleWithin(int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            getMusicPosition();
            if (musicAudible()) return true;
            if (std::chrono::steady_clock::now() >= end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    // Reads the position every millisecond for `ms` by the clock (a busy machine makes
    // fewer readings, not a longer watch), checking it never goes back.
    static void watchFor(int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        uint64_t last = getMusicPosition();
        while (std::chrono::steady_clock::now() < end) {
            const uint64_t p = getMusicPosition();
            EXPECT_GE(p, last) << "went backwards";
            last = p;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    // Watches the position for `ms` and checks that it advanced at the real rate over
    // that time, allowing kStandStill seconds of standing still. A stall shows a tenth of
    // a second after the last callback, the audible position having walked one buffer
    // (23 ms) of it; the callback before that one may have come up to a tenth late without
    // counting as a stall, holding the position about as long again: 0.15 s between them.
    // The rest is for the delays of a busy machine's reading thread (once in fifty runs
    // on an idle two-core machine, the two tenths allowed before were not enough).
    static constexpr double kStandStill = 0.25;
    static void expectRealRate(int ms) {
        const auto start = std::chrono::steady_clock::now();
        const uint64_t from = getMusicPosition();
        watchFor(ms);
        const uint64_t to = getMusicPosition();
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double advanced = static_cast<double>(to - from) / kMusicBytesPerSecond;
        EXPECT_GE(advanced, elapsed - kStandStill) << "the clock stood still";
        EXPECT_LE(advanced, elapsed + 0.05) << "the clock ran ahead";
    }

    static int peakBin() {
        float spectrum[kSpectrumBins];
        getMusicSpectrum(spectrum);
        return static_cast<int>(std::max_element(spectrum, spectrum + kSpectrumBins) - spectrum);
    }

    static void pushDeviceEvent(Uint32 type, Uint32 which) {
        SDL_Event event;
        SDL_zero(event);
        event.adevice.type = type;
        event.adevice.which = which;
        event.adevice.iscapture = 0;
        ASSERT_GE(SDL_PushEvent(&event), 0) << SDL_GetError();
    }

    static constexpr double kSwitchSeconds = 1.0;
    static std::string mp3;
    static std::string twoTones;
};
std::string MusicPlayer::mp3;
std::string MusicPlayer::twoTones;

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

// The device stops calling back (pausing it stands in for an unplugged device or a sound
// server that went away): the clock goes on at the real rate, with the spectrum following
// it into the second tone, and when the callbacks come back the music carries on from
// where the clock is, neither holding the clock back nor jumping ahead of it.
TEST_F(MusicPlayer, StalledDeviceLeavesTheClockRunningAndComesBackInStep) {
    playTwoTonesFrom(0.5);
    EXPECT_EQ(peakBin(), kToneBin);
    pauseMusicOutputForTest(true);
    expectRealRate(800);
    EXPECT_FALSE(musicAudible());
    EXPECT_GT(musicBytesToSeconds(getMusicPosition()), kSwitchSeconds + 0.05);
    EXPECT_EQ(peakBin(), kSecondToneBin) << "the spectrum did not follow the clock";

    pauseMusicOutputForTest(false);
    expectRealRate(400);
    EXPECT_TRUE(audibleWithin(2000)) << "the callbacks came back but the clock stayed silent";
}

// The viewer's pause: sound and clock stop together and the position stands still (the
// device is not taken for stalled); playMusic carries on from there at the real rate, and a
// jump while paused moves the position that play resumes from. The volume is not part of
// the clock.
TEST_F(MusicPlayer, PauseHoldsThePositionUntilPlayResumes) {
    playTwoTonesFrom(0.5);
    setMusicVolume(0.3f);
    pauseMusic();
    EXPECT_FALSE(musicPlaying());
    const uint64_t held = getMusicPosition();
    watchFor(300);
    EXPECT_EQ(getMusicPosition(), held);
    setMusicPosition(musicSecondsToBytes(1.5));
    EXPECT_EQ(getMusicPosition(), musicSecondsToBytes(1.5));
    ASSERT_TRUE(playMusic());
    expectRealRate(400);
    EXPECT_GE(getMusicPosition(), musicSecondsToBytes(1.5));
    EXPECT_TRUE(audibleWithin(2000));
    EXPECT_EQ(peakBin(), kSecondToneBin);
    EXPECT_FLOAT_EQ(musicVolume(), 0.3f);
}

TEST(MusicVolume, ScalesEverySampleTowardZero) {
    struct Case {
        float volume;
        int16_t in, out;
    } cases[] = {
        {1.0f, 32767, 32767}, {1.0f, -32768, -32768}, {0.0f, 32767, 0}, {0.0f, -32768, 0},
        {0.5f, 1001, 500},    {0.5f, -1001, -500},    {2.0f, 1234, 1234}, {-1.0f, 1234, 0},
    };
    for (const Case& c : cases) {
        int16_t sample = c.in;
        scaleSamples(&sample, 1, c.volume);
        EXPECT_EQ(sample, c.out) << c.in << " at " << c.volume;
    }
}

// A device that SDL reports removed is closed and the default device opened again; a
// device reported added replaces one that has stalled. Either way the music is heard again
// and the clock never stands still for long.
TEST_F(MusicPlayer, DeviceEventsBringTheSoundBack) {
    for (Uint32 event : {SDL_AUDIODEVICEREMOVED, SDL_AUDIODEVICEADDED}) {
        SCOPED_TRACE(event == SDL_AUDIODEVICEADDED ? "added" : "removed");
        playTwoTonesFrom(0.5);
        // A removed device calls back no more; an added one comes while ours is silent.
        pauseMusicOutputForTest(true);
        expectRealRate(400);
        EXPECT_FALSE(musicAudible());
        pushDeviceEvent(event, event == SDL_AUDIODEVICEADDED ? 0 : musicOutputDevice());
        expectRealRate(400);
        EXPECT_TRUE(audibleWithin(2000)) << "no device plays the music again";
        closeMusic();
    }
}
