// --bench: the whole timeline on the fixed clock with no output, timing every frame; with
// --bench-passes N the timeline runs N times and the heap is reported after each pass.
// --bench-jumps: jumps to every second of the timeline, timed (runBenchJumps, below).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "app/frameloop.h"
#include "app/modes.h"
#include "app/replay.h"
#include "app/sinks.h"
#include "platform/platform.h"
#include "platform/signals.h"
#include "app/startup.h"

namespace {

using Clock = std::chrono::steady_clock;

// When the program started (static initialisation, before main): the bench reports the
// time from here to the end of the first scene frame.
const Clock::time_point kLaunchTime = Clock::now();

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

constexpr int kMaxPasses = 10;

struct BenchSink {
    BenchTimes times{};
    double firstFrameSeconds = 0.0;
    // With more than one pass: the heap at the end of every frame. Printed after the run,
    // so the printing itself allocates nothing between the passes.
    bool trackMemory = false;
    int pass = 0;
    struct PassMemory {
        uint64_t first = 0, last = 0, peak = 0;
        long residentKiB = 0;
    } memory[kMaxPasses];
    Clock::time_point lastProgress;
};

bool timeFrame(void* context, const FrameInfo& frame) {
    BenchSink* sink = static_cast<BenchSink*>(context);
    if (sink->times.rendered == 0) sink->firstFrameSeconds = secondsSince(kLaunchTime);
    timeBenchFrame(&sink->times, frame);
    if (sink->trackMemory) {
        BenchSink::PassMemory& m = sink->memory[sink->pass];
        m.last = heapInUse();
        if (frame.number == 1) m.first = m.peak = m.last;
        m.peak = std::max(m.peak, m.last);
        if (timelineEnded(frame.t)) m.residentKiB = residentKiB();
    }
    if (Clock::now() - sink->lastProgress >= std::chrono::seconds(2)) {
        sink->lastProgress = Clock::now();
        std::fprintf(stderr, "bench: t = %.2f s of %.0f s\n", static_cast<double>(frame.t),
                     static_cast<double>(kEndTime));
    }
    return true;
}

}  // namespace

int runBench(const DemoOptions& options) {
    const Clock::time_point startupBegin = Clock::now();
    static FrameLoop loop;
    loop.scenes = loadDemoScenes();
    openMusic(false);
    const double startupSeconds = secondsSince(startupBegin);

    static BenchSink sink;
    sink.trackMemory = options.benchPasses > 1;
    const int passes = std::min(std::max(options.benchPasses, 1), kMaxPasses);
    loop.sink = {&sink, timeFrame};
    loop.limiter = options.gentle ? newFlashLimiter() : nullptr;
    sink.lastProgress = Clock::now();
    for (sink.pass = 0; sink.pass < passes; ++sink.pass) {
        // Every pass starts the timeline afresh; the scenes keep their state.
        loop.clock = fixedClock(options.fps, 1);
        loop.scenes->previousTime = 0.0f;
        runFrameLoop(&loop);
        if (stopSignal()) {
            std::fprintf(stderr, "pixeldemo: bench stopped by %s\n", signalName(stopSignal()));
            return signalExitCode(stopSignal());
        }
    }

    std::printf("start-up: %.3f s\n", startupSeconds);
    std::printf("first frame: %.3f s after launch\n", sink.firstFrameSeconds);
    printBenchTimes(sink.times);
    for (int p = 0; sink.trackMemory && p < passes; ++p) {
        const BenchSink::PassMemory& m = sink.memory[p];
        std::printf("memory: pass %d: heap %llu bytes after the first frame, %llu after the "
                    "last, peak %llu; resident %ld kB\n",
                    p + 1, static_cast<unsigned long long>(m.first),
                    static_cast<unsigned long long>(m.last),
                    static_cast<unsigned long long>(m.peak), m.residentKiB);
    }
    return 0;
}

// --bench-jumps: jumps on live play's clock (60 frames a second), each timed from the call
// to the frame in `screen`. First a few jumps as the first of a run, before the walk ahead
// has kept any checkpoint (to the last second of every scene: the longest way for each);
// then the walk ahead, timed; then jumps to every whole second of the timeline and to 28
// frames after each (inside scene 4 the farthest frames from a kept picture), in an order
// that goes back and forth.
int runBenchJumps(const DemoOptions&) {
    constexpr int kFps = 60;
    static FrameLoop loop;
    loop.scenes = loadDemoScenes();
    openMusic(false);
    static Replay replay;
    initReplay(&replay, loop.scenes, kFps);
    const Replay fresh = replay;   // its checkpoints: only the start's

    struct Row {
        int jumps = 0;
        double total = 0.0, worst = 0.0;
        double worstAt = 0.0;   // the music time jumped to
        int64_t mostDrawn = 0;
    };
    auto count = [](Row* row, double seconds, int64_t frame, const ReplayCost& cost) {
        row->jumps += 1;
        row->total += seconds;
        if (seconds >= row->worst) {
            row->worst = seconds;
            row->worstAt = fixedClockTime(frame, kFps);
        }
        row->mostDrawn = std::max(row->mostDrawn, cost.drawn);
    };
    auto timedJump = [](Replay* r, int64_t frame, ReplayCost* cost) {
        const Clock::time_point begin = Clock::now();
        *cost = replayTo(r, frame);
        return secondsSince(begin);
    };

    Row cold;
    for (int scene = 1; scene <= kSceneCount; ++scene) {
        Replay first = fresh;   // a run's first jump: nothing kept but the start
        first.walk.picture = nullptr;
        const int second = static_cast<int>(std::ceil(kScenes[scene - 1].window.end)) - 1;
        ReplayCost cost;
        const int64_t frame = gridFrameAt(second, kFps);
        count(&cold, timedJump(&first, frame, &cost), frame, cost);
        if (stopSignal()) return signalExitCode(stopSignal());
    }

    const Clock::time_point walkBegin = Clock::now();
    while (prepareReplay(&replay, 0.1)) {
        if (stopSignal()) return signalExitCode(stopSignal());
    }
    const double walkSeconds = secondsSince(walkBegin);
    size_t pictures = 0;
    for (const Checkpoint& c : replay.checkpoints) pictures += c.picture.empty() ? 0 : 1;

    const int seconds = static_cast<int>(kEndTime);   // 0 .. 149
    Row rows[kSceneCount + 1], whole, later;
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i <= seconds; ++i) {
            const int second = (i * 67) % (seconds + 1);   // 67 and 150 share no factor
            const int64_t frame = std::min(gridFrameAt(second, kFps) + 28 * pass, replay.lastFrame);
            ReplayCost cost;
            const double took = timedJump(&replay, frame, &cost);
            count(&rows[sceneAt(fixedClockTime(frame, kFps))], took, frame, cost);
            count(pass ? &later : &whole, took, frame, cost);
            if (stopSignal()) return signalExitCode(stopSignal());
        }
    }

    std::printf("walk ahead: %.3f s; %zu checkpoints, %zu with pictures (%.1f MB)\n", walkSeconds,
                replay.checkpoints.size(), pictures,
                static_cast<double>(replayPictureBytes(replay)) / 1048576.0);
    std::printf("first jump, before the walk: worst %.1f ms (to %.2f s, %lld frames drawn)\n",
                cold.worst * 1000.0, cold.worstAt, static_cast<long long>(cold.mostDrawn));
    for (int scene = 0; scene <= kSceneCount; ++scene) {
        const Row& row = rows[scene];
        if (row.jumps == 0) continue;
        std::printf("%s %d: %d jumps, mean %.2f ms, worst %.2f ms (to %.2f s), at most %lld frames "
                    "drawn\n", scene ? "scene" : "no scene,", scene, row.jumps,
                    row.total / row.jumps * 1000.0, row.worst * 1000.0, row.worstAt,
                    static_cast<long long>(row.mostDrawn));
    }
    std::printf("to every second: %d jumps, mean %.2f ms, worst %.2f ms (to %.2f s)\n",
                whole.jumps, whole.total / whole.jumps * 1000.0, whole.worst * 1000.0, whole.worstAt);
    std::printf("28 frames later: %d jumps, mean %.2f ms, worst %.2f ms (to %.2f s)\n",
                later.jumps, later.total / later.jumps * 1000.0, later.worst * 1000.0, later.worstAt);
    return 0;
}
