// Live play: the loading picture, the scenes, the music, then frames on the music clock
// shown on the display until Escape or the end of the timeline, in the viewer's hands
// (app/player.h: the keys, jumps, pause, the overlay).
#include <chrono>
#include <cstdio>
#include <thread>

#include "app/frameloop.h"
#include "app/modes.h"
#include "app/player.h"
#include "app/sinks.h"
#include "platform/signals.h"
#include "app/startup.h"
#include "display/display.h"

int runLive(const DemoOptions& options) {
    setDisplayOptions({options.windowed, options.depth});
    if (!initDisplay()) {
        char text[1024];
        std::snprintf(text, sizeof text,
                      "pixeldemo: cannot open the display (%s).\n"
                      "Without a display, export the demo as a video with sound, or write its\n"
                      "frames to PNG files (see pixeldemo --help):\n"
                      "  pixeldemo --video demo.mp4     (needs ffmpeg)\n"
                      "  pixeldemo --capture DIR\n",
                      displayError());
        std::fputs(text, stderr);
        showStartupFailure(text, nullptr);
        return 2;
    }
    if (options.depthGiven) {
        std::fprintf(stderr, "pixeldemo: frames shown through a %d-bit %s texture\n",
                     displayDepth(), displayFormatName());
    }
    presentFrame(loadLoadingPicture()->pixels);

    LiveSink sink;
    startLiveSink(&sink, static_cast<float>(options.start));
    static FrameLoop loop;
    loop.scenes = loadDemoScenes();
    loop.clock = musicClock();
    loop.sink = liveFrameSink(&sink);
    loop.limiter = options.gentle ? newFlashLimiter() : nullptr;

    openMusic(true);
    static Player player;
    startPlayer(&player, &loop, &sink);
    // --start: the frame there as a run from the beginning shows it (a jump).
    if (options.start > 0.0) playerJumpTo(&player, options.start);
    startMusic(options.start);
    // Escape held while the scenes loaded: no frame at all.
    if (!escapePressed()) {
        // From here a stop signal ends the run after the current frame (platform/signals.h).
        setSignalsPolled(true);
        for (;;) {
            KeyPress key;
            while (nextKeyPress(&key)) {
                playerDo(&player, actionForKey(key.key, key.alt, key.ctrl, key.meta, key.repeat));
            }
            if (!playerStep(&player)) break;
            // Paused, a vsync'd present paces the loop; a display without vsync must not spin.
            if (player.paused) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    shutdownDisplay();
    return stopSignal() ? signalExitCode(stopSignal()) : 0;
}
