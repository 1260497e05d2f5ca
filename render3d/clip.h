// render3d/clip.h — recursive frustum clipping in normalised device coordinates.
//
// One plane per recursion level (0..5); level 6 maps the triangle to pixels with the
// viewport and hands it to the rasteriser. Nothing allocates.
#pragma once
#include <cstdint>

#include "bands/bands.h"
#include "render3d/math3d.h"
#include "render3d/renderer.h"

struct ClipVertex { float x, y, z, u, v; };

// A point of normalised device space to pixels with the renderer's viewport: what the
// clipper does to every piece it passes on (drawMesh does it once a vertex for the
// triangles that need no clipping).
inline void mapToViewport(const Renderer* r, ClipVertex& p) {
    p.x = (p.x * 0.5f + 0.5f) * static_cast<float>(r->viewportWidth) +
          static_cast<float>(r->viewportX);
    p.y = (p.y * -0.5f + 0.5f) * static_cast<float>(r->viewportHeight) +
          static_cast<float>(r->viewportY);
}

// Planes 0..5 from the columns of m: c3-c0, c3+c0, c3+c1, c3-c1, c3-c2, c3+c2;
// (nx, ny, nz) normalised, d kept.
void extractClipPlanes(Plane* planes, const Mat4& m);
// Bit 0/1/2 set when a/b/c is outside (n.p > d; equality and NaN count as inside).
uint32_t outsideMask(const Plane& plane, const ClipVertex& a, const ClipVertex& b,
                     const ClipVertex& c);
// Moves out1 and out2 onto the plane along their edges from `inside`.
void clipTwoOutside(const ClipVertex& inside, ClipVertex& out1, ClipVertex& out2,
                    const Plane& plane);
// Cuts the outside corner off: pieces receives (P, NQ, Q); q becomes NP, outside becomes NQ.
void clipOneOutside(ClipVertex& outside, ClipVertex& p, ClipVertex& q, ClipVertex* pieces,
                    const Plane& plane);
// The recursive driver; drawMesh calls it with level 0 (clipping on) or 6 (off). Each
// surviving piece is mapped to pixels with the viewport and rasterised within `rows` (a
// drawing thread's band, bands/bands.h). Where a corner is cut off, the half that keeps
// the triangle's own records is drawn completely before the other half, which decides the
// winner where the two meet at equal depth.
void clipTriangle(Renderer* r, ClipVertex a, ClipVertex b, ClipVertex c, int level,
                  RowBand rows = kEveryRow);

// What receives the viewport-mapped pieces with the rows to draw: rasterizeTriangle for
// clipTriangle; tests and tools pass their own to see exactly which triangles come out of
// the clipper.
using TriangleSink = void (*)(Renderer* r, const ClipVertex& a, const ClipVertex& b,
                              const ClipVertex& c, RowBand rows);
void clipTriangleTo(Renderer* r, ClipVertex a, ClipVertex b, ClipVertex c, int level,
                    TriangleSink sink, RowBand rows = kEveryRow);
