// app/player.h — live play in the viewer's hands, in the window and in the page alike:
// pause, jumps (5 s back and forth, scene starts, the beginning), a frame step while
// paused, mute and volume, full screen, and for two seconds after each key an overlay in
// the demo's pixel font saying where the demo stands.
//
// Offers: PlayerAction, KeyAction, actionForKey (the table of keys), Player with
//         startPlayer / playerDo / playerJumpTo / playerStep / prepareAhead, PlayerStatus,
//         sceneFirstFrame, formatPlayTime.
// Needs:  app/frameloop.h, app/sinks.h (the live sink), app/replay.h (exact jumps),
//         audio/music.h (pause, position, volume), display/display.h (keys, full screen),
//         gfx2d/tinyfont.h (the overlay).
//
// Jumps land exactly (app/replay.h): the picture is the one a run on the fixed clock of 60
// frames a second shows at the target's grid frame, then the music plays on from the
// target time. The overlay is drawn on a copy of the frame that is presented only: the
// frame itself, captures, videos and the golden frames never hold it. In the gentle run
// (app/gentle.h) a jump's frame goes through a limiter started afresh there (the time may
// have gone back), and the frames after it through that one.
#pragma once
#include <cstdint>

#include "app/frameloop.h"
#include "app/replay.h"
#include "app/sinks.h"

enum class PlayerAction {
    none,
    pause,           // Space: pause or play on, picture and music together
    back,            // Left: 5 s back
    forward,         // Right: 5 s on
    previousScene,   // Page Up: the start of the scene before this one
    nextScene,       // Page Down: the start of the next scene
    scene,           // 1 to 7: the start of that scene
    beginning,       // Home
    step,            // '.': one frame (1/60 s) on, while paused
    mute,            // M: sound off or on again
    louder,          // '+': a tenth louder (and sound on)
    quieter,         // '-': a tenth quieter
    fullscreen,      // F, Alt+Enter: full screen or a window
};

struct KeyAction {
    PlayerAction action;
    int scene;   // 1..7 for PlayerAction::scene
};

// What a key does, the key named as web pages name it (KeyboardEvent.key; the window's
// keys are named alike, display/display.h). Keys held with Ctrl or Meta, and with Alt
// except Alt+Enter, belong to the system and the browser: none. The toggles (pause, mute,
// full screen, the scene keys) ignore a held key's repeats; the others repeat.
KeyAction actionForKey(const char* key, bool alt, bool ctrl, bool meta, bool repeat);

// Where live play stands, for the overlay and the page's controls.
struct PlayerStatus {
    float time;      // music time of the picture shown
    int scene;       // its scene, 1..7, 0 for none
    bool paused;
    bool muted;
    int volume;      // tenths, 0..10
    bool ended;      // the timeline has ended
};

struct Player {
    FrameLoop* loop = nullptr;   // on the music clock; its sink is `sink`
    LiveSink* sink = nullptr;
    Replay replay;
    bool paused = false;
    bool muted = false;
    int volume = 10;
    bool overlay = true;          // the window shows it; the page has its own controls
    double overlayUntil = -1.0;   // seconds of the steady clock
    bool keyPressed = false;      // the viewer has used a key: prepare ahead faster
    Image* dressed = nullptr;     // the presented copy with the overlay
};

// Takes over live play of `loop` (scenes loaded, no frame made yet) shown through `sink`:
// starts the replay on the 60 frames a second clock, gives the loop the jump rule for gaps
// and the sink the overlay.
void startPlayer(Player* player, FrameLoop* loop, LiveSink* sink);

// Does what an action says (a key, a button of the page). Jumps present their frame at
// once. PlayerAction::fullscreen switches the window (display/display.h); the page does
// its own.
void playerDo(Player* player, KeyAction action);

// Jumps to music time `seconds` (0 .. the end): the frame at or before it, exactly, shown
// at once; the music moves there and plays on unless paused.
void playerJumpTo(Player* player, double seconds);

// The volume in tenths (0..10, clamped), sound on (the page's slider).
void playerSetVolume(Player* player, int tenths);

// One pass of live play: while playing a frame on the music clock (stepFrame), while
// paused the still picture presented again. Returns false once the run has ended (the
// timeline's end, Escape, a stop signal).
bool playerStep(Player* player);

// Spends spare time walking the timeline ahead for the replay's checkpoints: a little
// each frame, more once the viewer has used a key or while paused.
void prepareAhead(Player* player);

PlayerStatus playerStatus(const Player& player);

// The first frame of the 60 frames a second clock that scene `scene` (1..7) draws.
int64_t sceneFirstFrame(int scene);

// "m:ss.cc" for music time `seconds` (hundredths truncated); "m:ss" without them.
void formatPlayTime(char* out, int size, double seconds, bool hundredths);
