// scenes/twist.h — the writhing twist of a mesh rebuilt every frame from its rest copy.
//
// Offers: TwistAngle, objectTwistAngle (the bronze object), logoTwistAngle (the pixel
//         logos), twistRotation, restLength, newRestLengths, twistFirstMesh.
// Needs:  assets/mesh.h (computeNormals), render3d/math3d.h.
//
// Every vertex is turned by an angle that grows with time and lags behind the further the
// vertex lay from the origin at rest, about an axis (cos(0.743 a), sin(0.521 a), 1) that
// swings with that angle a. The shape is rebuilt from the untouched rest copy every time,
// so nothing accumulates from frame to frame.
#pragma once
#include <cstdint>

#include "assets/mesh.h"
#include "render3d/math3d.h"

// The angle (radians) of a vertex whose rest distance is `restLength`, at music time t.
typedef float (*TwistAngle)(float t, float restLength);

// The bronze object: 3t - 0.03 len, in single precision.
float objectTwistAngle(float t, float restLength);
// The pixel logos: 2t - 0.006 len, with 2t formed in double precision.
float logoTwistAngle(float t, float restLength);

// mat4RotateAxis(angle, (cos(0.743f * angle), sin(0.521 * angle), 1)).
Mat4& twistRotation(Mat4& out, float angle);

// sqrt(x*x + y*y + z*z + w*w) of a vertex as loaded (the sum rounded to a float first).
float restLength(const Vertex& v);

// A new array with the rest length of every vertex of the model's first mesh, or null when
// the model has no first mesh (a missing or empty file) or that mesh has no vertex.
float* newRestLengths(const Model* model);

// Rewrites the first mesh of `target` from the first mesh of `rest`: each vertex's
// position becomes the rest position times twistRotation(angle(t, restLengths[i])),
// its texture coordinates those of the rest vertex; then its normals are recomputed.
// Later meshes are left alone. Returns false, touching nothing, when either model lacks a
// first mesh, their first meshes differ in vertex count, or the lengths are missing:
// the caller then leaves the object out. While drawing is suspended (assets/image.h) the
// mesh is left as it is and the answer is true when it would have been twisted.
bool twistFirstMesh(Model* target, const Model* rest, const float* restLengths, float t,
                    TwistAngle angle);
