// render3d/math3d.h — single-precision vectors and 4x4 matrices.
//
// Convention: points are row vectors multiplied on the left, p' = p * M. A Mat4 is stored
// row by row (element (r, c) is m[4r + c]), so translations sit in m[12..14] and a chain
// p * A * B applies A first. Every builder writes into `out` and returns it.
#pragma once
#include <cmath>

// Sine, cosine and square root as the renderer and the animation formulas take them: the
// double-precision library functions, rounded to float. (std::sin of a float would be the
// single-precision sinf, which differs in the last bit for some arguments.)
inline float sinRounded(float a) { return static_cast<float>(std::sin(static_cast<double>(a))); }
inline float cosRounded(float a) { return static_cast<float>(std::cos(static_cast<double>(a))); }
inline float sqrtRounded(float a) { return static_cast<float>(std::sqrt(static_cast<double>(a))); }

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
// View matrix: the camera at eye looks at target down its own -z, +y up the screen.
Mat4& mat4LookAt(Mat4& out, Vec3 eye, Vec3 target, Vec3 up);
// Projection: eye z = -near maps to -1 and z = -far to +1 after the divide by w = -z.
Mat4& mat4Perspective(Mat4& out, float fovDegrees, float aspect, float nearZ, float farZ);
