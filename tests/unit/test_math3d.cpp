// Vector and matrix math: row-vector convention, element placement, factor order and the
// projection's worked values.
#include <gtest/gtest.h>

#include <cmath>

#include "render3d/math3d.h"

namespace {

constexpr float kHalfPi = 1.5707963267948966f;

Vec4 apply(const Mat4& m, Vec4 v) {
    Vec4 out;
    return mat4Transform(out, m, v);
}

void expectMatNear(const Mat4& a, const Mat4& b, float tol) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(a[i], b[i], tol) << "entry " << i;
}

TEST(Math3d, IdentityIsNeutralForMultiplyAndTransform) {
    Mat4 a;
    for (int i = 0; i < 16; ++i) a[i] = 0.37f * static_cast<float>(i) - 2.1f;
    const Mat4 id = mat4Identity();
    Mat4 out;
    mat4Multiply(out, a, id);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(out[i], a[i]);
    mat4Multiply(out, id, a);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(out[i], a[i]);
    const Vec4 p = apply(id, Vec4{1.5f, -2.0f, 3.25f, 1.0f});
    EXPECT_EQ(p.x, 1.5f);
    EXPECT_EQ(p.y, -2.0f);
    EXPECT_EQ(p.z, 3.25f);
    EXPECT_EQ(p.w, 1.0f);
}

TEST(Math3d, TranslationSitsInTheLastRowAndChainsApplyLeftFactorFirst) {
    Mat4 rot;
    mat4RotateAxis(rot, kHalfPi, Vec3{0, 0, 1});
    const Mat4 xyz = mat4Translation(1, 2, 3);
    Mat4 expected = mat4Identity();
    expected[12] = 1;
    expected[13] = 2;
    expected[14] = 3;
    for (int i = 0; i < 16; ++i) EXPECT_EQ(xyz[i], expected[i]) << "entry " << i;
    const Mat4 move = mat4Translation(1, 0, 0);

    // p * move * rot: translate to (1,0,0) first, then rotate to (0,-1,0).
    Mat4 moveThenRotate;
    mat4Multiply(moveThenRotate, move, rot);
    Vec4 p = apply(moveThenRotate, Vec4{0, 0, 0, 1});
    EXPECT_NEAR(p.x, 0.0f, 1e-6f);
    EXPECT_NEAR(p.y, -1.0f, 1e-6f);
    EXPECT_EQ(p.w, 1.0f);

    // p * rot * move: the origin does not move under the rotation, then lands on (1,0,0).
    Mat4 rotateThenMove;
    mat4Multiply(rotateThenMove, rot, move);
    p = apply(rotateThenMove, Vec4{0, 0, 0, 1});
    EXPECT_NEAR(p.x, 1.0f, 1e-6f);
    EXPECT_NEAR(p.y, 0.0f, 1e-6f);

    // A direction (w = 0) ignores the translation.
    p = apply(move, Vec4{0, 2, 0, 0});
    EXPECT_EQ(p.x, 0.0f);
    EXPECT_EQ(p.y, 2.0f);
}

TEST(Math3d, MultiplyMayWriteIntoItsSecondFactor) {
    Mat4 a, b;
    for (int i = 0; i < 16; ++i) {
        a[i] = static_cast<float>(i + 1);
        b[i] = static_cast<float>(16 - i) * 0.5f;
    }
    Mat4 expected;
    mat4Multiply(expected, a, b);
    mat4Multiply(b, a, b);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(b[i], expected[i]);
    // Entry (1, 2) = row 1 of a times column 2 of the original b.
    EXPECT_EQ(expected[6], 5 * 7.0f + 6 * 5.0f + 7 * 3.0f + 8 * 1.0f);
}

TEST(Math3d, RotationTurnsXTowardsMinusYAboutZ) {
    Mat4 rot;
    mat4RotateAxis(rot, kHalfPi, Vec3{0, 0, 1});
    const Vec4 p = apply(rot, Vec4{1, 0, 0, 1});
    EXPECT_NEAR(p.x, 0.0f, 1e-6f);
    EXPECT_NEAR(p.y, -1.0f, 1e-6f);
    EXPECT_NEAR(p.z, 0.0f, 1e-6f);
    EXPECT_EQ(p.w, 1.0f);
    // The axis stays fixed.
    const Vec4 axis = apply(rot, Vec4{0, 0, 1, 1});
    EXPECT_NEAR(axis.z, 1.0f, 1e-6f);
}

TEST(Math3d, RotationByZeroIsIdentityAndAxisLengthDoesNotMatter) {
    const Vec3 axes[] = {{0, 0, 1}, {3, 0, 0}, {1, 2, 2}, {-0.01f, 0.02f, 0.5f}};
    for (const Vec3& axis : axes) {
        Mat4 m;
        mat4RotateAxis(m, 0.0f, axis);
        expectMatNear(m, mat4Identity(), 1e-6f);
    }
    Mat4 unit, longer;
    mat4RotateAxis(unit, 0.8f, Vec3{1.0f / 3, 2.0f / 3, 2.0f / 3});
    mat4RotateAxis(longer, 0.8f, Vec3{10, 20, 20});
    expectMatNear(longer, unit, 1e-6f);
}

TEST(Math3d, LookAtFromPlusZIsATranslation) {
    Mat4 view;
    mat4LookAt(view, Vec3{0, 0, 5}, Vec3{0, 0, 0}, Vec3{0, 1, 0});
    Mat4 expected = mat4Translation(0, 0, -5);
    expectMatNear(view, expected, 1e-6f);
    const Vec4 origin = apply(view, Vec4{0, 0, 0, 1});
    EXPECT_NEAR(origin.z, -5.0f, 1e-6f);
    EXPECT_EQ(origin.w, 1.0f);
}

TEST(Math3d, LookAtPutsScreenRightOnXAndUpOnY) {
    // Camera on +x looking at the origin with a long up vector (up is not normalised first).
    Mat4 view;
    mat4LookAt(view, Vec3{4, 0, 0}, Vec3{0, 0, 0}, Vec3{0, 7, 0});
    const Vec4 front = apply(view, Vec4{0, 0, 0, 1});
    EXPECT_NEAR(front.x, 0, 1e-6f);
    EXPECT_NEAR(front.z, -4, 1e-6f);
    const Vec4 up = apply(view, Vec4{0, 1, 0, 1});
    EXPECT_NEAR(up.y, 1, 1e-6f);
    // Looking down -x, world -z is on the viewer's right.
    const Vec4 right = apply(view, Vec4{0, 0, -1, 1});
    EXPECT_NEAR(right.x, 1, 1e-6f);
    EXPECT_NEAR(right.y, 0, 1e-6f);
}

TEST(Math3d, PerspectiveWorkedValues) {
    struct Case { float fov, aspect, f, m0; };
    const Case cases[] = {{60, 4.0f / 3.0f, 1.7320513f, 1.2990384f},
                          {45, 1.6f, 2.4142141f, 1.5088838f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fov);
        Mat4 p;
        mat4Perspective(p, c.fov, c.aspect, 1, 1000);
        EXPECT_FLOAT_EQ(p[0], c.m0);
        EXPECT_FLOAT_EQ(p[5], c.f);
        EXPECT_FLOAT_EQ(p[10], -1.002002f);
        EXPECT_FLOAT_EQ(p[14], -2.002002f);
        EXPECT_EQ(p[11], -1.0f);
        EXPECT_EQ(p[15], 0.0f);
        for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 12, 13}) EXPECT_EQ(p[i], 0.0f) << i;
    }
}

TEST(Math3d, PerspectiveMapsNearToMinusOneAndFarToPlusOne) {
    Mat4 p;
    mat4Perspective(p, 60, 4.0f / 3.0f, 2, 50);
    const Vec4 nearPt = apply(p, Vec4{0, 0, -2, 1});
    const Vec4 farPt = apply(p, Vec4{0, 0, -50, 1});
    EXPECT_EQ(nearPt.w, 2.0f);   // w = -z of the eye-space point
    EXPECT_NEAR(nearPt.z / nearPt.w, -1.0f, 1e-6f);
    EXPECT_NEAR(farPt.z / farPt.w, 1.0f, 1e-5f);
    // The top of the field of view lands on y = 1.
    const float top = 2 * static_cast<float>(std::tan(30.0 * M_PI / 180.0));
    const Vec4 edge = apply(p, Vec4{0, top, -2, 1});
    EXPECT_NEAR(edge.y / edge.w, 1.0f, 1e-5f);
}

TEST(Math3d, NormalizeInPlace) {
    Vec3 v{3, -4, 12};
    normalize(v, v);
    EXPECT_FLOAT_EQ(v.x, 3.0f / 13);
    EXPECT_FLOAT_EQ(v.y, -4.0f / 13);
    EXPECT_FLOAT_EQ(v.z, 12.0f / 13);
    EXPECT_NEAR(v.x * v.x + v.y * v.y + v.z * v.z, 1.0f, 1e-6f);
}

}  // namespace
