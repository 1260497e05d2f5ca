#include "tools/assetgen/synth/voices.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "tools/assetgen/synth/dsp.h"

namespace {

const char* const kNames[kInstrumentCount] = {"kick", "snare", "clap",  "hat",  "openhat",
                                              "crash", "bass", "pad",   "arp",  "lead",
                                              "stab", "riser", "hit"};

// Fade-in and fade-out lengths every voice gets at its edges (samples).
constexpr size_t kEdgeIn = 44;    // 1 ms
constexpr size_t kEdgeOut = 220;  // 5 ms

// Writes samples through the edge window so that a note starts and ends at zero.
struct Out {
    float* left;
    float* right;
    size_t frames;
    void add(size_t i, float l, float r) const {
        float w = 1.0f;
        if (i < kEdgeIn) w = static_cast<float>(i) / kEdgeIn;
        const size_t fromEnd = frames - 1 - i;
        if (fromEnd < kEdgeOut) w = std::min(w, static_cast<float>(fromEnd) / kEdgeOut);
        left[i] += l * w;
        right[i] += r * w;
    }
};

float cutoffAt(const NoteOn& n, size_t i) {
    if (!n.cutoff || n.cutoffCount == 0) return 1.0f;
    return n.cutoff[std::min(i / kControlBlock, n.cutoffCount - 1)];
}

inline double secs(size_t i) { return static_cast<double>(i) / kSampleRate; }

// Starting phases spread by the seed, so stacked oscillators do not start in step.
double seededPhase(uint32_t seed, int k) {
    Noise n{seed * 2654435761u + static_cast<uint32_t>(k) * 40503u + 1u};
    if (n.state == 0) n.state = 1;
    nextNoise(n);
    return 0.5 + 0.5 * nextNoise(n);
}

void kick(const NoteOn& n, const Out& out) {
    Phase ph;
    Noise noise{n.seed};
    OnePole clickHp = onePole(1500.0);
    const float drive = 1.8f;
    const float norm = 1.0f / std::tanh(drive);
    for (size_t i = 0; i < out.frames; ++i) {
        const double t = secs(i);
        // The pitch falls from 300 Hz through the 100-200 Hz body to 50 Hz; the body
        // holds 40 ms and dies quickly, so the low end is clear between beats. The kick
        // barely touches 344 Hz: bin 2 belongs to the snare.
        const double f = 50.0 + 130.0 * std::exp(-t / 0.05) + 120.0 * std::exp(-t / 0.004);
        const double p = advance(ph, f);
        const double amp = t < 0.04 ? 1.0 : std::exp(-(t - 0.04) / 0.07);
        float body = static_cast<float>(std::sin(2.0 * kPi * p) * amp);
        body = std::tanh(drive * body) * norm;
        const float click = onePoleHigh(clickHp, nextNoise(noise)) *
                            static_cast<float>(0.35 * std::exp(-t / 0.003));
        const float s = (body + click) * n.velocity;
        out.add(i, s, s);
    }
}

void snare(const NoteOn& n, const Out& out) {
    Phase low, high;
    Noise noise{n.seed};
    Svf bp;
    const SvfCoefs bpc = svfCoefs(3200.0, 0.7);
    OnePole hp = onePole(400.0);
    for (size_t i = 0; i < out.frames; ++i) {
        const double t = secs(i);
        const double drop = 1.0 + 0.15 * std::exp(-t / 0.01);
        // The 340 Hz body rings for about 60 ms above the level of its first frames'
        // half: long enough to be seen by a 60 Hz spectrum at any phase, short enough
        // not to count twice.
        const float tone = 0.2f * sineAt(advance(low, 190.0 * drop)) +
                           0.9f * sineAt(advance(high, 340.0 * drop));
        const float tonal = tone * static_cast<float>(std::exp(-t / 0.11));
        const float nz = onePoleHigh(hp, nextNoise(noise));
        const SvfOut f = svfProcess(bp, bpc, nz);
        const float hiss = (0.6f * f.band + 0.25f * nz) * static_cast<float>(std::exp(-t / 0.1));
        const float s = (0.75f * tonal + 0.6f * hiss) * n.velocity;
        out.add(i, s, s);
    }
}

void clap(const NoteOn& n, const Out& out) {
    Phase body;
    Noise noise{n.seed};
    Svf bp;
    const SvfCoefs bpc = svfCoefs(1100.0, 1.5);
    for (size_t i = 0; i < out.frames; ++i) {
        const double t = secs(i);
        double env = 0.0;
        for (double burst : {0.0, 0.010, 0.021}) {
            if (t >= burst) env = std::max(env, std::exp(-(t - burst) / 0.004));
        }
        if (t >= 0.03) env = std::max(env, 0.7 * std::exp(-(t - 0.03) / 0.09));
        const float nz = svfProcess(bp, bpc, nextNoise(noise)).band;
        const float tone = sineAt(advance(body, 340.0)) * static_cast<float>(std::exp(-t / 0.05));
        const float s = (1.6f * nz * static_cast<float>(env) + 0.5f * tone) * n.velocity;
        out.add(i, s, s);
    }
}

void hat(const NoteOn& n, const Out& out, double cutoff, double tau) {
    Noise noise{n.seed};
    Svf hp1, hp2;
    const SvfCoefs c = svfCoefs(cutoff, 0.7);
    for (size_t i = 0; i < out.frames; ++i) {
        const double t = secs(i);
        float x = svfProcess(hp1, c, nextNoise(noise)).high;
        x = svfProcess(hp2, c, x).high;
        const float s = x * static_cast<float>(std::exp(-t / tau)) * n.velocity;
        out.add(i, s, s);
    }
}

void crash(const NoteOn& n, const Out& out) {
    Noise nl{n.seed}, nr{n.seed ^ 0x5bd1e995u};
    Svf hl, hr;
    const SvfCoefs c = svfCoefs(3500.0, 0.6);
    for (size_t i = 0; i < out.frames; ++i) {
        const double t = secs(i);
        const float env = static_cast<float>(std::exp(-t / 0.7)) * n.velocity;
        out.add(i, svfProcess(hl, c, nextNoise(nl)).high * env,
                svfProcess(hr, c, nextNoise(nr)).high * env);
    }
}

void bass(const NoteOn& n, const Out& out) {
    const Envelope env{0.003f, 0.15f, 0.7f, 0.04f};
    const double f = noteFrequency(n.note);
    Phase saw, sub;
    saw.value = seededPhase(n.seed, 0);
    Svf lp;
    SvfCoefs c = svfCoefs(1000.0, 1.4);
    for (size_t i = 0; i < out.frames; ++i) {
        const double t = secs(i);
        if (i % kControlBlock == 0) {
            const double fenv = std::exp(-t / 0.09);
            c = svfCoefs((180.0 + 1800.0 * fenv) * cutoffAt(n, i), 1.4);
        }
        const double dt = f / kSampleRate;
        const float osc = 0.6f * sawBlep(advance(saw, f), dt) + 0.7f * sineAt(advance(sub, f));
        float x = svfProcess(lp, c, osc).low;
        x = std::tanh(1.5f * x) * 0.75f;
        const float s = x * envelopeAt(env, t, n.length) * n.velocity;
        out.add(i, s, s);
    }
}

// N saws detuned around the note (in semitones) and spread across the stereo field, each
// starting at its own seeded phase: the body of the pads and the stabs.
template <int N> struct SawStack {
    Phase ph[N];
    double freq[N];
    float gl[N], gr[N];
    SawStack(const NoteOn& n, const double (&detune)[N], const double (&pans)[N]) {
        for (int k = 0; k < N; ++k) {
            ph[k].value = seededPhase(n.seed, k);
            freq[k] = noteFrequency(n.note + detune[k]);
            panGains(pans[k], &gl[k], &gr[k]);
        }
    }
    // The next stereo sample of the sum.
    void next(float* l, float* r) {
        *l = *r = 0.0f;
        for (int k = 0; k < N; ++k) {
            const float s = sawBlep(advance(ph[k], freq[k]), freq[k] / kSampleRate);
            *l += s * gl[k];
            *r += s * gr[k];
        }
    }
};

void pad(const NoteOn& n, const Out& out) {
    const Envelope env{0.6f, 0.5f, 0.8f, 1.2f};
    SawStack<5> saws(n, {-0.12, -0.06, 0.0, 0.06, 0.12}, {-0.9, 0.5, 0.0, -0.5, 0.9});
    // The pads stay out of the lowest bins: a two-pole high-pass at 480 Hz leaves the
    // kick, the bass and the snare's body alone in the spectrum the pictures follow.
    Svf lpL, lpR, hpL, hpR;
    const SvfCoefs hp = svfCoefs(480.0, 0.7);
    SvfCoefs c = svfCoefs(1800.0, 0.8);
    for (size_t i = 0; i < out.frames; ++i) {
        const double t = secs(i);
        if (i % kControlBlock == 0) c = svfCoefs(1800.0 * cutoffAt(n, i), 0.8);
        float l, r;
        saws.next(&l, &r);
        const float e = envelopeAt(env, t, n.length) * n.velocity * 0.3f;
        l = svfProcess(hpL, hp, svfProcess(lpL, c, l).low).high * e;
        r = svfProcess(hpR, hp, svfProcess(lpR, c, r).low).high * e;
        out.add(i, l, r);
    }
}

void arp(const NoteOn& n, const Out& out) {
    const double f = noteFrequency(n.note);
    Phase a, b;
    a.value = seededPhase(n.seed, 0);
    Svf lp, hp;
    const SvfCoefs hpc = svfCoefs(450.0, 0.7);
    SvfCoefs c = svfCoefs(1000.0, 2.0);
    for (size_t i = 0; i < out.frames; ++i) {
        const double t = secs(i);
        if (i % kControlBlock == 0) {
            c = svfCoefs((600.0 + 5000.0 * std::exp(-t / 0.06)) * cutoffAt(n, i), 2.0);
        }
        const double dt = f / kSampleRate;
        const float osc = 0.5f * squareBlep(advance(a, f), dt) +
                          0.5f * sawBlep(advance(b, f * 1.003), dt * 1.003);
        const float amp = static_cast<float>(std::exp(-t / 0.18));
        const float s = svfProcess(hp, hpc, svfProcess(lp, c, osc).low).high * amp * n.velocity * 0.6f;
        out.add(i, s, s);
    }
}

void lead(const NoteOn& n, const Out& out) {
    const Envelope env{0.01f, 0.2f, 0.75f, 0.2f};
    const double f = noteFrequency(n.note);
    Phase s1, s2, sq, vib;
    s1.value = seededPhase(n.seed, 0);
    s2.value = seededPhase(n.seed, 1);
    float gl1, gr1, gl2, gr2;
    panGains(-0.3, &gl1, &gr1);
    panGains(0.3, &gl2, &gr2);
    Svf lpL, lpR;
    SvfCoefs c = svfCoefs(2600.0, 1.0);
    for (size_t i = 0; i < out.frames; ++i) {
        const double t = secs(i);
        if (i % kControlBlock == 0) {
            c = svfCoefs((2200.0 + 1500.0 * std::exp(-t / 0.15)) * cutoffAt(n, i), 1.0);
        }
        const double depth = 0.15 * std::clamp((t - 0.25) / 0.3, 0.0, 1.0);
        const double v = depth * std::sin(2.0 * kPi * advance(vib, 5.5));
        const double fv = f * std::pow(2.0, v / 12.0);
        const double f1 = fv * 1.004, f2 = fv / 1.004;
        const float a = sawBlep(advance(s1, f1), f1 / kSampleRate);
        const float b = sawBlep(advance(s2, f2), f2 / kSampleRate);
        const float sub = 0.3f * squareBlep(advance(sq, fv * 0.5), fv * 0.5 / kSampleRate);
        const float e = envelopeAt(env, t, n.length) * n.velocity * 0.4f;
        const float l = svfProcess(lpL, c, a * gl1 + b * gl2 + sub * 0.7f).low * e;
        const float r = svfProcess(lpR, c, a * gr1 + b * gr2 + sub * 0.7f).low * e;
        out.add(i, l, r);
    }
}

void stab(const NoteOn& n, const Out& out) {
    SawStack<3> saws(n, {-0.1, 0.0, 0.1}, {-0.6, 0.0, 0.6});
    Svf lpL, lpR;
    SvfCoefs c = svfCoefs(4000.0, 1.2);
    for (size_t i = 0; i < out.frames; ++i) {
        const double t = secs(i);
        if (i % kControlBlock == 0) {
            c = svfCoefs((400.0 + 6000.0 * std::exp(-t / 0.08)) * cutoffAt(n, i), 1.2);
        }
        float l, r;
        saws.next(&l, &r);
        const float e = static_cast<float>(std::exp(-t / 0.22)) * n.velocity * 0.35f;
        out.add(i, svfProcess(lpL, c, l).low * e, svfProcess(lpR, c, r).low * e);
    }
}

void riser(const NoteOn& n, const Out& out) {
    const double len = std::max(n.length, 0.05);
    Noise nl{n.seed}, nr{n.seed ^ 0x27d4eb2du};
    Svf bl, br;
    Phase saw;
    SvfCoefs c = svfCoefs(300.0, 2.0);
    for (size_t i = 0; i < out.frames; ++i) {
        const double t = secs(i);
        const double x = std::min(t / len, 1.0);
        if (i % kControlBlock == 0) c = svfCoefs(300.0 * std::pow(8000.0 / 300.0, x), 2.0);
        const double f = noteFrequency(n.note + 24.0 * x);
        const float tone = 0.25f * sawBlep(advance(saw, f), f / kSampleRate);
        const float amp = static_cast<float>(x * x) * n.velocity;
        out.add(i, (svfProcess(bl, c, nextNoise(nl)).band + tone) * amp,
                (svfProcess(br, c, nextNoise(nr)).band + tone) * amp);
    }
}

void hit(const NoteOn& n, const Out& out) {
    Phase boom, ring1, ring2;
    Noise nl{n.seed}, nr{n.seed ^ 0x68e31da4u};
    Svf bl, br;
    const SvfCoefs c = svfCoefs(2000.0, 0.8);
    const double f = noteFrequency(n.note);
    for (size_t i = 0; i < out.frames; ++i) {
        const double t = secs(i);
        const float b = sineAt(advance(boom, 40.0 + 80.0 * std::exp(-t / 0.08))) *
                        static_cast<float>(std::exp(-t / 0.6));
        const float ring = (sineAt(advance(ring1, f)) + 0.5f * sineAt(advance(ring2, f * 2.01))) *
                           static_cast<float>(0.25 * std::exp(-t / 0.4));
        const float ne = static_cast<float>(0.8 * std::exp(-t / 0.15));
        const float l = b + ring + svfProcess(bl, c, nextNoise(nl)).band * ne;
        const float r = b + ring + svfProcess(br, c, nextNoise(nr)).band * ne;
        out.add(i, l * n.velocity, r * n.velocity);
    }
}

}  // namespace

const char* instrumentName(Instrument instrument) {
    const int i = static_cast<int>(instrument);
    return i >= 0 && i < kInstrumentCount ? kNames[i] : "?";
}

bool instrumentFromName(const char* name, Instrument* instrument) {
    for (int i = 0; i < kInstrumentCount; ++i) {
        if (std::strcmp(name, kNames[i]) == 0) {
            *instrument = static_cast<Instrument>(i);
            return true;
        }
    }
    return false;
}

bool instrumentIsPitched(Instrument instrument) {
    switch (instrument) {
        case Instrument::Bass:
        case Instrument::Pad:
        case Instrument::Arp:
        case Instrument::Lead:
        case Instrument::Stab:
        case Instrument::Riser:
        case Instrument::Hit:
            return true;
        default:
            return false;
    }
}

double voiceLength(Instrument instrument, const NoteOn& n) {
    const double gate = std::max(n.length, 0.0);
    switch (instrument) {
        case Instrument::Kick: return 0.35;
        case Instrument::Snare: return 0.35;
        case Instrument::Clap: return 0.4;
        case Instrument::Hat: return 0.09;
        case Instrument::OpenHat: return 0.5;
        case Instrument::Crash: return 2.5;
        case Instrument::Bass: return gate + 0.04;
        case Instrument::Pad: return gate + 1.2;
        case Instrument::Arp: return gate + 0.15;
        case Instrument::Lead: return gate + 0.2;
        case Instrument::Stab: return 0.7;
        case Instrument::Riser: return std::max(gate, 0.05);
        case Instrument::Hit: return 2.2;
        case Instrument::Count: break;
    }
    return 0.0;
}

size_t voiceFrames(Instrument instrument, const NoteOn& note) {
    return static_cast<size_t>(std::ceil(voiceLength(instrument, note) * kSampleRate));
}

void renderVoice(Instrument instrument, const NoteOn& note, float* left, float* right,
                 size_t frames) {
    frames = std::min(frames, voiceFrames(instrument, note));
    if (frames == 0) return;
    NoteOn n = note;
    if (n.seed == 0) n.seed = 1;
    const Out out{left, right, frames};
    switch (instrument) {
        case Instrument::Kick: kick(n, out); break;
        case Instrument::Snare: snare(n, out); break;
        case Instrument::Clap: clap(n, out); break;
        case Instrument::Hat: hat(n, out, 7000.0, 0.022); break;
        case Instrument::OpenHat: hat(n, out, 6000.0, 0.16); break;
        case Instrument::Crash: crash(n, out); break;
        case Instrument::Bass: bass(n, out); break;
        case Instrument::Pad: pad(n, out); break;
        case Instrument::Arp: arp(n, out); break;
        case Instrument::Lead: lead(n, out); break;
        case Instrument::Stab: stab(n, out); break;
        case Instrument::Riser: riser(n, out); break;
        case Instrument::Hit: hit(n, out); break;
        case Instrument::Count: break;
    }
}
