// tools/assetgen/synth/voices.h — the instruments of the soundtrack: drums, bass, pads,
// leads, risers and hits, each a function that renders one note into a stereo buffer.
//
// Needs: synth/dsp.h.
#pragma once
#include <cstddef>
#include <cstdint>

enum class Instrument {
    Kick,     // sine body with a falling pitch, a click on top
    Snare,    // two-tone body (about 190 and 340 Hz) and band-passed noise
    Clap,     // three quick noise bursts and a short tail, with a 340 Hz body
    Hat,      // closed hi-hat: short high-passed noise
    OpenHat,  // open hi-hat: longer and brighter
    Crash,    // cymbal wash, stereo
    Bass,     // saw and sub sine through a resonant low-pass with its own envelope
    Pad,      // five detuned saws per note spread across the stereo field, slow envelope
    Arp,      // plucked square and saw with a fast filter envelope
    Lead,     // two detuned saws with delayed vibrato
    Stab,     // short bright chord note with a falling filter
    Riser,    // noise and a saw sweeping upwards over the note's length
    Hit,      // impact: a falling boom, a noise burst and a bright ring
    Count
};

constexpr int kInstrumentCount = static_cast<int>(Instrument::Count);
// Samples per control step: automation curves hold one value per block.
constexpr int kControlBlock = 32;

// Lower-case name as used in the score ("kick", "openhat", ...).
const char* instrumentName(Instrument instrument);
// False if the name is not an instrument.
bool instrumentFromName(const char* name, Instrument* instrument);
// True for instruments that play pitches (notes in the score); drums and effects are false.
bool instrumentIsPitched(Instrument instrument);

struct NoteOn {
    double length = 0.125;   // seconds the note is held (risers: the whole sweep)
    int note = 57;           // MIDI note number (drums ignore it)
    float velocity = 1.0f;   // 0..1
    uint32_t seed = 1;       // noise seed, nonzero; the same seed gives the same sound
    // Filter cutoff multipliers at control rate from the note's first sample on (one per
    // kControlBlock samples), or null for 1.0 throughout.
    const float* cutoff = nullptr;
    size_t cutoffCount = 0;
};

// Seconds from note-on until the voice is silent again.
double voiceLength(Instrument instrument, const NoteOn& note);
// Number of frames voiceLength covers (rounded up).
size_t voiceFrames(Instrument instrument, const NoteOn& note);
// Adds the note to left/right (frames samples each, sample 0 = note-on). Every voice
// starts and ends at zero level, so notes never click at their edges.
void renderVoice(Instrument instrument, const NoteOn& note, float* left, float* right,
                 size_t frames);
