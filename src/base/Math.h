#pragma once
// Row-vector 4x4 matrix math with the D3DX meanings: a point is a row vector
// multiplied on the left, translation lives in the fourth row, and products
// are written in the order in which they are applied.

namespace veskar {

struct Vector3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

struct Vector4 {
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 0.0f;
};

struct Matrix {
    float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};

Matrix matrixIdentity();
Matrix matrixRotationX(float angle);
Matrix matrixRotationY(float angle);
Matrix matrixRotationZ(float angle);
Matrix matrixRotationAxis(const Vector3& axis, float angle);
Matrix matrixTranslation(float x, float y, float z);
Matrix matrixMultiply(const Matrix& a, const Matrix& b);
// Returns false for a singular (or non-finite) matrix; out is then the identity so
// callers that ignore the result, as the bind passes do, stay well defined.
bool matrixInverse(const Matrix& in, Matrix& out);
Matrix matrixInverse(const Matrix& in);
Matrix matrixTranspose(const Matrix& in);
Matrix matrixLookAtLH(const Vector3& eye, const Vector3& at, const Vector3& up);
// The view from eye along the orthonormal axes right, up and look (left-handed,
// as matrixLookAtLH builds it from its own axes).
Matrix matrixViewFromAxes(const Vector3& right, const Vector3& up, const Vector3& look, const Vector3& eye);
Matrix matrixPerspectiveFovLH(float fovY, float aspect, float zNear, float zFar);
// D3DXMatrixOrthoLH: a box width x height across, from zNear to zFar ahead.
Matrix matrixOrthoLH(float width, float height, float zNear, float zFar);

// RotationX(rx) x RotationY(ry) x RotationZ(rz) x Translation(x, y, z): the local
// matrix of one skeleton line.
Matrix boneLocalMatrix(float x, float y, float z, float rx, float ry, float rz);

Vector3 vec3Add(const Vector3& a, const Vector3& b);
Vector3 vec3Subtract(const Vector3& a, const Vector3& b);
Vector3 vec3Scale(const Vector3& v, float s);
Vector3 vec3Normalize(const Vector3& v);
Vector3 vec3Cross(const Vector3& a, const Vector3& b);
float vec3Dot(const Vector3& a, const Vector3& b);
// (x, y, z, 1) x M divided by the resulting w.
Vector3 vec3TransformCoord(const Vector3& v, const Matrix& m);
// (x, y, z, 0) x M: directions ignore the translation row.
Vector3 vec3TransformNormal(const Vector3& v, const Matrix& m);
// (x, y, z, 1) x M, first three components, no division by w.
Vector3 transformPoint(const Vector3& p, const Matrix& m);

} // namespace veskar
