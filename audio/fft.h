// audio/fft.h — the music's frequency spectrum, as the scenes read it.
//
// 128 magnitude bins of a 256-sample FFT (bin k centred on k * 44100/256 = 172 Hz) of
// the 256 stereo frames starting at `startFrame`, averaged to mono in -1..1, Hann
// window, scaled so that a full-scale sine centred on a bin reads 1.0 there
// (2 * |X_k| / sum(w)). Frames outside 0..frameCount-1 count as silence.
// Used both by live playback and by the headless modes on the decoded samples.
#pragma once
#include <cstdint>

constexpr int kFftSize = 256;
constexpr int kSpectrumBins = 128;
// Room the demo keeps for one spectrum; more than the bins written.
constexpr int kSpectrumCapacity = 512;

// `stereo` holds frameCount interleaved L/R 16-bit frames.
void computeSpectrum(const int16_t* stereo, int64_t frameCount, int64_t startFrame,
                     float* out);
