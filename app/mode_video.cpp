// --video: frames of the fixed clock from --from (t = 0 by default), piped with the music to
// ffmpeg.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "audio/music.h"
#include "app/frameloop.h"
#include "app/modes.h"
#include "app/replay.h"
#include "platform/paths.h"
#include "platform/signals.h"
#include "app/startup.h"
#include "exporters/video.h"
#include "render3d/renderer.h"

namespace fs = std::filesystem;

namespace {

struct VideoSink {
    VideoEncoder* encoder;
    ExportFrames frames;
    std::string error;
    bool ok = true;
};

bool encodeFrame(void* context, const FrameInfo& frame) {
    VideoSink* sink = static_cast<VideoSink*>(context);
    const int64_t k = frame.number;
    const int64_t last = sink->frames.first + sink->frames.count - 1;
    if (k >= sink->frames.first) sink->ok = writeVideoFrame(sink->encoder, *frame.image, &sink->error);
    if (videoInterrupted()) sink->ok = false;
    showVideoProgress(k >= sink->frames.first ? k - sink->frames.first + 1 : 0,
                      sink->frames.count, frame.t, !sink->ok || k == last);
    return sink->ok && k < last;
}

}  // namespace

int runVideo(const DemoOptions& options) {
    VideoSink sink;
    sink.frames = exportFrames(options.fps, options.from, options.to);
    static FrameLoop loop;
    loop.scenes = loadDemoScenes();
    openMusic(false);

    VideoSettings settings;
    settings.outPath = options.videoPath;
    // The soundtrack is the file the demo decoded; one it could not decode (missing, empty,
    // cut, not MP3) gives a silent track, as ffmpeg would stop on it.
    std::error_code ec;
    settings.musicPath = pathText(fs::absolute(kMusicPath, ec));
    if (ec || musicSamples().empty()) {
        std::fprintf(stderr, "pixeldemo: cannot decode %s; the video gets a silent track\n",
                     kMusicPath);
        settings.musicPath.clear();
    }
    settings.fps = options.fps;
    settings.width = screenWidth;
    settings.height = screenHeight;
    settings.audioStart = static_cast<double>(sink.frames.first) / options.fps;
    settings.duration = static_cast<double>(sink.frames.count) / options.fps;

    sink.encoder = startVideo(settings, &sink.error);
    if (!sink.encoder) {
        std::fprintf(stderr, "pixeldemo: %s\n", sink.error.c_str());
        return 1;
    }
    const auto begin = std::chrono::steady_clock::now();
    // Video time and music time agree: frame k of the file's timeline shows t = k / fps. The
    // frames before the first written are made only as far as the first one needs them;
    // the gentle run's limiter needs every frame shown before it, so it makes them all.
    const int64_t first = options.gentle ? 0 : sink.frames.first;
    skipToFrame(loop.scenes, options.fps, first);
    loop.clock = fixedClock(options.fps, first);
    loop.sink = {&sink, encodeFrame};
    loop.limiter = options.gentle ? newFlashLimiter() : nullptr;
    runFrameLoop(&loop);

    if (!sink.ok) {
        abortVideo(sink.encoder);
        if (videoInterrupted()) {
            std::fprintf(stderr, "pixeldemo: video interrupted by %s; %s.part removed\n",
                         stopSignal() ? signalName(stopSignal()) : "an interrupt",
                         options.videoPath.c_str());
            return stopSignal() ? signalExitCode(stopSignal()) : 130;
        }
        std::fprintf(stderr, "pixeldemo: video stopped: %s; %s.part removed\n",
                     sink.error.c_str(), options.videoPath.c_str());
        return 1;
    }
    std::fprintf(stderr, "video: rendered; ffmpeg finishes the file...\n");
    if (!finishVideo(sink.encoder, &sink.error)) {
        std::fprintf(stderr, "pixeldemo: video failed: %s; nothing written to %s\n",
                     sink.error.c_str(), options.videoPath.c_str());
        if (!videoInterrupted()) return 1;
        return stopSignal() ? signalExitCode(stopSignal()) : 130;
    }
    const int64_t last = sink.frames.first + sink.frames.count - 1;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    std::fprintf(stderr,
                 "video: %lld %s (t %.3f to %.3f s, %.3f s at %d frames/s) with music "
                 "written to %s in %.1f s\n",
                 static_cast<long long>(sink.frames.count), framesWord(sink.frames.count),
                 settings.audioStart,
                 static_cast<double>(last) / options.fps, settings.duration, options.fps,
                 options.videoPath.c_str(), seconds);
    return 0;
}
