// --bench: the whole timeline on the fixed clock with no output, timing every frame; with
// --bench-passes N the timeline runs N times and the heap is reported after each pass.
// --bench-jumps: jumps to every second of the timeline, timed (app/jumpbench.h).
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "app/frameloop.h"
#include "app/modes.h"
#include "app/jumpbench.h"
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
    startBenchTimes(&sink.times);
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

// --bench-jumps: the jump bench of app/jumpbench.h, run to its end.
int runBenchJumps(const DemoOptions&) {
    static FrameLoop loop;
    loop.scenes = loadDemoScenes();
    openMusic(false);
    JumpBench* bench = startJumpBench(loop.scenes);
    while (jumpBenchStep(bench)) {
        if (stopSignal()) {
            std::fprintf(stderr, "pixeldemo: bench stopped by %s\n", signalName(stopSignal()));
            return signalExitCode(stopSignal());
        }
    }
    printJumpBench(*bench);
    return 0;
}
