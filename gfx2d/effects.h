// gfx2d/effects.h — wave distortion and the timed fades.
//
// Offers: waveDistort (and waveDistortReference), drawWaveReflection, fadeIn, fadeOut.
// Needs:  gfx2d/blit.h.
#pragma once
#include "assets/image.h"

// A new image of the source's size in which row i is taken from row
// trunc(cos(phi)*amplitude + i) and shifted by amplitude*sin(phi) columns,
// phi = i*frequency + phase; indices clamp at the borders. The caller frees it
// with freeImage, normally in the same frame. While drawing is suspended (assets/image.h)
// the picture is empty (0 x 0); the effects below then draw nothing.
Image* waveDistort(const Image* src, float phase, float amplitude, float frequency);
// The same picture computed column by column in the plain way; waveDistort picks its
// columns four at a time and copies runs of consecutive columns as blocks, and is
// checked against this.
Image* waveDistortReference(const Image* src, float phase, float amplitude, float frequency);

// A wobbling reflection in one pass: rows y .. y+h-1 of dst become what
//   copy = src turned upside down (flipVertical);
//   stretchCopy(waveDistort(copy, phase, amplitude, frequency), dst, y, src->width, h);
// would write, without the turned copy and the distorted picture in between (src is not
// changed). Only the source rows the scaled copy samples are distorted. y must be 0 or more.
void drawWaveReflection(const Image* src, Image* dst, int32_t y, int32_t h, float phase,
                        float amplitude, float frequency);

// Over start..end the source (scaled to the destination) is blended in with opacity rising
// from 0 to 255; before start nothing happens; after end the destination is replaced.
void fadeIn(const Image* src, Image* dst, float t, float start, float end);
// The reverse: replaced before start, opacity falling from 255 to 0, nothing after end.
void fadeOut(const Image* src, Image* dst, float t, float start, float end);
