#include "app/frameloop.h"

#include <chrono>

#include "app/replay.h"
#include "audio/music.h"
#include "bands/bands.h"
#include "platform/signals.h"
#include "render3d/renderer.h"

bool stepFrame(FrameLoop* loop) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point begin = Clock::now();
    keepWorkersAwake(true);
    FrameClock& clock = loop->clock;
    float t, drawAt;
    if (clock.fps == 0) {
        t = musicBytesToSeconds(getMusicPosition());
        bool stop = false;
        if (loop->sink.idle && loop->sink.idle(loop->sink.context, &stop)) {
            keepWorkersAwake(false);
            return !stop && !timelineEnded(t) && !stopSignal();
        }
        getMusicSpectrum(loop->spectrum);
        drawAt = t;
    } else {
        t = fixedClockTime(clock.next, clock.fps, clock.offset);
        getMusicSpectrumAt(musicSecondsToBytes(t), loop->spectrum);
        drawAt = fixedClockSceneTime(t);
    }
    const bool afterGap = clock.fps == 0 && loop->replay &&
                          followsGap(loop->scenes->previousTime, t);
    if (afterGap) {
        replayTo(loop->replay, gridFrameAt(t, loop->replay->fps));
    } else {
        renderDemoScenes(loop->scenes, t, drawAt, loop->spectrum);
    }
    FrameInfo frame;
    frame.afterGap = afterGap;
    frame.image = screen;
    if (loop->limiter) {
        // The fixed clock's time unrounded, so its seconds hold whole numbers of frames.
        const double seconds =
            clock.fps == 0 ? t : (static_cast<double>(clock.next) + clock.offset) / clock.fps;
        frame.image = limitFlashes(loop->limiter, *screen, seconds);
    }
    frame.t = t;
    frame.number = clock.fps == 0 ? loop->frames : clock.next;
    frame.renderSeconds = std::chrono::duration<double>(Clock::now() - begin).count();
    keepWorkersAwake(false);
    ++loop->frames;
    ++clock.next;
    const bool more = loop->sink.take(loop->sink.context, frame);
    return more && !timelineEnded(t) && !stopSignal();
}

void runFrameLoop(FrameLoop* loop) {
    // From here a stop signal ends the run after the current frame (platform/signals.h).
    setSignalsPolled(true);
    while (stepFrame(loop)) {
    }
}
