// exporters/analyze_music.h — `--analyze-music OUT.png`: how the music drives the pictures.
//
// Offers: runMusicAnalysis (the command-line mode) and the measurements behind it, which
//         work on any sample buffer: traceSpectrum, binFigures, beatTriggers, glowTrace,
//         sceneReport, plotSpectrum.
// Needs:  audio/music.h (decoding), audio/fft.h, assets/image.h (writePng), the scene
//         table (the windows) and scene 3's constants (the beat rule, the glow).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "assets/image.h"

// Decodes the music, measures the spectrum at 60 frames a second, prints the per-scene
// figures and writes the plot to outPng. Returns the process exit code.
int runMusicAnalysis(const std::string& musicPath, const std::string& outPng);

// Bins 0..2 of the demo's spectrum at frame n = 0, 1, 2, ... of a fixed clock, where
// t(n) = n / fps as a float (the headless modes' clock), measured as the player does.
struct SpectrumTrace {
    double fps = 60.0;
    std::vector<float> t;
    std::vector<float> bin[3];
    // Largest magnitude of any of the 128 bins at each frame.
    std::vector<float> anyBin;
};
// `stereo` holds `frames` interleaved 16-bit frames at 44100 Hz; the trace covers
// `seconds` of music time (frames past the end count as silence).
SpectrumTrace traceSpectrum(const int16_t* stereo, int64_t frames, double fps, double seconds);

// Summary of a series over the open window from < t < to.
struct Figures {
    int count = 0;  // frames in the window
    float min = 0.0f, median = 0.0f, p95 = 0.0f, max = 0.0f;
};
// Percentiles by the nearest-rank method (p95 is the value at rank ceil(0.95 n)).
Figures seriesFigures(const std::vector<float>& t, const std::vector<float>& values, double from,
                      double to);

// Music times at which scene 3's beat rule fires within from < t < to: spectrum bin 2
// above 0.258 and more than 0.1 s after the last accepted beat, starting with the last
// beat at 0 as the scene's record does.
std::vector<float> beatTriggers(const SpectrumTrace& trace, double from, double to);

// Scene 3's glow strength at every frame: bin 1 x 2000 x bin 2 x bin 0, in that order.
std::vector<float> glowTrace(const SpectrumTrace& trace);

struct SceneSpan {
    int number;
    double start, end;
};
// The seven scene windows of the timeline.
const std::vector<SceneSpan>& sceneSpans();

// The printed report: per scene min/median/p95/max of bins 0..2, beat triggers, glow
// figures, and the loudest bin after the music ends.
std::string sceneReport(const SpectrumTrace& trace);

// The plot: bins 0..2 and the glow strength over the whole timeline, scene bounds,
// cue-sheet times and beat triggers. Returns a new Image (free with freeImage).
Image* plotSpectrum(const SpectrumTrace& trace);
