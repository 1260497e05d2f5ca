// The synthesizer's building blocks: pitch, envelopes, filters, effects and the voices.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "tools/assetgen/synth/dsp.h"
#include "tools/assetgen/synth/voices.h"

namespace {

// Fundamental by autocorrelation: past the first dip below zero, the first peak that
// comes close to the highest one (so a multiple of the period is not taken instead).
double estimatePitch(const std::vector<float>& x, size_t from, size_t count) {
    const size_t minLag = kSampleRate / 2000, maxLag = kSampleRate / 40;
    std::vector<double> r(maxLag + 2, 0.0);
    for (size_t lag = minLag; lag <= maxLag + 1; ++lag) {
        double num = 0.0, e1 = 0.0, e2 = 0.0;
        for (size_t i = from; i < from + count; ++i) {
            num += x[i] * x[i + lag];
            e1 += x[i] * x[i];
            e2 += x[i + lag] * x[i + lag];
        }
        r[lag] = num / std::sqrt(e1 * e2 + 1e-20);
    }
    size_t start = minLag;
    while (start < maxLag && r[start] > 0.0) ++start;
    const double top = *std::max_element(r.begin() + static_cast<long>(start), r.begin() + static_cast<long>(maxLag));
    size_t lag = start;
    while (lag < maxLag && !(r[lag] >= 0.9 * top && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1])) ++lag;
    // Refine with a parabola through the neighbours.
    const double a = r[lag - 1], b = r[lag], c = r[lag + 1];
    const double denom = a - 2.0 * b + c;
    const double shift = denom != 0.0 ? 0.5 * (a - c) / denom : 0.0;
    return kSampleRate / (static_cast<double>(lag) + shift);
}

struct Rendered {
    std::vector<float> left, right;
};

Rendered render(Instrument ins, const NoteOn& on) {
    Rendered r;
    const size_t n = voiceFrames(ins, on);
    r.left.assign(n, 0.0f);
    r.right.assign(n, 0.0f);
    renderVoice(ins, on, r.left.data(), r.right.data(), n);
    return r;
}

}  // namespace

TEST(Pitch, NoteNumbersAndNamesGiveEqualTemperedFrequencies) {
    struct Case {
        const char* name;
        int midi;
        double hz;
    };
    const Case cases[] = {{"A4", 69, 440.0},     {"A3", 57, 220.0},  {"C4", 60, 261.6256},
                          {"C#4", 61, 277.1826}, {"Bb3", 58, 233.0819}, {"A0", 21, 27.5},
                          {"C-1", 0, 8.1758},    {"G9", 127, 12543.854}};
    for (const Case& c : cases) {
        int midi = -1;
        ASSERT_TRUE(parseNoteName(c.name, &midi)) << c.name;
        EXPECT_EQ(midi, c.midi) << c.name;
        EXPECT_NEAR(noteFrequency(midi), c.hz, c.hz * 1e-5) << c.name;
    }
    for (const char* bad : {"", "H2", "A", "A10", "Cb-1", "G#9", "A#x", "a 4", "E#"}) {
        int midi = 7;
        EXPECT_FALSE(parseNoteName(bad, &midi)) << bad;
        EXPECT_EQ(midi, 7) << bad;
    }
}

TEST(Envelope, LengthIsGatePlusReleaseAndEveryEdgeIsContinuous) {
    struct Case {
        Envelope env;
        double gate;
    };
    const Case cases[] = {
        {{0.01f, 0.1f, 0.6f, 0.2f}, 1.0},    // released while sustaining
        {{0.5f, 0.2f, 0.8f, 0.3f}, 0.1},     // released during the attack
        {{0.01f, 0.5f, 0.2f, 0.05f}, 0.2},   // released during the decay
        {{0.0f, 0.0f, 1.0f, 0.0f}, 0.5},     // an organ gate without edges
    };
    for (const Case& c : cases) {
        const double len = envelopeLength(c.env, c.gate);
        EXPECT_DOUBLE_EQ(len, c.gate + c.env.release);
        EXPECT_EQ(envelopeAt(c.env, -1e-6, c.gate), 0.0f);
        EXPECT_EQ(envelopeAt(c.env, len, c.gate), 0.0f);
        EXPECT_EQ(envelopeAt(c.env, len + 1.0, c.gate), 0.0f);
        if (c.env.release > 0.0f) {
            EXPECT_GT(envelopeAt(c.env, len - 1e-3, c.gate), 0.0f);
        }
        // No jump where the gate closes: a note released early falls from where it was.
        if (c.env.release > 0.0f) {
            EXPECT_NEAR(envelopeAt(c.env, c.gate - 1e-7, c.gate), envelopeAt(c.env, c.gate + 1e-7, c.gate),
                        1e-4);
        }
        // And no step anywhere over the note, sampled at the audio rate.
        if (c.env.attack > 0.0f && c.env.release > 0.0f) {
            float prev = 0.0f, worst = 0.0f;
            for (double t = 0.0; t <= len + 0.01; t += 1.0 / kSampleRate) {
                const float v = envelopeAt(c.env, t, c.gate);
                worst = std::max(worst, std::fabs(v - prev));
                prev = v;
            }
            EXPECT_LT(worst, 0.01f);
        }
    }
    const Envelope e{0.1f, 0.2f, 0.5f, 0.3f};
    EXPECT_NEAR(envelopeAt(e, 0.05, 10.0), 0.5f, 1e-6);  // half-way up the attack
    EXPECT_NEAR(envelopeAt(e, 0.1, 10.0), 1.0f, 1e-6);   // top of the attack
    EXPECT_NEAR(envelopeAt(e, 0.2, 10.0), 0.75f, 1e-6);  // half-way down the decay
    EXPECT_NEAR(envelopeAt(e, 5.0, 10.0), 0.5f, 1e-6);   // sustain
}

TEST(Filter, StateVariableFilterStaysStableAndSeparatesBands) {
    // Every corner of the parameter space, including cutoffs past Nyquist that a careless
    // tan() would turn into garbage.
    for (double cutoff : {5.0, 200.0, 5000.0, 19000.0, 22050.0, 40000.0}) {
        for (double q : {0.1, 0.707, 10.0, 80.0}) {
            const SvfCoefs c = svfCoefs(cutoff, q);
            Svf s;
            Noise noise;
            float peak = 0.0f;
            for (int i = 0; i < kSampleRate; ++i) {
                const SvfOut o = svfProcess(s, c, nextNoise(noise));
                ASSERT_TRUE(std::isfinite(o.low) && std::isfinite(o.band) && std::isfinite(o.high))
                    << cutoff << " " << q;
                peak = std::max({peak, std::fabs(o.low), std::fabs(o.high)});
            }
            // Resonance amplifies by about q at most; nothing grows without bound.
            EXPECT_LT(peak, 4.0f * static_cast<float>(std::max(q, 1.0))) << cutoff << " " << q;
            // Silence in, and the state dies away (a resonance rings for about
            // q / (pi * cutoff) seconds per factor e).
            const double ring = std::max(q, 0.5) / (kPi * std::clamp(cutoff, 10.0, 19845.0));
            const int quiet = static_cast<int>((0.1 + 10.0 * ring) * kSampleRate);
            for (int i = 0; i < quiet; ++i) svfProcess(s, c, 0.0f);
            EXPECT_LT(std::fabs(s.ic1) + std::fabs(s.ic2), 1e-3f) << cutoff << " " << q;
        }
    }
    // A 200 Hz low-pass passes 50 Hz and removes 8 kHz; its high-pass output does the opposite.
    auto gain = [](double hz, bool low) {
        const SvfCoefs c = svfCoefs(200.0, 0.707);
        Svf s;
        Phase p;
        double peak = 0.0;
        for (int i = 0; i < kSampleRate; ++i) {
            const SvfOut o = svfProcess(s, c, sineAt(advance(p, hz)));
            if (i > kSampleRate / 2) peak = std::max(peak, std::fabs(static_cast<double>(low ? o.low : o.high)));
        }
        return peak;
    };
    EXPECT_NEAR(gain(50.0, true), 1.0, 0.1);
    EXPECT_LT(gain(8000.0, true), 0.002);
    EXPECT_NEAR(gain(8000.0, false), 1.0, 0.05);
    EXPECT_LT(gain(20.0, false), 0.02);
}

TEST(Effects, DelayBouncesBetweenSidesAndReverbDiesAway) {
    PingPongDelay d = makeDelay(0.25, 0.5, 20000.0);
    const size_t n = static_cast<size_t>(kSampleRate);
    std::vector<float> l(n), r(n);
    for (size_t i = 0; i < n; ++i) delayProcess(d, i == 0 ? 1.0f : 0.0f, i == 0 ? 1.0f : 0.0f, &l[i], &r[i]);
    const size_t step = static_cast<size_t>(0.25 * kSampleRate);
    auto argmaxIn = [](const std::vector<float>& v, size_t a, size_t b) {
        return static_cast<size_t>(std::max_element(v.begin() + static_cast<long>(a), v.begin() + static_cast<long>(b),
                                                    [](float x, float y) { return std::fabs(x) < std::fabs(y); }) -
                                   v.begin());
    };
    // First echo on the left after one delay, the second on the right after two.
    EXPECT_EQ(argmaxIn(l, 1, step + step / 2), step);
    EXPECT_GT(l[step], 0.5f);
    EXPECT_LT(std::fabs(r[step]), 1e-6f);
    EXPECT_NEAR(static_cast<double>(argmaxIn(r, step + step / 2, 2 * step + step / 2)), 2.0 * step, 3.0);
    EXPECT_LT(std::fabs(l[2 * step]), 0.05f);

    Reverb rv = makeReverb(1.0, 0.0);  // the longest, brightest room
    float early = 0.0f, late = 0.0f;
    for (int i = 0; i < 10 * kSampleRate; ++i) {
        const float in = i < 100 ? 1.0f : 0.0f;
        float a, b;
        reverbProcess(rv, in, in, &a, &b);
        ASSERT_TRUE(std::isfinite(a) && std::isfinite(b));
        if (i < kSampleRate) early = std::max({early, std::fabs(a), std::fabs(b)});
        if (i > 9 * kSampleRate) late = std::max({late, std::fabs(a), std::fabs(b)});
    }
    EXPECT_GT(early, 0.01f);
    EXPECT_LT(late, early * 0.01f);
}

TEST(Voices, EveryInstrumentStartsAndEndsSilentAndIsRepeatable) {
    for (int i = 0; i < kInstrumentCount; ++i) {
        const Instrument ins = static_cast<Instrument>(i);
        SCOPED_TRACE(instrumentName(ins));
        NoteOn on;
        on.note = 57;
        on.length = 0.5;
        on.velocity = 1.0f;
        on.seed = 1234;
        const Rendered a = render(ins, on);
        ASSERT_GT(a.left.size(), 100u);
        EXPECT_NEAR(static_cast<double>(a.left.size()), voiceLength(ins, on) * kSampleRate, 1.0);
        // Silent edges: no click where the note starts or ends.
        EXPECT_EQ(a.left.front(), 0.0f);
        EXPECT_EQ(a.right.front(), 0.0f);
        EXPECT_LT(std::fabs(a.left.back()) + std::fabs(a.right.back()), 1e-3f);
        float peak = 0.0f;
        for (size_t k = 0; k < a.left.size(); ++k) {
            ASSERT_TRUE(std::isfinite(a.left[k]) && std::isfinite(a.right[k]));
            peak = std::max({peak, std::fabs(a.left[k]), std::fabs(a.right[k])});
        }
        EXPECT_GT(peak, 0.01f);
        EXPECT_LT(peak, 2.0f);
        const Rendered b = render(ins, on);
        EXPECT_EQ(a.left, b.left);
        EXPECT_EQ(a.right, b.right);
        // Each name maps back to its instrument.
        Instrument back;
        ASSERT_TRUE(instrumentFromName(instrumentName(ins), &back));
        EXPECT_EQ(back, ins);
    }
    Instrument none;
    EXPECT_FALSE(instrumentFromName("theremin", &none));
}

TEST(Voices, PitchedVoicesPlayTheFrequencyOfTheirNote) {
    struct Case {
        Instrument ins;
        int note;
    };
    const Case cases[] = {{Instrument::Bass, 45},   // A2, 110 Hz
                          {Instrument::Bass, 40},   // E2, 82.4 Hz
                          {Instrument::Stab, 69},   // A4
                          {Instrument::Arp, 72},    // C5
                          {Instrument::Pad, 64}};   // E4
    for (const Case& c : cases) {
        SCOPED_TRACE(instrumentName(c.ins));
        NoteOn on;
        on.note = c.note;
        on.length = 0.6;
        const Rendered r = render(c.ins, on);
        std::vector<float> mono(r.left.size());
        for (size_t i = 0; i < mono.size(); ++i) mono[i] = r.left[i] + r.right[i];
        // A stretch after the attack and before the lead's vibrato sets in.
        const double hz = estimatePitch(mono, 2000, 4096);
        EXPECT_NEAR(hz, noteFrequency(c.note), noteFrequency(c.note) * 0.01) << c.note;
    }
}

TEST(Voices, KickAndBassAreMonoWhilePadsAreWide) {
    NoteOn on;
    on.note = 57;
    on.length = 1.0;
    for (Instrument ins : {Instrument::Kick, Instrument::Bass, Instrument::Snare}) {
        const Rendered r = render(ins, on);
        EXPECT_EQ(r.left, r.right) << instrumentName(ins);
    }
    const Rendered pad = render(Instrument::Pad, on);
    double side = 0.0, mid = 0.0;
    for (size_t i = 0; i < pad.left.size(); ++i) {
        side += (pad.left[i] - pad.right[i]) * (pad.left[i] - pad.right[i]);
        mid += (pad.left[i] + pad.right[i]) * (pad.left[i] + pad.right[i]);
    }
    EXPECT_GT(side / mid, 0.05);
}
