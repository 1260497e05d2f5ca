// pixeldemo in a web page — the entry routine of the WebAssembly build. The browser owns
// the loop: main() loads the scenes and decodes the music while the page shows the loading
// picture, then returns; the page's play button calls webPlay(), which opens the sound
// (a click is what lets a page start sound) and makes one frame per display refresh with
// stepFrame, on the music clock, into the page's canvas.
//
// The page's test modes (web/index.html?test=...) drive the same loop on the fixed clock:
// webTestBegin / webTestStep / webTestFrameHash for the frame comparison with the native
// build, webBenchBegin / webBenchStep / webBenchReport for the timings.
//
// Exported to the page: webPlay, webPlayTime, webTestBegin, webTestStep, webTestFrameHash,
// webBenchBegin, webBenchStep, webBenchReport. main() calls Module.pixeldemoReady() when
// the demo is ready to play; the end of the timeline calls Module.pixeldemoEnded().
// The page's "Fewer flashes" switch is webPlay's argument: the gentle run (app/gentle.h).
#include <emscripten.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "audio/music.h"
#include "app/framehash.h"
#include "app/frameloop.h"
#include "app/sinks.h"
#include "scenes/scene_table.h"
#include "app/startup.h"
#include "app/timeline.h"
#include "display/display.h"
#include "display/messagebox.h"
#include "render3d/renderer.h"

namespace {

FrameLoop loop;
bool started = false;   // a run (play, test or bench) has begun: the scenes keep state

// ---- Play: frames on the music clock, shown in the canvas. ----

LiveSink live;

void playFrame() {
    if (!stepFrame(&loop)) {
        emscripten_cancel_main_loop();
        EM_ASM(if (Module.pixeldemoEnded) Module.pixeldemoEnded(););
    }
}

// ---- Test: frames on the fixed clock, fingerprinted on request. ----

bool keepFrame(void*, const FrameInfo&) { return true; }

// ---- Bench: every frame of the timeline on the fixed clock, timed per scene. ----

BenchTimes bench;

bool timeFrame(void* context, const FrameInfo& frame) {
    timeBenchFrame(static_cast<BenchTimes*>(context), frame);
    return true;
}

// A run starts from a fresh process's state; the page loads anew for each.
bool beginRun(const char* what) {
    if (started) {
        std::fprintf(stderr, "pixeldemo: %s needs a fresh page: a run has already begun\n", what);
        return false;
    }
    started = true;
    return true;
}

}  // namespace

extern "C" {

// Starts the music and the frames on the display's refresh, through the gentle run's
// limiter when `gentle` is 1. Returns 1 when the music can be heard, 0 when it plays on the
// silent clock (no sound device, or no music).
EMSCRIPTEN_KEEPALIVE int webPlay(int gentle) {
    if (!beginRun("play")) return 0;
    bool audible = true;
    if (!initMusicOutput()) {
        showMessageBox("BASS error", "BASS");
        std::fprintf(stderr, "pixeldemo: %s\n", musicError());
        audible = false;
    }
    startMusic(0.0);
    audible = audible && !musicSamples().empty();
    startLiveSink(&live, 0.0f);
    loop.clock = musicClock();
    loop.frames = 0;
    loop.sink = liveFrameSink(&live);
    loop.limiter = gentle ? newFlashLimiter() : nullptr;
    if (gentle) std::printf("fewer flashes: at most three in any second\n");
    emscripten_set_main_loop(playFrame, 0, 0);
    return audible ? 1 : 0;
}

// The music time of the frame last shown (0 before the first).
EMSCRIPTEN_KEEPALIVE double webPlayTime() { return live.lastTime; }

// The fixed clock at `fps`, from frame 1, as `pixeldemo --capture DIR --fps N` runs it.
EMSCRIPTEN_KEEPALIVE int webTestBegin(int fps) {
    if (fps <= 0 || !beginRun("the frame test")) return 0;
    loop.clock = fixedClock(fps, 1);
    loop.frames = 0;
    loop.sink = {nullptr, keepFrame};
    return 1;
}

// Makes up to `count` frames; returns the number of the last one made, or -1 (after
// making it) when it was the last frame of the timeline.
EMSCRIPTEN_KEEPALIVE double webTestStep(int count) {
    for (int i = 0; i < count; ++i) {
        if (!stepFrame(&loop)) return -1.0;
    }
    return static_cast<double>(loop.clock.next - 1);
}

// app/framehash.h's fingerprint of the frame last made, as 16 hex digits.
EMSCRIPTEN_KEEPALIVE const char* webTestFrameHash() {
    static char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, frameHash(*screen));
    return text;
}

EMSCRIPTEN_KEEPALIVE int webBenchBegin(int fps) {
    if (fps <= 0 || !beginRun("the bench")) return 0;
    startBenchTimes(&bench);
    loop.clock = fixedClock(fps, 1);
    loop.frames = 0;
    loop.sink = {&bench, timeFrame};
    return 1;
}

// Makes up to `count` frames; returns the music time of the last one, or -1 at the end.
EMSCRIPTEN_KEEPALIVE double webBenchStep(int count) {
    for (int i = 0; i < count; ++i) {
        if (!stepFrame(&loop)) return -1.0;
    }
    return static_cast<double>(fixedClockTime(loop.clock.next - 1, loop.clock.fps));
}

// One line per scene and the total, as pixeldemo --bench prints them.
EMSCRIPTEN_KEEPALIVE void webBenchReport() {
    printBenchTimes(bench);
    std::fflush(stdout);
}

}  // extern "C"

int main() {
    installDemoAssetReporter();
    // No message boxes in a page: the reasons go to the console.
    setMessageBoxesEnabled(false);
    // Before anything is drawn: the screen starts opaque black.
    std::fill(screen->pixels, screen->pixels + screenWidth * screenHeight, 0xFF000000u);
    if (!initDisplay()) std::fprintf(stderr, "pixeldemo: %s\n", displayError());
    loop.scenes = loadDemoScenes();
    // The music is decoded now; the sound device is opened by the play button.
    openMusic(false);
    EM_ASM(if (Module.pixeldemoReady) Module.pixeldemoReady(););
    return 0;
}
