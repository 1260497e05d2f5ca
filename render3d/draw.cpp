// render3d/draw.cpp — mesh submission: transform every vertex once into the renderer's
// slot buffer, divide by w, pick texture coordinates, then clip and rasterise each triangle.
#include "render3d/draw.h"

#include <cmath>

#ifdef __SSE__
#include <xmmintrin.h>
#endif

#include "render3d/clip.h"

namespace {

constexpr int kSlotFloats = 9;   // x, y, z, w, three unused, u, v (the Vertex layout)
constexpr int kSlotOutcode = 4;  // the first unused float: which planes the vertex is outside

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
    Mat4 m1, m;
    mat4Multiply(m1, r->model, r->view);
    mat4Multiply(m, m1, r->projection);

    float* slots = r->transformedVertices;
    const bool envMap = r->envMap;
    const bool clipping = r->clipping;
    for (int32_t i = 0; i < vertexCount; ++i) {
        const Vertex& vx = vertices[i];
        float* s = slots + static_cast<size_t>(i) * kSlotFloats;
        Vec4 c;
        transformPoint(c, m, vx);
        const float k = 1.0f / c.w;
        s[0] = c.x * k;
        s[1] = c.y * k;
        s[2] = c.z * k;
        s[3] = c.w;
        if (clipping) s[kSlotOutcode] = static_cast<float>(outcode(r->clipPlanes, s[0], s[1], s[2]));
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

    // A triangle with every corner inside every plane passes the six clip levels unchanged,
    // so it starts at the viewport mapping; the others go through the planes.
    const int startLevel = clipping ? 0 : 6;
    const int32_t triangles = indexCount / 3;
    const uint32_t limit = static_cast<uint32_t>(vertexCount);
    for (int32_t k = 0; k < triangles; ++k) {
        const int32_t* tri = indices + 3 * static_cast<size_t>(k);
        const uint32_t i0 = static_cast<uint32_t>(tri[0]);
        const uint32_t i1 = static_cast<uint32_t>(tri[1]);
        const uint32_t i2 = static_cast<uint32_t>(tri[2]);
        if (i0 >= limit || i1 >= limit || i2 >= limit) continue;
        const float* s0 = slots + static_cast<size_t>(i0) * kSlotFloats;
        const float* s1 = slots + static_cast<size_t>(i1) * kSlotFloats;
        const float* s2 = slots + static_cast<size_t>(i2) * kSlotFloats;
        const bool inside =
            clipping && s0[kSlotOutcode] == 0.0f && s1[kSlotOutcode] == 0.0f && s2[kSlotOutcode] == 0.0f;
        clipTriangle(r, ClipVertex{s0[0], s0[1], s0[2], s0[7], s0[8]},
                     ClipVertex{s1[0], s1[1], s1[2], s1[7], s1[8]},
                     ClipVertex{s2[0], s2[1], s2[2], s2[7], s2[8]}, inside ? 6 : startLevel);
    }
}

void drawModel(Renderer* r, const Model* model) {
    if (!model || !model->meshes) return;
    for (int32_t i = 0; i < model->meshCount; ++i) {
        const Mesh* mesh = model->meshes[i];
        if (!mesh) continue;
        drawMesh(r, mesh->vertices, mesh->indices, mesh->vertexCount, mesh->indexCount);
    }
}
