// --capture: frames of the fixed clock written as PNG files (and thumbnails on a contact
// sheet), no window and no sound device. The folder was prepared by checkRunOutputs.
#include <chrono>
#include <cstdio>
#include <string>

#include "exporters/capture.h"
#include "app/frameloop.h"
#include "app/modes.h"
#include "app/replay.h"
#include "platform/signals.h"
#include "app/startup.h"
#include "render3d/renderer.h"

namespace {

using Clock = std::chrono::steady_clock;

struct CaptureSink {
    const DemoOptions* options;
    FrameWriter* writer;
    ContactSheet* sheet;
    std::string error;          // why a frame could not be queued
    int64_t written = 0;
    float firstWritten = 0.0f, lastWritten = 0.0f;
    Clock::time_point lastProgress;
};

bool captureFrame(void* context, const FrameInfo& frame) {
    CaptureSink* sink = static_cast<CaptureSink*>(context);
    const DemoOptions& o = *sink->options;
    const float t = frame.t;
    if (exportWrites(t, o.from, o.to)) {
        const std::string path = captureFramePath(o.captureDir, frame.number);
        if (!queueFrame(sink->writer, *frame.image, path, &sink->error)) return false;
        if (sink->sheet) addToContactSheet(sink->sheet, *frame.image, t);
        if (sink->written == 0) sink->firstWritten = t;
        sink->lastWritten = t;
        ++sink->written;
    }
    if (Clock::now() - sink->lastProgress >= std::chrono::seconds(2)) {
        sink->lastProgress = Clock::now();
        std::fprintf(stderr, "capture: t = %.2f s, %lld %s written\n", static_cast<double>(t),
                     static_cast<long long>(sink->written), framesWord(sink->written));
    }
    return !exportEnded(t, o.to);
}

}  // namespace

int runCapture(const DemoOptions& options) {
    const ExportFrames frames = exportFrames(options.fps, options.from, options.to);
    CaptureSink sink;
    sink.options = &options;
    sink.sheet = nullptr;
    if (!options.sheetPath.empty()) {
        sink.sheet = newContactSheet(frames.count, screenWidth, screenHeight);
        if (!sink.sheet) {
            std::fprintf(stderr,
                         "pixeldemo: %lld frames do not fit on one sheet; narrow --from/--to "
                         "or lower --fps\n",
                         static_cast<long long>(frames.count));
            return 1;
        }
    }
    static FrameLoop loop;
    loop.scenes = loadDemoScenes();
    openMusic(false);
    sink.writer = startFrameWriter(screenWidth, screenHeight, 4);
    // The frames before the first written are made only as far as the first one needs them;
    // the gentle run's limiter needs every frame shown before it, so it makes them all.
    const int64_t first = options.gentle ? 0 : frames.first;
    skipToFrame(loop.scenes, options.fps, first);
    loop.clock = fixedClock(options.fps, first);
    loop.sink = {&sink, captureFrame};
    loop.limiter = options.gentle ? newFlashLimiter() : nullptr;

    const Clock::time_point begin = Clock::now();
    sink.lastProgress = begin;
    runFrameLoop(&loop);
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();

    // The frames already queued are finished whole, even after a stop signal.
    std::string writeError;
    const bool ok = finishFrameWriter(sink.writer, &writeError) && sink.error.empty();
    const int64_t rendered = loop.frames;
    const bool withSheet = sink.sheet != nullptr;
    if (stopSignal()) {
        freeContactSheet(sink.sheet);
        std::fprintf(stderr,
                     "pixeldemo: capture interrupted by %s after %lld rendered %s; the %lld "
                     "%s in %s %s whole, no partial file is left%s\n",
                     signalName(stopSignal()), static_cast<long long>(rendered),
                     framesWord(rendered), static_cast<long long>(sink.written),
                     framesWord(sink.written), options.captureDir.c_str(),
                     sink.written == 1 ? "is" : "are",
                     withSheet ? "; no sheet written" : "");
        return signalExitCode(stopSignal());
    }
    if (!ok) {
        std::fprintf(stderr, "pixeldemo: capture stopped: %s\n",
                     (sink.error.empty() ? writeError : sink.error).c_str());
        freeContactSheet(sink.sheet);
        return 1;
    }
    if (withSheet) {
        std::string error;
        const bool sheetOk = writePng(options.sheetPath.c_str(), *sink.sheet->image, false, &error);
        freeContactSheet(sink.sheet);
        if (!sheetOk) {
            // The writer's message starts with the path.
            std::fprintf(stderr, "pixeldemo: cannot write the sheet %s\n", error.c_str());
            return 1;
        }
    }
    std::fprintf(stderr,
                 "capture: %lld %s (t %.3f to %.3f s) written to %s%s%s; %lld rendered "
                 "in %.1f s\n",
                 static_cast<long long>(sink.written), framesWord(sink.written),
                 static_cast<double>(sink.firstWritten),
                 static_cast<double>(sink.lastWritten), options.captureDir.c_str(),
                 withSheet ? ", sheet " : "", withSheet ? options.sheetPath.c_str() : "",
                 static_cast<long long>(rendered), seconds);
    return 0;
}
