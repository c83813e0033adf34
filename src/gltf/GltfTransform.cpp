#include "gltf/GltfTransform.h"

#include <algorithm>
#include <cmath>

namespace veskar {

namespace {

double& at(Transform& m, int row, int column) { return m[static_cast<std::size_t>(4 * column + row)]; }
double at(const Transform& m, int row, int column) { return m[static_cast<std::size_t>(4 * column + row)]; }

// A rotation matrix (column vectors) as a unit quaternion.
void quaternionOf(const double r[3][3], double q[4])
{
    const double trace = r[0][0] + r[1][1] + r[2][2];
    if (trace > 0) {
        const double s = std::sqrt(trace + 1.0) * 2;
        q[3] = s / 4, q[0] = (r[2][1] - r[1][2]) / s, q[1] = (r[0][2] - r[2][0]) / s, q[2] = (r[1][0] - r[0][1]) / s;
    } else if (r[0][0] > r[1][1] && r[0][0] > r[2][2]) {
        const double s = std::sqrt(1.0 + r[0][0] - r[1][1] - r[2][2]) * 2;
        q[3] = (r[2][1] - r[1][2]) / s, q[0] = s / 4, q[1] = (r[0][1] + r[1][0]) / s, q[2] = (r[0][2] + r[2][0]) / s;
    } else if (r[1][1] > r[2][2]) {
        const double s = std::sqrt(1.0 + r[1][1] - r[0][0] - r[2][2]) * 2;
        q[3] = (r[0][2] - r[2][0]) / s, q[0] = (r[0][1] + r[1][0]) / s, q[1] = s / 4, q[2] = (r[1][2] + r[2][1]) / s;
    } else {
        const double s = std::sqrt(1.0 + r[2][2] - r[0][0] - r[1][1]) * 2;
        q[3] = (r[1][0] - r[0][1]) / s, q[0] = (r[0][2] + r[2][0]) / s, q[1] = (r[1][2] + r[2][1]) / s, q[2] = s / 4;
    }
    normaliseQuaternion(q);
}

double dot3(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void cross3(const double a[3], const double b[3], double out[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

// The columns of a transform's 3x3 part, their lengths and its determinant's sign.
void columnsOf(const Transform& m, double c[3][3], double length[3], bool& mirrored)
{
    for (int k = 0; k < 3; ++k) {
        for (int r = 0; r < 3; ++r) c[k][r] = at(m, r, k);
        length[k] = std::sqrt(dot3(c[k], c[k]));
    }
    double x[3];
    cross3(c[1], c[2], x);
    mirrored = dot3(c[0], x) < 0;
}

// Orthonormal columns from the three given (Gram-Schmidt, right-handed),
// as the rows and columns of a rotation matrix.
void rotationOf(double c[3][3], double r[3][3])
{
    const auto unit = [](double v[3]) {
        const double n = std::sqrt(dot3(v, v));
        if (n > 0) v[0] /= n, v[1] /= n, v[2] /= n;
        return n > 0;
    };
    if (!unit(c[0])) c[0][0] = 1, c[0][1] = c[0][2] = 0;
    const double d = dot3(c[0], c[1]);
    for (int k = 0; k < 3; ++k) c[1][k] -= d * c[0][k];
    if (!unit(c[1])) {
        // Any direction square to the first will do.
        const double axis[3] = {std::fabs(c[0][0]) < 0.9 ? 1.0 : 0.0, std::fabs(c[0][0]) < 0.9 ? 0.0 : 1.0, 0.0};
        cross3(c[0], axis, c[1]);
        unit(c[1]);
    }
    cross3(c[0], c[1], c[2]);
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) r[row][column] = c[column][row];
}

} // namespace

void normaliseQuaternion(double q[4])
{
    const double n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    if (!(n > 0)) {
        q[0] = q[1] = q[2] = 0, q[3] = 1;
        return;
    }
    for (int k = 0; k < 4; ++k) q[k] /= n;
}

void relativePose(const double pt[3], const double pq[4], double t[3], double q[4])
{
    // The inverse of the parent's rotation turns the offset into its frame.
    const double c[4] = {-pq[0], -pq[1], -pq[2], pq[3]};
    const double d[3] = {t[0] - pt[0], t[1] - pt[1], t[2] - pt[2]};
    const double u[3] = {c[0], c[1], c[2]};
    double uv[3], uuv[3];
    cross3(u, d, uv);
    cross3(u, uv, uuv);
    for (int k = 0; k < 3; ++k) t[k] = d[k] + 2 * (c[3] * uv[k] + uuv[k]);
    const double r[4] = {c[3] * q[0] + c[0] * q[3] + c[1] * q[2] - c[2] * q[1], c[3] * q[1] - c[0] * q[2] + c[1] * q[3] + c[2] * q[0],
                         c[3] * q[2] + c[0] * q[1] - c[1] * q[0] + c[2] * q[3], c[3] * q[3] - c[0] * q[0] - c[1] * q[1] - c[2] * q[2]};
    for (int k = 0; k < 4; ++k) q[k] = r[k];
    normaliseQuaternion(q);
}

Transform transformOf(const Trs& trs)
{
    double q[4] = {trs.r[0], trs.r[1], trs.r[2], trs.r[3]};
    normaliseQuaternion(q);
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    const double r[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
                            {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
                            {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}};
    Transform m{};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) at(m, row, column) = r[row][column] * trs.s[column];
        at(m, row, 3) = trs.t[row];
    }
    at(m, 3, 3) = 1;
    return m;
}

Transform multiply(const Transform& a, const Transform& b)
{
    Transform m{};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double s = 0;
            for (int k = 0; k < 4; ++k) s += at(a, r, k) * at(b, k, c);
            at(m, r, c) = s;
        }
    return m;
}

bool inverseAffine(const Transform& m, Transform& out)
{
    const double a = at(m, 0, 0), b = at(m, 0, 1), c = at(m, 0, 2);
    const double d = at(m, 1, 0), e = at(m, 1, 1), f = at(m, 1, 2);
    const double g = at(m, 2, 0), h = at(m, 2, 1), i = at(m, 2, 2);
    const double det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
    if (!std::isfinite(det) || std::fabs(det) < 1e-300) return false;
    const double inv[3][3] = {{(e * i - f * h) / det, (c * h - b * i) / det, (b * f - c * e) / det},
                              {(f * g - d * i) / det, (a * i - c * g) / det, (c * d - a * f) / det},
                              {(d * h - e * g) / det, (b * g - a * h) / det, (a * e - b * d) / det}};
    out = Transform{};
    for (int r = 0; r < 3; ++r) {
        for (int k = 0; k < 3; ++k) at(out, r, k) = inv[r][k];
        at(out, r, 3) = -(inv[r][0] * at(m, 0, 3) + inv[r][1] * at(m, 1, 3) + inv[r][2] * at(m, 2, 3));
    }
    at(out, 3, 3) = 1;
    return true;
}

void rigidPart(const Transform& m, double t[3], double q[4])
{
    for (int r = 0; r < 3; ++r) t[r] = at(m, r, 3);
    double c[3][3], length[3], r[3][3];
    bool mirrored = false;
    columnsOf(m, c, length, mirrored);
    if (mirrored)
        for (double& v : c[2]) v = -v;
    rotationOf(c, r);
    quaternionOf(r, q);
}

Trs trsOf(const Transform& m)
{
    Trs trs;
    double c[3][3], length[3], r[3][3];
    bool mirrored = false;
    columnsOf(m, c, length, mirrored);
    for (int k = 0; k < 3; ++k) {
        trs.t[k] = at(m, k, 3);
        trs.s[k] = length[k];
    }
    if (mirrored) {
        trs.s[2] = -trs.s[2];
        for (double& v : c[2]) v = -v;
    }
    rotationOf(c, r);
    quaternionOf(r, trs.r);
    return trs;
}

void transformPoint(const Transform& m, const double p[3], double out[3])
{
    for (int r = 0; r < 3; ++r) out[r] = at(m, r, 0) * p[0] + at(m, r, 1) * p[1] + at(m, r, 2) * p[2] + at(m, r, 3);
}

void transformNormal(const Transform& m, const double n[3], double out[3])
{
    // The cofactors are the inverse transpose times the determinant; its
    // sign keeps the normal's side.
    double c[3][3];
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k) {
            const int r1 = (r + 1) % 3, r2 = (r + 2) % 3, k1 = (k + 1) % 3, k2 = (k + 2) % 3;
            c[r][k] = at(m, r1, k1) * at(m, r2, k2) - at(m, r1, k2) * at(m, r2, k1);
        }
    const double det = at(m, 0, 0) * c[0][0] + at(m, 0, 1) * c[0][1] + at(m, 0, 2) * c[0][2];
    const double sign = det < 0 ? -1.0 : 1.0;
    for (int r = 0; r < 3; ++r) out[r] = sign * (c[r][0] * n[0] + c[r][1] * n[1] + c[r][2] * n[2]);
}

bool nearIdentity(const Transform& m, double size)
{
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            if (std::fabs(at(m, r, c) - (r == c ? 1.0 : 0.0)) > 1e-5) return false;
        if (std::fabs(at(m, r, 3)) > 1e-5 * size) return false;
    }
    return true;
}

void slerp(const double a[4], const double b[4], double s, double out[4])
{
    double d = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
    // q and -q are one turn; the short way round is the one meant.
    const double side = d < 0 ? -1.0 : 1.0;
    d *= side;
    double wa = 1 - s, wb = s;
    if (d < 0.9995) {
        const double angle = std::acos(std::min(d, 1.0));
        const double sine = std::sin(angle);
        wa = std::sin((1 - s) * angle) / sine;
        wb = std::sin(s * angle) / sine;
    }
    for (int k = 0; k < 4; ++k) out[k] = wa * a[k] + wb * side * b[k];
    normaliseQuaternion(out);
}

void exporterPoint(const double p[3], double scale, float out[3])
{
    // Adding 0 turns -0 into 0: a point on an axis prints as 0.000000.
    out[0] = static_cast<float>(p[0] / scale) + 0.0f;
    out[1] = static_cast<float>(-p[2] / scale) + 0.0f;
    out[2] = static_cast<float>(p[1] / scale) + 0.0f;
}

void skeletonLine(const double t[3], const double q[4], double scale, float out[6])
{
    exporterPoint(t, scale, out);
    // The rotation's axis turned back with the axes; the angle stays.
    double e[4] = {q[0], -q[2], q[1], q[3]};
    normaliseQuaternion(e);
    const double x = e[0], y = e[1], z = e[2], w = e[3];
    const double r00 = 1 - 2 * (y * y + z * z), r10 = 2 * (x * y + z * w), r20 = 2 * (x * z - y * w);
    const double r21 = 2 * (y * z + x * w), r22 = 1 - 2 * (x * x + y * y);
    const double r01 = 2 * (x * y - z * w), r11 = 1 - 2 * (x * x + z * z);
    // RotationZ(rz) RotationY(ry) RotationX(rx) on column vectors.
    const double cy = std::sqrt(r00 * r00 + r10 * r10);
    double rx, ry = std::atan2(-r20, cy), rz;
    if (cy > 1e-9) {
        rx = std::atan2(r21, r22);
        rz = std::atan2(r10, r00);
    } else {
        // Turned a quarter about y: only rx - rz (or rx + rz) is known.
        rz = 0;
        rx = r20 < 0 ? std::atan2(r01, r11) : std::atan2(-r01, r11);
    }
    out[3] = static_cast<float>(rx) + 0.0f;
    out[4] = static_cast<float>(ry) + 0.0f;
    out[5] = static_cast<float>(rz) + 0.0f;
}

} // namespace veskar
