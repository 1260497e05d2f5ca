#include "app/sinks.h"

#include <algorithm>
#include <cstdio>

#include "app/startup.h"
#include "bands/bands.h"
#include "display/display.h"

namespace {

const uint32_t* dressed(LiveSink* sink, const Image* frame) {
    return sink->dress ? sink->dress(sink->dressContext, frame) : frame->pixels;
}

bool showFrame(void* context, const FrameInfo& frame) {
    LiveSink* sink = static_cast<LiveSink*>(context);
    if (frame.afterGap) {
        std::printf("jump after a gap: %.2f s\n", static_cast<double>(frame.t));
        std::fflush(stdout);
        sink->restartCount = true;
    }
    if (sink->restartCount) {
        // The rate counts from the first frame shown again, not across the hidden stretch,
        // the pause or the jump.
        sink->stats.framesSinceReport = 0;
        sink->stats.lastReportTime = frame.t;
        sink->restartCount = false;
    }
    presentFrame(dressed(sink, frame.image));
    sink->shown = frame.image;
    sink->lastTime = frame.t;
    float rate, average;
    if (countFrame(&sink->stats, frame.t, &rate, &average)) printFpsLine(rate, average);
    return !escapePressed();
}

// A minimised window: no drawing, only a wait of about a frame for the window to come
// back (displayHidden), Escape still heard.
bool whileHidden(void* context, bool* stop) {
    LiveSink* sink = static_cast<LiveSink*>(context);
    if (!displayHidden()) return false;
    sink->restartCount = true;
    *stop = escapePressed();
    return true;
}

}  // namespace

void startLiveSink(LiveSink* sink, float start) {
    resetFrameStats(&sink->stats, start);
    sink->restartCount = false;
    sink->lastTime = start;
    sink->shown = nullptr;
    sink->dress = nullptr;
    sink->dressContext = nullptr;
}

void showStill(LiveSink* sink, const Image* frame) {
    presentFrame(dressed(sink, frame));
    sink->shown = frame;
}

FrameSink liveFrameSink(LiveSink* sink) { return FrameSink{sink, showFrame, whileHidden}; }

void timeBenchFrame(BenchTimes* times, const FrameInfo& frame) {
    BenchTimes::Scene& s = times->scene[sceneAt(frame.t)];
    s.frames += 1;
    s.total += frame.renderSeconds;
    s.worst = std::max(s.worst, frame.renderSeconds);
    const ForkTimes now = forkTimes();
    s.forks.forks += now.forks - times->forksSoFar.forks;
    s.forks.seconds += now.seconds - times->forksSoFar.seconds;
    s.forks.joinWaitSeconds += now.joinWaitSeconds - times->forksSoFar.joinWaitSeconds;
    times->forksSoFar = now;
    times->rendered += 1;
    times->total += frame.renderSeconds;
}

void startBenchTimes(BenchTimes* times) {
    *times = BenchTimes{};
    times->forksSoFar = forkTimes();
}

void printBenchTimes(const BenchTimes& times) {
    const int threads = drawingThreads();
    int64_t forkSum = 0;
    for (const BenchTimes::Scene& s : times.scene) forkSum += s.forks.forks;
    const double forks = static_cast<double>(forkSum);
    std::printf("threads: %d drawing (%d worker%s), %.1f forks a frame\n", threads, threads - 1,
                threads == 2 ? "" : "s",
                times.rendered ? forks / static_cast<double>(times.rendered) : 0.0);
    for (int scene = 1; scene <= kSceneCount; ++scene) {
        const BenchTimes::Scene& s = times.scene[scene];
        const double mean = s.frames ? s.total / static_cast<double>(s.frames) : 0.0;
        std::printf("scene %d: %lld frames, mean %.3f ms, worst %.3f ms\n", scene,
                    static_cast<long long>(s.frames), mean * 1000.0, s.worst * 1000.0);
    }
    for (int scene = 1; scene <= kSceneCount && threads > 1; ++scene) {
        const BenchTimes::Scene& s = times.scene[scene];
        const double frames = static_cast<double>(std::max<int64_t>(s.frames, 1));
        std::printf("forks in scene %d: %.1f a frame, %.3f ms from fork to join, %.3f ms of it "
                    "waiting at the joins\n",
                    scene, static_cast<double>(s.forks.forks) / frames,
                    s.forks.seconds / frames * 1000.0, s.forks.joinWaitSeconds / frames * 1000.0);
    }
    std::printf("total: %lld frames, %.1f frames/s\n", static_cast<long long>(times.rendered),
                times.total > 0.0 ? static_cast<double>(times.rendered) / times.total : 0.0);
}
