// scenes/flicker.h — small timed choices the letterboxed scenes share.
//
// Offers: flickerIndex (which of five creature frames shows), bobRow (a caption's top row).
// Needs:  scenes/random.h (the shared generator).
#pragma once
#include <cstdint>

// The creature frame (0..4) shown at music time t: the shared generator seeded with
// trunc(15t) * 99, then the first rand() % 5. Every frame within one fifteenth of a second
// gets the same index. Leaves the generator in that state.
int flickerIndex(float t);

// A bobbing caption's top row: trunc(base + 7 * wave), wave being a sine rounded to a float.
int32_t bobRow(float base, float wave);

// sin(2t) as the captions bob with it: 2t rounded to a float, the sine to a float.
float bobWave(float t);
