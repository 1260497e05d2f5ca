// tools/assetgen/music.h — the soundtrack: the score as data, its rendering through the
// synthesizer, and MP3 encoding.
//
// Offers: Score and its parts, parseScore/loadScore, scheduleScore, renderScore,
//         StereoTrack, measureMix, encodeMp3, writeFileAtomically.
// Needs:  synth/ (rendering), libmp3lame (encoding only).
//
// The score is a text file (sources/music/pelotrix.score) of line-based statements; its
// header comment describes the syntax. Times are seconds of music time; patterns are laid
// on the global bar grid, so a section may start in the middle of a bar and its patterns
// still fall on the beat.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/assetgen/synth/dsp.h"
#include "tools/assetgen/synth/voices.h"

// One step of a pattern. Rests have velocity 0; a note or hit lasts `steps` steps
// (1 plus the ties after it).
struct PatternStep {
    std::vector<int> notes;  // MIDI notes (a chord has several); empty for drums
    float velocity = 0.0f;
    int steps = 1;
};

struct Pattern {
    std::string name;
    Instrument instrument = Instrument::Kick;
    int stepsPerBar = 16;
    std::vector<PatternStep> steps;  // a whole number of bars
};

// A pattern played in a section, looping on the global bar grid.
struct Play {
    int pattern = 0;  // index into Score::patterns
    float level = 1.0f;
    int transpose = 0;
};

struct Section {
    std::string name;
    double start = 0.0, end = 0.0;  // seconds, end exclusive
    std::vector<Play> plays;
};

// A single note or hit at an exact time (hits, stabs, risers).
struct TimedEvent {
    double time = 0.0;
    Instrument instrument = Instrument::Hit;
    std::vector<int> notes;  // empty for drums; pitched instruments need at least one
    float level = 1.0f;
    double length = 0.25;  // seconds held (a riser's sweep)
};

// How an instrument sits in the mix.
struct MixSettings {
    float level = 1.0f;
    float pan = 0.0f;     // -1 left .. 1 right
    float reverb = 0.0f;  // send to the reverb
    float delay = 0.0f;   // send to the ping-pong delay
    float duck = 0.0f;    // 0..1: how far the kick pushes this instrument down
};

enum class AutomationParam { Level, Cutoff };

// A piecewise-linear curve over music time; held flat before the first and after the
// last point. target -1 means the master bus.
struct Automation {
    int target = -1;
    AutomationParam param = AutomationParam::Level;
    std::vector<std::pair<double, double>> points;  // (seconds, value), ascending times
};

struct Score {
    double tempo = 120.0;
    int keyRoot = 9;       // pitch class of the tonic (9 = A)
    bool minor = true;
    double length = 150.0;   // seconds rendered
    double silence = 150.0;  // from here on every sample is 0
    double delayTime = 0.375, delayFeedback = 0.35;
    double reverbSize = 0.8, reverbDamp = 0.3;
    double masterGain = 1.0;
    double peakLimit = 0.84;  // the limiter's ceiling (linear)
    std::vector<Pattern> patterns;
    std::vector<Section> sections;
    std::vector<TimedEvent> events;
    MixSettings mix[kInstrumentCount];
    std::vector<Automation> automations;
};

// Parses score text. On failure returns false with "line N: reason" in *error.
bool parseScore(const std::string& text, Score* score, std::string* error);
// Reads and parses a score file.
bool loadScore(const std::string& path, Score* score, std::string* error);

// Seconds per step of a pattern.
double stepSeconds(const Score& score, int stepsPerBar);

struct ScheduledNote {
    double start = 0.0;  // seconds
    Instrument instrument = Instrument::Kick;
    NoteOn on;
};
// Every note of the score in time order (ties resolved, chords split, levels applied).
std::vector<ScheduledNote> scheduleScore(const Score& score);

// A rendered track: two channels of float samples in -1..1 at kSampleRate.

// A rendered track: two channels of float samples in -1..1 at kSampleRate.
struct StereoTrack {
    std::vector<float> left;
    std::vector<float> right;
};

// Encodes to MP3 with LAME's VBR (quality 0 best .. 9 smallest; 2 is about 190 kbps),
// with a LAME tag so decoders can trim the encoder delay. False with a reason on failure.
bool encodeMp3(const StereoTrack& track, int vbrQuality, std::vector<uint8_t>* mp3,
               std::string* error);

// Writes to path + ".tmp" and renames, so a failed write never leaves a half file.
bool writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes,
                         std::string* error);

// Renders the whole score: voices, mix, ducking, delay and reverb, master fade, limiter
// and the silence at the end. Uses up to `threads` threads; the result does not depend
// on the thread count.
StereoTrack renderScore(const Score& score, int threads);

// Level figures of a rendered track.
struct MixFigures {
    double peakDb = -200.0;  // highest |sample| in dBFS
    double rmsDb = -200.0;   // RMS over the whole track (both channels)
    double maxJump = 0.0;    // largest sample-to-sample step
    double sideRatio = 0.0;  // RMS of (L-R)/2 over RMS of (L+R)/2: the stereo width
};
MixFigures measureMix(const StereoTrack& track);
