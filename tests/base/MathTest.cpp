// The matrix helpers must mean what the D3DX functions mean: row vectors on the
// left, translation in the fourth row, products in the order they apply. Every
// bone, camera and skinning result is built on these, so a flipped sign or a
// swapped product shows up here first.

#include "base/Math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

namespace veskar {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kTol = 1e-5f;

void expectVec(const Vector3& got, float x, float y, float z, float tol = kTol)
{
    EXPECT_NEAR(got.x, x, tol);
    EXPECT_NEAR(got.y, y, tol);
    EXPECT_NEAR(got.z, z, tol);
}

void expectMatrixNear(const Matrix& a, const Matrix& b, float tol = kTol)
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(a.m[i][j], b.m[i][j], tol) << "entry [" << i << "][" << j << "]";
}

Matrix randomRigidMatrix(std::mt19937& rng)
{
    std::uniform_real_distribution<float> angle(-kPi, kPi);
    std::uniform_real_distribution<float> offset(-200.0f, 200.0f);
    return boneLocalMatrix(offset(rng), offset(rng), offset(rng), angle(rng), angle(rng), angle(rng));
}

TEST(MathTest, ElementaryRotationsTurnTheWayD3DXDoes)
{
    expectVec(transformPoint({1, 0, 0}, matrixRotationZ(kPi / 2)), 0, 1, 0);
    expectVec(transformPoint({0, 1, 0}, matrixRotationZ(kPi / 2)), -1, 0, 0);
    expectVec(transformPoint({0, 1, 0}, matrixRotationX(kPi / 2)), 0, 0, 1);
    expectVec(transformPoint({0, 0, 1}, matrixRotationX(kPi / 2)), 0, -1, 0);
    expectVec(transformPoint({0, 0, 1}, matrixRotationY(kPi / 2)), 1, 0, 0);
    expectVec(transformPoint({1, 0, 0}, matrixRotationY(kPi / 2)), 0, 0, -1);
    // The fourth row and column stay untouched: rotations never translate.
    for (const Matrix& r : {matrixRotationX(0.7f), matrixRotationY(0.7f), matrixRotationZ(0.7f)}) {
        EXPECT_EQ(r.m[3][0], 0.0f);
        EXPECT_EQ(r.m[3][1], 0.0f);
        EXPECT_EQ(r.m[3][2], 0.0f);
        EXPECT_EQ(r.m[0][3], 0.0f);
        EXPECT_EQ(r.m[3][3], 1.0f);
    }
}

TEST(MathTest, MultiplyAppliesLeftFactorFirstAndTranslationSitsInRowFour)
{
    const Matrix t = matrixTranslation(5, 6, 7);
    EXPECT_EQ(t.m[3][0], 5.0f);
    EXPECT_EQ(t.m[3][1], 6.0f);
    EXPECT_EQ(t.m[3][2], 7.0f);
    EXPECT_EQ(t.m[0][3], 0.0f);
    expectVec(transformPoint({1, 1, 1}, t), 6, 7, 8);

    // Move along x, then turn a quarter about z: the point ends on the y axis.
    const Matrix moveThenTurn = matrixMultiply(matrixTranslation(1, 0, 0), matrixRotationZ(kPi / 2));
    expectVec(transformPoint({0, 0, 0}, moveThenTurn), 0, 1, 0);
    // The other order turns the origin (no effect) and then moves it.
    const Matrix turnThenMove = matrixMultiply(matrixRotationZ(kPi / 2), matrixTranslation(1, 0, 0));
    expectVec(transformPoint({0, 0, 0}, turnThenMove), 1, 0, 0);

    std::mt19937 rng(7);
    const Matrix a = randomRigidMatrix(rng), b = randomRigidMatrix(rng);
    const Vector3 p{3.5f, -2.0f, 11.0f};
    const Vector3 stepwise = transformPoint(transformPoint(p, a), b);
    expectVec(transformPoint(p, matrixMultiply(a, b)), stepwise.x, stepwise.y, stepwise.z, 1e-3f);

    expectMatrixNear(matrixMultiply(a, matrixIdentity()), a, 0.0f);
    expectMatrixNear(matrixMultiply(matrixIdentity(), a), a, 0.0f);
}

TEST(MathTest, BoneLocalMatrixRotatesXThenYThenZThenTranslates)
{
    const float x = 1, y = 2, z = 3, rx = 0.3f, ry = -1.1f, rz = 2.4f;
    const Matrix expected = matrixMultiply(
        matrixMultiply(matrixMultiply(matrixRotationX(rx), matrixRotationY(ry)), matrixRotationZ(rz)), matrixTranslation(x, y, z));
    expectMatrixNear(boneLocalMatrix(x, y, z, rx, ry, rz), expected);

    // A quarter turn about x then about z: (1,0,0) is left alone by x and then
    // turned onto y. Applied the other way round it would end on z.
    expectVec(transformPoint({1, 0, 0}, boneLocalMatrix(0, 0, 0, kPi / 2, 0, kPi / 2)), 0, 1, 0);
    // Translation comes last, so it is not rotated.
    expectVec(transformPoint({0, 1, 0}, boneLocalMatrix(1, 2, 3, kPi / 2, 0, 0)), 1, 2, 4);
}

TEST(MathTest, InverseUndoesRigidMatricesAndRefusesSingularOnes)
{
    std::mt19937 rng(12345);
    for (int i = 0; i < 20; ++i) {
        const Matrix m = randomRigidMatrix(rng);
        Matrix inv;
        ASSERT_TRUE(matrixInverse(m, inv));
        expectMatrixNear(matrixMultiply(m, inv), matrixIdentity(), 1e-4f);
        expectMatrixNear(matrixMultiply(inv, m), matrixIdentity(), 1e-4f);
        expectMatrixNear(matrixInverse(m), inv, 0.0f);
    }

    Matrix scale;
    scale.m[0][0] = 2;
    scale.m[1][1] = 4;
    scale.m[2][2] = 0.5f;
    expectMatrixNear(matrixInverse(scale), [] {
        Matrix s;
        s.m[0][0] = 0.5f;
        s.m[1][1] = 0.25f;
        s.m[2][2] = 2;
        return s;
    }());

    Matrix singular = matrixTranslation(1, 2, 3);
    singular.m[1][0] = singular.m[1][1] = singular.m[1][2] = 0;
    Matrix out = matrixTranslation(9, 9, 9);
    EXPECT_FALSE(matrixInverse(singular, out));
    expectMatrixNear(out, matrixIdentity(), 0.0f);

    Matrix notFinite;
    notFinite.m[2][2] = std::nanf("");
    out = matrixTranslation(9, 9, 9);
    EXPECT_FALSE(matrixInverse(notFinite, out));
    expectMatrixNear(out, matrixIdentity(), 0.0f);
}

TEST(MathTest, TransposeSwapsRowsAndColumns)
{
    Matrix m;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) m.m[i][j] = static_cast<float>(i * 4 + j);
    const Matrix t = matrixTranspose(m);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_EQ(t.m[i][j], m.m[j][i]);
    expectMatrixNear(matrixTranspose(t), m, 0.0f);
}

TEST(MathTest, RotationAxisAgreesWithTheElementaryRotations)
{
    for (const float angle : {0.4f, -2.2f, kPi / 2}) {
        expectMatrixNear(matrixRotationAxis({1, 0, 0}, angle), matrixRotationX(angle));
        expectMatrixNear(matrixRotationAxis({0, 1, 0}, angle), matrixRotationY(angle));
        // The axis need not be of unit length.
        expectMatrixNear(matrixRotationAxis({0, 0, 5}, angle), matrixRotationZ(angle));
    }
    // A point on the axis stays where it is.
    const Vector3 axis{1, 2, -3};
    const Vector3 onAxis = transformPoint(axis, matrixRotationAxis(axis, 1.3f));
    expectVec(onAxis, 1, 2, -3, 1e-4f);
}

TEST(MathTest, LookAtLHPutsTheTargetStraightAhead)
{
    const Matrix view = matrixLookAtLH({0, 0, -300}, {0, 0, 0}, {0, 1, 0});
    expectVec(transformPoint({0, 0, 0}, view), 0, 0, 300);
    // Left-handed and looking along +z: right stays right, up stays up.
    expectVec(transformPoint({10, 0, 0}, view), 10, 0, 300);
    expectVec(transformPoint({0, 10, 0}, view), 0, 10, 300);
    expectVec(transformPoint({0, 0, -300}, view), 0, 0, 0);

    // From the side: the target still lies on the view's +z axis at its distance.
    const Matrix side = matrixLookAtLH({100, 50, 0}, {0, 50, 0}, {0, 1, 0});
    expectVec(transformPoint({0, 50, 0}, side), 0, 0, 100, 1e-4f);
}

TEST(MathTest, PerspectiveFovLHHasTheD3DXEntries)
{
    const float fov = kPi / 4, aspect = 4.0f / 3.0f, zn = 1.0f, zf = 1000.0f;
    const Matrix p = matrixPerspectiveFovLH(fov, aspect, zn, zf);
    const float yScale = 1.0f / std::tan(fov / 2);
    EXPECT_NEAR(p.m[1][1], yScale, kTol);
    EXPECT_NEAR(p.m[0][0], yScale / aspect, kTol);
    EXPECT_NEAR(p.m[2][2], zf / (zf - zn), kTol);
    EXPECT_EQ(p.m[2][3], 1.0f);
    EXPECT_NEAR(p.m[3][2], -zn * zf / (zf - zn), kTol);
    EXPECT_EQ(p.m[3][3], 0.0f);
    EXPECT_EQ(p.m[0][1], 0.0f);
    EXPECT_EQ(p.m[2][0], 0.0f);

    // Depth runs from 0 at the near plane to 1 at the far plane.
    EXPECT_NEAR(vec3TransformCoord({0, 0, zn}, p).z, 0.0f, kTol);
    EXPECT_NEAR(vec3TransformCoord({0, 0, zf}, p).z, 1.0f, kTol);
    // The top edge of the view at distance d lands on y = 1.
    const float d = 50.0f;
    EXPECT_NEAR(vec3TransformCoord({0, d * std::tan(fov / 2), d}, p).y, 1.0f, kTol);
}

TEST(MathTest, VectorHelpers)
{
    expectVec(vec3Normalize({3, 4, 0}), 0.6f, 0.8f, 0);
    const Vector3 zero = vec3Normalize({0, 0, 0});
    EXPECT_EQ(zero.x, 0.0f);
    EXPECT_EQ(zero.y, 0.0f);
    EXPECT_EQ(zero.z, 0.0f);

    expectVec(vec3Cross({1, 0, 0}, {0, 1, 0}), 0, 0, 1);
    EXPECT_FLOAT_EQ(vec3Dot({1, 2, 3}, {4, -5, 6}), 12.0f);

    // Only the coordinate version divides by the resulting w.
    Matrix halve = matrixTranslation(2, 4, 6);
    halve.m[3][3] = 2.0f;
    expectVec(vec3TransformCoord({2, 0, 0}, halve), 2, 2, 3);
    expectVec(transformPoint({2, 0, 0}, halve), 4, 4, 6);

    // Directions ignore the translation row, points do not.
    const Matrix turnAndMove = matrixMultiply(matrixRotationZ(kPi / 2), matrixTranslation(100, 200, 300));
    expectVec(vec3TransformNormal({1, 0, 0}, turnAndMove), 0, 1, 0);
    expectVec(transformPoint({1, 0, 0}, turnAndMove), 100, 201, 300);
}

TEST(MathTest, AxisMatrixTurnsZUpIntoYUp)
{
    // The models' axis matrix, with the float constants the models use.
    const Matrix axis = matrixMultiply(matrixRotationX(-1.5707964f), matrixRotationY(3.1415927f));
    expectVec(transformPoint({1, 0, 0}, axis), -1, 0, 0);
    expectVec(transformPoint({0, 1, 0}, axis), 0, 0, 1);
    expectVec(transformPoint({0, 0, 1}, axis), 0, 1, 0);
    expectVec(transformPoint({2, 3, 5}, axis), -2, 5, 3);
}

} // namespace
} // namespace veskar
