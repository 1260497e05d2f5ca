// tools/assetgen/music.h — the soundtrack: score, rendering and MP3 encoding.
//
// Offers: StereoTrack, encodeMp3, writeFileAtomically.
// Needs:  libmp3lame (encoding only).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr int kSampleRate = 44100;

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
