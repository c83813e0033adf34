#include "base/Math.h"

#include <cmath>

namespace veskar {

Matrix matrixIdentity() { return Matrix{}; }

namespace {

// A turn in the plane of axes a and b, from a towards b, for row vectors.
Matrix planeRotation(int a, int b, float angle)
{
    const float c = std::cos(angle), s = std::sin(angle);
    Matrix r;
    r.m[a][a] = c;
    r.m[a][b] = s;
    r.m[b][a] = -s;
    r.m[b][b] = c;
    return r;
}

} // namespace

Matrix matrixRotationX(float angle) { return planeRotation(1, 2, angle); }
Matrix matrixRotationY(float angle) { return planeRotation(2, 0, angle); }
Matrix matrixRotationZ(float angle) { return planeRotation(0, 1, angle); }

Matrix matrixRotationAxis(const Vector3& axis, float angle)
{
    const Vector3 v = vec3Normalize(axis);
    const float c = std::cos(angle), s = std::sin(angle), t = 1.0f - c;
    Matrix r;
    r.m[0][0] = t * v.x * v.x + c;
    r.m[0][1] = t * v.x * v.y + s * v.z;
    r.m[0][2] = t * v.x * v.z - s * v.y;
    r.m[1][0] = t * v.x * v.y - s * v.z;
    r.m[1][1] = t * v.y * v.y + c;
    r.m[1][2] = t * v.y * v.z + s * v.x;
    r.m[2][0] = t * v.x * v.z + s * v.y;
    r.m[2][1] = t * v.y * v.z - s * v.x;
    r.m[2][2] = t * v.z * v.z + c;
    return r;
}

Matrix matrixTranslation(float x, float y, float z)
{
    Matrix r;
    r.m[3][0] = x;
    r.m[3][1] = y;
    r.m[3][2] = z;
    return r;
}

Matrix matrixMultiply(const Matrix& a, const Matrix& b)
{
    Matrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
    return r;
}

bool matrixInverse(const Matrix& in, Matrix& out)
{
    // Cofactor expansion in double keeps bind poses of long bone chains exact
    // enough that rest and bind copies round-trip.
    double a[16];
    for (int i = 0; i < 16; ++i) a[i] = in.m[i / 4][i % 4];
    double inv[16];
    inv[0] = a[5] * a[10] * a[15] - a[5] * a[11] * a[14] - a[9] * a[6] * a[15] + a[9] * a[7] * a[14] + a[13] * a[6] * a[11] - a[13] * a[7] * a[10];
    inv[4] = -a[4] * a[10] * a[15] + a[4] * a[11] * a[14] + a[8] * a[6] * a[15] - a[8] * a[7] * a[14] - a[12] * a[6] * a[11] + a[12] * a[7] * a[10];
    inv[8] = a[4] * a[9] * a[15] - a[4] * a[11] * a[13] - a[8] * a[5] * a[15] + a[8] * a[7] * a[13] + a[12] * a[5] * a[11] - a[12] * a[7] * a[9];
    inv[12] = -a[4] * a[9] * a[14] + a[4] * a[10] * a[13] + a[8] * a[5] * a[14] - a[8] * a[6] * a[13] - a[12] * a[5] * a[10] + a[12] * a[6] * a[9];
    inv[1] = -a[1] * a[10] * a[15] + a[1] * a[11] * a[14] + a[9] * a[2] * a[15] - a[9] * a[3] * a[14] - a[13] * a[2] * a[11] + a[13] * a[3] * a[10];
    inv[5] = a[0] * a[10] * a[15] - a[0] * a[11] * a[14] - a[8] * a[2] * a[15] + a[8] * a[3] * a[14] + a[12] * a[2] * a[11] - a[12] * a[3] * a[10];
    inv[9] = -a[0] * a[9] * a[15] + a[0] * a[11] * a[13] + a[8] * a[1] * a[15] - a[8] * a[3] * a[13] - a[12] * a[1] * a[11] + a[12] * a[3] * a[9];
    inv[13] = a[0] * a[9] * a[14] - a[0] * a[10] * a[13] - a[8] * a[1] * a[14] + a[8] * a[2] * a[13] + a[12] * a[1] * a[10] - a[12] * a[2] * a[9];
    inv[2] = a[1] * a[6] * a[15] - a[1] * a[7] * a[14] - a[5] * a[2] * a[15] + a[5] * a[3] * a[14] + a[13] * a[2] * a[7] - a[13] * a[3] * a[6];
    inv[6] = -a[0] * a[6] * a[15] + a[0] * a[7] * a[14] + a[4] * a[2] * a[15] - a[4] * a[3] * a[14] - a[12] * a[2] * a[7] + a[12] * a[3] * a[6];
    inv[10] = a[0] * a[5] * a[15] - a[0] * a[7] * a[13] - a[4] * a[1] * a[15] + a[4] * a[3] * a[13] + a[12] * a[1] * a[7] - a[12] * a[3] * a[5];
    inv[14] = -a[0] * a[5] * a[14] + a[0] * a[6] * a[13] + a[4] * a[1] * a[14] - a[4] * a[2] * a[13] - a[12] * a[1] * a[6] + a[12] * a[2] * a[5];
    inv[3] = -a[1] * a[6] * a[11] + a[1] * a[7] * a[10] + a[5] * a[2] * a[11] - a[5] * a[3] * a[10] - a[9] * a[2] * a[7] + a[9] * a[3] * a[6];
    inv[7] = a[0] * a[6] * a[11] - a[0] * a[7] * a[10] - a[4] * a[2] * a[11] + a[4] * a[3] * a[10] + a[8] * a[2] * a[7] - a[8] * a[3] * a[6];
    inv[11] = -a[0] * a[5] * a[11] + a[0] * a[7] * a[9] + a[4] * a[1] * a[11] - a[4] * a[3] * a[9] - a[8] * a[1] * a[7] + a[8] * a[3] * a[5];
    inv[15] = a[0] * a[5] * a[10] - a[0] * a[6] * a[9] - a[4] * a[1] * a[10] + a[4] * a[2] * a[9] + a[8] * a[1] * a[6] - a[8] * a[2] * a[5];
    const double det = a[0] * inv[0] + a[1] * inv[4] + a[2] * inv[8] + a[3] * inv[12];
    if (det == 0.0 || !std::isfinite(det)) {
        out = Matrix{};
        return false;
    }
    const double invDet = 1.0 / det;
    for (int i = 0; i < 16; ++i) out.m[i / 4][i % 4] = static_cast<float>(inv[i] * invDet);
    return true;
}

Matrix matrixInverse(const Matrix& in)
{
    Matrix out;
    matrixInverse(in, out);
    return out;
}

Matrix matrixTranspose(const Matrix& in)
{
    Matrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r.m[i][j] = in.m[j][i];
    return r;
}

Matrix matrixLookAtLH(const Vector3& eye, const Vector3& at, const Vector3& up)
{
    const Vector3 zaxis = vec3Normalize({at.x - eye.x, at.y - eye.y, at.z - eye.z});
    const Vector3 xaxis = vec3Normalize(vec3Cross(up, zaxis));
    const Vector3 yaxis = vec3Cross(zaxis, xaxis);
    return matrixViewFromAxes(xaxis, yaxis, zaxis, eye);
}

Matrix matrixViewFromAxes(const Vector3& right, const Vector3& up, const Vector3& look, const Vector3& eye)
{
    Matrix r;
    r.m[0][0] = right.x; r.m[0][1] = up.x; r.m[0][2] = look.x; r.m[0][3] = 0;
    r.m[1][0] = right.y; r.m[1][1] = up.y; r.m[1][2] = look.y; r.m[1][3] = 0;
    r.m[2][0] = right.z; r.m[2][1] = up.z; r.m[2][2] = look.z; r.m[2][3] = 0;
    r.m[3][0] = -vec3Dot(right, eye);
    r.m[3][1] = -vec3Dot(up, eye);
    r.m[3][2] = -vec3Dot(look, eye);
    r.m[3][3] = 1;
    return r;
}

Matrix matrixPerspectiveFovLH(float fovY, float aspect, float zNear, float zFar)
{
    const float yScale = 1.0f / std::tan(fovY / 2.0f);
    const float xScale = yScale / aspect;
    Matrix r;
    r.m[0][0] = xScale;
    r.m[1][1] = yScale;
    r.m[2][2] = zFar / (zFar - zNear);
    r.m[2][3] = 1.0f;
    r.m[3][2] = -zNear * zFar / (zFar - zNear);
    r.m[3][3] = 0.0f;
    return r;
}

Matrix matrixOrthoLH(float width, float height, float zNear, float zFar)
{
    Matrix r;
    r.m[0][0] = 2.0f / width;
    r.m[1][1] = 2.0f / height;
    r.m[2][2] = 1.0f / (zFar - zNear);
    r.m[3][2] = zNear / (zNear - zFar);
    return r;
}

Matrix boneLocalMatrix(float x, float y, float z, float rx, float ry, float rz)
{
    const Matrix rotation = matrixMultiply(matrixMultiply(matrixRotationX(rx), matrixRotationY(ry)), matrixRotationZ(rz));
    return matrixMultiply(rotation, matrixTranslation(x, y, z));
}

Vector3 vec3Add(const Vector3& a, const Vector3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

Vector3 vec3Subtract(const Vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

Vector3 vec3Scale(const Vector3& v, float s) { return {v.x * s, v.y * s, v.z * s}; }

Vector3 vec3Normalize(const Vector3& v)
{
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (length == 0.0f) return Vector3{};
    return {v.x / length, v.y / length, v.z / length};
}

Vector3 vec3Cross(const Vector3& a, const Vector3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float vec3Dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Vector3 vec3TransformCoord(const Vector3& v, const Matrix& m)
{
    const float w = v.x * m.m[0][3] + v.y * m.m[1][3] + v.z * m.m[2][3] + m.m[3][3];
    const Vector3 p = transformPoint(v, m);
    if (w == 0.0f) return p;
    return {p.x / w, p.y / w, p.z / w};
}

Vector3 vec3TransformNormal(const Vector3& v, const Matrix& m)
{
    return {v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0],
            v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1],
            v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2]};
}

Vector3 transformPoint(const Vector3& p, const Matrix& m)
{
    return {p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0],
            p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1],
            p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2]};
}

} // namespace veskar
