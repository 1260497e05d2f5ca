// --analyze-flashes: the demo auditing itself. Every frame of the fixed clock, as --capture
// and --video render it (with --gentle, as the gentle run shows it), is measured for
// flashing lights (exporters/flashes.h); the report goes to stdout and the plot to OUT.png.
#include <chrono>
#include <cstdio>
#include <string>

#include "app/frameloop.h"
#include "app/modes.h"
#include "app/startup.h"
#include "exporters/flashes.h"
#include "platform/signals.h"

namespace {

using Clock = std::chrono::steady_clock;

struct FlashSink {
    FlashTrace trace;
    FlashMeter meter;
    Clock::time_point lastProgress;
};

bool measureFlashes(void* context, const FrameInfo& frame) {
    FlashSink* sink = static_cast<FlashSink*>(context);
    const double seconds =
        (static_cast<double>(frame.number) + sink->trace.offset) / sink->trace.fps;
    traceFrame(&sink->trace, &sink->meter, seconds, *frame.image);
    if (Clock::now() - sink->lastProgress >= std::chrono::seconds(2)) {
        sink->lastProgress = Clock::now();
        std::fprintf(stderr, "analyze-flashes: t = %.2f s of %.0f s\n",
                     static_cast<double>(frame.t), static_cast<double>(kEndTime));
    }
    return true;
}

}  // namespace

int runFlashAnalysis(const DemoOptions& options) {
    static FrameLoop loop;
    loop.scenes = loadDemoScenes();
    openMusic(false);
    static FlashSink sink;
    sink.trace.fps = options.fps;
    sink.trace.offset = options.frameOffset;
    sink.trace.gentle = options.gentle;
    sink.lastProgress = Clock::now();
    loop.clock = fixedClock(options.fps, 0, options.frameOffset);
    loop.sink = {&sink, measureFlashes};
    loop.limiter = options.gentle ? newFlashLimiter() : nullptr;
    runFrameLoop(&loop);
    if (stopSignal()) {
        std::fprintf(stderr, "pixeldemo: flash analysis stopped by %s; nothing written\n",
                     signalName(stopSignal()));
        return signalExitCode(stopSignal());
    }
    std::fputs(flashReport(sink.trace).c_str(), stdout);
    if (options.gentle) {
        std::printf("the limiter changed %lld of %zu frames\n", limitedFrames(loop.limiter),
                    sink.trace.t.size());
    }
    Image* plot = plotFlashes(sink.trace);
    std::string error;
    const bool ok = writePng(options.flashesOut.c_str(), *plot, false, &error);
    freeImage(plot);
    if (!ok) {
        std::fprintf(stderr, "--analyze-flashes: %s\n", error.c_str());
        return 1;
    }
    std::printf("plot written to %s\n", options.flashesOut.c_str());
    return 0;
}
