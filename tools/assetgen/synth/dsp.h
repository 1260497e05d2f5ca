// tools/assetgen/synth/dsp.h — the synthesizer's building blocks: pitch, envelopes,
// oscillators, noise, filters, delay, reverb and panning. Plain records with free
// functions; every block is deterministic (no global state, no library randomness).
//
// Needs: nothing beyond the C++ standard library.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cmath>
#include <vector>

constexpr int kSampleRate = 44100;
constexpr double kPi = 3.14159265358979323846;

// ---- Pitch ---------------------------------------------------------------------------

// Equal-tempered frequency of a MIDI note number (69 = A4 = 440 Hz, 60 = C4).
double noteFrequency(double note);
// Parses a note name such as "A2", "C#4", "Eb3" (octave -1..9) into a MIDI number.
// Returns false for anything else.
bool parseNoteName(const char* text, int* note);

// ---- Envelopes -----------------------------------------------------------------------

// Attack-decay-sustain-release in seconds (sustain is a level 0..1). The attack rises
// linearly, the decay falls linearly to the sustain level, the release falls linearly
// from whatever level the note had reached when the gate closed, so a note released
// early never jumps.
struct Envelope {
    float attack;
    float decay;
    float sustain;
    float release;
};

// Level at `t` seconds after note-on for a note whose gate stays open `gate` seconds.
// 0 before the note and from envelopeLength on.
float envelopeAt(const Envelope& env, double t, double gate);
// Seconds from note-on until the level is back to 0: gate + release.
double envelopeLength(const Envelope& env, double gate);

// Exponential decay exp(-t / tau) that reaches exactly 0 at `length` (a short linear
// taper over the last 5 ms), so one-shot sounds end without a step.
float decayAt(double t, double tau, double length);

// ---- Oscillators ---------------------------------------------------------------------

// Phase in cycles, kept in 0..1.
struct Phase {
    double value = 0.0;
};
// Advances by freq / kSampleRate and returns the phase before the step.
double advance(Phase& p, double freq);

// Band-limited (polyBLEP) saw and square for phase `ph` and increment `dt` (cycles per
// sample); plain sine and triangle.
float sawBlep(double ph, double dt);
float squareBlep(double ph, double dt);
float sineAt(double ph);
float triangleAt(double ph);

// ---- Noise ---------------------------------------------------------------------------

// xorshift32 white noise in -1..1. The seed must not be 0.
struct Noise {
    uint32_t state = 0x9E3779B9u;
};
float nextNoise(Noise& n);

// ---- Filters -------------------------------------------------------------------------

// Two-pole state-variable filter in the trapezoidal (zero-delay feedback) form: stable
// for every cutoff and resonance, and cheap to retune per sample. Cutoffs are clamped
// to 10 Hz .. 0.45 x the sample rate; q is clamped to at least 0.5.
struct Svf {
    float ic1 = 0.0f;
    float ic2 = 0.0f;
};
struct SvfCoefs {
    float a1, a2, a3, k;
};
struct SvfOut {
    float low, band, high;
};
SvfCoefs svfCoefs(double cutoffHz, double q);
SvfOut svfProcess(Svf& s, const SvfCoefs& c, float x);

// One-pole lowpass / highpass (6 dB per octave), for tone shaping and DC removal.
struct OnePole {
    float a = 0.0f;  // smoothing coefficient
    float z = 0.0f;
};
OnePole onePole(double cutoffHz);
float onePoleLow(OnePole& f, float x);
float onePoleHigh(OnePole& f, float x);

// ---- Effects -------------------------------------------------------------------------

// Stereo ping-pong delay with a damped feedback path.
struct PingPongDelay {
    std::vector<float> left, right;
    size_t pos = 0;
    float feedback = 0.4f;
    OnePole dampL, dampR;
};
PingPongDelay makeDelay(double seconds, double feedback, double dampHz);
// Processes one frame: the input is fed to the left line, the echoes bounce to the
// right and back. Returns the wet signal only.
void delayProcess(PingPongDelay& d, float inL, float inR, float* outL, float* outR);

// Stereo reverb after Schroeder and Moorer: eight damped feedback combs and four
// allpasses per channel, the right channel's delays spread a little for width.
struct Reverb {
    struct Comb {
        std::vector<float> buf;
        size_t pos = 0;
        float store = 0.0f;
    };
    struct Allpass {
        std::vector<float> buf;
        size_t pos = 0;
    };
    Comb combs[2][8];
    Allpass allpasses[2][4];
    float feedback = 0.84f;
    float damp = 0.2f;
};
// size 0..1 sets the decay, damp 0..1 the loss of highs per round trip.
Reverb makeReverb(double size, double damp);
void reverbProcess(Reverb& r, float inL, float inR, float* outL, float* outR);

// ---- Mixing --------------------------------------------------------------------------

// Constant-power pan: pan -1 (left) .. 0 (centre) .. 1 (right); the centre gives
// 1/sqrt(2) on each side.
void panGains(double pan, float* gainL, float* gainR);

// Soft saturation that is linear for small signals and never exceeds 1.
float softClip(float x);

// ---- Inline definitions of the per-sample operations ----------------------------------

inline double advance(Phase& p, double freq) {
    const double before = p.value;
    p.value += freq / kSampleRate;
    if (p.value >= 1.0 || p.value < 0.0) p.value -= std::floor(p.value);
    return before;
}

// The polynomial correction of a unit step at phase 0, spread over one sample each side.
inline double polyBlep(double t, double dt) {
    if (dt <= 0.0) return 0.0;
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

inline float sawBlep(double ph, double dt) {
    return static_cast<float>(2.0 * ph - 1.0 - polyBlep(ph, dt));
}

inline float squareBlep(double ph, double dt) {
    double v = ph < 0.5 ? 1.0 : -1.0;
    v += polyBlep(ph, dt);
    double shifted = ph + 0.5;
    shifted -= std::floor(shifted);
    v -= polyBlep(shifted, dt);
    return static_cast<float>(v);
}

inline float nextNoise(Noise& n) {
    uint32_t x = n.state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    n.state = x;
    return static_cast<float>(static_cast<int32_t>(x)) * (1.0f / 2147483648.0f);
}

inline SvfOut svfProcess(Svf& s, const SvfCoefs& c, float x) {
    const float v3 = x - s.ic2;
    const float v1 = c.a1 * s.ic1 + c.a2 * v3;
    const float v2 = s.ic2 + c.a2 * s.ic1 + c.a3 * v3;
    s.ic1 = 2.0f * v1 - s.ic1;
    s.ic2 = 2.0f * v2 - s.ic2;
    return SvfOut{v2, v1, x - c.k * v1 - v2};
}

inline float onePoleLow(OnePole& f, float x) {
    f.z += f.a * (x - f.z);
    return f.z;
}

inline float onePoleHigh(OnePole& f, float x) { return x - onePoleLow(f, x); }
