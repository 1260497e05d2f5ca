#include "exporters/flashes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "gfx2d/tinyfont.h"
#include "scenes/scene_table.h"

namespace {

// sRGB byte to linear light, round(65535 x decoded value): a fixed table, so no platform's
// pow() can move a count.
const uint16_t kLinear[256] = {
    0, 20, 40, 60, 80, 99, 119, 139, 159, 179, 199, 219,
    241, 264, 288, 313, 340, 367, 396, 427, 458, 491, 526, 562,
    599, 637, 677, 718, 761, 805, 851, 898, 947, 997, 1048, 1101,
    1156, 1212, 1270, 1330, 1391, 1453, 1517, 1583, 1651, 1720, 1790, 1863,
    1937, 2013, 2090, 2170, 2250, 2333, 2418, 2504, 2592, 2681, 2773, 2866,
    2961, 3058, 3157, 3258, 3360, 3464, 3570, 3678, 3788, 3900, 4014, 4129,
    4247, 4366, 4488, 4611, 4736, 4864, 4993, 5124, 5257, 5392, 5530, 5669,
    5810, 5953, 6099, 6246, 6395, 6547, 6700, 6856, 7014, 7174, 7335, 7500,
    7666, 7834, 8004, 8177, 8352, 8528, 8708, 8889, 9072, 9258, 9445, 9635,
    9828, 10022, 10219, 10417, 10619, 10822, 11028, 11235, 11446, 11658, 11873, 12090,
    12309, 12530, 12754, 12980, 13209, 13440, 13673, 13909, 14146, 14387, 14629, 14874,
    15122, 15371, 15623, 15878, 16135, 16394, 16656, 16920, 17187, 17456, 17727, 18001,
    18277, 18556, 18837, 19121, 19407, 19696, 19987, 20281, 20577, 20876, 21177, 21481,
    21787, 22096, 22407, 22721, 23038, 23357, 23678, 24002, 24329, 24658, 24990, 25325,
    25662, 26001, 26344, 26688, 27036, 27386, 27739, 28094, 28452, 28813, 29176, 29542,
    29911, 30282, 30656, 31033, 31412, 31794, 32179, 32567, 32957, 33350, 33745, 34143,
    34544, 34948, 35355, 35764, 36176, 36591, 37008, 37429, 37852, 38278, 38706, 39138,
    39572, 40009, 40449, 40891, 41337, 41785, 42236, 42690, 43147, 43606, 44069, 44534,
    45002, 45473, 45947, 46423, 46903, 47385, 47871, 48359, 48850, 49344, 49841, 50341,
    50844, 51349, 51858, 52369, 52884, 53401, 53921, 54445, 54971, 55500, 56032, 56567,
    57105, 57646, 58190, 58737, 59287, 59840, 60396, 60955, 61517, 62082, 62650, 63221,
    63795, 64372, 64952, 65535,
};

// Changes this close to a second apart lie in different seconds: frames of the fixed clock
// exactly a second apart differ by a little more or less than 1.0 once rounded.
constexpr double kSecond = 1.0 - 1e-4;

// Sums of one area over its pixels.
struct AreaSums {
    uint64_t luminance = 0;   // in 1/10000 of kFullLight units (the weights are 2126, 7152, 722)
    uint64_t red = 0;
    uint64_t redPixels = 0;
    uint64_t pixels = 0;
};

// Each channel's share of the luminance, weight x linear light.
struct Weighted {
    uint32_t r[256], g[256], b[256];
    Weighted() {
        for (int i = 0; i < 256; ++i) {
            r[i] = 2126u * kLinear[i];
            g[i] = 7152u * kLinear[i];
            b[i] = 722u * kLinear[i];
        }
    }
};
const Weighted kWeighted;

void sumRow(const uint32_t* row, int32_t from, int32_t to, AreaSums* sums) {
    uint64_t luminance = 0, red = 0, redPixels = 0;
    for (int32_t x = from; x < to; ++x) {
        const uint32_t p = row[x];
        const uint32_t rByte = (p >> 16) & 0xFF, gByte = (p >> 8) & 0xFF, bByte = p & 0xFF;
        luminance += kWeighted.r[rByte] + kWeighted.g[gByte] + kWeighted.b[bByte];
        const uint32_t r = kLinear[rByte];
        const uint32_t g = kLinear[gByte];
        const uint32_t b = kLinear[bByte];
        // R >= 80 % of R + G + B  <=>  R >= 4 (G + B). Without a branch: 0 or 1.
        const uint32_t saturated = static_cast<uint32_t>(r > 0) & static_cast<uint32_t>(r >= 4u * (g + b));
        red += saturated * (r - g - b);
        redPixels += saturated;
    }
    sums->luminance += luminance;
    sums->red += red;
    sums->redPixels += redPixels;
    sums->pixels += static_cast<uint64_t>(to - from);
}

int32_t meanOf(uint64_t sum, uint64_t count) {
    return count == 0 ? 0 : static_cast<int32_t>(sum / count);
}

int32_t levelOf(const FrameLight& light, int measure) {
    return measure < kLightAreas ? light.luminance[measure] : light.red[measure - kLightAreas];
}

const FlashRule& ruleOf(int measure) { return measure < kLightAreas ? kGeneralFlash : kRedFlash; }

// Drops the changes that left the second up to t; returns how many remain.
size_t keepLastSecond(std::deque<double>* changes, double t) {
    while (!changes->empty() && !(t - changes->front() < kSecond)) changes->pop_front();
    return changes->size();
}

size_t countInSecond(const std::deque<double>& changes, double t) {
    size_t n = 0;
    for (double c : changes) n += t - c < kSecond ? 1 : 0;
    return n;
}

}  // namespace

FrameLight measureFrame(const Image& frame) {
    AreaSums quarter[4];
    const int32_t midX = frame.width / 2, midY = frame.height / 2;
    for (int32_t y = 0; y < frame.height; ++y) {
        const uint32_t* row = frame.pixels + static_cast<size_t>(y) * frame.width;
        const int top = y < midY ? 0 : 2;
        sumRow(row, 0, midX, &quarter[top]);
        sumRow(row, midX, frame.width, &quarter[top + 1]);
    }
    AreaSums whole;
    for (const AreaSums& q : quarter) {
        whole.luminance += q.luminance;
        whole.red += q.red;
        whole.redPixels += q.redPixels;
        whole.pixels += q.pixels;
    }
    FrameLight light{};
    for (int a = 0; a < kLightAreas; ++a) {
        const AreaSums& s = a == 0 ? whole : quarter[a - 1];
        light.luminance[a] = meanOf(s.luminance, s.pixels * 10000u);
        light.red[a] = meanOf(s.red, s.pixels);
        light.redShare[a] = meanOf(s.redPixels * kFullLight, s.pixels);
    }
    return light;
}

bool trackChange(ChangeTracker* c, const FlashRule& rule, int32_t level) {
    if (!c->started) {
        *c = ChangeTracker{};
        c->started = true;
        c->low = c->high = level;
        return false;
    }
    if (c->direction == 0) {
        if (level - c->low >= rule.step) {
            c->direction = 1;
            c->pivot = c->low;
            c->extreme = level;
        } else if (c->high - level >= rule.step) {
            c->direction = -1;
            c->pivot = c->high;
            c->extreme = level;
        } else {
            c->low = std::min(c->low, level);
            c->high = std::max(c->high, level);
            return false;
        }
    } else if (c->direction > 0) {
        if (level >= c->extreme) {
            c->extreme = level;
        } else if (c->extreme - level >= rule.step) {
            c->pivot = c->extreme;
            c->extreme = level;
            c->direction = -1;
            c->counted = false;
        }
    } else {
        if (level <= c->extreme) {
            c->extreme = level;
        } else if (level - c->extreme >= rule.step) {
            c->pivot = c->extreme;
            c->extreme = level;
            c->direction = 1;
            c->counted = false;
        }
    }
    // A change in progress is always a full step long; it counts once its darker end is
    // dark enough.
    if (c->counted) return false;
    const int32_t darker = c->direction > 0 ? c->pivot : c->extreme;
    if (darker >= rule.darkBelow) return false;
    c->counted = true;
    return true;
}

const char* flashMeasureName(int measure) {
    static const char* const kNames[kFlashMeasures] = {
        "whole frame",           "top left quarter",           "top right quarter",
        "bottom left quarter",   "bottom right quarter",       "red, whole frame",
        "red, top left quarter", "red, top right quarter",     "red, bottom left quarter",
        "red, bottom right quarter",
    };
    return measure >= 0 && measure < kFlashMeasures ? kNames[measure] : "?";
}

int FlashCounts::worst() const { return *std::max_element(flashes, flashes + kFlashMeasures); }

int FlashCounts::worstMeasure() const {
    return static_cast<int>(std::max_element(flashes, flashes + kFlashMeasures) - flashes);
}

FlashCounts addFrame(FlashMeter* meter, double t, const FrameLight& light) {
    FlashCounts counts{};
    for (int m = 0; m < kFlashMeasures; ++m) {
        if (trackChange(&meter->trackers[m], ruleOf(m), levelOf(light, m))) {
            meter->changes[m].push_back(t);
        }
        counts.flashes[m] = static_cast<int>(keepLastSecond(&meter->changes[m], t) / 2);
    }
    return counts;
}

bool wouldExceed(const FlashMeter& meter, double t, const FrameLight& light, int limit) {
    for (int m = 0; m < kFlashMeasures; ++m) {
        ChangeTracker trial = meter.trackers[m];
        if (!trackChange(&trial, ruleOf(m), levelOf(light, m))) continue;
        const size_t changes = countInSecond(meter.changes[m], t) + 1;
        if (static_cast<int>(changes / 2) > limit) return true;
    }
    return false;
}

int mostFlashesInASecond(const std::vector<int32_t>& levels, int fps, const FlashRule& rule) {
    ChangeTracker tracker{};
    std::deque<double> changes;
    size_t most = 0;
    for (size_t i = 0; i < levels.size(); ++i) {
        const double t = static_cast<double>(i) / fps;
        if (trackChange(&tracker, rule, levels[i])) changes.push_back(t);
        most = std::max(most, keepLastSecond(&changes, t));
    }
    return static_cast<int>(most / 2);
}

void traceFrame(FlashTrace* trace, FlashMeter* meter, double t, const Image& frame) {
    const FrameLight light = measureFrame(frame);
    trace->t.push_back(t);
    trace->light.push_back(light);
    trace->counts.push_back(addFrame(meter, t, light));
}

namespace {

int mostOf(const FlashCounts& c, int first, int count, int* measure) {
    int most = -1;
    for (int m = first; m < first + count; ++m) {
        if (c.flashes[m] > most) {
            most = c.flashes[m];
            *measure = m;
        }
    }
    return most;
}

}  // namespace

std::string flashReport(const FlashTrace& trace) {
    std::string out;
    char line[256];
    const size_t n = trace.t.size();
    std::snprintf(line, sizeof line, "flashes at %d frames a second%s%s: %zu frames",
                  trace.fps, trace.offset != 0.0 ? ", every frame time moved by a part of a frame" : "",
                  trace.gentle ? ", after the gentle run's limiter" : "", n);
    out += line;
    if (n > 0) {
        std::snprintf(line, sizeof line, ", %.3f to %.3f s", trace.t.front(), trace.t.back());
        out += line;
    }
    out += "\n";
    if (trace.offset != 0.0) {
        std::snprintf(line, sizeof line, "frame n at t = (n + %.3f) / %d\n", trace.offset, trace.fps);
        out += line;
    }

    // Stretches of frames whose second holds more than three flashes.
    out += "seconds holding more than three flashes:\n";
    int stretches = 0;
    for (size_t i = 0; i < n;) {
        if (trace.counts[i].worst() <= 3) {
            ++i;
            continue;
        }
        size_t j = i;
        int most = 0, measure = 0;
        while (j < n && trace.counts[j].worst() > 3) {
            if (trace.counts[j].worst() > most) {
                most = trace.counts[j].worst();
                measure = trace.counts[j].worstMeasure();
            }
            ++j;
        }
        std::snprintf(line, sizeof line,
                      "  the seconds ending at %.3f to %.3f s: up to %d flashes (%s)\n",
                      trace.t[i], trace.t[j - 1], most, flashMeasureName(measure));
        out += line;
        ++stretches;
        i = j;
    }
    if (stretches == 0) out += "  none\n";

    // The worst second of each scene, general and red.
    out += "the most flashes in a second, by the scene of the second's last frame:\n";
    for (int s = 1; s <= kSceneCount; ++s) {
        int general = 0, red = 0, generalMeasure = 0, redMeasure = kLightAreas;
        double generalAt = 0.0;
        for (size_t i = 0; i < n; ++i) {
            if (sceneAt(static_cast<float>(trace.t[i])) != s) continue;
            int m = 0;
            const int g = mostOf(trace.counts[i], 0, kLightAreas, &m);
            if (g > general) {
                general = g;
                generalMeasure = m;
                generalAt = trace.t[i];
            }
            const int r = mostOf(trace.counts[i], kLightAreas, kLightAreas, &m);
            if (r > red) {
                red = r;
                redMeasure = m;
            }
        }
        const SceneWindow& w = kScenes[s - 1].window;
        std::snprintf(line, sizeof line, "  scene %d (%.1f-%.1f s): %d general", s,
                      static_cast<double>(w.start), static_cast<double>(w.end), general);
        out += line;
        if (general > 0) {
            std::snprintf(line, sizeof line, " (%s, the second ending at %.3f s)",
                          flashMeasureName(generalMeasure), generalAt);
            out += line;
        }
        std::snprintf(line, sizeof line, ", %d red", red);
        out += line;
        if (red > 0) {
            std::snprintf(line, sizeof line, " (%s)", flashMeasureName(redMeasure));
            out += line;
        }
        out += "\n";
    }

    int worst = 0, worstMeasure = 0;
    double worstAt = 0.0;
    for (size_t i = 0; i < n; ++i) {
        if (trace.counts[i].worst() > worst) {
            worst = trace.counts[i].worst();
            worstMeasure = trace.counts[i].worstMeasure();
            worstAt = trace.t[i];
        }
    }
    if (stretches == 0) {
        std::snprintf(line, sizeof line,
                      "verdict: no second holds more than three flashes (the most: %d)\n", worst);
    } else {
        std::snprintf(line, sizeof line,
                      "verdict: %d stretch%s of seconds with more than three flashes; the worst "
                      "second holds %d (%s), ending at %.3f s\n",
                      stretches, stretches == 1 ? "" : "es", worst,
                      flashMeasureName(worstMeasure), worstAt);
    }
    out += line;
    return out;
}

namespace {

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

}  // namespace

Image* plotFlashes(const FlashTrace& trace) {
    const double seconds = trace.t.empty() ? 150.0 : std::max(150.0, trace.t.back());
    const int pxPerSecond = 10;
    const int left = 80, right = 16, top = 34, laneH = 120, gap = 14, bottom = 30;
    const int plotW = static_cast<int>(std::ceil(seconds)) * pxPerSecond;
    constexpr int kLanes = 4;
    Image* img = newImage(left + plotW + right, top + kLanes * (laneH + gap) + bottom);
    fillRect(img, 0, 0, img->width, img->height, 0xFF0C0C14u);

    const char* laneName[kLanes] = {"WHOLE", "QUARTERS", "RED", "FLASHES"};
    const uint32_t nameColor[kLanes] = {0xFFE0E0E0u, 0xFF80C0FFu, 0xFFFF5050u, 0xFFFFD040u};
    int most = 0;
    for (const FlashCounts& c : trace.counts) most = std::max(most, c.worst());
    const double flashTop = std::max(6, most + 1);
    auto xOf = [&](double t) { return left + static_cast<int>(std::lround(t * pxPerSecond)); };
    auto laneTop = [&](int lane) { return top + lane * (laneH + gap); };
    auto yOf = [&](int lane, double fraction) {
        const double f = std::clamp(fraction, 0.0, 1.0);
        return laneTop(lane) + laneH - 1 - static_cast<int>(f * (laneH - 1));
    };

    for (int lane = 0; lane < kLanes; ++lane) {
        const int y0 = laneTop(lane);
        fillRect(img, left, y0, left + plotW, y0 + laneH, 0xFF161624u);
        drawTinyText(img, 4, y0 + 4, laneName[lane], nameColor[lane], 2);
        for (int s = 0; s <= static_cast<int>(seconds); s += 10) {
            for (int y = y0; y < y0 + laneH; y += 3) putPixel(img, xOf(s), y, 0xFF303048u);
        }
    }
    // The guideline's levels: 80 % luminance (the darker side of a flash lies below it) and
    // the limit of three flashes a second.
    for (int lane = 0; lane < 2; ++lane) {
        for (int x = left; x < left + plotW; x += 2) putPixel(img, x, yOf(lane, 0.8), 0xFF505070u);
    }
    for (int x = left; x < left + plotW; x += 2) putPixel(img, x, yOf(3, 3.0 / flashTop), 0xFFFF4040u);
    for (int k = 0; k <= static_cast<int>(flashTop); ++k) {
        char label[16];
        std::snprintf(label, sizeof label, "%d", k);
        if (k % 3 == 0) drawTinyText(img, left - 12, yOf(3, k / flashTop) - 4, label, 0xFFA0A0B0u, 2);
    }

    // Scene windows: bounds across all lanes, numbers on top.
    for (int s = 0; s < kSceneCount; ++s) {
        const int x = xOf(kScenes[s].window.start);
        for (int y = top - 6; y < laneTop(kLanes - 1) + laneH; ++y) putPixel(img, x, y, 0xFFB0B0C0u);
        char label[16];
        std::snprintf(label, sizeof label, "S%d", s + 1);
        drawTinyText(img, x + 4, 4, label, 0xFFE0E0E0u, 2);
    }

    // Each column shows the range of its frames' values: the whole frame's luminance, the
    // quarters' (one colour each), the most saturated red of any area, and the most general
    // and red flashes of any area in the second up to the frame.
    struct Series {
        int lane;
        uint32_t color;
        int what;   // 0..4: luminance of that area; 5: red; 6: general flashes; 7: red flashes
    };
    const Series series[] = {
        {0, 0xFFE0E0E0u, 0}, {1, 0xFF40A0FFu, 1}, {1, 0xFF40FF90u, 2}, {1, 0xFFFFA040u, 3},
        {1, 0xFFFF60D0u, 4}, {2, 0xFFFF5050u, 5}, {3, 0xFFFFD040u, 6}, {3, 0xFFFF5050u, 7},
    };
    auto valueOf = [&](const Series& s, size_t i) {
        const FrameLight& l = trace.light[i];
        int m = 0;
        if (s.what < kLightAreas) return l.luminance[s.what] / static_cast<double>(kFullLight);
        if (s.what == 5) return *std::max_element(l.red, l.red + kLightAreas) / static_cast<double>(kFullLight);
        const int first = s.what == 6 ? 0 : kLightAreas;
        return mostOf(trace.counts[i], first, kLightAreas, &m) / flashTop;
    };
    for (const Series& s : series) {
        std::vector<double> lo(static_cast<size_t>(plotW), 1e9), hi(static_cast<size_t>(plotW), -1.0);
        double previous = -1.0;   // the frame before's value: a jump between two columns
                                  // is drawn in the second, so the trace stays joined
        for (size_t i = 0; i < trace.t.size(); ++i) {
            const int col = static_cast<int>(std::floor(trace.t[i] * pxPerSecond));
            const double v = valueOf(s, i);
            if (col >= 0 && col < plotW) {
                const size_t c = static_cast<size_t>(col);
                const double from = hi[c] < 0.0 && previous >= 0.0 ? previous : v;
                lo[c] = std::min({lo[c], v, from});
                hi[c] = std::max({hi[c], v, from});
            }
            previous = v;
        }
        for (int x = 0; x < plotW; ++x) {
            const size_t c = static_cast<size_t>(x);
            if (hi[c] < 0.0) continue;
            for (int y = yOf(s.lane, hi[c]); y <= yOf(s.lane, lo[c]); ++y) putPixel(img, left + x, y, s.color);
        }
    }
    // Seconds over three: a red bar under the flash lane.
    for (size_t i = 0; i < trace.t.size(); ++i) {
        if (trace.counts[i].worst() <= 3) continue;
        const int x = xOf(trace.t[i]);
        fillRect(img, x, laneTop(3) + laneH + 2, x + 1, laneTop(3) + laneH + gap - 2, 0xFFFF2020u);
    }
    const int axisY = laneTop(kLanes - 1) + laneH + gap;
    for (int s = 0; s <= static_cast<int>(seconds); s += 10) {
        char label[16];
        std::snprintf(label, sizeof label, "%d", s);
        drawTinyText(img, xOf(s) - 4, axisY, label, 0xFFA0A0B0u, 2);
    }
    return img;
}
