#include "sample/MeshBuilder.h"

#include "sample/HeroSkeleton.h"

#include <algorithm>
#include <cmath>

namespace veskar::sample {

Skin rigid(int bone)
{
    Skin s;
    s.count = 1;
    s.links[0] = {bone, 1.0f};
    return s;
}

Skin blend(int major, float weight, int minor)
{
    Skin s;
    s.count = 2;
    s.links[0] = {major, weight};
    s.links[1] = {minor, 1.0f - weight};
    return s;
}

Box makeBox(Vector3 center, Vector3 a, Vector3 b, Vector3 c, const Skin& skin, UvRect uv)
{
    Box box;
    for (int i = 0; i < 8; ++i) {
        Vector3 p = center;
        p = vec3Add(p, vec3Scale(a, (i & 1) ? 1.0f : -1.0f));
        p = vec3Add(p, vec3Scale(b, (i & 2) ? 1.0f : -1.0f));
        p = vec3Add(p, vec3Scale(c, (i & 4) ? 1.0f : -1.0f));
        box.corners[i] = p;
        box.skins[i] = skin;
    }
    box.uv = uv;
    return box;
}

void MeshBuilder::setMaterial(const char* name)
{
    const auto found = std::find(doc_.materials.begin(), doc_.materials.end(), name);
    material_ = static_cast<int>(found - doc_.materials.begin());
    if (found == doc_.materials.end()) doc_.materials.push_back(name);
}

int MeshBuilder::vertex(Vector3 p, Vector3 n, float u, float v, const Skin& skin)
{
    SampleVertex vx;
    vx.position = p;
    vx.normal = vec3Normalize(n);
    vx.u = u;
    vx.v = v;
    vx.linkCount = skin.count;
    for (int i = 0; i < skin.count; ++i) vx.links[i] = skin.links[i];
    doc_.vertices.push_back(vx);
    return static_cast<int>(doc_.vertices.size()) - 1;
}

void MeshBuilder::triangle(int a, int b, int c)
{
    const SampleVertex& va = doc_.vertices[a];
    const SampleVertex& vb = doc_.vertices[b];
    const SampleVertex& vc = doc_.vertices[c];
    const Vector3 face = vec3Cross(vec3Subtract(vb.position, va.position), vec3Subtract(vc.position, va.position));
    const Vector3 outward = vec3Add(vec3Add(va.normal, vb.normal), vc.normal);
    SampleTriangle t;
    t.material = material_;
    t.corners[0] = a;
    t.corners[1] = vec3Dot(face, outward) < 0 ? c : b;
    t.corners[2] = vec3Dot(face, outward) < 0 ? b : c;
    doc_.triangles.push_back(t);
}

void MeshBuilder::quad(int a, int b, int c, int d)
{
    triangle(a, b, c);
    triangle(a, c, d);
}

// A tube's axes and the places on it: ring i at angle step j, the outward
// direction there, and the texture coordinates along and around.
class MeshBuilder::TubeFrame {
public:
    explicit TubeFrame(const Tube& t)
        : tube(t), axis(vec3Normalize(t.axis)),
          side(vec3Normalize(vec3Subtract(t.sideHint, vec3Scale(axis, vec3Dot(t.sideHint, axis))))), front(vec3Cross(axis, side)),
          rings(static_cast<int>(t.rings.size())), segs(t.segments), tFirst(t.rings.front().t), tLast(t.rings.back().t)
    {
    }

    float angle(int j) const { return 2.0f * kPi * static_cast<float>(j % segs) / static_cast<float>(segs); }
    Vector3 center(int i) const { return vec3Add(tube.origin, vec3Scale(axis, tube.rings[i].t)); }
    Vector3 point(int i, int j) const
    {
        const Ring& r = tube.rings[i];
        const float a = angle(j);
        return vec3Add(center(i), vec3Add(vec3Scale(side, r.rx * std::cos(a)), vec3Scale(front, r.ry * std::sin(a))));
    }
    Vector3 radial(int i, int j) const
    {
        const Ring& r = tube.rings[i];
        const float a = angle(j);
        return vec3Normalize(vec3Add(vec3Scale(side, std::cos(a) / r.rx), vec3Scale(front, std::sin(a) / r.ry)));
    }
    float uAt(int j) const { return tube.uv.u0 + (tube.uv.u1 - tube.uv.u0) * static_cast<float>(j) / static_cast<float>(segs); }
    float vAt(int i) const { return tube.uv.v0 + (tube.uv.v1 - tube.uv.v0) * (tube.rings[i].t - tFirst) / (tLast - tFirst); }
    const Skin& skin(int i) const { return tube.rings[i].skin; }

    const Tube& tube;
    const Vector3 axis, side, front;
    const int rings, segs;
    const float tFirst, tLast;
};

void MeshBuilder::tube(const Tube& tube)
{
    const TubeFrame frame(tube);
    if (!tube.flat) smoothSides(frame);
    else facetedSides(frame);
    if (tube.startCap == Cap::Flat) flatCap(frame, 0, vec3Scale(frame.axis, -1.0f));
    if (tube.endCap == Cap::Flat) flatCap(frame, frame.rings - 1, frame.axis);
    if (tube.endCap == Cap::Point) pointCap(frame);
}

// One vertex per ring and angle; the column at 2*pi repeats the first one
// with u at the far edge, a texture seam.
void MeshBuilder::smoothSides(const TubeFrame& f)
{
    const int segs = f.segs;
    std::vector<int> ids(static_cast<size_t>(f.rings) * (segs + 1));
    for (int i = 0; i < f.rings; ++i) {
        const int lo = std::max(i - 1, 0), hi = std::min(i + 1, f.rings - 1);
        const Ring& a = f.tube.rings[lo];
        const Ring& b = f.tube.rings[hi];
        const float slope = ((b.rx + b.ry) - (a.rx + a.ry)) * 0.5f / (b.t - a.t);
        for (int j = 0; j <= segs; ++j) {
            const Vector3 n = vec3Subtract(f.radial(i, j), vec3Scale(f.axis, slope));
            ids[i * (segs + 1) + j] = vertex(f.point(i, j), n, f.uAt(j), f.vAt(i), f.skin(i));
        }
    }
    for (int i = 0; i + 1 < f.rings; ++i)
        for (int j = 0; j < segs; ++j) {
            const int row = i * (segs + 1), next = (i + 1) * (segs + 1);
            quad(ids[row + j], ids[row + j + 1], ids[next + j + 1], ids[next + j]);
        }
}

// Faceted: every quad carries its own corners and face normal.
void MeshBuilder::facetedSides(const TubeFrame& f)
{
    for (int i = 0; i + 1 < f.rings; ++i)
        for (int j = 0; j < f.segs; ++j) {
            const Vector3 p00 = f.point(i, j), p01 = f.point(i, j + 1), p11 = f.point(i + 1, j + 1), p10 = f.point(i + 1, j);
            Vector3 n = vec3Normalize(vec3Cross(vec3Subtract(p01, p00), vec3Subtract(p10, p00)));
            if (vec3Dot(n, f.radial(i, j)) + vec3Dot(n, f.radial(i, j + 1)) < 0) n = vec3Scale(n, -1.0f);
            const int a = vertex(p00, n, f.uAt(j), f.vAt(i), f.skin(i));
            const int b = vertex(p01, n, f.uAt(j + 1), f.vAt(i), f.skin(i));
            const int c = vertex(p11, n, f.uAt(j + 1), f.vAt(i + 1), f.skin(i + 1));
            const int d = vertex(p10, n, f.uAt(j), f.vAt(i + 1), f.skin(i + 1));
            quad(a, b, c, d);
        }
}

// Flat caps repeat the rim positions with the axis as normal: a hard edge.
void MeshBuilder::flatCap(const TubeFrame& f, int i, Vector3 normal)
{
    const UvRect& r = f.tube.capUv;
    const float cu = (r.u0 + r.u1) * 0.5f, cv = (r.v0 + r.v1) * 0.5f;
    const float hu = (r.u1 - r.u0) * 0.5f, hv = (r.v1 - r.v0) * 0.5f;
    const int middle = vertex(f.center(i), normal, cu, cv, f.skin(i));
    std::vector<int> rim(f.segs);
    for (int j = 0; j < f.segs; ++j)
        rim[j] = vertex(f.point(i, j), normal, cu + hu * std::cos(f.angle(j)), cv + hv * std::sin(f.angle(j)), f.skin(i));
    for (int j = 0; j < f.segs; ++j) triangle(middle, rim[j], rim[(j + 1) % f.segs]);
}

void MeshBuilder::pointCap(const TubeFrame& f)
{
    const int last = f.rings - 1;
    const Vector3 apex = vec3Add(f.center(last), vec3Scale(f.axis, f.tube.tipLength));
    for (int j = 0; j < f.segs; ++j) {
        const Vector3 p0 = f.point(last, j), p1 = f.point(last, j + 1);
        Vector3 n = vec3Normalize(vec3Cross(vec3Subtract(p1, p0), vec3Subtract(apex, p0)));
        if (vec3Dot(n, vec3Add(f.radial(last, j), f.radial(last, j + 1))) < 0) n = vec3Scale(n, -1.0f);
        const Skin& skin = f.skin(last);
        const float v1 = f.tube.uv.v1;
        triangle(vertex(p0, n, f.uAt(j), v1, skin), vertex(p1, n, f.uAt(j + 1), v1, skin), vertex(apex, n, (f.uAt(j) + f.uAt(j + 1)) * 0.5f, v1, skin));
    }
}

void MeshBuilder::box(const Box& box)
{
    static const int kFaces[6][4] = {{0, 2, 6, 4}, {1, 3, 7, 5}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 5, 7, 6}};
    Vector3 middle{};
    for (const Vector3& c : box.corners) middle = vec3Add(middle, vec3Scale(c, 0.125f));
    for (const auto& face : kFaces) {
        const Vector3 q0 = box.corners[face[0]], q1 = box.corners[face[1]], q2 = box.corners[face[2]], q3 = box.corners[face[3]];
        Vector3 n = vec3Normalize(vec3Cross(vec3Subtract(q2, q0), vec3Subtract(q3, q1)));
        const Vector3 faceMiddle = vec3Scale(vec3Add(vec3Add(q0, q1), vec3Add(q2, q3)), 0.25f);
        if (vec3Dot(n, vec3Subtract(faceMiddle, middle)) < 0) n = vec3Scale(n, -1.0f);
        const UvRect& r = box.uv;
        const int a = vertex(q0, n, r.u0, r.v0, box.skins[face[0]]);
        const int b = vertex(q1, n, r.u1, r.v0, box.skins[face[1]]);
        const int c = vertex(q2, n, r.u1, r.v1, box.skins[face[2]]);
        const int d = vertex(q3, n, r.u0, r.v1, box.skins[face[3]]);
        quad(a, b, c, d);
    }
}

} // namespace veskar::sample
