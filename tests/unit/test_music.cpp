// The score reader, the scheduler, the mix renderer and the soundtrack's score itself.
// MP3 encoding is checked through the generated file in test_music_analysis.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "tools/assetgen/music.h"
#include "tools/assetgen/synth/dsp.h"
#include "tools/assetgen/synth/voices.h"

namespace {

Score parseOrDie(const std::string& text) {
    Score s;
    std::string error;
    EXPECT_TRUE(parseScore(text, &s, &error)) << error;
    return s;
}

std::vector<ScheduledNote> notesOf(const std::vector<ScheduledNote>& all, Instrument ins) {
    std::vector<ScheduledNote> out;
    for (const ScheduledNote& n : all) {
        if (n.instrument == ins) out.push_back(n);
    }
    return out;
}

const std::string kHeader = "tempo 120\nkey A minor\n";

}  // namespace

TEST(ScoreParser, RejectsMistakesWithTheirLineNumber) {
    struct Case {
        const char* text;
        int line;
        const char* reason;  // a fragment of the message
    };
    const Case cases[] = {
        {"tempo 120\nbogus 3\n", 2, "unknown statement"},
        {"tempo fast\n", 1, "expected a number"},
        {"tempo 0\n", 1, "tempo out of range"},
        {"key A minor\npattern p bass\n  G#2 -*15\n", 3, "outside the key"},
        {"pattern p kick\n  x . . .\n", 2, "not a whole number of bars"},
        {"pattern p kick\n  - x*15\n", 2, "tie with no note"},
        {"pattern p kick\n  x*16\npattern p snare\n  x*16\n", 3, "defined twice"},
        {"pattern p kick\n  A2 .*15\n", 2, "drum steps"},
        {"pattern p bass\n  x .*15\n", 2, "not a note"},
        {"pattern p bass\n  A2*0 .*16\n", 2, "count of 1..256"},
        {"pattern p theremin\n", 1, "unknown instrument"},
        {"section s 0 10\n  nothing\n", 2, "unknown pattern"},
        {"pattern p bass\n  A2 .*15\nsection s 0 10\n  p loud=2\n", 4, "unknown option"},
        {"pattern p bass\n  A2 .*15\nsection s 0 10\n  p transpose=1\n", 4, "outside the key"},
        {"section s 5 5\n", 1, "end after it starts"},
        {"  x x x\n", 1, "outside a pattern or section"},
        {"at 3 stab\n", 1, "needs notes"},
        {"at -1 kick\n", 1, "must not be negative"},
        {"automate pad cutoff 1:1 0:2\n", 1, "ascend"},
        {"automate pad level 0:-1\n", 1, "negative"},
        {"automate master cutoff 0:1\n", 1, "only a level"},
        {"mix pad pan=2\n", 1, "out of range"},
    };
    for (const Case& c : cases) {
        Score s;
        std::string error;
        EXPECT_FALSE(parseScore(c.text, &s, &error)) << c.text;
        EXPECT_EQ(error.rfind("line " + std::to_string(c.line) + ":", 0), 0u) << c.text << " -> " << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.text << " -> " << error;
    }
    std::string error;
    Score s;
    EXPECT_FALSE(loadScore("/nonexistent/score.txt", &s, &error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

TEST(Scheduler, LaysPatternsOnTheGlobalGrid) {
    const Score score = parseOrDie(kHeader +
                                   "pattern k kick\n"
                                   "  X . . . x . . . o . . . x . . .   # a comment\n"
                                   "pattern b bass\n"
                                   "  A2 - - . | C3 .*3 | E3+A3 -*7\n"
                                   "section one 2.3 4        # starts between steps\n"
                                   "  k level=0.5\n"
                                   "  b transpose=12\n"
                                   "at 1.25 hit A4 level=0.7 length=0.5\n");
    const std::vector<ScheduledNote> all = scheduleScore(score);
    ASSERT_TRUE(std::is_sorted(all.begin(), all.end(),
                               [](const ScheduledNote& a, const ScheduledNote& b) { return a.start < b.start; }));

    // Kicks fall on the beats of the global grid (bar 1 = 2..4 s), not relative to 2.3.
    const std::vector<ScheduledNote> kicks = notesOf(all, Instrument::Kick);
    ASSERT_EQ(kicks.size(), 3u);
    const double kickTimes[] = {2.5, 3.0, 3.5};
    const float kickVel[] = {0.4f, 0.225f, 0.4f};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_DOUBLE_EQ(kicks[i].start, kickTimes[i]);
        EXPECT_FLOAT_EQ(kicks[i].on.velocity, kickVel[i]);
    }

    // The bass pattern is 16 steps (one bar) of 0.125 s: A2 held 3 steps at 0, C3 at 4,
    // a chord held 8 steps at 8. At 2.3 s the section picks up the A held since 2.0.
    const std::vector<ScheduledNote> bass = notesOf(all, Instrument::Bass);
    ASSERT_EQ(bass.size(), 4u);
    EXPECT_DOUBLE_EQ(bass[0].start, 2.3);
    EXPECT_NEAR(bass[0].on.length, 0.075, 1e-12);
    EXPECT_EQ(bass[0].on.note, 57);  // A2 + 12
    EXPECT_DOUBLE_EQ(bass[1].start, 2.5);
    EXPECT_DOUBLE_EQ(bass[1].on.length, 0.125);
    EXPECT_EQ(bass[1].on.note, 60);
    EXPECT_DOUBLE_EQ(bass[2].start, 3.0);
    EXPECT_DOUBLE_EQ(bass[3].start, 3.0);
    EXPECT_DOUBLE_EQ(bass[2].on.length, 1.0);
    EXPECT_EQ(bass[2].on.note + bass[3].on.note, 64 + 69);  // E3+A3 an octave up
    EXPECT_NE(bass[2].on.seed, bass[3].on.seed);

    const std::vector<ScheduledNote> hits = notesOf(all, Instrument::Hit);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_DOUBLE_EQ(hits[0].start, 1.25);
    EXPECT_DOUBLE_EQ(hits[0].on.length, 0.5);
    EXPECT_FLOAT_EQ(hits[0].on.velocity, 0.7f);
}

TEST(Renderer, MixIsDeterministicCentredAndSilentAfterTheEnd) {
    const Score score = parseOrDie(kHeader +
                                   "length 4\nsilence 3\nmaster gain=4 ceiling=-3\n"
                                   "mix pad reverb=0.5 delay=0.3 duck=0.5\n"
                                   "pattern k kick\n  x . . . x . . . x . . . x . . .\n"
                                   "pattern p pad\n  A4+C5+E5 -*15\n"
                                   "section s 0 3\n  k\n  p\n");
    const StereoTrack one = renderScore(score, 1);
    const StereoTrack two = renderScore(score, 2);
    const StereoTrack three = renderScore(score, 3);
    ASSERT_EQ(one.left.size(), static_cast<size_t>(4 * kSampleRate));
    // The same samples whatever the number of threads, and on every run.
    EXPECT_EQ(one.left, two.left);
    EXPECT_EQ(one.right, two.right);
    EXPECT_EQ(one.left, three.left);
    EXPECT_EQ(one.right, renderScore(score, 2).right);

    // The limiter holds the ceiling although the master gain drives it hard.
    const MixFigures m = measureMix(one);
    EXPECT_LE(m.peakDb, -3.0 + 1e-3);
    EXPECT_GT(m.peakDb, -4.0);
    // The pad and the effects make the picture wide.
    EXPECT_GT(m.sideRatio, 0.05);
    // From the silence time on every sample is zero, reverb tail included.
    for (size_t i = static_cast<size_t>(3 * kSampleRate); i < one.left.size(); ++i) {
        ASSERT_EQ(one.left[i], 0.0f) << i;
        ASSERT_EQ(one.right[i], 0.0f) << i;
    }

    // A kick alone sits in the centre: both channels the same.
    const StereoTrack kick = renderScore(parseOrDie(kHeader + "length 2\npattern k kick\n  x*16\n"
                                                              "section s 0 2\n  k\n"),
                                         2);
    EXPECT_EQ(kick.left, kick.right);
    EXPECT_GT(measureMix(kick).peakDb, -20.0);
}

TEST(Renderer, MeasureMixReportsLevelsStepAndWidth) {
    StereoTrack t;
    t.left = {0.0f, 0.5f, -0.5f, 0.0f};
    t.right = {0.0f, 0.5f, 0.5f, 0.0f};
    const MixFigures m = measureMix(t);
    EXPECT_NEAR(m.peakDb, 20.0 * std::log10(0.5), 1e-9);
    EXPECT_NEAR(m.rmsDb, 20.0 * std::log10(std::sqrt(4 * 0.25 / 8.0)), 1e-9);
    EXPECT_NEAR(m.maxJump, 1.0, 1e-9);
    EXPECT_NEAR(m.sideRatio, 1.0, 1e-9);  // one frame in phase, one opposite
    EXPECT_EQ(measureMix(StereoTrack{}).peakDb, -200.0);
}

// The soundtrack's own score: it parses, follows the cue sheet and renders the same
// samples every time.
class Soundtrack : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(loadScore(DEMO_SOURCE_DIR "/tools/assetgen/sources/music/pelotrix.score", &score, &error))
            << error;
        notes = scheduleScore(score);
    }
    bool anyAt(Instrument ins, double t) const {
        for (const ScheduledNote& n : notes) {
            if (n.instrument == ins && std::fabs(n.start - t) < 1e-9) return true;
        }
        return false;
    }
    Score score;
    std::vector<ScheduledNote> notes;
};

TEST_F(Soundtrack, FollowsTheCueSheet) {
    EXPECT_DOUBLE_EQ(score.tempo, 120.0);
    EXPECT_EQ(score.keyRoot, 9);
    EXPECT_TRUE(score.minor);
    EXPECT_DOUBLE_EQ(score.silence, 146.0);
    EXPECT_GE(score.length, 149.0);

    // No drums in the intro; the beat starts at 12 s.
    double firstKick = 1e9;
    for (const ScheduledNote& n : notes) {
        const bool drum = n.instrument == Instrument::Kick || n.instrument == Instrument::Snare ||
                          n.instrument == Instrument::Clap || n.instrument == Instrument::Hat ||
                          n.instrument == Instrument::OpenHat;
        if (drum) {
            EXPECT_GE(n.start, 12.0) << instrumentName(n.instrument) << " at " << n.start;
        }
        if (n.instrument == Instrument::Kick) firstKick = std::min(firstKick, n.start);
        // Everything has started well before the end.
        EXPECT_LT(n.start, 146.0);
    }
    EXPECT_DOUBLE_EQ(firstKick, 12.0);
    // Hits as the logo cuts in, stabs on the eight glow flares, risers before white fades.
    for (double t : {6.0, 6.1, 6.3}) EXPECT_TRUE(anyAt(Instrument::Hit, t) || anyAt(Instrument::Stab, t)) << t;
    for (double t : {35.0, 35.3, 35.6, 35.8, 39.2, 39.5, 40.5, 40.9}) EXPECT_TRUE(anyAt(Instrument::Stab, t)) << t;
    for (double t : {10.0, 70.9, 94.0}) EXPECT_TRUE(anyAt(Instrument::Riser, t)) << t;
    // Every instrument plays somewhere.
    for (int i = 0; i < kInstrumentCount; ++i) {
        EXPECT_FALSE(notesOf(notes, static_cast<Instrument>(i)).empty()) << instrumentName(static_cast<Instrument>(i));
    }
    // Kick and bass stay in the centre.
    EXPECT_EQ(score.mix[static_cast<int>(Instrument::Kick)].pan, 0.0f);
    EXPECT_EQ(score.mix[static_cast<int>(Instrument::Bass)].pan, 0.0f);
}

TEST_F(Soundtrack, RendersTheSameSamplesEveryTime) {
    // The first 13 seconds (intro, hits, riser and the first beats) keep the test quick.
    score.length = 13.0;
    const StereoTrack a = renderScore(score, 2);
    const StereoTrack b = renderScore(score, 1);
    ASSERT_EQ(a.left.size(), b.left.size());
    EXPECT_TRUE(a.left == b.left && a.right == b.right);
    const MixFigures m = measureMix(a);
    EXPECT_LE(m.peakDb, 20.0 * std::log10(score.peakLimit) + 1e-3);
    EXPECT_GT(m.rmsDb, -40.0);
}
