#include "exporters/analyze_music.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "audio/music.h"
#include "audio/fft.h"
#include "gfx2d/tinyfont.h"
#include "scenes/scene3_sphere.h"
#include "scenes/scene_table.h"

namespace {

// The music ends here; after it every bin should read (almost) nothing.
constexpr double kSilentAfter = 146.5;

// The cue sheet: music times where the music marks what the picture does.
const double kCues[] = {6.0,  6.1,  6.3,  10.0, 12.0,  23.9, 24.5, 35.0,  35.3, 35.6,
                        35.8, 39.2, 39.5, 40.5, 40.9,  46.8, 48.0, 70.9,  72.4, 78.0,
                        84.0, 94.0, 94.4, 95.5, 121.0, 143.0, 145.0, 146.0};

void putPixel(Image* img, int x, int y, uint32_t color) {
    if (x >= 0 && y >= 0 && x < img->width && y < img->height) img->pixels[y * img->width + x] = color;
}

void fillRect(Image* img, int x0, int y0, int x1, int y1, uint32_t color) {
    for (int y = std::max(0, y0); y < std::min(img->height, y1); ++y) {
        for (int x = std::max(0, x0); x < std::min(img->width, x1); ++x) {
            img->pixels[y * img->width + x] = color;
        }
    }
}

std::string formatFigures(const Figures& f, const char* format) {
    char buf[160];
    std::snprintf(buf, sizeof buf, format, f.min, f.median, f.p95, f.max);
    return buf;
}

}  // namespace

SpectrumTrace traceSpectrum(const int16_t* stereo, int64_t frames, double fps, double seconds) {
    SpectrumTrace tr;
    tr.fps = fps;
    const int64_t n = static_cast<int64_t>(std::floor(seconds * fps)) + 1;
    for (auto& b : tr.bin) b.reserve(static_cast<size_t>(n));
    tr.t.reserve(static_cast<size_t>(n));
    tr.anyBin.reserve(static_cast<size_t>(n));
    float spectrum[kSpectrumCapacity];
    for (int64_t i = 0; i < n; ++i) {
        const float t = static_cast<float>(static_cast<double>(i) / fps);
        // The position the player reports for t, and its analysis window centred on it.
        const int64_t frame = static_cast<int64_t>(musicSecondsToBytes(t)) / kMusicBytesPerFrame;
        computeSpectrum(stereo, frames, frame - kFftSize / 2, spectrum);
        tr.t.push_back(t);
        for (int b = 0; b < 3; ++b) tr.bin[b].push_back(spectrum[b]);
        tr.anyBin.push_back(*std::max_element(spectrum, spectrum + kSpectrumBins));
    }
    return tr;
}

Figures seriesFigures(const std::vector<float>& t, const std::vector<float>& values, double from,
                      double to) {
    std::vector<float> v;
    for (size_t i = 0; i < t.size() && i < values.size(); ++i) {
        if (t[i] > from && t[i] < to) v.push_back(values[i]);
    }
    Figures f;
    f.count = static_cast<int>(v.size());
    if (v.empty()) return f;
    std::sort(v.begin(), v.end());
    auto rank = [&](double p) {
        const size_t r = static_cast<size_t>(std::ceil(p * static_cast<double>(v.size())));
        return v[std::clamp<size_t>(r, 1, v.size()) - 1];
    };
    f.min = v.front();
    f.median = rank(0.5);
    f.p95 = rank(0.95);
    f.max = v.back();
    return f;
}

std::vector<float> beatTriggers(const SpectrumTrace& trace, double from, double to) {
    std::vector<float> beats;
    float beatTime = 0.0f;
    for (size_t i = 0; i < trace.t.size(); ++i) {
        const float t = trace.t[i];
        if (!(t > from && t < to)) continue;
        if (t - beatTime > kBeatGap && trace.bin[2][i] > kBeatThreshold) {
            beatTime = t;
            beats.push_back(t);
        }
    }
    return beats;
}

std::vector<float> glowTrace(const SpectrumTrace& trace) {
    std::vector<float> g(trace.t.size());
    for (size_t i = 0; i < g.size(); ++i) {
        g[i] = trace.bin[1][i] * kGlowScale * trace.bin[2][i] * trace.bin[0][i];
    }
    return g;
}

const std::vector<SceneSpan>& sceneSpans() {
    static const std::vector<SceneSpan> spans = [] {
        std::vector<SceneSpan> s;
        for (int i = 0; i < kSceneCount; ++i) {
            s.push_back({i + 1, static_cast<double>(kScenes[i].window.start),
                         static_cast<double>(kScenes[i].window.end)});
        }
        return s;
    }();
    return spans;
}

std::string sceneReport(const SpectrumTrace& trace) {
    std::string out;
    const std::vector<float> glow = glowTrace(trace);
    char line[256];
    for (const SceneSpan& s : sceneSpans()) {
        std::snprintf(line, sizeof line, "scene %d (%.1f-%.1f s):\n", s.number, s.start, s.end);
        out += line;
        for (int b = 0; b < 3; ++b) {
            const Figures f = seriesFigures(trace.t, trace.bin[b], s.start, s.end);
            std::snprintf(line, sizeof line, "  bin %d: ", b);
            out += line;
            out += formatFigures(f, "min %.3f  median %.3f  p95 %.3f  max %.3f\n");
        }
        const size_t beats = beatTriggers(trace, s.start, s.end).size();
        std::snprintf(line, sizeof line, "  beat triggers: %zu\n", beats);
        out += line;
        out += formatFigures(seriesFigures(trace.t, glow, s.start, s.end),
                             "  glow: min %.1f  median %.1f  p95 %.1f  max %.1f\n");
    }
    const size_t early = beatTriggers(trace, 0.0, 12.0).size();
    const Figures tail = seriesFigures(trace.t, trace.anyBin, kSilentAfter, 1e9);
    std::snprintf(line, sizeof line,
                  "beat triggers before 12 s: %zu\nafter %.1f s: loudest bin %.6f (%d frames)\n",
                  early, kSilentAfter, tail.max, tail.count);
    out += line;
    return out;
}

Image* plotSpectrum(const SpectrumTrace& trace) {
    const double seconds = trace.t.empty() ? 150.0 : std::max(150.0, static_cast<double>(trace.t.back()));
    const int pxPerSecond = 10;
    const int left = 56, right = 16, top = 34, laneH = 120, gap = 14, bottom = 30;
    const int plotW = static_cast<int>(std::ceil(seconds)) * pxPerSecond;
    const int lanes = 4;
    Image* img = newImage(left + plotW + right, top + lanes * (laneH + gap) + bottom);
    fillRect(img, 0, 0, img->width, img->height, 0xFF0C0C14u);

    const uint32_t laneColor[4] = {0xFFFF9040u, 0xFF40D0FFu, 0xFF80FF60u, 0xFFFF60D0u};
    const char* laneName[4] = {"BIN 0", "BIN 1", "BIN 2", "GLOW"};
    const std::vector<float> glow = glowTrace(trace);
    const std::vector<float>* series[4] = {&trace.bin[0], &trace.bin[1], &trace.bin[2], &glow};
    const float laneMax[4] = {1.0f, 1.0f, 1.0f, 255.0f};
    auto xOf = [&](double t) { return left + static_cast<int>(std::lround(t * pxPerSecond)); };
    auto laneTop = [&](int lane) { return top + lane * (laneH + gap); };

    for (int lane = 0; lane < lanes; ++lane) {
        const int y0 = laneTop(lane);
        fillRect(img, left, y0, left + plotW, y0 + laneH, 0xFF161624u);
        drawTinyText(img, 4, y0 + 4, laneName[lane], laneColor[lane], 2);
        // Grid: every 10 s and the half level.
        for (int s = 0; s <= static_cast<int>(seconds); s += 10) {
            for (int y = y0; y < y0 + laneH; y += 3) putPixel(img, xOf(s), y, 0xFF303048u);
        }
        for (int x = left; x < left + plotW; x += 3) putPixel(img, x, y0 + laneH / 2, 0xFF303048u);
    }
    // Reference levels: scene 3's beat threshold on bin 2, and 40 on the glow.
    auto hline = [&](int lane, float value, uint32_t color) {
        const int y = laneTop(lane) + laneH - 1 - static_cast<int>(value / laneMax[lane] * (laneH - 1));
        for (int x = left; x < left + plotW; x += 2) putPixel(img, x, y, color);
    };
    hline(2, kBeatThreshold, 0xFFFF4040u);
    hline(3, 40.0f, 0xFFFF4040u);

    // Scene windows: bounds across all lanes, numbers on top.
    for (const SceneSpan& s : sceneSpans()) {
        for (int y = top - 6; y < laneTop(lanes - 1) + laneH; ++y) putPixel(img, xOf(s.start), y, 0xFFB0B0C0u);
        char label[16];
        std::snprintf(label, sizeof label, "S%d", s.number);
        drawTinyText(img, xOf(s.start) + 4, 4, label, 0xFFE0E0E0u, 2);
    }
    // Cue-sheet times: yellow marks above the lanes.
    for (double c : kCues) fillRect(img, xOf(c), top - 14, xOf(c) + 1, top - 4, 0xFFFFE040u);

    // Each column shows the range of values of its frames.
    for (int lane = 0; lane < lanes; ++lane) {
        const int y0 = laneTop(lane);
        const std::vector<float>& v = *series[lane];
        std::vector<float> lo(static_cast<size_t>(plotW), 1e9f), hi(static_cast<size_t>(plotW), -1.0f);
        for (size_t i = 0; i < v.size() && i < trace.t.size(); ++i) {
            const int col = static_cast<int>(std::floor(trace.t[i] * pxPerSecond));
            if (col < 0 || col >= plotW) continue;
            lo[static_cast<size_t>(col)] = std::min(lo[static_cast<size_t>(col)], v[i]);
            hi[static_cast<size_t>(col)] = std::max(hi[static_cast<size_t>(col)], v[i]);
        }
        auto yOf = [&](float value) {
            const float f = std::clamp(value / laneMax[lane], 0.0f, 1.0f);
            return y0 + laneH - 1 - static_cast<int>(f * (laneH - 1));
        };
        for (int x = 0; x < plotW; ++x) {
            if (hi[static_cast<size_t>(x)] < 0.0f) continue;
            for (int y = yOf(hi[static_cast<size_t>(x)]); y <= yOf(lo[static_cast<size_t>(x)]); ++y) {
                putPixel(img, left + x, y, laneColor[lane]);
            }
        }
    }
    // Beat triggers of scene 3's rule, as red ticks under the bin 2 lane (over the whole
    // timeline, so a stray trigger outside the scene shows too).
    for (const SceneSpan& s : sceneSpans()) {
        for (float b : beatTriggers(trace, s.start, s.end)) {
            const int y = laneTop(2) + laneH + 2;
            fillRect(img, xOf(b), y, xOf(b) + 1, y + gap - 4, 0xFFFF4040u);
        }
    }
    // Time axis labels.
    const int axisY = laneTop(lanes - 1) + laneH + 8;
    for (int s = 0; s <= static_cast<int>(seconds); s += 10) {
        char label[16];
        std::snprintf(label, sizeof label, "%d", s);
        drawTinyText(img, xOf(s) - 4, axisY, label, 0xFFA0A0B0u, 2);
    }
    return img;
}

int runMusicAnalysis(const std::string& musicPath, const std::string& outPng) {
    std::vector<int16_t> samples;
    std::string error;
    if (!decodeMusicFile(musicPath.c_str(), &samples, &error)) {
        std::fprintf(stderr, "--analyze-music: %s\n", error.c_str());
        return 1;
    }
    const int64_t frames = static_cast<int64_t>(samples.size() / 2);
    const double seconds = std::max(149.0, static_cast<double>(frames) / kMusicRate);
    std::fprintf(stderr, "analysing %.1f s of %s at 60 frames a second...\n",
                 static_cast<double>(frames) / kMusicRate, musicPath.c_str());
    const SpectrumTrace trace = traceSpectrum(samples.data(), frames, 60.0, seconds);
    std::fputs(sceneReport(trace).c_str(), stdout);
    Image* plot = plotSpectrum(trace);
    const bool ok = writePng(outPng.c_str(), *plot, false, &error);
    freeImage(plot);
    if (!ok) {
        std::fprintf(stderr, "--analyze-music: %s\n", error.c_str());
        return 1;
    }
    std::printf("plot written to %s\n", outPng.c_str());
    return 0;
}
