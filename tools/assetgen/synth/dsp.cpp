#include "tools/assetgen/synth/dsp.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

double noteFrequency(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

bool parseNoteName(const char* text, int* note) {
    static const int kSemitone[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    if (!text || !*text) return false;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    if (letter < 'A' || letter > 'G') return false;
    int semitone = kSemitone[letter - 'A'];
    const char* p = text + 1;
    if (*p == '#') {
        ++semitone;
        ++p;
    } else if (*p == 'b') {
        --semitone;
        ++p;
    }
    bool negative = false;
    if (*p == '-') {
        negative = true;
        ++p;
    }
    if (!std::isdigit(static_cast<unsigned char>(*p)) || p[1] != '\0') return false;
    const int octave = negative ? -(*p - '0') : (*p - '0');
    if (octave < -1) return false;
    const int midi = (octave + 1) * 12 + semitone;
    if (midi < 0 || midi > 127) return false;
    *note = midi;
    return true;
}

namespace {

// Level while the gate is open, t >= 0.
double heldLevel(const Envelope& e, double t) {
    if (t < e.attack) return t / e.attack;
    t -= e.attack;
    if (t < e.decay) return 1.0 + (e.sustain - 1.0) * (t / e.decay);
    return e.sustain;
}

}  // namespace

float envelopeAt(const Envelope& env, double t, double gate) {
    if (t < 0.0) return 0.0f;
    if (t < gate) return static_cast<float>(heldLevel(env, t));
    const double r = t - gate;
    if (r >= env.release) return 0.0f;
    return static_cast<float>(heldLevel(env, gate) * (1.0 - r / env.release));
}

double envelopeLength(const Envelope& env, double gate) { return gate + env.release; }

float decayAt(double t, double tau, double length) {
    if (t < 0.0 || t >= length) return 0.0f;
    const double taper = std::min(1.0, (length - t) / 0.005);
    return static_cast<float>(std::exp(-t / tau) * taper);
}





float sineAt(double ph) { return static_cast<float>(std::sin(2.0 * kPi * ph)); }

float triangleAt(double ph) {
    return static_cast<float>(ph < 0.5 ? 4.0 * ph - 1.0 : 3.0 - 4.0 * ph);
}


SvfCoefs svfCoefs(double cutoffHz, double q) {
    cutoffHz = std::clamp(cutoffHz, 10.0, 0.45 * kSampleRate);
    q = std::max(q, 0.5);
    const double g = std::tan(kPi * cutoffHz / kSampleRate);
    const double k = 1.0 / q;
    const double a1 = 1.0 / (1.0 + g * (g + k));
    const double a2 = g * a1;
    const double a3 = g * a2;
    return SvfCoefs{static_cast<float>(a1), static_cast<float>(a2), static_cast<float>(a3),
                    static_cast<float>(k)};
}


OnePole onePole(double cutoffHz) {
    cutoffHz = std::clamp(cutoffHz, 1.0, 0.45 * kSampleRate);
    OnePole f;
    f.a = static_cast<float>(1.0 - std::exp(-2.0 * kPi * cutoffHz / kSampleRate));
    return f;
}



PingPongDelay makeDelay(double seconds, double feedback, double dampHz) {
    PingPongDelay d;
    const size_t n = std::max<size_t>(1, static_cast<size_t>(std::lround(seconds * kSampleRate)));
    d.left.assign(n, 0.0f);
    d.right.assign(n, 0.0f);
    d.feedback = static_cast<float>(std::clamp(feedback, 0.0, 0.95));
    d.dampL = onePole(dampHz);
    d.dampR = onePole(dampHz);
    return d;
}

void delayProcess(PingPongDelay& d, float inL, float inR, float* outL, float* outR) {
    const float l = d.left[d.pos];
    const float r = d.right[d.pos];
    // The left line takes the input and the right line's echo; the right line takes the
    // left line's echo: the repeats alternate sides.
    d.left[d.pos] = 0.5f * (inL + inR) + d.feedback * onePoleLow(d.dampR, r);
    d.right[d.pos] = d.feedback * onePoleLow(d.dampL, l);
    if (++d.pos == d.left.size()) d.pos = 0;
    *outL = l;
    *outR = r;
}

Reverb makeReverb(double size, double damp) {
    // Classic tunings at 44.1 kHz (mutually prime-ish lengths); the right side is spread.
    static const int kCombs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    static const int kAllpasses[4] = {556, 441, 341, 225};
    const int spread = 23;
    Reverb r;
    for (int ch = 0; ch < 2; ++ch) {
        for (int i = 0; i < 8; ++i) r.combs[ch][i].buf.assign(kCombs[i] + ch * spread, 0.0f);
        for (int i = 0; i < 4; ++i) r.allpasses[ch][i].buf.assign(kAllpasses[i] + ch * spread, 0.0f);
    }
    r.feedback = static_cast<float>(0.7 + 0.28 * std::clamp(size, 0.0, 1.0));
    r.damp = static_cast<float>(0.4 * std::clamp(damp, 0.0, 1.0));
    return r;
}

void reverbProcess(Reverb& r, float inL, float inR, float* outL, float* outR) {
    const float input = (inL + inR) * 0.015f;
    float out[2];
    for (int ch = 0; ch < 2; ++ch) {
        float acc = 0.0f;
        for (Reverb::Comb& c : r.combs[ch]) {
            const float y = c.buf[c.pos];
            c.store = y * (1.0f - r.damp) + c.store * r.damp;
            c.buf[c.pos] = input + c.store * r.feedback;
            if (++c.pos == c.buf.size()) c.pos = 0;
            acc += y;
        }
        for (Reverb::Allpass& a : r.allpasses[ch]) {
            const float b = a.buf[a.pos];
            a.buf[a.pos] = acc + b * 0.5f;
            if (++a.pos == a.buf.size()) a.pos = 0;
            acc = b - acc;
        }
        out[ch] = acc;
    }
    *outL = out[0];
    *outR = out[1];
}

void panGains(double pan, float* gainL, float* gainR) {
    const double a = (std::clamp(pan, -1.0, 1.0) + 1.0) * kPi / 4.0;
    // cos(pi/2 - a) rather than sin(a): the centre then gives exactly equal gains.
    *gainL = static_cast<float>(std::cos(a));
    *gainR = static_cast<float>(std::cos(kPi / 2.0 - a));
}

float softClip(float x) {
    const float ax = std::fabs(x);
    if (ax <= 0.5f) return x;
    // Above 0.5 bend smoothly towards 1 (continuous value and slope at 0.5).
    const float y = 0.5f + 0.5f * std::tanh((ax - 0.5f) / 0.5f);
    return x < 0.0f ? -y : y;
}
