// render3d/clip.cpp — recursive clipping against the six planes of normalised device space,
// then the viewport mapping. Every extra piece lives in the frame of the level that cut it.
#include "render3d/clip.h"

#include <cmath>

#include "render3d/raster.h"

namespace {

float dot(const Plane& pl, float x, float y, float z) { return pl.nx * x + pl.ny * y + pl.nz * z; }

bool outside(const Plane& pl, const ClipVertex& p) { return dot(pl, p.x, p.y, p.z) > pl.d; }

// The point where the edge from inside point i to outside point o meets the plane.
ClipVertex intersect(const ClipVertex& i, const ClipVertex& o, const Plane& pl) {
    const float ni = dot(pl, i.x, i.y, i.z);
    const float num = pl.d - ni;
    const float dx = o.x - i.x, dy = o.y - i.y, dz = o.z - i.z;
    const float den = dot(pl, dx, dy, dz);
    const float t = num / den;
    return ClipVertex{i.x + t * dx, i.y + t * dy, i.z + t * dz, i.u + t * (o.u - i.u),
                      i.v + t * (o.v - i.v)};
}

}  // namespace

void extractClipPlanes(Plane* planes, const Mat4& m) {
    auto column = [&m](int k) { return Plane{m[k], m[4 + k], m[8 + k], m[12 + k]}; };
    const Plane c0 = column(0), c1 = column(1), c2 = column(2), c3 = column(3);
    auto add = [](const Plane& a, const Plane& b, float sign) {
        return Plane{a.nx + sign * b.nx, a.ny + sign * b.ny, a.nz + sign * b.nz, a.d + sign * b.d};
    };
    planes[0] = add(c3, c0, -1.0f);
    planes[1] = add(c3, c0, 1.0f);
    planes[2] = add(c3, c1, 1.0f);
    planes[3] = add(c3, c1, -1.0f);
    planes[4] = add(c3, c2, -1.0f);
    planes[5] = add(c3, c2, 1.0f);
    for (int i = 0; i < 6; ++i) {
        Plane& p = planes[i];
        const float len2 = p.nx * p.nx + p.ny * p.ny + p.nz * p.nz;
        const float k = 1.0f / sqrtRounded(len2);
        p.nx *= k;
        p.ny *= k;
        p.nz *= k;
    }
}

uint32_t outsideMask(const Plane& plane, const ClipVertex& a, const ClipVertex& b,
                     const ClipVertex& c) {
    return (outside(plane, a) ? 1u : 0u) | (outside(plane, b) ? 2u : 0u) |
           (outside(plane, c) ? 4u : 0u);
}

void clipTwoOutside(const ClipVertex& inside, ClipVertex& out1, ClipVertex& out2,
                    const Plane& plane) {
    out1 = intersect(inside, out1, plane);
    out2 = intersect(inside, out2, plane);
}

void clipOneOutside(ClipVertex& outside, ClipVertex& p, ClipVertex& q, ClipVertex* pieces,
                    const Plane& plane) {
    const ClipVertex np = intersect(p, outside, plane);
    const ClipVertex nq = intersect(q, outside, plane);
    pieces[0] = p;
    pieces[1] = nq;
    pieces[2] = q;
    q = np;
    outside = nq;
}

void clipTriangleTo(Renderer* r, ClipVertex a, ClipVertex b, ClipVertex c, int level,
                    TriangleSink sink, RowBand rows) {
    if (level < 0) level = 0;
    // A triangle inside a plane passes to the next level unchanged, so those levels are a
    // loop; only a cut recurses, and then the first half is finished before the second.
    for (; level < 6; ++level) {
        const Plane& plane = r->clipPlanes[level];
        ClipVertex pieces[3];
        switch (outsideMask(plane, a, b, c)) {
            case 0:
                continue;
            case 1:
                clipOneOutside(a, b, c, pieces, plane);
                break;
            case 2:
                clipOneOutside(b, a, c, pieces, plane);
                break;
            case 4:
                clipOneOutside(c, a, b, pieces, plane);
                break;
            case 3:
                clipTwoOutside(c, a, b, plane);
                clipTriangleTo(r, a, b, c, level + 1, sink, rows);
                return;
            case 5:
                clipTwoOutside(b, a, c, plane);
                clipTriangleTo(r, a, b, c, level + 1, sink, rows);
                return;
            case 6:
                clipTwoOutside(a, c, b, plane);
                clipTriangleTo(r, a, b, c, level + 1, sink, rows);
                return;
            default:  // all three outside
                return;
        }
        clipTriangleTo(r, a, b, c, level + 1, sink, rows);
        clipTriangleTo(r, pieces[0], pieces[1], pieces[2], level + 1, sink, rows);
        return;
    }
    mapToViewport(r, a);
    mapToViewport(r, b);
    mapToViewport(r, c);
    sink(r, a, b, c, rows);
}

void clipTriangle(Renderer* r, ClipVertex a, ClipVertex b, ClipVertex c, int level,
                  RowBand rows) {
    clipTriangleTo(r, a, b, c, level, triangleRasterizer, rows);
}
