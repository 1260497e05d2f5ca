// --capture: frames of the fixed clock written as PNG files (and thumbnails on a contact
// sheet), no window and no sound device.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "demo/capture.h"
#include "demo/frameloop.h"
#include "demo/modes.h"
#include "demo/startup.h"
#include "render3d/renderer.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

struct CaptureSink {
    const DemoOptions* options;
    FrameWriter* writer;
    ContactSheet* sheet;
    FrameStats stats;
    std::string error;          // why a frame could not be queued
    int64_t written = 0;
    float firstWritten = 0.0f, lastWritten = 0.0f;
    Clock::time_point lastProgress;
};

bool captureFrame(void* context, const FrameInfo& frame) {
    CaptureSink* sink = static_cast<CaptureSink*>(context);
    const DemoOptions& o = *sink->options;
    const float t = frame.t;
    if (captureWrites(t, o.from, o.to)) {
        const std::string path = captureFramePath(o.captureDir, frame.number);
        if (!queueFrame(sink->writer, *frame.image, path, &sink->error)) return false;
        if (sink->sheet) addToContactSheet(sink->sheet, *frame.image, t);
        if (sink->written == 0) sink->firstWritten = t;
        sink->lastWritten = t;
        ++sink->written;
    }
    float rate, average;
    if (countFrame(&sink->stats, t, &rate, &average)) printFpsLine(rate, average);
    if (Clock::now() - sink->lastProgress >= std::chrono::seconds(2)) {
        sink->lastProgress = Clock::now();
        std::fprintf(stderr, "capture: t = %.2f s, %lld frames written\n",
                     static_cast<double>(t), static_cast<long long>(sink->written));
    }
    return !(t > o.to);
}

}  // namespace

int runCapture(const DemoOptions& options) {
    std::error_code ec;
    fs::create_directories(options.captureDir, ec);
    if (ec || !fs::is_directory(options.captureDir)) {
        std::fprintf(stderr, "pixeldemo: cannot create %s: %s\n", options.captureDir.c_str(),
                     ec ? ec.message().c_str() : "not a directory");
        return 1;
    }
    CaptureSink sink;
    sink.options = &options;
    sink.sheet = nullptr;
    if (!options.sheetPath.empty()) {
        const int64_t frames = captureFrameCount(options.fps, options.from, options.to);
        sink.sheet = newContactSheet(frames, screenWidth, screenHeight);
        if (!sink.sheet) {
            std::fprintf(stderr,
                         "pixeldemo: %lld frames do not fit on one sheet; narrow --from/--to "
                         "or lower --fps\n",
                         static_cast<long long>(frames));
            return 1;
        }
    }
    resetFrameStats(&sink.stats);
    static FrameLoop loop;
    loop.scenes = loadDemoScenes();
    openMusic(false);
    sink.writer = startFrameWriter(screenWidth, screenHeight, 4);
    loop.clock = fixedClock(options.fps, 1);
    loop.sink = {&sink, captureFrame};

    const Clock::time_point begin = Clock::now();
    sink.lastProgress = begin;
    runFrameLoop(&loop);
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();

    std::string writeError;
    const bool ok = finishFrameWriter(sink.writer, &writeError) && sink.error.empty();
    if (!ok) {
        std::fprintf(stderr, "pixeldemo: capture stopped: %s\n",
                     (sink.error.empty() ? writeError : sink.error).c_str());
        freeContactSheet(sink.sheet);
        return 1;
    }
    const bool withSheet = sink.sheet != nullptr;
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
    const int64_t rendered = loop.frames;
    if (sink.written > 0) {
        std::fprintf(stderr,
                     "capture: %lld frames (t %.3f to %.3f s) written to %s%s%s; %lld rendered "
                     "in %.1f s\n",
                     static_cast<long long>(sink.written), static_cast<double>(sink.firstWritten),
                     static_cast<double>(sink.lastWritten), options.captureDir.c_str(),
                     withSheet ? ", sheet " : "", withSheet ? options.sheetPath.c_str() : "",
                     static_cast<long long>(rendered), seconds);
    } else {
        std::fprintf(stderr, "capture: no frame lies in the chosen times; %lld rendered\n",
                     static_cast<long long>(rendered));
    }
    return 0;
}
