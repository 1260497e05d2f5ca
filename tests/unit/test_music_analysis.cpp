// --analyze-music: the measurements on signals whose answer is known, and the generated
// soundtrack against the figures the scenes need.
//
// The analysis is part of the demo's core library (demo_core).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/music.h"
#include "exporters/analyze_music.h"

namespace {

constexpr double kBinHz = 44100.0 / 256.0;

// Interleaved stereo 16-bit samples of `seconds`, both channels the same.
struct Signal {
    std::vector<int16_t> samples;
    explicit Signal(double seconds) : samples(static_cast<size_t>(seconds * 44100) * 2, 0) {}
    int64_t frames() const { return static_cast<int64_t>(samples.size() / 2); }
    // Adds a sine of `amp` (full scale 1) at `hz` over [from, to).
    void addSine(double hz, double amp, double from, double to) {
        const int64_t a = static_cast<int64_t>(from * 44100), b = static_cast<int64_t>(to * 44100);
        for (int64_t i = a; i < b && i < frames(); ++i) {
            const double v = samples[2 * i] + amp * 32767.0 * std::sin(2.0 * M_PI * hz * (i - a) / 44100.0);
            samples[2 * i] = samples[2 * i + 1] = static_cast<int16_t>(std::lround(v));
        }
    }
};

// A trace built by hand: frame i at t = i * dt.
SpectrumTrace handTrace(double dt, size_t n, float b0, float b1, float b2) {
    SpectrumTrace tr;
    for (size_t i = 0; i < n; ++i) {
        tr.t.push_back(static_cast<float>(i * dt));
        tr.bin[0].push_back(b0);
        tr.bin[1].push_back(b1);
        tr.bin[2].push_back(b2);
        tr.anyBin.push_back(std::max({b0, b1, b2}));
    }
    return tr;
}

}  // namespace

TEST(MusicAnalysis, FiguresUseNearestRankOverTheOpenWindow) {
    std::vector<float> t, v;
    for (int i = 0; i <= 101; ++i) {
        t.push_back(static_cast<float>(i));
        v.push_back(static_cast<float>(i == 0 || i == 101 ? 1000 : 101 - i));  // 100 .. 1, shuffled order
    }
    const Figures f = seriesFigures(t, v, 0.0, 101.0);  // excludes t = 0 and t = 101
    EXPECT_EQ(f.count, 100);
    EXPECT_EQ(f.min, 1.0f);
    EXPECT_EQ(f.median, 50.0f);
    EXPECT_EQ(f.p95, 95.0f);
    EXPECT_EQ(f.max, 100.0f);
    const Figures none = seriesFigures(t, v, 200.0, 300.0);
    EXPECT_EQ(none.count, 0);
    EXPECT_EQ(none.max, 0.0f);
}

TEST(MusicAnalysis, BeatRuleNeedsBin2AboveThresholdAndAGapOfMoreThanATenth) {
    // Frames every 0.03 s with bin 2 always high: a beat every fourth frame (0.12 s).
    const SpectrumTrace loud = handTrace(0.03, 200, 0.0f, 0.0f, 0.3f);
    const std::vector<float> beats = beatTriggers(loud, 1.0, 2.0);
    ASSERT_FALSE(beats.empty());
    EXPECT_GT(beats.front(), 1.0f);
    EXPECT_LT(beats.front(), 1.031f);
    for (size_t i = 1; i < beats.size(); ++i) EXPECT_NEAR(beats[i] - beats[i - 1], 0.12f, 1e-4f);
    // Exactly at the threshold is not above it.
    EXPECT_TRUE(beatTriggers(handTrace(0.03, 200, 0.0f, 0.0f, 0.258f), 0.0, 6.0).empty());
    // The last beat starts at 0, as in the scene: nothing fires at t <= 0.1.
    const std::vector<float> early = beatTriggers(loud, -1.0, 1.0);
    ASSERT_FALSE(early.empty());
    EXPECT_GT(early.front(), 0.1f);
    // Glow strength is bin 1 x 2000 x bin 2 x bin 0.
    const std::vector<float> g = glowTrace(handTrace(0.1, 3, 0.5f, 0.4f, 0.1f));
    ASSERT_EQ(g.size(), 3u);
    EXPECT_NEAR(g[0], 40.0f, 1e-3f);
}

TEST(MusicAnalysis, KnownSignalGivesKnownFiguresBeatsAndPlot) {
    Signal s(60.0);
    // Scene 2: a steady sine on bin 1's centre at 0.4 of full scale.
    s.addSine(kBinHz, 0.4, 12.0, 24.5);
    // Scene 3: 60 ms bursts on bin 2's centre every half second from 25 s: 46 beats.
    for (int i = 0; i < 46; ++i) s.addSine(2.0 * kBinHz, 0.5, 25.0 + 0.5 * i, 25.06 + 0.5 * i);

    const SpectrumTrace tr = traceSpectrum(s.samples.data(), s.frames(), 60.0, 60.0);
    ASSERT_EQ(tr.t.size(), 3601u);
    EXPECT_EQ(tr.t[600], 10.0f);

    const Figures b1 = seriesFigures(tr.t, tr.bin[1], 12.1, 24.4);
    EXPECT_NEAR(b1.min, 0.4f, 0.01f);
    EXPECT_NEAR(b1.median, 0.4f, 0.01f);
    EXPECT_NEAR(b1.max, 0.4f, 0.01f);
    const Figures b2 = seriesFigures(tr.t, tr.bin[2], 24.5, 48.0);
    EXPECT_NEAR(b2.max, 0.5f, 0.01f);
    EXPECT_LT(b2.median, 0.001f);

    const std::vector<float> beats = beatTriggers(tr, 24.5, 48.0);
    ASSERT_EQ(beats.size(), 46u);
    for (size_t i = 0; i < beats.size(); ++i) {
        const double burst = 25.0 + 0.5 * static_cast<double>(i);
        EXPECT_GE(beats[i], burst - 0.003) << i;
        EXPECT_LT(beats[i], burst + 0.06) << i;
    }
    EXPECT_TRUE(beatTriggers(tr, 0.0, 24.5).empty());

    const std::string report = sceneReport(tr);
    for (int n = 1; n <= 7; ++n) {
        EXPECT_NE(report.find("scene " + std::to_string(n) + " "), std::string::npos) << n;
    }
    EXPECT_NE(report.find("beat triggers: 46"), std::string::npos) << report;
    EXPECT_NE(report.find("loudest bin 0.000000"), std::string::npos) << report;

    // The plot marks each beat with a red tick below the bin 2 lane.
    Image* plot = plotSpectrum(tr);
    ASSERT_NE(plot, nullptr);
    EXPECT_GE(plot->width, 1500);
    int ticks = 0;
    for (int y = 0; y < plot->height && ticks == 0; ++y) {
        int inRow = 0;
        for (int x = 0; x < plot->width; ++x) inRow += plot->pixels[y * plot->width + x] == 0xFFFF4040u;
        // The tick row: one mark per beat, and nothing else in red across it.
        if (inRow == 46) ticks = inRow;
    }
    EXPECT_EQ(ticks, 46);
    freeImage(plot);
}

TEST(MusicAnalysis, ReportsUnreadableMusicAndUnwritablePlot) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(runMusicAnalysis("/nonexistent/music.mp3", "/tmp/never.png"), 1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("--analyze-music"), std::string::npos);

    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(runMusicAnalysis(DEMO_DATA_DIR "/pelotrix.mp3", "/nonexistent/folder/plot.png"), 1);
    testing::internal::GetCapturedStdout();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("--analyze-music"), std::string::npos);
}

// The generated soundtrack drives the scenes as they need it and is mixed within bounds.
TEST(MusicAnalysis, GeneratedSoundtrackMeetsTheScenesNeeds) {
    const std::string path = DEMO_DATA_DIR "/pelotrix.mp3";
    std::vector<int16_t> pcm;
    std::string error;
    ASSERT_TRUE(decodeMusicFile(path.c_str(), &pcm, &error)) << error;
    const int64_t frames = static_cast<int64_t>(pcm.size() / 2);
    EXPECT_NEAR(static_cast<double>(frames) / 44100.0, 150.0, 1.0);
    // The live demo samples the spectrum at whatever phase its frames fall: the figures
    // must hold with the 60 Hz clock shifted against the beat, not just at one phase.
    for (int shiftMs : {0, 4, 8, 12}) {
        SCOPED_TRACE("clock shifted by " + std::to_string(shiftMs) + " ms");
        std::vector<int16_t> shifted(static_cast<size_t>(shiftMs) * 441 / 10 * 2, 0);
        shifted.insert(shifted.end(), pcm.begin(), pcm.end());
        const SpectrumTrace tr =
            traceSpectrum(shifted.data(), static_cast<int64_t>(shifted.size() / 2), 60.0, 149.0);

        // 12-24.5 s: bin 1 jumps on the beats and rests between them.
        const Figures s2 = seriesFigures(tr.t, tr.bin[1], 12.0, 24.5);
        EXPECT_GE(s2.p95, 0.25f);
        EXPECT_LE(s2.median, 0.15f);
        // 24.5-48 s: the camera jumps 20 to 90 times; never in the drum-less intro.
        const size_t beats = beatTriggers(tr, 24.5, 48.0).size();
        EXPECT_GE(beats, 20u);
        EXPECT_LE(beats, 90u);
        EXPECT_TRUE(beatTriggers(tr, 0.0, 12.0).empty());
        const Figures glow = seriesFigures(tr.t, glowTrace(tr), 24.5, 48.0);
        EXPECT_GE(glow.p95, 40.0f);
        EXPECT_LE(glow.median, 20.0f);
        // 48-72.4 s: the field of view breathes between 40 and about 60 degrees.
        const Figures s4 = seriesFigures(tr.t, tr.bin[1], 48.0, 72.4);
        EXPECT_GE(s4.p95, 0.3f);
        EXPECT_LE(s4.p95, 0.7f);
        // After 146.5 s: silence.
        EXPECT_LT(seriesFigures(tr.t, tr.anyBin, 146.5, 1e9).max, 0.001f);
    }

    // The mix: peak at most -0.5 dBFS, RMS between -20 and -10 dBFS, some stereo width.
    double peak = 0.0, sum = 0.0, mid = 0.0, side = 0.0;
    for (int64_t i = 0; i < frames; ++i) {
        const double l = pcm[2 * i] / 32768.0, r = pcm[2 * i + 1] / 32768.0;
        peak = std::max({peak, std::fabs(l), std::fabs(r)});
        sum += l * l + r * r;
        mid += (l + r) * (l + r);
        side += (l - r) * (l - r);
    }
    EXPECT_LE(20.0 * std::log10(peak), -0.5);
    const double rms = 20.0 * std::log10(std::sqrt(sum / (2.0 * frames)));
    EXPECT_GE(rms, -20.0);
    EXPECT_LE(rms, -10.0);
    EXPECT_GT(side / mid, 0.01);
}
