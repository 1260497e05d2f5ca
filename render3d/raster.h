// render3d/raster.h — scanline triangle rasterisation with depth test and one mip level
// per triangle. Affine u, v, z; texel addressing by mask and shifts; strict z < depth.
// Every write stays inside the image `r->screen` points at (and its depth entries inside the
// renderer's 640x480 depth buffer). Texture coordinates are scaled to level-0 texels; a
// 256x256 texture wraps with the mask 255, any other size wraps at its own level-0 size.
// Nothing is drawn without a texture.
//
// `rows` limits the walk to one drawing thread's band (bands/bands.h): only rows inside it
// are written, each exactly as the walk of the whole triangle writes it.
#pragma once
#include "bands/bands.h"
#include "render3d/clip.h"

void rasterizeTriangle(Renderer* r, const ClipVertex& a, const ClipVertex& b,
                       const ClipVertex& c, RowBand rows = kEveryRow);
// The same triangle through the plain path: the sampler for textures of any size
// (coordinates wrap at the level-0 size and every texel read stays inside its level image)
// and one row after the other. rasterizeTriangle takes a mask-and-shift sampler for
// 256x256 textures and walks the rows of wide triangles two at a time; both give identical
// pictures and depths.
void rasterizeTriangleAnySize(Renderer* r, const ClipVertex& a, const ClipVertex& b,
                              const ClipVertex& c, RowBand rows = kEveryRow);
// The rasteriser the clipper hands its triangles to: rasterizeTriangle unless a test or a
// tool picks the plain path, to show that both make the same frames.
using TriangleRasterizer = TriangleSink;
extern TriangleRasterizer triangleRasterizer;

// Smallest L in 0..maxLevel with 2^L > g; otherwise (and for NaN) maxLevel - 1.
int pickMipLevel(const Texture* texture, float g);
