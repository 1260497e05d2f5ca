// Live play in the viewer's hands (app/player.h): the table of keys, the window's key names
// that feed it, and what the actions do to the picture, the music and the status.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstring>
#include <string>

#include "app/framehash.h"
#include "app/player.h"
#include "app/startup.h"
#include "app/timeline.h"
#include "audio/music.h"
#include "display/display.h"
#include "render3d/renderer.h"

namespace {

struct KeyCase {
    const char* key;
    bool alt, ctrl, meta, repeat;
    PlayerAction action;
    int scene;
};

}  // namespace

TEST(PlayerKeys, TheKeyTable) {
    using A = PlayerAction;
    const KeyCase cases[] = {
        {" ", false, false, false, false, A::pause, 0},
        {" ", false, false, false, true, A::none, 0},   // a held Space does not flicker
        {"ArrowLeft", false, false, false, false, A::back, 0},
        {"ArrowRight", false, false, false, true, A::forward, 0},
        {"PageUp", false, false, false, false, A::previousScene, 0},
        {"PageDown", false, false, false, false, A::nextScene, 0},
        {"Home", false, false, false, false, A::beginning, 0},
        {"1", false, false, false, false, A::scene, 1},
        {"4", false, false, false, false, A::scene, 4},
        {"7", false, false, false, false, A::scene, 7},
        {"8", false, false, false, false, A::none, 0},   // seven scenes, no tenths of the timeline
        {"0", false, false, false, false, A::none, 0},
        {"4", false, false, false, true, A::none, 0},
        {".", false, false, false, true, A::step, 0},
        {"m", false, false, false, false, A::mute, 0},
        {"M", false, false, false, false, A::mute, 0},
        {"+", false, false, false, false, A::louder, 0},
        {"=", false, false, false, false, A::louder, 0},
        {"-", false, false, false, true, A::quieter, 0},
        {"f", false, false, false, false, A::fullscreen, 0},
        {"F", false, false, false, false, A::fullscreen, 0},
        {"Enter", true, false, false, false, A::fullscreen, 0},
        {"Enter", false, false, false, false, A::none, 0},
        // The system's and the browser's own: reload, tabs, address bar, history.
        {"F5", false, false, false, false, A::none, 0},
        {"F11", false, false, false, false, A::none, 0},
        {"f", false, true, false, false, A::none, 0},
        {"ArrowLeft", true, false, false, false, A::none, 0},
        {"1", false, true, false, false, A::none, 0},
        {"m", false, false, true, false, A::none, 0},
        {"Escape", false, false, false, false, A::none, 0},
        {"", false, false, false, false, A::none, 0},
    };
    for (const KeyCase& c : cases) {
        const KeyAction a = actionForKey(c.key, c.alt, c.ctrl, c.meta, c.repeat);
        EXPECT_EQ(a.action, c.action) << "'" << c.key << "' alt " << c.alt << " ctrl " << c.ctrl
                                      << " meta " << c.meta << " repeat " << c.repeat;
        EXPECT_EQ(a.scene, c.scene) << c.key;
    }
}

// The window names its keys as the page does, so both go through the one table.
TEST(PlayerKeys, WindowKeysAreNamedLikeThePagesKeys) {
    struct Case {
        SDL_Keycode code;
        const char* name;
    } cases[] = {
        {SDLK_SPACE, " "},       {SDLK_LEFT, "ArrowLeft"},  {SDLK_RIGHT, "ArrowRight"},
        {SDLK_PAGEUP, "PageUp"}, {SDLK_PAGEDOWN, "PageDown"}, {SDLK_HOME, "Home"},
        {SDLK_1, "1"},           {SDLK_7, "7"},             {SDLK_KP_4, "4"},
        {SDLK_PERIOD, "."},      {SDLK_KP_PERIOD, "."},     {SDLK_m, "m"},
        {SDLK_PLUS, "+"},        {SDLK_EQUALS, "+"},        {SDLK_KP_PLUS, "+"},
        {SDLK_MINUS, "-"},       {SDLK_KP_MINUS, "-"},      {SDLK_f, "f"},
        {SDLK_RETURN, "Enter"},  {SDLK_KP_ENTER, "Enter"},  {SDLK_a, nullptr},
        {SDLK_ESCAPE, nullptr},  {SDLK_F5, nullptr},        {SDLK_0, nullptr},
    };
    for (const Case& c : cases) {
        const char* name = keyNameForSdl(c.code);
        if (!c.name) {
            EXPECT_EQ(name, nullptr) << SDL_GetKeyName(c.code);
        } else {
            ASSERT_NE(name, nullptr) << SDL_GetKeyName(c.code);
            EXPECT_STREQ(name, c.name);
            const bool alt = std::strcmp(name, "Enter") == 0;   // Alt+Enter: full screen
            EXPECT_NE(actionForKey(name, alt, false, false, false).action, PlayerAction::none);
        }
    }
}

TEST(PlayerTime, Formats) {
    struct Case {
        double seconds;
        bool hundredths;
        const char* text;
    } cases[] = {
        {0.0, true, "0:00.00"},   {48.0166, true, "0:48.01"}, {149.0, false, "2:29"},
        {59.999, false, "0:59"},  {60.0, true, "1:00.00"},    {-1.0, false, "0:00"},
        {72.4, true, "1:12.40"},
    };
    for (const Case& c : cases) {
        char out[24];
        formatPlayTime(out, sizeof out, c.seconds, c.hundredths);
        EXPECT_STREQ(out, c.text) << c.seconds;
    }
}

TEST(PlayerTime, SceneFirstFrames) {
    for (int scene = 1; scene <= kSceneCount; ++scene) {
        const int64_t n = sceneFirstFrame(scene);
        EXPECT_EQ(sceneAt(fixedClockTime(n, 60)), scene);
        EXPECT_NE(sceneAt(fixedClockTime(n - 1, 60)), scene);
        EXPECT_LE(fixedClockTime(n, 60), kScenes[scene - 1].window.start + 1.0f / 60);
    }
}

// The actions on a player without a window or sound device (the music on its silent
// clock), paused so that the music's position says exactly where each jump went.
TEST(PlayerActions, JumpsStepsAndSound) {
    installDemoAssetReporter();
    ASSERT_TRUE(loadMusic(kMusicPath)) << musicError();
    static FrameLoop loop;
    loop.scenes = loadDemoScenes();
    loop.clock = musicClock();
    static LiveSink sink;
    startLiveSink(&sink, 0.0f);
    loop.sink = liveFrameSink(&sink);
    static Player player;
    startPlayer(&player, &loop, &sink);
    playMusic();   // no device: the silent clock
    setMusicPosition(musicSecondsToBytes(30.0));
    EXPECT_TRUE(playerStep(&player));   // 30 s after "frame 0": a gap, made by the jump rule
    EXPECT_EQ(player.replay.shownFrame, gridFrameAt(sink.lastTime, 60));
    EXPECT_TRUE(playerStep(&player));   // a frame on the music clock, off the grid
    playerDo(&player, actionForKey(" ", false, false, false, false));
    ASSERT_TRUE(playerStatus(player).paused);
    EXPECT_FALSE(musicPlaying());
    const double pausedAt = musicBytesToSeconds(getMusicPosition());

    auto press = [&](const char* key) { playerDo(&player, actionForKey(key, false, false, false, false)); };
    auto position = [] { return musicBytesToSeconds(getMusicPosition()); };
    press("ArrowRight");
    EXPECT_NEAR(position(), pausedAt + 5.0, 1e-4);
    press("ArrowLeft");
    press("ArrowLeft");
    EXPECT_NEAR(position(), pausedAt - 5.0, 1e-4);
    EXPECT_EQ(playerStatus(player).scene, 3);

    struct Case {
        const char* key;
        int64_t frame;   // the replay's frame afterwards
    } cases[] = {
        {"2", sceneFirstFrame(2)},        {"PageDown", sceneFirstFrame(3)},
        {"PageDown", sceneFirstFrame(4)}, {".", sceneFirstFrame(4) + 1},
        {".", sceneFirstFrame(4) + 2},    {"PageUp", sceneFirstFrame(3)},
        {"7", sceneFirstFrame(7)},        {"PageDown", sceneFirstFrame(7)},   // no scene after 7
        {"1", sceneFirstFrame(1)},        {"PageUp", 0},
        {".", 1},                         {"Home", 0},
    };
    for (const Case& c : cases) {
        press(c.key);
        EXPECT_EQ(player.replay.shownFrame, c.frame) << c.key;
        EXPECT_FLOAT_EQ(playerStatus(player).time, fixedClockTime(c.frame, 60)) << c.key;
        EXPECT_TRUE(playerStatus(player).paused);
    }
    // Past the end and before the start: held at the timeline's ends.
    press("7");
    for (int i = 0; i < 6; ++i) press("ArrowRight");
    EXPECT_NEAR(position(), kEndTime, 1e-4);
    press("Home");
    press("ArrowLeft");
    EXPECT_EQ(position(), 0.0);

    // Mute, volume: the sound only; M again gives the volume back.
    press("-");
    press("-");
    EXPECT_FLOAT_EQ(musicVolume(), 0.8f);
    press("m");
    EXPECT_EQ(musicVolume(), 0.0f);
    EXPECT_TRUE(playerStatus(player).muted);
    press("m");
    EXPECT_FLOAT_EQ(musicVolume(), 0.8f);
    press("m");
    press("+");   // louder sounds again
    EXPECT_FALSE(playerStatus(player).muted);
    EXPECT_FLOAT_EQ(musicVolume(), 0.9f);
    for (int i = 0; i < 5; ++i) press("+");
    EXPECT_FLOAT_EQ(musicVolume(), 1.0f);

    // Play on: the music runs again from where the last jump put it.
    press(" ");
    EXPECT_TRUE(musicPlaying());
    EXPECT_FALSE(playerStatus(player).paused);
    EXPECT_TRUE(playerStep(&player));
}
