// app/replay.h — exact jumps: the timeline brought to any frame of a fixed clock exactly
// as a straight run from the start brings it there, in milliseconds instead of a replay
// of everything before.
//
// Offers: Replay with initReplay / replayTo / prepareReplay / releaseReplay, skipToFrame
//         (the exports' --from), gridFrameAt, replayPictureEvery, replayPictureBytes,
//         ReplayCost, the frame rules (frameDraws, frameReadsPicture).
// Needs:  scenes/scene_table.h (the scenes, their carried state), audio/music.h (the
//         spectrum of the decoded music), assets/image.h (the drawing switch), zlib.
//
// A straight run carries two things from frame to frame: the scenes' TimelineState (the
// random generator, the sphere's spin, the previous frame's time, the renderer's settings)
// and the picture. Most frames replace the picture whole; scene 4 draws over its previous
// frame (kSceneKeepsPicture), and a frame no scene draws (exactly on a bound between two
// scenes, before the first scene, after the last) keeps it. Frames are made as the fixed
// clock makes them (drawn at fixedClockSceneTime, app/timeline.h). A replay to frame n therefore makes
// the frames of the fixed clock from a checkpoint up to n with the scenes' own code, but
// with drawing suspended (assets/image.h) wherever no later picture needs it: it draws only
// from the newest frame up to n that makes its picture afresh (for most n, frame n alone),
// or from a picture kept inside scene 4.
//
// Checkpoints: the state before frame 0 with the picture then (initReplay); the state every
// second; inside scene 4 the picture as well, compressed, every replayPictureEvery frames
// (a third of a second). A replay takes those it passes; prepareReplay walks the timeline
// ahead of need, a slice at a time in live play's spare time, and takes all of them (scene 4
// drawn through once: a few seconds of work, docs/performance.md).
#pragma once
#include <cstdint>
#include <vector>

#include "assets/image.h"
#include "audio/fft.h"
#include "scenes/scene_table.h"

// The grid frame at or before music time `seconds` on the fixed clock of `fps`: the largest
// n >= 0 with fixedClockTime(n, fps) <= seconds as a float (0 for earlier times).
int64_t gridFrameAt(double seconds, int fps);

// How many frames apart the kept pictures are on the clock of `fps`: a jump into scene 4
// draws at most this many frames, less one.
int64_t replayPictureEvery(int fps);

// Whether some scene draws at frame n's time.
bool frameDraws(int64_t n, int fps);
// Whether frame n's picture depends on the picture before it: no scene draws then, or its
// scene keeps the picture.
bool frameReadsPicture(int64_t n, int fps);

// What a replay did: frames made with drawing and with drawing suspended, and where it
// started.
struct ReplayCost {
    int64_t drawn = 0;
    int64_t advanced = 0;     // made with drawing suspended
    int64_t start = 0;        // the first frame made
    bool fromPicture = false; // started from a kept picture (or the shown one)
};

struct Checkpoint {
    int64_t frame;               // the state before this frame is made
    TimelineState state;
    std::vector<uint8_t> picture;   // the picture after frame - 1, compressed; empty if not kept
};

struct Replay {
    DemoScenes* scenes = nullptr;
    int fps = 60;
    int64_t lastFrame = 0;                 // the timeline's last frame on this clock
    std::vector<Checkpoint> checkpoints;   // sorted by frame
    bool keepCheckpoints = true;           // false: a one-off replay keeps only the start's
    float spectrum[kSpectrumCapacity];

    // The frame `screen` and the scenes' state stand at after the last replay, while no
    // other frame has been made since (DemoScenes::generation still `madeThen`).
    int64_t shownFrame = -1;
    int64_t madeThen = -1;

    // The walk ahead of need (prepareReplay): its own state and picture.
    struct Walk {
        int64_t next = 0;
        TimelineState state;
        Image* picture = nullptr;
        bool exact = true;   // the picture is the straight run's after frame next - 1
        bool done = false;
    } walk;
};

// Starts the replay of the fixed clock at `fps` for `scenes`, which have made no frame yet:
// the state now and the picture in `screen` are those of the straight run before frame 0.
void initReplay(Replay* replay, DemoScenes* scenes, int fps);

// Leaves the scenes' state and `screen` as the straight run leaves them after frame n
// (clamped to -1 .. lastFrame; -1: as before frame 0). Returns what it took.
ReplayCost replayTo(Replay* replay, int64_t n);

// Walks the timeline ahead for about `seconds` of work, taking every checkpoint; the
// scenes' state and `screen` are left as they were. False once the walk has reached the
// end (nothing left to do).
bool prepareReplay(Replay* replay, double seconds);

// A run that starts at frame `first` of the fixed clock at `fps` instead of frame 0
// (--capture and --video with --from): leaves `scenes`, which have made no frame yet, and
// `screen` as the straight run leaves them after frame first - 1, by a replay that keeps no
// checkpoints. Returns what it took.
ReplayCost skipToFrame(DemoScenes* scenes, int fps, int64_t first);

// The memory the kept pictures take, in bytes.
size_t replayPictureBytes(const Replay& replay);

// Frees the checkpoints and the walk's picture.
void releaseReplay(Replay* replay);
