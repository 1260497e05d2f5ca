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

std::string emptyExportReason(int fps, float from, float to) {
    if (fps <= 0 || exportFrames(fps, from, to).count > 0) return "";
    char text[256];
    const double end = kEndTime;
    if (from > kEndTime) {
        std::snprintf(text, sizeof text,
                      "--from %g s is past the end of the timeline (%.0f s); nothing written",
                      static_cast<double>(from), end);
        return text;
    }
    // The times fall between two frames of the clock: name them.
    int64_t before = 0;
    while (fixedClockTime(before + 1, fps) < from) ++before;
    const int64_t after = before + 1;
    char times[64];
    if (from == to) {
        std::snprintf(times, sizeof times, "at %g s", static_cast<double>(from));
    } else {
        std::snprintf(times, sizeof times, "between %g and %g s", static_cast<double>(from),
                      static_cast<double>(to));
    }
    std::snprintf(text, sizeof text,
                  "no frame lies %s at %d frames a second (frame %lld is at %.3f s, frame %lld "
                  "at %.3f s); nothing written",
                  times, fps, static_cast<long long>(before),
                  static_cast<double>(fixedClockTime(before, fps)), static_cast<long long>(after),
                  static_cast<double>(fixedClockTime(after, fps)));
    return text;
}

std::string startPastEndReason(double start) {
    if (!(start > static_cast<double>(kEndTime))) return "";
    char text[160];
    std::snprintf(text, sizeof text,
                  "--start %g s is past the end of the timeline (%.0f s); nothing to play", start,
                  static_cast<double>(kEndTime));
    return text;
}
