#include "app/player.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/gentle.h"
#include "app/timeline.h"
#include "audio/music.h"
#include "display/display.h"
#include "gfx2d/tinyfont.h"
#include "platform/signals.h"
#include "render3d/renderer.h"

namespace {

constexpr int kFps = 60;                 // the clock jumps land on
constexpr double kJumpSeconds = 5.0;     // Left and Right
constexpr double kOverlaySeconds = 2.0;

// Spare time for the walk ahead each pass: a little while playing, more once the viewer
// jumps about or while nothing needs drawing.
constexpr double kPrepareSeconds = 0.002;
constexpr double kPrepareAfterKeySeconds = 0.004;
constexpr double kPreparePausedSeconds = 0.008;

double steadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool same(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

// Where the music stands now (it stands still while paused).
double musicSeconds() { return musicBytesToSeconds(getMusicPosition()); }

// The scene whose window started last at or before t: at a bound, the one that begins.
int sceneStartedBy(double t) {
    int scene = 1;
    for (int i = 0; i < kSceneCount; ++i) {
        if (static_cast<double>(kScenes[i].window.start) <= t) scene = i + 1;
    }
    return scene;
}

void applyVolume(const Player& p) {
    setMusicVolume(p.muted ? 0.0f : static_cast<float>(p.volume) / 10.0f);
}

// The frame the player's picture stands at on the replay's clock: the replay's own while
// nothing else has been drawn since, else the grid frame at or before the music time.
int64_t currentGridFrame(const Player& p) {
    const Replay& r = p.replay;
    if (r.madeThen == r.scenes->generation && r.shownFrame >= 0) return r.shownFrame;
    return gridFrameAt(musicSeconds(), kFps);
}

// The replay to frame n, the music to `seconds`, the frame presented at once. The gentle
// run's limiter starts afresh from it: the music time may have gone back, and the frames of
// the last second shown are not those before the new time.
void jumpToFrame(Player* p, int64_t n, double seconds) {
    replayTo(&p->replay, n);
    setMusicPosition(musicSecondsToBytes(seconds));
    const float t = fixedClockTime(std::max<int64_t>(p->replay.shownFrame, 0), kFps);
    const Image* shown = screen;
    if (p->loop->limiter) {
        freeFlashLimiter(p->loop->limiter);
        p->loop->limiter = newFlashLimiter();
        shown = limitFlashes(p->loop->limiter, *screen, t);
    }
    p->sink->lastTime = t;
    p->sink->restartCount = true;
    const int scene = sceneAt(t);
    if (scene) std::printf("jump to %.2f s: scene %d, %s\n", seconds, scene, kScenes[scene - 1].subject);
    else std::printf("jump to %.2f s: no scene\n", seconds);
    std::fflush(stdout);
    showStill(p->sink, shown);
}

void drawBox(Image* image, int x, int y, int w, int h) {
    for (int row = std::max(y, 0); row < std::min(y + h, image->height); ++row) {
        uint32_t* line = image->pixels + static_cast<size_t>(row) * image->width;
        for (int col = std::max(x, 0); col < std::min(x + w, image->width); ++col) {
            line[col] = 0xFF000000u | ((line[col] >> 2) & 0x3F3F3Fu);
        }
    }
}

// The overlay: the time, the scene's number and name, paused or playing, muted, volume.
void drawOverlay(const Player& p, Image* image) {
    const PlayerStatus s = playerStatus(p);
    char time[24], total[24], lines[3][64];
    formatPlayTime(time, sizeof time, s.time, true);
    formatPlayTime(total, sizeof total, kEndTime, false);
    std::snprintf(lines[0], sizeof lines[0], "%s / %s", time, total);
    if (s.scene) {
        char name[40];
        std::snprintf(name, sizeof name, "%s", kScenes[s.scene - 1].subject);
        for (char* c = name; *c; ++c) *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
        std::snprintf(lines[1], sizeof lines[1], "SCENE %d  %s", s.scene, name);
    } else {
        std::snprintf(lines[1], sizeof lines[1], "NO SCENE");
    }
    std::snprintf(lines[2], sizeof lines[2], "%s%s  VOLUME %d%%", s.paused ? "PAUSED" : "PLAYING",
                  s.muted ? "  MUTED" : "", s.volume * 10);
    constexpr int kScale = 2, kLine = 14, kPad = 8, kMargin = 12;
    int width = 0;
    for (const char* line : lines) width = std::max(width, tinyTextWidth(line, kScale));
    const int boxW = width + 2 * kPad;
    const int boxH = 3 * kLine - (kLine - kTinyGlyphHeight * kScale) + 2 * kPad;
    const int x = kMargin, y = image->height - kMargin - boxH;
    drawBox(image, x, y, boxW, boxH);
    const uint32_t colors[3] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFE8B04Au};
    for (int i = 0; i < 3; ++i) drawTinyText(image, x + kPad, y + kPad + i * kLine, lines[i], colors[i], kScale);
}

const uint32_t* dressFrame(void* context, const Image* frame) {
    Player* p = static_cast<Player*>(context);
    if (!p->overlay || steadySeconds() > p->overlayUntil) return frame->pixels;
    if (!p->dressed) p->dressed = newImage(frame->width, frame->height);
    std::memcpy(p->dressed->pixels, frame->pixels,
                static_cast<size_t>(frame->width) * frame->height * sizeof(uint32_t));
    drawOverlay(*p, p->dressed);
    return p->dressed->pixels;
}

}  // namespace

KeyAction actionForKey(const char* key, bool alt, bool ctrl, bool meta, bool repeat) {
    const KeyAction none{PlayerAction::none, 0};
    if (!key || ctrl || meta) return none;
    if (alt) return same(key, "Enter") && !repeat ? KeyAction{PlayerAction::fullscreen, 0} : none;
    struct Entry {
        const char* key;
        PlayerAction action;
        bool repeats;
    };
    static const Entry kKeys[] = {
        {" ", PlayerAction::pause, false},        {"ArrowLeft", PlayerAction::back, true},
        {"ArrowRight", PlayerAction::forward, true}, {"PageUp", PlayerAction::previousScene, true},
        {"PageDown", PlayerAction::nextScene, true}, {"Home", PlayerAction::beginning, false},
        {".", PlayerAction::step, true},          {"m", PlayerAction::mute, false},
        {"M", PlayerAction::mute, false},         {"+", PlayerAction::louder, true},
        {"=", PlayerAction::louder, true},        {"-", PlayerAction::quieter, true},
        {"f", PlayerAction::fullscreen, false},   {"F", PlayerAction::fullscreen, false},
    };
    for (const Entry& e : kKeys) {
        if (same(key, e.key)) return repeat && !e.repeats ? none : KeyAction{e.action, 0};
    }
    if (key[0] >= '1' && key[0] < '1' + kSceneCount && key[1] == 0 && !repeat) {
        return KeyAction{PlayerAction::scene, key[0] - '0'};
    }
    return none;
}

int64_t sceneFirstFrame(int scene) {
    scene = std::min(std::max(scene, 1), kSceneCount);
    int64_t n = gridFrameAt(kScenes[scene - 1].window.start, kFps);
    while (sceneAt(fixedClockTime(n, kFps)) != scene) ++n;
    return n;
}

void formatPlayTime(char* out, int size, double seconds, bool hundredths) {
    const int64_t cs = static_cast<int64_t>(std::floor(std::max(seconds, 0.0) * 100.0 + 1e-6));
    const long long m = cs / 6000, s = (cs / 100) % 60, c = cs % 100;
    if (hundredths) std::snprintf(out, static_cast<size_t>(size), "%lld:%02lld.%02lld", m, s, c);
    else std::snprintf(out, static_cast<size_t>(size), "%lld:%02lld", m, s);
}

void startPlayer(Player* p, FrameLoop* loop, LiveSink* sink) {
    p->loop = loop;
    p->sink = sink;
    initReplay(&p->replay, loop->scenes, kFps);
    loop->replay = &p->replay;
    sink->dress = dressFrame;
    sink->dressContext = p;
    applyVolume(*p);
}

void playerJumpTo(Player* p, double seconds) {
    seconds = std::min(std::max(seconds, 0.0), static_cast<double>(kEndTime));
    jumpToFrame(p, gridFrameAt(seconds, kFps), seconds);
}

void playerSetVolume(Player* p, int tenths) {
    p->volume = std::min(std::max(tenths, 0), 10);
    p->muted = false;
    applyVolume(*p);
}

void playerDo(Player* p, KeyAction a) {
    if (a.action == PlayerAction::none) return;
    p->overlayUntil = steadySeconds() + kOverlaySeconds;
    p->keyPressed = true;
    const double now = musicSeconds();
    switch (a.action) {
        case PlayerAction::pause:
            p->paused = !p->paused;
            if (p->paused) {
                pauseMusic();
                std::printf("paused at %.2f s\n", musicSeconds());
            } else {
                playMusic();
                p->sink->restartCount = true;
                std::printf("playing from %.2f s\n", musicSeconds());
            }
            std::fflush(stdout);
            break;
        case PlayerAction::back: playerJumpTo(p, now - kJumpSeconds); break;
        case PlayerAction::forward: playerJumpTo(p, now + kJumpSeconds); break;
        case PlayerAction::previousScene: {
            const int scene = sceneStartedBy(now);
            if (scene > 1) jumpToFrame(p, sceneFirstFrame(scene - 1), fixedClockTime(sceneFirstFrame(scene - 1), kFps));
            else playerJumpTo(p, 0.0);
            break;
        }
        case PlayerAction::nextScene: {
            const int scene = sceneStartedBy(now);
            if (scene < kSceneCount) {
                const int64_t n = sceneFirstFrame(scene + 1);
                jumpToFrame(p, n, fixedClockTime(n, kFps));
            }
            break;
        }
        case PlayerAction::scene: {
            const int64_t n = sceneFirstFrame(a.scene);
            jumpToFrame(p, n, fixedClockTime(n, kFps));
            break;
        }
        case PlayerAction::beginning: playerJumpTo(p, 0.0); break;
        case PlayerAction::step:
            if (p->paused) {
                const int64_t n = std::min(currentGridFrame(*p) + 1, p->replay.lastFrame);
                jumpToFrame(p, n, fixedClockTime(n, kFps));
            }
            break;
        case PlayerAction::mute:
            p->muted = !p->muted;
            applyVolume(*p);
            break;
        case PlayerAction::louder:
        case PlayerAction::quieter:
            p->volume = std::min(std::max(p->volume + (a.action == PlayerAction::louder ? 1 : -1), 0), 10);
            p->muted = false;
            applyVolume(*p);
            break;
        case PlayerAction::fullscreen: setFullscreen(!displayFullscreen()); break;
        case PlayerAction::none: break;
    }
}

bool playerStep(Player* p) {
    if (p->paused) {
        // Nothing new to draw: the picture shown again, for the overlay that comes and goes.
        showStill(p->sink, p->sink->shown ? p->sink->shown : screen);
        prepareAhead(p);
        return !escapePressed() && !stopSignal();
    }
    const bool more = stepFrame(p->loop);
    prepareAhead(p);
    return more;
}

void prepareAhead(Player* p) {
    const double budget = p->paused       ? kPreparePausedSeconds
                          : p->keyPressed ? kPrepareAfterKeySeconds
                                          : kPrepareSeconds;
    prepareReplay(&p->replay, budget);
}

PlayerStatus playerStatus(const Player& p) {
    PlayerStatus s;
    s.time = p.sink ? p.sink->lastTime : 0.0f;
    s.scene = sceneAt(s.time);
    s.paused = p.paused;
    s.muted = p.muted;
    s.volume = p.volume;
    s.ended = timelineEnded(s.time);
    return s;
}
