// scenes/sprites_captions.h — the creature flicker and the captions the letterboxed
// scenes share.
//
// Offers: flickerIndex (which of five creature frames shows), bobRow and bobWave (a
//         caption's top row), drawShimmeringCaption and drawBobbingCaption (a caption's
//         two ways onto the screen).
// Needs:  scenes/lcg_rand.h (the shared generator), gfx2d (waveDistort, drawImage), the
//         global `screen`.
#pragma once
#include <cstdint>

#include "assets/image.h"

// The creature frame (0..4) shown at music time t: the shared generator seeded with
// trunc(15t) * 99, then the first rand() % 5. Every frame within one fifteenth of a second
// gets the same index. Leaves the generator in that state.
int flickerIndex(float t);

// A bobbing caption's top row: trunc(base + 7 * wave), wave being a sine rounded to a float.
int32_t bobRow(float base, float wave);

// sin(2t) as the captions bob with it: 2t rounded to a float, the sine to a float.
float bobWave(float t);

// A caption shimmering in: wave-distorted with waveDistort(caption, t, 2, w), w = sin(t)
// rounded to a float, drawn at opacity 200 at (x, bobRow(base, w)); the distorted copy is
// freed before returning (the frame loop's only allocation).
void drawShimmeringCaption(const Image* caption, int32_t x, float base, float t);

// A caption bobbing once it has settled: drawn at opacity 255 at (x, bobRow(base, bobWave(t))).
void drawBobbingCaption(const Image* caption, int32_t x, float base, float t);
