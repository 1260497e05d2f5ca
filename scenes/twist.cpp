// scenes/twist.cpp — the per-vertex twist shared by the bronze object and the pixel logos.
#include "scenes/twist.h"

#include <cmath>

#include "assets/image.h"
#include "bands/bands.h"

float objectTwistAngle(float t, float restLength) { return 3.0f * t - 0.03f * restLength; }

float logoTwistAngle(float t, float restLength) {
    return static_cast<float>(2.0 * t - 0.006f * restLength);
}

Mat4& twistRotation(Mat4& out, float angle) {
    const float cosArg = 0.743f * angle;   // rounded to a float before the cosine
    const Vec3 axis{cosRounded(cosArg),
                    static_cast<float>(std::sin(0.521 * angle)), 1.0f};
    return mat4RotateAxis(out, angle, axis);
}

float restLength(const Vertex& v) {
    const float sum = v.x * v.x + v.y * v.y + v.z * v.z + v.w * v.w;
    return sqrtRounded(sum);
}

float* newRestLengths(const Model* model) {
    const Mesh* mesh = firstMesh(model);
    if (!mesh || mesh->vertexCount < 1 || !mesh->vertices) return nullptr;
    float* lengths = new float[mesh->vertexCount];
    for (int32_t i = 0; i < mesh->vertexCount; ++i) lengths[i] = restLength(mesh->vertices[i]);
    return lengths;
}

bool twistFirstMesh(Model* target, const Model* rest, const float* restLengths, float t,
                    TwistAngle angle) {
    const Mesh* from = firstMesh(rest);
    Mesh* to = firstMesh(target);
    if (!from || !to || from->vertexCount != to->vertexCount) return false;
    if (to->vertexCount > 0 && (!restLengths || !from->vertices || !to->vertices)) return false;
    // Only drawing reads the shape, and every frame makes it afresh from the rest shape.
    if (drawingSuspended()) return true;

    // Every vertex is made from its own rest position alone, so the drawing threads share
    // them out (bands/bands.h).
    const int32_t count = to->vertexCount;
    // (Copies of the inputs: through the lambda's references every store could reach them.)
    forEachBand(RowBand{0, count}, count * kVertexWork, [&](RowBand run) {
        const Vertex* const rest = from->vertices;
        Vertex* const out = to->vertices;
        const float* const lengths = restLengths;
        const TwistAngle twist = angle;
        const float time = t;
        for (int32_t i = run.begin; i < run.end; ++i) {
            Vertex v = rest[i];
            Mat4 r;
            twistRotation(r, twist(time, lengths[i]));
            Vec4 p;
            mat4Transform(p, r, Vec4{v.x, v.y, v.z, v.w});
            v.x = p.x;
            v.y = p.y;
            v.z = p.z;
            v.w = p.w;
            out[i] = v;
        }
    });
    computeNormals(to);
    return true;
}
