// render3d/draw.cpp — mesh submission: transform every vertex once into the renderer's
// slot buffer, divide by w, pick texture coordinates, then clip and rasterise each triangle.
//
// With more than one drawing thread (bands/bands.h) the threads first share the vertices
// out (each is transformed from its own inputs alone); then every thread goes through the
// whole triangle list itself and rasterises the pieces within its own band of rows, in the
// list's order. Clipping is cheap beside
// rasterising and gives every thread the same pieces, so no list of them is kept between
// the two; a triangle inside the clip planes whose corners lie wholly above or below a
// band is passed over at once, from the corners' pixel rows kept in the slots.
#include "render3d/draw.h"

#include <algorithm>
#include <cmath>
#include <limits>

#ifdef __SSE__
#include <xmmintrin.h>
#endif

#include "render3d/clip.h"
#include "render3d/raster.h"

namespace {

constexpr int kSlotFloats = 9;   // x, y, z, w, three spare, u, v (the Vertex layout)
constexpr int kSlotOutcode = 4;  // the first spare float: which planes the vertex is outside
constexpr int kSlotPixelX = 5;   // the other two: x and y mapped to pixels by the viewport
constexpr int kSlotPixelY = 6;

// mat4Transform of (x, y, z, w), the four sums at once: lane k adds the products in the
// same order as mat4Transform does for component k, so every lane rounds the same.
inline void transformPoint(Vec4& out, const Mat4& m, const Vertex& v) {
#ifdef __SSE__
    __m128 sum = _mm_mul_ps(_mm_set1_ps(v.x), _mm_loadu_ps(m.m));
    sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(v.y), _mm_loadu_ps(m.m + 4)));
    sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(v.z), _mm_loadu_ps(m.m + 8)));
    sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(v.w), _mm_loadu_ps(m.m + 12)));
    float lanes[4];
    _mm_storeu_ps(lanes, sum);
    out = Vec4{lanes[0], lanes[1], lanes[2], lanes[3]};
#else
    mat4Transform(out, m, Vec4{v.x, v.y, v.z, v.w});
#endif
}

// Bit k set when the point is outside clip plane k: n.p > d with the products summed in
// the clipper's order, so a corner counts as inside exactly when the clipper keeps it
// (tests draw meshes both ways and compare).
uint32_t outcode(const Plane* planes, float x, float y, float z) {
    uint32_t code = 0;
    for (int k = 0; k < 6; ++k) {
        const Plane& pl = planes[k];
        code |= (pl.nx * x + pl.ny * y + pl.nz * z > pl.d ? 1u : 0u) << k;
    }
    return code;
}

}  // namespace

void drawMesh(Renderer* r, const Vertex* vertices, const int32_t* indices,
              int32_t vertexCount, int32_t indexCount) {
    if (drawingSuspended()) return;
    // Meshes built in code are not validated by the loader: a mesh that does not fit the
    // slot buffer is skipped whole, and so is a triangle whose index lies outside the mesh.
    if (!vertices || vertexCount <= 0 || vertexCount > kTransformedVertexSlots) return;
    if (!indices || indexCount < 3) return;

    extractClipPlanes(r->clipPlanes, mat4Identity());
    Mat4 modelView, mvp;
    mat4Multiply(modelView, r->model, r->view);
    mat4Multiply(mvp, modelView, r->projection);

    float* slots = r->transformedVertices;
    const bool envMap = r->envMap;
    const bool clipping = r->clipping;
    // Every vertex is transformed from its own inputs alone: the drawing threads share them.
    // (The loop works on copies of its inputs: the lambda is handed to the other threads by
    // address, and through its references every store to a slot could reach them.)
    forEachBand(RowBand{0, vertexCount}, vertexCount * kVertexWork, [&](RowBand run) {
        const Mat4 m = mvp, m1 = modelView;
        const Plane* const planes = r->clipPlanes;
        float* const slots = r->transformedVertices;
        for (int32_t i = run.begin; i < run.end; ++i) {
            const Vertex& vx = vertices[i];
            float* s = slots + static_cast<size_t>(i) * kSlotFloats;
            Vec4 c;
            transformPoint(c, m, vx);
            const float k = 1.0f / c.w;
            s[0] = c.x * k;
            s[1] = c.y * k;
            s[2] = c.z * k;
            s[3] = c.w;
            if (clipping) s[kSlotOutcode] = static_cast<float>(outcode(planes, s[0], s[1], s[2]));
            ClipVertex pixel{s[0], s[1], 0.0f, 0.0f, 0.0f};
            mapToViewport(r, pixel);
            s[kSlotPixelX] = pixel.x;
            s[kSlotPixelY] = pixel.y;
            if (envMap) {
                // The eye-space normal (model and view only) picks the texel: facing the viewer
                // samples the middle of the texture.
                Vec3 n{vx.nx * m1[0] + vx.ny * m1[4] + vx.nz * m1[8],
                       vx.nx * m1[1] + vx.ny * m1[5] + vx.nz * m1[9],
                       vx.nx * m1[2] + vx.ny * m1[6] + vx.nz * m1[10]};
                normalize(n, n);
                s[7] = n.x * 0.5f + 0.5f;
                s[8] = n.y * 0.5f + 0.5f;
            } else {
                s[7] = vx.u;
                s[8] = vx.v;
            }
        }
    });

    // A triangle with every corner inside every plane passes the six clip levels unchanged,
    // so it starts at the viewport mapping; the others go through the planes.
    const int startLevel = clipping ? 0 : 6;
    const int32_t triangles = indexCount / 3;
    const uint32_t limit = static_cast<uint32_t>(vertexCount);
    // Triangle k's three slots, false for a corner index outside the mesh; `inside` when
    // every corner lies inside every clip plane.
    auto corners = [&](int32_t k, const float* s[3], bool* inside) {
        const int32_t* tri = indices + 3 * static_cast<size_t>(k);
        for (int c = 0; c < 3; ++c) {
            const uint32_t i = static_cast<uint32_t>(tri[c]);
            if (i >= limit) return false;
            s[c] = slots + static_cast<size_t>(i) * kSlotFloats;
        }
        *inside = clipping && s[0][kSlotOutcode] == 0.0f && s[1][kSlotOutcode] == 0.0f &&
                  s[2][kSlotOutcode] == 0.0f;
        return true;
    };
    // Every triangle in the list's order; with `reach` (several threads), those whose rows
    // lie outside the band are passed over by their record alone.
    auto drawTriangles = [&](RowBand band, const TriangleReach* reach) {
        const float reachBegin = static_cast<float>(band.begin);
        const float reachEnd = static_cast<float>(band.end) + 1.0f;
        for (int32_t k = 0; k < triangles; ++k) {
            if (reach && (reach[k].bottom < reachBegin || reach[k].top >= reachEnd)) continue;
            const float* s[3];
            bool inside;
            if (!corners(k, s, &inside)) continue;
            const float* s0 = s[0];
            const float* s1 = s[1];
            const float* s2 = s[2];
            if (!inside) {
                clipTriangle(r, ClipVertex{s0[0], s0[1], s0[2], s0[7], s0[8]},
                             ClipVertex{s1[0], s1[1], s1[2], s1[7], s1[8]},
                             ClipVertex{s2[0], s2[1], s2[2], s2[7], s2[8]}, startLevel, band);
                continue;
            }
            // Past the six planes unchanged: the corners as the clipper maps them. Rows are
            // trunc(y + 0.5) of the corners at most, so a triangle whose corners all lie below
            // the band's end or above its beginning has none in the band (a test that may let
            // some through, never keep one out; the rasteriser decides).
            const float y0 = s0[kSlotPixelY], y1 = s1[kSlotPixelY], y2 = s2[kSlotPixelY];
            if (std::max(std::max(y0, y1), y2) + 0.5f < static_cast<float>(band.begin) ||
                std::min(std::min(y0, y1), y2) + 0.5f >= static_cast<float>(band.end) + 1.0f)
                continue;
            triangleRasterizer(r, ClipVertex{s0[kSlotPixelX], y0, s0[2], s0[7], s0[8]},
                               ClipVertex{s1[kSlotPixelX], y1, s1[2], s1[7], s1[8]},
                               ClipVertex{s2[kSlotPixelX], y2, s2[2], s2[7], s2[8]}, band);
        }
    };
    // The rows a triangle may reach as the band test above reckons them: every row for one
    // the clipper cuts, none for one with an index outside the mesh.
    auto reachOf = [&](int32_t k) {
        constexpr float kAll = std::numeric_limits<float>::infinity();
        const float* s[3];
        bool inside;
        if (!corners(k, s, &inside)) return TriangleReach{kAll, -kAll};
        if (!inside) return TriangleReach{-kAll, kAll};
        const float y0 = s[0][kSlotPixelY], y1 = s[1][kSlotPixelY], y2 = s[2][kSlotPixelY];
        return TriangleReach{std::min(std::min(y0, y1), y2) + 0.5f, std::max(std::max(y0, y1), y2) + 0.5f};
    };
    if (drawingThreads() == 1 || !r->screen) {
        drawTriangles(kEveryRow, nullptr);
        return;
    }
    // The bands split the rows the mesh covers in the view evenly (an estimate from its
    // corners, for the balance only); the first and the last band reach on to the image's
    // edges, so every row a piece can touch belongs to exactly one band.
    float left = 1.0f, right = -1.0f, top = 1.0f, bottom = -1.0f;
    for (int32_t i = 0; i < vertexCount; ++i) {
        const float* s = slots + static_cast<size_t>(i) * kSlotFloats;
        left = std::min(left, s[0]);
        right = std::max(right, s[0]);
        bottom = std::min(bottom, s[1]);
        top = std::max(top, s[1]);
    }
    left = std::max(left, -1.0f), right = std::min(right, 1.0f);
    bottom = std::max(bottom, -1.0f), top = std::min(top, 1.0f);
    const float width = static_cast<float>(r->viewportWidth) * 0.5f * std::max(right - left, 0.0f);
    const float height = static_cast<float>(r->viewportHeight) * 0.5f * std::max(top - bottom, 0.0f);
    const RowBand covered{
        static_cast<int32_t>((top * -0.5f + 0.5f) * static_cast<float>(r->viewportHeight)) + r->viewportY,
        static_cast<int32_t>((bottom * -0.5f + 0.5f) * static_cast<float>(r->viewportHeight)) + r->viewportY + 1};
    // The work: about half the covered rectangle's pixels, and each triangle's set-up.
    const int64_t work = static_cast<int64_t>(width * height * 0.5f) + 16 * static_cast<int64_t>(triangles);
    if (triangles > kTriangleReachSlots) {
        forEachBand(RowBand{0, r->screen->height}, covered, work, [&](RowBand band) {
            drawTriangles(band, nullptr);
        });
        return;
    }
    // First the rows each triangle's corners reach, once, the threads sharing the
    // triangles out; then every band passes over the triangles outside it by that record
    // alone (the corner test in drawTriangles still decides for the others).
    TriangleReach* reach = r->triangleReach;
    forEachBand(RowBand{0, triangles}, triangles * kVertexWork, [&](RowBand run) {
        for (int32_t k = run.begin; k < run.end; ++k) reach[k] = reachOf(k);
    });
    forEachBand(RowBand{0, r->screen->height}, covered, work,
                [&](RowBand band) { drawTriangles(band, reach); });
}

void drawModel(Renderer* r, const Model* model) {
    if (!model || !model->meshes) return;
    for (int32_t i = 0; i < model->meshCount; ++i) {
        const Mesh* mesh = model->meshes[i];
        if (!mesh) continue;
        drawMesh(r, mesh->vertices, mesh->indices, mesh->vertexCount, mesh->indexCount);
    }
}
