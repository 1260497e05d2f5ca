// The soundtrack part of the asset tool: data/pelotrix.mp3 from sources/music/pelotrix.score.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "tools/assetgen/generators.h"
#include "tools/assetgen/music.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "assetgen: music: %s\n", why.c_str());
    std::exit(1);
}

}  // namespace

void generateMusic(const GenContext& ctx) {
    const std::string scorePath = ctx.sourceDir + "/music/pelotrix.score";
    const std::string path = ctx.outDir + "/pelotrix.mp3";
    std::string error;
    Score score;
    if (!loadScore(scorePath, &score, &error)) fail(error);

    auto t0 = std::chrono::steady_clock::now();
    const StereoTrack track = renderScore(score, 2);
    const double renderTime = secondsSince(t0);
    const MixFigures mix = measureMix(track);

    t0 = std::chrono::steady_clock::now();
    std::vector<uint8_t> mp3;
    if (!encodeMp3(track, 2, &mp3, &error)) fail(error);
    if (!writeFileAtomically(path, mp3, &error)) fail(error);
    const double encodeTime = secondsSince(t0);

    if (ctx.verbose) {
        const double seconds = static_cast<double>(track.left.size()) / kSampleRate;
        std::fprintf(stderr,
                     "  %s: %.1f s, %zu bytes (%.0f kbit/s); rendered in %.2f s, encoded in %.2f s\n"
                     "  mix: peak %.2f dBFS, RMS %.2f dBFS, largest step %.3f, side/mid %.2f\n",
                     path.c_str(), seconds, mp3.size(), mp3.size() * 8.0 / seconds / 1000.0,
                     renderTime, encodeTime, mix.peakDb, mix.rmsDb, mix.maxJump, mix.sideRatio);
    }
}
