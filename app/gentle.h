// app/gentle.h — the gentle run (--gentle; the page's "fewer flashes" switch): at most three
// flashes in any second of what is shown, every other frame as drawn.
//
// Offers: FlashLimiter with newFlashLimiter, limitFlashes, freeFlashLimiter.
// Needs:  exporters/flashes.h (the light of a frame and the flashes of the last second).
//
// The limiter sits between the scenes and the sink. It measures each new frame as the flash
// analysis does; when the frame would make a fourth flash in the second up to it (in any
// measure: the whole frame or a quarter, general or red), it shows instead the nearest blend
// of the frame last shown and the new one that makes no new flash, down to the frame last
// shown held once more. The blend is per colour byte in integers (last x (256 - w) + new x w)
// / 256, w found by halving in steps of 4 of 256, so every platform shows the same frames.
// It works on copies: the scenes read `screen` back between frames, so it is never changed.
#pragma once
#include "assets/image.h"

// At most this many flashes in any second.
constexpr int kGentleFlashes = 3;

struct FlashLimiter;

FlashLimiter* newFlashLimiter();
void freeFlashLimiter(FlashLimiter* limiter);

// The frame to show for `frame`, drawn for t seconds (times rising). Valid until the next
// call; `frame` is only read.
const Image* limitFlashes(FlashLimiter* limiter, const Image& frame, double t);

// Frames shown otherwise than drawn so far.
long long limitedFrames(const FlashLimiter* limiter);
