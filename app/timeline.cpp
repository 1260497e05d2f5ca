#include "app/timeline.h"

#include <cstdio>

void resetFrameStats(FrameStats* stats, float start) {
    stats->framesSinceReport = 0;
    stats->lastReportTime = start;
    stats->rateSum = 0.0f;
    stats->reportCount = 0.0f;
}

bool countFrame(FrameStats* stats, float t, float* rate, float* average) {
    stats->framesSinceReport += 1;
    const float elapsed = t - stats->lastReportTime;
    if (!(elapsed > 1.0f)) return false;
    *rate = static_cast<float>(stats->framesSinceReport) / elapsed;
    stats->rateSum += *rate;
    stats->reportCount += 1.0f;
    *average = stats->rateSum / stats->reportCount;
    stats->lastReportTime = t;
    stats->framesSinceReport = 0;
    return true;
}

int formatFpsLine(char* buffer, size_t size, float rate, float average) {
    const double r = rate;
    const double a = average;
    return std::snprintf(buffer, size, "FPS: %.2f (%.2f ms), Average: %.2f (%.2f ms)\n", r,
                         1000.0 / r, a, 1000.0 / a);
}

ExportFrames exportFrames(int fps, float from, float to) {
    ExportFrames frames{0, 0};
    if (fps <= 0) return frames;
    for (int64_t n = 0;; ++n) {
        const float t = fixedClockTime(n, fps);
        if (exportWrites(t, from, to)) {
            if (frames.count == 0) frames.first = n;
            ++frames.count;
        }
        if (exportEnded(t, to)) break;
    }
    return frames;
}
