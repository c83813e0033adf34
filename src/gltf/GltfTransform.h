#pragma once
// Node transforms as glTF has them (column vectors, column-major 4x4, unit
// quaternions x y z w), in double, and the way back to a skeleton line: the
// inverse of what the export's gltfPoint and gltfRotation do.

#include <array>

namespace veskar {

// Element (row r, column c) at [4c + r].
using Transform = std::array<double, 16>;

struct Trs {
    double t[3] = {0, 0, 0};
    double r[4] = {0, 0, 0, 1};
    double s[3] = {1, 1, 1};
};

Transform transformOf(const Trs& trs);
Transform multiply(const Transform& a, const Transform& b);
// The inverse of an affine transform; false when its 3x3 part is singular.
bool inverseAffine(const Transform& m, Transform& out);
// Translation and rotation of a transform with its scale taken out (a
// mirroring turns one axis back).
void rigidPart(const Transform& m, double t[3], double q[4]);
// A matrix node's transform as translation, rotation and scale.
Trs trsOf(const Transform& m);

void transformPoint(const Transform& m, const double p[3], double out[3]);
// Directions turned by the inverse transpose, so normals stay normal under scale.
void transformNormal(const Transform& m, const double n[3], double out[3]);
// Within tolerance of the identity: the 3x3 part to 1e-5, the translation to
// 1e-5 of size (the model's extent).
bool nearIdentity(const Transform& m, double size);

void normaliseQuaternion(double q[4]);
// t and q (a pose in the world) made relative to the pose pt, pq.
void relativePose(const double pt[3], const double pq[4], double t[3], double q[4]);
void slerp(const double a[4], const double b[4], double s, double out[4]);

// A skeleton line's six numbers (x y z rx ry rz, the exporter's Z-up space,
// lengths divided by scale) from a translation and rotation in glTF's axes:
// (x, y, z) of glTF is (x, -z, y) of the exporter, and the rotation the
// three angles turn by, RotationX(rx) x RotationY(ry) x RotationZ(rz) on row
// vectors.
void skeletonLine(const double t[3], const double q[4], double scale, float out[6]);
// A point of glTF's axes in the exporter's, lengths divided by scale.
void exporterPoint(const double p[3], double scale, float out[3]);

} // namespace veskar
