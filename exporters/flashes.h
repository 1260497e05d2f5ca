// exporters/flashes.h — flashing lights measured as the guideline for content shown to the
// public defines them (WCAG 2.3.1, "three flashes or below threshold"), for
// `--analyze-flashes OUT.png` and for the gentle run's limiter (app/gentle.h).
//
// Offers: FrameLight and measureFrame (a frame's light, whole and per quarter),
//         FlashRule (kGeneralFlash, kRedFlash), ChangeTracker and trackChange (the
//         changes of one measure), FlashMeter with addFrame and wouldExceed (the flashes
//         of all measures over the trailing second), mostFlashesInASecond (a series at a
//         frame rate), FlashTrace with flashReport and plotFlashes (the analysis).
// Needs:  assets/image.h, gfx2d/tinyfont.h (the plot's labels), the scene table (the
//         report per scene and the plot's scene bounds).
//
// Everything is measured in integers, so every platform counts alike: light is linear
// (sRGB decoded by a fixed table) in units of 1/65535 of full white.
//
//   general flash  a pair of opposing changes in relative luminance (Rec. 709 weights)
//                  of 10 % of full white or more, where the darker state is below 80 %
//   red flash      a pair of opposing changes in saturated red of more than 20 on the
//                  guideline's scale, (R - G - B) x 320, where a pixel counts as
//                  saturated red when R is at least 80 % of R + G + B in linear light (all
//                  other pixels count 0)
//
// A change is one leg of the measure's zig-zag: it runs from one turning point to the
// next, a turning point being confirmed once the measure has come back from it by a full
// step. A change counts at the frame where it first meets its rule (its size reached, and
// for a general flash its darker end below 80 %); its pair is the next change, which goes
// the other way. The flashes of a second are its counted changes halved, rounded down; a
// second is the frames of the last second: those less than one second (less a tenth of a
// millisecond, for the clocks' float rounding) before the frame in question. More than
// three flashes in any second fail the guideline. Each measure is watched over the whole
// frame and over each quarter of it, for an area that flashes alone.
#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "assets/image.h"

// Light is linear, in units of 1/kFullLight of full white.
constexpr int32_t kFullLight = 65535;

// The whole frame, then its quarters: top left, top right, bottom left, bottom right.
constexpr int kLightAreas = 5;

struct FrameLight {
    int32_t luminance[kLightAreas];   // mean relative luminance
    int32_t red[kLightAreas];         // mean saturated red R - G - B
    int32_t redShare[kLightAreas];    // saturated red pixels, in 1/kFullLight of the area
};

// The light of a frame (the alpha byte is ignored). Areas are the frame and its quarters
// split at width / 2 and height / 2.
FrameLight measureFrame(const Image& frame);

struct FlashRule {
    int32_t step;        // the least change that counts
    int32_t darkBelow;   // the darker end of a change must lie below this
};
// 10 % of full white (6553.5, so 6554), the darker side below 80 % (52428).
constexpr FlashRule kGeneralFlash{6554, 52428};
// More than 20 / 320 of full white in R - G - B (4095.9, so 4096); any level.
constexpr FlashRule kRedFlash{4096, kFullLight + 1};

// The zig-zag of one measure. Zero-initialised it waits for its first level.
struct ChangeTracker {
    bool started;
    int direction;     // 0 before the first change, +1 rising, -1 falling
    int32_t pivot;     // where the current change started (the last turning point)
    int32_t extreme;   // the furthest level of the current change so far
    int32_t low, high; // before the first change: the lowest and highest level so far
    bool counted;      // the current change has met its rule
};

// Takes the next level; true when a change meets its rule with it.
bool trackChange(ChangeTracker* tracker, const FlashRule& rule, int32_t level);

// The measures watched: the general rule on the luminance of each area, then the red rule
// on the saturated red of each area.
constexpr int kFlashMeasures = 2 * kLightAreas;
// "whole frame", "top left quarter", ..., "red, whole frame", ...
const char* flashMeasureName(int measure);

// Flashes in the second up to a frame, per measure.
struct FlashCounts {
    int flashes[kFlashMeasures];
    int worst() const;          // the most of any measure
    int worstMeasure() const;   // the first measure with that many
};

// Every measure's tracker and the times of its counted changes within the last second.
struct FlashMeter {
    ChangeTracker trackers[kFlashMeasures] = {};
    std::deque<double> changes[kFlashMeasures];
};

// Adds the frame shown at t seconds (times rising) and counts the flashes of the second
// up to it.
FlashCounts addFrame(FlashMeter* meter, double t, const FrameLight& light);

// True when adding the frame at t would make some measure's second hold more than `limit`
// flashes. The meter is not changed.
bool wouldExceed(const FlashMeter& meter, double t, const FrameLight& light, int limit);

// The most flashes any second holds in a series of levels shown at fps frames a second.
int mostFlashesInASecond(const std::vector<int32_t>& levels, int fps, const FlashRule& rule);

// The analysis: every frame of the fixed clock, its light and the flashes of the second
// up to it.
struct FlashTrace {
    int fps = 60;
    double offset = 0.0;   // frame n at t = (n + offset) / fps
    bool gentle = false;   // measured after the gentle run's limiter
    std::vector<double> t;
    std::vector<FrameLight> light;
    std::vector<FlashCounts> counts;
};
void traceFrame(FlashTrace* trace, FlashMeter* meter, double t, const Image& frame);

// The printed report: every stretch of seconds holding more than three flashes (the
// seconds ending from the first to the last frame of the stretch), the worst second of
// each scene, and the verdict.
std::string flashReport(const FlashTrace& trace);

// The plot: luminance of the whole frame and of each quarter, saturated red, and the
// flashes in the second up to each frame, over the whole timeline, with the scene bounds
// and the limit of three. Returns a new Image (free with freeImage).
Image* plotFlashes(const FlashTrace& trace);
