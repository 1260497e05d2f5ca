// app/timeline.h — the end of the timeline, the frame-rate report, and the
// rules of the headless modes' fixed clock (its times, the time its scenes draw, what the
// exports write). Pure functions on plain values, tested alone.
//
// Music time t is seconds as a float. Every window is open: a < t < b.
#pragma once
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "scenes/scene_table.h"

// The loop ends in the first frame whose time is past this.
constexpr float kEndTime = 149.0f;

// True once t has passed the end of the timeline.
inline bool timelineEnded(float t) { return t > kEndTime; }

// Live play: a frame whose music time lies more than this after the previous frame's comes
// after a gap (a window that was minimised, a loop that stood still) and is made by the
// jump rule (app/replay.h), not by one huge step of the scenes' state.
constexpr float kGapSeconds = 0.25f;
inline bool followsGap(float previous, float t) { return t - previous > kGapSeconds; }

// The frame-rate report: one line each time more than one second of music time has passed
// since the previous line. The average is the plain mean of the rates reported so far.
struct FrameStats {
    int32_t framesSinceReport;
    float lastReportTime;
    float rateSum;
    float reportCount;
};

// Starts the statistics at music time `start` (where the run starts: 0, or --start), so the
// first line counts the frames since then.
void resetFrameStats(FrameStats* stats, float start = 0.0f);

// Counts a presented frame at music time t. When a line is due, returns true with the rate
// since the last line and the running average; the caller prints them with formatFpsLine.
bool countFrame(FrameStats* stats, float t, float* rate, float* average);

// "FPS: %.2f (%.2f ms), Average: %.2f (%.2f ms)\n". Returns snprintf's result.
int formatFpsLine(char* buffer, size_t size, float rate, float average);

// The fixed clock of the headless modes: frame n = 0, 1, 2, ... has t = n / fps (with an
// offset, t = (n + offset) / fps: only for checking the flash analysis).
inline float fixedClockTime(int64_t n, int fps, double offset = 0.0) {
    return static_cast<float>((static_cast<double>(n) + offset) / fps);
}

// The time the scenes draw the fixed clock's frame at t: t itself, except where t lies
// exactly on a bound of a window that the scene drawing at t tests (scenes/scene_table.h:
// onSceneBound). There the window is shut for that one instant, so the frame would show
// what live play never does: at 60 frames a second the logo's flashes at 6.0, 6.1 and
// 6.4 s would each blink black. Such a frame is drawn as live play shows it an instant
// later, at the next float up. At the bounds of the scene table no scene draws and the
// previous frame stays, as it always has: a held picture makes no flash, and the next
// scene's first frame stays where it was (scene 3 adds up the frames' deltas).
inline float fixedClockSceneTime(float t) {
    const int scene = sceneAt(t);
    return scene != 0 && onSceneBound(scene, t) ? std::nextafter(t, INFINITY) : t;
}

// What --capture and --video write, one rule for both: the fixed clock from frame 0
// (t = 0); frames with from <= t <= to are written; the run ends with the first frame past
// `to` or past the end of the timeline, the latter still written when it is not past `to`.
inline bool exportWrites(float t, float from, float to) { return from <= t && t <= to; }
inline bool exportEnded(float t, float to) { return timelineEnded(t) || t > to; }

struct ExportFrames {
    int64_t first;   // frame number of the first frame written
    int64_t count;   // frames written (0 when none lies in the chosen times)
};
ExportFrames exportFrames(int fps, float from, float to);

// Why a run would show or write nothing, as the sentence that refuses it ("" when it would):
// an export whose times hold no frame of the fixed clock (past the end of the timeline, or
// between two frames), and play started past the end of the timeline.
std::string emptyExportReason(int fps, float from, float to);
std::string startPastEndReason(double start);

// "frame" or "frames", for a count in a message.
inline const char* framesWord(int64_t count) { return count == 1 ? "frame" : "frames"; }
