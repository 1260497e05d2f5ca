// demo/timeline.h — scene windows, the end of the timeline, the frame-rate report, and the
// rules of the headless modes' fixed clock. Pure functions on plain values, tested alone.
//
// Music time t is seconds as a float. Every window is open: a < t < b.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int kSceneCount = 7;
// The loop ends in the first frame whose time is past this.
constexpr float kEndTime = 149.0f;

struct SceneWindow {
    float start;
    float end;
};

inline bool insideWindow(const SceneWindow& w, float t) { return w.start < t && t < w.end; }

// True once t has passed the end of the timeline.
inline bool timelineEnded(float t) { return t > kEndTime; }

// The frame-rate report: one line each time more than one second of music time has passed
// since the previous line. The average is the plain mean of the rates reported so far.
struct FrameStats {
    int32_t framesSinceReport;
    float lastReportTime;
    float rateSum;
    float reportCount;
};

void resetFrameStats(FrameStats* stats);

// Counts a presented frame at music time t. When a line is due, returns true with the rate
// since the last line and the running average; the caller prints them with formatFpsLine.
bool countFrame(FrameStats* stats, float t, float* rate, float* average);

// "FPS: %.2f (%.2f ms), Average: %.2f (%.2f ms)\n". Returns snprintf's result.
int formatFpsLine(char* buffer, size_t size, float rate, float average);

// The fixed clock of the headless modes: frame n = 1, 2, ... has t = n / fps.
inline float fixedClockTime(int64_t n, int fps) {
    return static_cast<float>(static_cast<double>(n) / fps);
}

// Capture keeps going until the first frame past the end of the timeline or past `to`.
inline bool captureEnded(float t, float to) { return timelineEnded(t) || t > to; }
// Frames with from <= t <= to are written.
inline bool captureWrites(float t, float from, float to) { return from <= t && t <= to; }

// How many frames a capture at `fps` writes between `from` and `to` (same rules as above).
int64_t captureFrameCount(int fps, float from, float to);
