// app/frameloop.h — the demo's one frame loop. Live play, --capture, --video and --bench
// differ only in their clock (the music's, or the fixed clock t = n / fps) and their sink
// (the display, PNG files, the video encoder, the timing statistics).
//
// Offers: FrameClock, FrameSink, FrameLoop, stepFrame (one frame: the body of the loop,
//         for hosts that own the loop themselves, such as a browser's frame callback),
//         runFrameLoop (stepFrame until the run ends).
// Needs:  scenes/scene_table.h, app/timeline.h, audio/music.h (position and spectrum), render3d (`screen`),
//         app/gentle.h (the gentle run's limiter), app/replay.h (the jump rule after a gap).
#pragma once
#include <cstdint>

#include "assets/image.h"
#include "audio/fft.h"
#include "app/gentle.h"
#include "app/timeline.h"
#include "scenes/scene_table.h"

struct FrameClock {
    int fps;          // 0: the music clock (the audible playback position and spectrum);
                      // otherwise the fixed clock, frame n at t = n / fps with the spectrum
                      // of the decoded music at t, drawn at fixedClockSceneTime(t)
    int64_t next;     // the fixed clock's next frame number
    double offset;    // the fixed clock's frames lie this part of a frame later,
                      // t = (n + offset) / fps: 0 but for checking the flash analysis
};

inline FrameClock musicClock() { return FrameClock{0, 0, 0.0}; }
inline FrameClock fixedClock(int fps, int64_t firstFrame, double offset = 0.0) {
    return FrameClock{fps, firstFrame, offset};
}

// A finished frame as the sink receives it.
struct FrameInfo {
    const Image* image;      // the picture (`screen` at the end of the frame, or the gentle
                             // run's limited copy of it)
    float t;                 // its music time
    int64_t number;          // the fixed clock's frame number; the count of frames on the
                             // music clock
    double renderSeconds;    // wall time of reading the clock, the spectrum and drawing
    bool afterGap;           // made by the jump rule after a gap (music clock only): the
                             // picture is the replay's frame at or before t
};

// Where finished frames go. `take` returns false to end the run after this frame.
// `idle`, when given, is asked once a frame after the clock is read: true means no frame
// is wanted now (a minimised window), so nothing is drawn or handed on and the clock runs
// on; setting *stop ends the run.
struct FrameSink {
    void* context;
    bool (*take)(void* context, const FrameInfo& frame);
    bool (*idle)(void* context, bool* stop) = nullptr;
};

struct Replay;

struct FrameLoop {
    DemoScenes* scenes;
    FrameClock clock;
    FrameSink sink;
    FlashLimiter* limiter;                 // the gentle run's; null: frames as drawn
    int64_t frames;                        // frames made so far
    float spectrum[kSpectrumCapacity];     // refilled every frame
    Replay* replay = nullptr;              // live play: a frame after a gap is a jump
};

// Makes one frame: reads the clock and the spectrum, lets the scene of that time draw into
// `screen` (on the music clock with a replay, after a gap (followsGap): the replay's frame
// at or before that time), passes it through the limiter (if any), and hands the frame to
// the sink. Returns false once the run has ended: the
// frame was the first past the end of the timeline, the sink said stop, or a stop signal
// arrived (platform/signals.h).
bool stepFrame(FrameLoop* loop);

// stepFrame until the run ends; stop signals are polled meanwhile.
void runFrameLoop(FrameLoop* loop);
