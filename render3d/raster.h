// render3d/raster.h — scanline triangle rasterisation with depth test and one mip level
// per triangle. Affine u, v, z; texel addressing by mask and shifts; strict z < depth.
// Every write stays inside the image `r->screen` points at.
#pragma once
#include "render3d/clip.h"

void rasterizeTriangle(Renderer* r, const ClipVertex& a, const ClipVertex& b,
                       const ClipVertex& c);
// Smallest L in 0..maxLevel with 2^L > g; otherwise (and for NaN) maxLevel - 1.
int pickMipLevel(const Texture* texture, float g);
