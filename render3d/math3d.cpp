// render3d/math3d.cpp — single-precision vectors and 4x4 matrices (row-vector convention).
//
// Trigonometry and square roots go through the double-precision library functions and are
// rounded to float before use, so the same calls give the same matrices on every build.
#include "render3d/math3d.h"

#include <cmath>

namespace {

// The value of pi the projection uses, held as a float: 3.1415920257568359375.
constexpr float kPi = 3.141592f;

}  // namespace

Mat4 mat4Identity() {
    Mat4 out{};
    out[0] = out[5] = out[10] = out[15] = 1.0f;
    return out;
}

Mat4& mat4Multiply(Mat4& out, const Mat4& a, Mat4 b) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            out[4 * r + c] = a[4 * r + 0] * b[c] + a[4 * r + 1] * b[4 + c] +
                             a[4 * r + 2] * b[8 + c] + a[4 * r + 3] * b[12 + c];
        }
    }
    return out;
}

Vec4& mat4Transform(Vec4& out, const Mat4& m, Vec4 v) {
    out.x = v.x * m[0] + v.y * m[4] + v.z * m[8] + v.w * m[12];
    out.y = v.x * m[1] + v.y * m[5] + v.z * m[9] + v.w * m[13];
    out.z = v.x * m[2] + v.y * m[6] + v.z * m[10] + v.w * m[14];
    out.w = v.x * m[3] + v.y * m[7] + v.z * m[11] + v.w * m[15];
    return out;
}

Vec3& normalize(Vec3& out, const Vec3& in) {
    out = in;
    const float len2 = out.x * out.x + out.y * out.y + out.z * out.z;
    const float k = 1.0f / sqrtRounded(len2);
    out.x *= k;
    out.y *= k;
    out.z *= k;
    return out;
}

Mat4& mat4RotateAxis(Mat4& out, float angle, Vec3 axis) {
    const float c = cosRounded(angle);
    const float s = sinRounded(angle);
    const float t = 1.0f - c;
    Vec3 n;
    normalize(n, axis);
    const float x = n.x, y = n.y, z = n.z;

    out[0] = t * x * x + c;
    out[1] = t * x * y - z * s;
    out[2] = t * x * z + y * s;
    out[3] = 0.0f;
    out[4] = t * x * y + z * s;
    out[5] = t * y * y + c;
    out[6] = t * y * z - x * s;
    out[7] = 0.0f;
    out[8] = t * x * z - y * s;
    out[9] = t * y * z + x * s;
    out[10] = t * z * z + c;
    out[11] = 0.0f;
    out[12] = 0.0f;
    out[13] = 0.0f;
    out[14] = 0.0f;
    out[15] = 1.0f;
    return out;
}

Mat4& mat4LookAt(Mat4& out, Vec3 eye, Vec3 target, Vec3 up) {
    Vec3 f{target.x - eye.x, target.y - eye.y, target.z - eye.z};
    normalize(f, f);
    // s = f x up and u = s x f, both from the unnormalised vectors, then normalised.
    Vec3 s{f.y * up.z - f.z * up.y, f.z * up.x - f.x * up.z, f.x * up.y - f.y * up.x};
    Vec3 u{f.z * s.y - f.y * s.z, f.x * s.z - f.z * s.x, f.y * s.x - f.x * s.y};
    normalize(u, u);
    normalize(s, s);

    Mat4 rot = mat4Identity();
    rot[0] = s.x;  rot[1] = u.x;  rot[2] = -f.x;
    rot[4] = s.y;  rot[5] = u.y;  rot[6] = -f.y;
    rot[8] = s.z;  rot[9] = u.z;  rot[10] = -f.z;

    Mat4 translate = mat4Identity();
    translate[12] = -eye.x;
    translate[13] = -eye.y;
    translate[14] = -eye.z;
    return mat4Multiply(out, translate, rot);
}

Mat4& mat4Perspective(Mat4& out, float fovDegrees, float aspect, float nearZ, float farZ) {
    const float a = fovDegrees * 0.5f * kPi / 180.0f;
    const float d = farZ - nearZ;
    const float cs = cosRounded(a);
    const float sn = sinRounded(a);
    const float f = cs / sn;
    out = Mat4{};
    out[0] = f / aspect;
    out[5] = f;
    out[10] = -(farZ + nearZ) / d;
    out[11] = -1.0f;
    out[14] = farZ * (nearZ * -2.0f) / d;
    out[15] = 0.0f;
    return out;
}

Mat4 mat4Translation(float x, float y, float z) {
    Mat4 m = mat4Identity();
    m[12] = x;
    m[13] = y;
    m[14] = z;
    return m;
}

Mat4 mat4Scale(float k) {
    Mat4 m = mat4Identity();
    m[0] = m[5] = m[10] = k;
    return m;
}

Mat4& mat4PostMultiply(Mat4& out, const Mat4& b) {
    Mat4 product;
    mat4Multiply(product, out, b);
    out = product;
    return out;
}
