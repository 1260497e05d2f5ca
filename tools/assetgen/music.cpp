// The soundtrack part of the asset tool: data/pelotrix.mp3.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "tools/assetgen/generators.h"
#include "tools/assetgen/music.h"

namespace {

// A plain 120 BPM kick and snare grid: a timing reference until the score is rendered.
StereoTrack renderGrid(double seconds, double silentFrom) {
    StereoTrack track;
    const size_t frames = static_cast<size_t>(seconds * kSampleRate);
    track.left.assign(frames, 0.0f);
    track.right.assign(frames, 0.0f);
    uint32_t noise = 12345;
    for (int beat = 0; beat * 0.5 < silentFrom - 0.5; ++beat) {
        const size_t start = static_cast<size_t>(beat * 0.5 * kSampleRate);
        const bool snare = beat % 2 == 1;
        double phase = 0.0;
        for (size_t i = 0; i < static_cast<size_t>(0.3 * kSampleRate); ++i) {
            const double t = static_cast<double>(i) / kSampleRate;
            float s;
            if (!snare) {
                const double f = 50.0 + 150.0 * std::exp(-t * 25.0);
                phase += 2.0 * M_PI * f / kSampleRate;
                s = static_cast<float>(0.8 * std::sin(phase) * std::exp(-t * 9.0));
            } else {
                noise = noise * 1664525u + 1013904223u;
                const double n = static_cast<double>(noise >> 8) / 8388608.0 - 1.0;
                phase += 2.0 * M_PI * 330.0 / kSampleRate;
                s = static_cast<float>((0.35 * n + 0.4 * std::sin(phase)) * std::exp(-t * 18.0));
            }
            const double fadeIn = std::min(1.0, t / 0.001);
            track.left[start + i] += static_cast<float>(s * fadeIn);
            track.right[start + i] += static_cast<float>(s * fadeIn);
        }
    }
    return track;
}

}  // namespace

void generateMusic(const GenContext& ctx) {
    const std::string path = ctx.outDir + "/pelotrix.mp3";
    StereoTrack track = renderGrid(150.0, 146.0);
    std::vector<uint8_t> mp3;
    std::string error;
    if (!encodeMp3(track, 2, &mp3, &error) || !writeFileAtomically(path, mp3, &error)) {
        std::fprintf(stderr, "assetgen: music: %s\n", error.c_str());
        std::exit(1);
    }
    if (ctx.verbose) std::fprintf(stderr, "  %s (%zu bytes)\n", path.c_str(), mp3.size());
}
