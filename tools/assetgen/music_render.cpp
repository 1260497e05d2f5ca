// Rendering the score: voices into the mix, effects, master fade and limiter.
//
// The voices are rendered in parallel by splitting the track into time ranges: each
// thread renders every note that reaches into its range and writes only inside it, so a
// note crossing a boundary is computed by both threads with the same result and the mix
// does not depend on the number of threads.
#include <algorithm>
#include <cmath>
#include <thread>

#include "tools/assetgen/music.h"

namespace {

// A curve at control rate: one value per kControlBlock samples, interpolated in between.
struct ControlCurve {
    std::vector<float> v;
    float at(size_t sample) const {
        const size_t i = sample / kControlBlock;
        if (i + 1 >= v.size()) return v.empty() ? 1.0f : v.back();
        const float f = static_cast<float>(sample % kControlBlock) / kControlBlock;
        return v[i] + (v[i + 1] - v[i]) * f;
    }
};

double automationAt(const Automation& a, double t) {
    const auto& p = a.points;
    if (p.empty()) return 1.0;
    if (t <= p.front().first) return p.front().second;
    if (t >= p.back().first) return p.back().second;
    size_t i = 1;
    while (p[i].first < t) ++i;
    const double span = p[i].first - p[i - 1].first;
    const double f = span > 0.0 ? (t - p[i - 1].first) / span : 1.0;
    return p[i - 1].second + (p[i].second - p[i - 1].second) * f;
}

// Product of every automation of this target and parameter, at control rate.
ControlCurve automationCurve(const Score& score, int target, AutomationParam param, size_t blocks) {
    ControlCurve c;
    c.v.assign(blocks, 1.0f);
    for (const Automation& a : score.automations) {
        if (a.target != target || a.param != param) continue;
        for (size_t b = 0; b < blocks; ++b) {
            c.v[b] *= static_cast<float>(automationAt(a, static_cast<double>(b) * kControlBlock / kSampleRate));
        }
    }
    return c;
}

// How far the kick pushes other instruments down at each control step: 0 (not at all)
// to 1 (right after a kick). Ramps in over 4 ms so the ducking itself never clicks.
std::vector<float> kickPump(const std::vector<ScheduledNote>& notes, size_t blocks) {
    std::vector<float> pump(blocks, 0.0f);
    for (const ScheduledNote& n : notes) {
        if (n.instrument != Instrument::Kick) continue;
        const double strength = std::min(1.0, static_cast<double>(n.on.velocity));
        const size_t first = static_cast<size_t>(n.start * kSampleRate / kControlBlock);
        for (size_t b = first; b < blocks; ++b) {
            const double dt = static_cast<double>(b) * kControlBlock / kSampleRate - n.start;
            if (dt < 0.0) continue;
            const double shape = dt < 0.004 ? dt / 0.004 : std::exp(-(dt - 0.004) / 0.11);
            if (shape < 0.002) break;
            pump[b] = std::max(pump[b], static_cast<float>(shape * strength));
        }
    }
    return pump;
}

struct Buses {
    std::vector<float> left, right;  // dry mix
    std::vector<float> reverb;       // mono sends
    std::vector<float> delay;
};

struct Plan {
    const Score* score;
    const std::vector<ScheduledNote>* notes;
    ControlCurve gain[kInstrumentCount];    // level x automation x ducking
    ControlCurve cutoff[kInstrumentCount];  // filter multipliers
    float panL[kInstrumentCount], panR[kInstrumentCount];
    size_t frames;
};

void renderRange(const Plan& plan, Buses* buses, size_t from, size_t to) {
    std::vector<float> l, r;
    for (const ScheduledNote& n : *plan.notes) {
        const size_t start = static_cast<size_t>(std::llround(n.start * kSampleRate));
        if (start >= to) break;  // notes are in time order
        const int ins = static_cast<int>(n.instrument);
        const size_t len = voiceFrames(n.instrument, n.on);
        if (start + len <= from || start >= plan.frames) continue;
        l.assign(len, 0.0f);
        r.assign(len, 0.0f);
        NoteOn on = n.on;
        const ControlCurve& cut = plan.cutoff[ins];
        const size_t block = start / kControlBlock;
        if (block < cut.v.size()) {
            on.cutoff = cut.v.data() + block;
            on.cutoffCount = cut.v.size() - block;
        }
        renderVoice(n.instrument, on, l.data(), r.data(), len);
        const MixSettings& m = plan.score->mix[ins];
        const size_t a = std::max(from, start), b = std::min({to, start + len, plan.frames});
        for (size_t i = a; i < b; ++i) {
            const float g = plan.gain[ins].at(i);
            const float sl = l[i - start] * g * plan.panL[ins];
            const float sr = r[i - start] * g * plan.panR[ins];
            buses->left[i] += sl;
            buses->right[i] += sr;
            const float mono = 0.5f * (sl + sr);
            buses->reverb[i] += mono * m.reverb;
            buses->delay[i] += mono * m.delay;
        }
    }
}

// Look-ahead peak limiter: the gain never exceeds what keeps each sample under the
// ceiling, falls linearly over `attack` samples before a peak and recovers smoothly.
void limit(std::vector<float>& left, std::vector<float>& right, float ceiling) {
    const size_t n = left.size();
    const size_t attack = 220;  // 5 ms
    std::vector<float> g(n);
    for (size_t i = 0; i < n; ++i) {
        const float peak = std::max(std::fabs(left[i]), std::fabs(right[i]));
        g[i] = peak > ceiling ? ceiling / peak : 1.0f;
    }
    // Recovery: at most back towards 1 with a 150 ms time constant.
    const float rel = static_cast<float>(1.0 - std::exp(-1.0 / (0.15 * kSampleRate)));
    for (size_t i = 1; i < n; ++i) g[i] = std::min(g[i], g[i - 1] + (1.0f - g[i - 1]) * rel);
    // Look-ahead: reach the needed gain by the time the peak arrives.
    const float step = 1.0f / attack;
    for (size_t i = n - 1; i-- > 0;) g[i] = std::min(g[i], g[i + 1] + step);
    for (size_t i = 0; i < n; ++i) {
        left[i] *= g[i];
        right[i] *= g[i];
    }
}

}  // namespace

StereoTrack renderScore(const Score& score, int threads) {
    const size_t frames = static_cast<size_t>(score.length * kSampleRate);
    const size_t blocks = frames / kControlBlock + 2;
    const std::vector<ScheduledNote> notes = scheduleScore(score);

    Plan plan;
    plan.score = &score;
    plan.notes = &notes;
    plan.frames = frames;
    const std::vector<float> pump = kickPump(notes, blocks);
    for (int i = 0; i < kInstrumentCount; ++i) {
        const MixSettings& m = score.mix[i];
        plan.gain[i] = automationCurve(score, i, AutomationParam::Level, blocks);
        for (size_t b = 0; b < blocks; ++b) plan.gain[i].v[b] *= m.level * (1.0f - m.duck * pump[b]);
        plan.cutoff[i] = automationCurve(score, i, AutomationParam::Cutoff, blocks);
        // Balance rather than pan law: the centre is unity on both sides.
        panGains(m.pan, &plan.panL[i], &plan.panR[i]);
        plan.panL[i] *= static_cast<float>(std::sqrt(2.0));
        plan.panR[i] *= static_cast<float>(std::sqrt(2.0));
    }

    Buses buses;
    buses.left.assign(frames, 0.0f);
    buses.right.assign(frames, 0.0f);
    buses.reverb.assign(frames, 0.0f);
    buses.delay.assign(frames, 0.0f);
    threads = std::clamp(threads, 1, 8);
    {
        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t) {
            const size_t a = frames * static_cast<size_t>(t) / static_cast<size_t>(threads);
            const size_t b = frames * static_cast<size_t>(t + 1) / static_cast<size_t>(threads);
            workers.emplace_back(renderRange, std::cref(plan), &buses, a, b);
        }
        for (std::thread& w : workers) w.join();
    }

    // Effects: the delay and the reverb are independent, so they run side by side. The
    // delay's echoes also feed the reverb a little, so they sit in the same room.
    StereoTrack wetDelay, wetReverb;
    wetDelay.left.assign(frames, 0.0f);
    wetDelay.right.assign(frames, 0.0f);
    wetReverb.left.assign(frames, 0.0f);
    wetReverb.right.assign(frames, 0.0f);
    auto runDelay = [&] {
        PingPongDelay d = makeDelay(score.delayTime, score.delayFeedback, 3500.0);
        OnePole hp = onePole(250.0);
        for (size_t i = 0; i < frames; ++i) {
            const float in = onePoleHigh(hp, buses.delay[i]);
            delayProcess(d, in, in, &wetDelay.left[i], &wetDelay.right[i]);
        }
    };
    auto runReverb = [&] {
        Reverb r = makeReverb(score.reverbSize, score.reverbDamp);
        OnePole hpL = onePole(180.0), hpR = onePole(180.0);
        for (size_t i = 0; i < frames; ++i) {
            float l, rr;
            reverbProcess(r, buses.reverb[i], buses.reverb[i], &l, &rr);
            wetReverb.left[i] = onePoleHigh(hpL, l);
            wetReverb.right[i] = onePoleHigh(hpR, rr);
        }
    };
    if (threads > 1) {
        std::thread t(runDelay);
        runReverb();
        t.join();
    } else {
        runDelay();
        runReverb();
    }

    StereoTrack out;
    out.left.resize(frames);
    out.right.resize(frames);
    const ControlCurve master = automationCurve(score, -1, AutomationParam::Level, blocks);
    const size_t silentFrom = static_cast<size_t>(std::max(0.0, score.silence) * kSampleRate);
    const size_t taper = 441;  // 10 ms to zero before the silence, whatever the fade did
    for (size_t i = 0; i < frames; ++i) {
        float g = master.at(i) * static_cast<float>(score.masterGain);
        if (i >= silentFrom) g = 0.0f;
        else if (silentFrom - i < taper) g *= static_cast<float>(silentFrom - i) / taper;
        out.left[i] = (buses.left[i] + wetDelay.left[i] + wetReverb.left[i]) * g;
        out.right[i] = (buses.right[i] + wetDelay.right[i] + wetReverb.right[i]) * g;
    }
    limit(out.left, out.right, static_cast<float>(score.peakLimit));
    return out;
}

MixFigures measureMix(const StereoTrack& track) {
    MixFigures m;
    const size_t n = std::min(track.left.size(), track.right.size());
    if (n == 0) return m;
    double peak = 0.0, sum = 0.0, mid2 = 0.0, side2 = 0.0, jump = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double l = track.left[i], r = track.right[i];
        peak = std::max({peak, std::fabs(l), std::fabs(r)});
        sum += l * l + r * r;
        mid2 += 0.25 * (l + r) * (l + r);
        side2 += 0.25 * (l - r) * (l - r);
        if (i > 0) {
            jump = std::max({jump, std::fabs(l - track.left[i - 1]), std::fabs(r - track.right[i - 1])});
        }
    }
    auto db = [](double v) { return v > 0.0 ? 20.0 * std::log10(v) : -200.0; };
    m.peakDb = db(peak);
    m.rmsDb = db(std::sqrt(sum / (2.0 * static_cast<double>(n))));
    m.maxJump = jump;
    m.sideRatio = mid2 > 0.0 ? std::sqrt(side2 / mid2) : 0.0;
    return m;
}
