// pixeldemo in a web page — the entry routine of the WebAssembly build. The browser owns
// the loop: main() loads the scenes and decodes the music while the page shows the loading
// picture, then returns; the page's play button calls webPlay(), which opens the sound
// (a click is what lets a page start sound) and makes one frame per display refresh with
// the live player of app/player.h (stepFrame on the music clock, pause, exact jumps) into
// the page's canvas. The page's controls and keys reach the player through webKey,
// webAction, webSeek and webSetVolume, and read where it stands with webStatus.
//
// The page's test modes (web/index.html?test=...) drive the same loop on the fixed clock:
// webTestBegin / webTestStep / webTestFrameHash for the frame comparison with the native
// build, webBenchBegin / webBenchStep / webBenchReport for the timings, webJumpBegin /
// webJumpTo for exact jumps, webJumpBenchBegin / webJumpBenchStep / webJumpBenchReport
// for the jump bench.
//
// Exported to the page: webPlay, webPlayTime, webKey, webAction, webSeek, webSetVolume,
// webStatus, webScenes, webPlayAgain and the test functions above. main() calls
// Module.pixeldemoReady() when the demo is ready to play; the end of the timeline calls
// Module.pixeldemoEnded().
// The page's "Fewer flashes" switch is webPlay's argument: the gentle run (app/gentle.h).
#include <emscripten.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "audio/music.h"
#include "bands/bands.h"
#include "app/framehash.h"
#include "app/frameloop.h"
#include "app/jumpbench.h"
#include "app/player.h"
#include "app/replay.h"
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

// ---- Play: frames on the music clock, shown in the canvas, in the viewer's hands. ----

LiveSink live;
Player player;
bool looping = false;   // the browser calls playFrame once a display refresh

void playFrame() {
    if (!playerStep(&player)) {
        emscripten_cancel_main_loop();
        looping = false;
        EM_ASM(if (Module.pixeldemoEnded) Module.pixeldemoEnded(););
    }
}

// After the end the frames stop; a jump or Play again starts them anew.
void keepLooping() {
    if (looping) return;
    looping = true;
    emscripten_set_main_loop(playFrame, 0, 0);
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
    startLiveSink(&live, 0.0f);
    loop.clock = musicClock();
    loop.frames = 0;
    loop.sink = liveFrameSink(&live);
    loop.limiter = gentle ? newFlashLimiter() : nullptr;
    if (gentle) std::printf("fewer flashes: at most three in any second\n");
    startPlayer(&player, &loop, &live);
    player.overlay = false;   // the page's control bar says where the demo stands
    startMusic(0.0);
    audible = audible && !musicSamples().empty();
    keepLooping();
    return audible ? 1 : 0;
}

// The music time of the frame last shown (0 before the first).
EMSCRIPTEN_KEEPALIVE double webPlayTime() { return live.lastTime; }

// A key pressed in the page, by its KeyboardEvent.key name: does what the key table
// (app/player.h) says and returns the action (PlayerAction as a number), 0 when the key is
// not the demo's: the page then leaves it to the browser. Full screen (PlayerAction::
// fullscreen) is the page's to switch.
EMSCRIPTEN_KEEPALIVE int webKey(const char* key, int alt, int ctrl, int meta, int repeat) {
    if (!player.loop) return 0;
    const KeyAction action = actionForKey(key, alt != 0, ctrl != 0, meta != 0, repeat != 0);
    if (action.action == PlayerAction::none) return 0;
    playerDo(&player, action);
    if (action.action != PlayerAction::pause && action.action != PlayerAction::fullscreen) keepLooping();
    return static_cast<int>(action.action);
}

// A button of the page: the action (PlayerAction as a number) and, for a scene, its number.
EMSCRIPTEN_KEEPALIVE void webAction(int action, int scene) {
    if (!player.loop) return;
    playerDo(&player, KeyAction{static_cast<PlayerAction>(action), scene});
    keepLooping();
}

// The seek bar: a jump to `seconds`.
EMSCRIPTEN_KEEPALIVE void webSeek(double seconds) {
    if (!player.loop) return;
    playerJumpTo(&player, seconds);
    keepLooping();
}

EMSCRIPTEN_KEEPALIVE void webSetVolume(int tenths) {
    if (player.loop) playerSetVolume(&player, tenths);
}

// At the end: from the beginning again, playing, without loading the page again.
EMSCRIPTEN_KEEPALIVE void webPlayAgain() {
    if (!player.loop) return;
    playerJumpTo(&player, 0.0);
    if (player.paused) playerDo(&player, KeyAction{PlayerAction::pause, 0});
    keepLooping();
}

// Where live play stands, as JSON: {"t": music time of the picture, "scene": 0..7,
// "paused", "muted", "volume": tenths, "ended", "playing": play has begun}.
EMSCRIPTEN_KEEPALIVE const char* webStatus() {
    static char text[160];
    const PlayerStatus s = playerStatus(player);
    std::snprintf(text, sizeof text,
                  "{\"t\":%.3f,\"scene\":%d,\"paused\":%s,\"muted\":%s,\"volume\":%d,"
                  "\"ended\":%s,\"playing\":%s}",
                  static_cast<double>(s.time), s.scene, s.paused ? "true" : "false",
                  s.muted ? "true" : "false", s.volume, (s.ended || !looping) && player.loop ? "true" : "false",
                  player.loop ? "true" : "false");
    return text;
}

// The timeline for the seek bar, as JSON: {"end": seconds, "scenes": [{"start", "first"
// (the music time of its first frame, where its key jumps), "end", "name"}, ...]}.
EMSCRIPTEN_KEEPALIVE const char* webScenes() {
    static char text[1024];
    int at = std::snprintf(text, sizeof text, "{\"end\":%.3f,\"scenes\":[", static_cast<double>(kEndTime));
    for (int i = 0; i < kSceneCount; ++i) {
        at += std::snprintf(text + at, sizeof text - at,
                            "%s{\"start\":%.3f,\"first\":%.4f,\"end\":%.3f,\"name\":\"%s\"}",
                            i ? "," : "", static_cast<double>(kScenes[i].window.start),
                            static_cast<double>(fixedClockTime(sceneFirstFrame(i + 1), 60)),
                            static_cast<double>(kScenes[i].window.end), kScenes[i].subject);
    }
    std::snprintf(text + at, sizeof text - at, "]}");
    return text;
}

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

// Jumps on the fixed clock at `fps` (the replay of app/replay.h), for the exactness test.
Replay jumps;

EMSCRIPTEN_KEEPALIVE int webJumpBegin(int fps) {
    if (fps <= 0 || !beginRun("the jump test")) return 0;
    initReplay(&jumps, loop.scenes, fps);
    return 1;
}

// Replays to frame n and returns the fingerprint of its picture, as 16 hex digits.
EMSCRIPTEN_KEEPALIVE const char* webJumpTo(int n) {
    replayTo(&jumps, n);
    return webTestFrameHash();
}

JumpBench* jumpBench = nullptr;

EMSCRIPTEN_KEEPALIVE int webJumpBenchBegin() {
    if (!beginRun("the jump bench")) return 0;
    jumpBench = startJumpBench(loop.scenes);
    return 1;
}

// Does up to `seconds` of the bench's work; returns 0 once it is all done.
EMSCRIPTEN_KEEPALIVE int webJumpBenchStep(double seconds) {
    const double end = emscripten_get_now() + seconds * 1000.0;
    while (emscripten_get_now() < end) {
        if (!jumpBenchStep(jumpBench)) return 0;
    }
    return 1;
}

EMSCRIPTEN_KEEPALIVE void webJumpBenchReport() { printJumpBench(*jumpBench); }

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
#ifdef __EMSCRIPTEN_PTHREADS__
    // The threaded page: as many drawing threads as PIXELDEMO_THREADS, which the page sets
    // (?threads=N, else one per core the browser reports, at most 8) and whose workers it
    // made before main(); the page's own thread draws a band of every operation too.
    setDrawingThreads(chooseDrawingThreads(0));
#endif
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
