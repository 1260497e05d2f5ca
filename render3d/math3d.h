// render3d/math3d.h — single-precision vectors and 4x4 matrices.
//
// Convention: points are row vectors multiplied on the left, p' = p * M. A Mat4 is stored
// row by row (element (r, c) is m[4r + c]), so translations sit in m[12..14] and a chain
// p * A * B applies A first. Every builder writes into `out` and returns it.
#pragma once
#include <cmath>
#include <cstdint>

// Sine, cosine and square root as the renderer and the animation formulas take them: the
// double-precision library functions, rounded to float. (std::sin of a float would be the
// single-precision sinf, which differs in the last bit for some arguments.)
inline float sinRounded(float a) { return static_cast<float>(std::sin(static_cast<double>(a))); }
inline float cosRounded(float a) { return static_cast<float>(std::cos(static_cast<double>(a))); }
inline float sqrtRounded(float a) { return static_cast<float>(std::sqrt(static_cast<double>(a))); }
// A float truncated toward zero to a 32-bit integer: how positions become pixels.
inline int32_t trunc32(float v) { return static_cast<int32_t>(v); }

struct Vec3 { float x, y, z; };
struct Vec4 { float x, y, z, w; };
struct Mat4 { float m[16]; float& operator[](int i) { return m[i]; } float operator[](int i) const { return m[i]; } };

Mat4 mat4Identity();
// out = a * b. out must not alias a (b is taken by value).
Mat4& mat4Multiply(Mat4& out, const Mat4& a, Mat4 b);
// out = v * m.
Vec4& mat4Transform(Vec4& out, const Mat4& m, Vec4 v);
// out = in / |in| (k = 1/sqrt(len2), then multiplied); out may be in.
Vec3& normalize(Vec3& out, const Vec3& in);
// Rotation by `angle` radians about `axis` (normalised here). Rotating (1,0,0) by +pi/2
// about (0,0,1) gives (0,-1,0).
Mat4& mat4RotateAxis(Mat4& out, float angle, Vec3 axis);
// A translation by (x, y, z): the identity with x, y and z in entries 12, 13 and 14.
Mat4 mat4Translation(float x, float y, float z);
// A uniform scale by k: the identity with k in entries 0, 5 and 10.
Mat4 mat4Scale(float k);
// out = out * b (b applied after out), through a temporary, since mat4Multiply must not
// write its product over its left factor.
Mat4& mat4PostMultiply(Mat4& out, const Mat4& b);
// View matrix: the camera at eye looks at target down its own -z, +y up the screen.
Mat4& mat4LookAt(Mat4& out, Vec3 eye, Vec3 target, Vec3 up);
// Projection: eye z = -near maps to -1 and z = -far to +1 after the divide by w = -z.
Mat4& mat4Perspective(Mat4& out, float fovDegrees, float aspect, float nearZ, float farZ);
