// app/sinks.h — the frame sinks that more than one entry routine uses: live play on the
// display (the desktop's window and the page's canvas) and the bench's timing. The
// desktop's modes (app/mode_*.cpp) and the page (platform/web/main_web.cpp) build their
// frame loops from these, so both show and count frames, and print the bench, alike.
//
// Offers: LiveSink, startLiveSink, liveFrameSink; BenchTimes, timeBenchFrame,
//         printBenchTimes.
// Needs:  app/frameloop.h, app/timeline.h (the frame-rate line), display/ (presenting).
#pragma once
#include <cstdint>

#include "app/frameloop.h"
#include "app/timeline.h"
#include "bands/bands.h"

// Live play: every frame presented, the frame-rate line once a second of music time, Escape
// ends the run; while the window is minimised nothing is drawn and the rate counts afresh
// from the first frame shown again (as after a pause or a jump).
struct LiveSink {
    FrameStats stats;
    bool restartCount;   // the rate counts afresh from the next frame shown
    float lastTime;      // music time of the frame last shown (0 before the first)
    const Image* shown;  // the picture last presented (the frame, or the gentle run's copy)
    // What is presented: the frame itself, or when set what `dress` makes of it (live
    // play's overlay, drawn on a copy).
    const uint32_t* (*dress)(void* context, const Image* frame);
    void* dressContext;
};
// Starts the statistics at music time `start` (0, or --start).
void startLiveSink(LiveSink* sink, float start);
// Presents `frame` as the sink presents frames, without counting it (a still picture, a
// jump's frame); it becomes the picture last presented.
void showStill(LiveSink* sink, const Image* frame);
FrameSink liveFrameSink(LiveSink* sink);

// The bench's figures: per scene the frames, their summed and their worst time (reading the
// clock and the spectrum, and drawing: FrameInfo::renderSeconds).
struct BenchTimes {
    struct Scene {
        int64_t frames;
        double total;
        double worst;
        ForkTimes forks;        // the forks of the scene's frames and their cost
    } scene[kSceneCount + 1];   // index 0: frames no scene drew
    int64_t rendered;
    double total;               // seconds, all frames
    ForkTimes forksSoFar;       // forkTimes() when the last frame was timed (or the bench began)
};
void timeBenchFrame(BenchTimes* times, const FrameInfo& frame);
// "threads: N drawing (W workers), K forks a frame", then one line per scene,
// "scene N: F frames, mean X ms, worst Y ms", then "total: F frames, R frames/s", R being
// the frames over their summed time. K counts the forks of the drawing operations
// (bands/bands.h) of the frames timed, over the frames. With more
// than one drawing thread, then one line per scene on what the forks cost the frame loop's
// thread, "forks in scene N: K a frame, X ms from fork to join, Y ms of it waiting at the
// joins" (means per frame): the mean frame time less X is the frame's drawing done by one
// thread alone, and Y the time the bands left the forking thread idle.
void startBenchTimes(BenchTimes* times);
void printBenchTimes(const BenchTimes& times);
