// Live play: the loading picture, the scenes, the music, then frames on the music clock
// shown on the display until Escape or the end of the timeline.
#include <cstdio>

#include "demo/frameloop.h"
#include "demo/modes.h"
#include "demo/signals.h"
#include "demo/startup.h"
#include "display/display.h"

namespace {

struct LiveSink {
    FrameStats stats;
    bool wasHidden = false;
};

bool showFrame(void* context, const FrameInfo& frame) {
    LiveSink* sink = static_cast<LiveSink*>(context);
    if (sink->wasHidden) {
        // The rate counts from the first frame shown again, not across the hidden stretch.
        sink->stats.framesSinceReport = 0;
        sink->stats.lastReportTime = frame.t;
        sink->wasHidden = false;
    }
    presentFrame(frame.image->pixels);
    float rate, average;
    if (countFrame(&sink->stats, frame.t, &rate, &average)) printFpsLine(rate, average);
    return !escapePressed();
}

// A minimised window: no drawing, only a wait of about a frame for the window to come
// back (displayHidden), Escape still heard.
bool whileHidden(void* context, bool* stop) {
    LiveSink* sink = static_cast<LiveSink*>(context);
    if (!displayHidden()) return false;
    sink->wasHidden = true;
    *stop = escapePressed();
    return true;
}

}  // namespace

int runLive(const DemoOptions& options) {
    setDisplayOptions({options.windowed, options.depth});
    if (!initDisplay()) {
        std::fprintf(stderr,
                     "pixeldemo: cannot open the display (%s).\n"
                     "Without a display, export the demo as a video with sound, or write its\n"
                     "frames to PNG files (see pixeldemo --help):\n"
                     "  pixeldemo --video demo.mp4     (needs ffmpeg)\n"
                     "  pixeldemo --capture DIR\n",
                     displayError());
        return 2;
    }
    if (options.depthGiven) {
        std::fprintf(stderr, "pixeldemo: frames shown through a %d-bit %s texture\n",
                     displayDepth(), displayFormatName());
    }
    presentFrame(loadLoadingPicture()->pixels);

    LiveSink sink;
    resetFrameStats(&sink.stats, static_cast<float>(options.start));
    static FrameLoop loop;
    loop.scenes = loadDemoScenes();
    loop.clock = musicClock();
    loop.sink = {&sink, showFrame, whileHidden};

    openMusic(true);
    startMusic(options.start);
    // Escape held while the scenes loaded: no frame at all.
    if (!escapePressed()) runFrameLoop(&loop);
    shutdownDisplay();
    return stopSignal() ? signalExitCode(stopSignal()) : 0;
}
