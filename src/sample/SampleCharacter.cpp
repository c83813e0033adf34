#include "sample/SampleCharacter.h"

#include "sample/LineTable.h"
#include "mref/SmdWriter.h"
#include "mref/TextWriter.h"
#include "base/Utf8Path.h"

#include <stb/stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <system_error>
#include <utility>

namespace veskar::sample {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

Vector3 add(Vector3 a, Vector3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vector3 sub(Vector3 a, Vector3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vector3 scale(Vector3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }

// ---------------------------------------------------------------------------
// Skeleton. Model space is Z up, the hero faces -Y, so his left is +X.

enum Bone {
    kRoot, kPelvis, kSpine, kSpine1, kNeck, kHead,
    kLClavicle, kLUpperArm, kLForearm, kLHand,
    kRClavicle, kRUpperArm, kRForearm, kRHand,
    kLThigh, kLCalf, kLFoot,
    kRThigh, kRCalf, kRFoot,
    kBoneCount
};

struct BoneDef {
    const char* name;
    int parent;
};

const BoneDef kBones[kBoneCount] = {
    {"Bip01", -1},
    {"Bip01 Pelvis", kRoot},
    {"Bip01 Spine", kPelvis},
    {"Bip01 Spine1", kSpine},
    {"Bip01 Neck", kSpine1},
    {"Bip01 Head", kNeck},
    {"Bip01 L Clavicle", kNeck},
    {"Bip01 L UpperArm", kLClavicle},
    {"Bip01 L Forearm", kLUpperArm},
    {"Bip01 L Hand", kLForearm},
    {"Bip01 R Clavicle", kNeck},
    {"Bip01 R UpperArm", kRClavicle},
    {"Bip01 R Forearm", kRUpperArm},
    {"Bip01 R Hand", kRForearm},
    {"Bip01 L Thigh", kPelvis},
    {"Bip01 L Calf", kLThigh},
    {"Bip01 L Foot", kLCalf},
    {"Bip01 R Thigh", kPelvis},
    {"Bip01 R Calf", kRThigh},
    {"Bip01 R Foot", kRCalf},
};

struct Side {
    float sign; // +1 left (+X), -1 right
    int clavicle, upperArm, forearm, hand, thigh, calf, foot;
};

const Side kSides[2] = {
    {1.0f, kLClavicle, kLUpperArm, kLForearm, kLHand, kLThigh, kLCalf, kLFoot},
    {-1.0f, kRClavicle, kRUpperArm, kRForearm, kRHand, kRThigh, kRCalf, kRFoot},
};

constexpr float kPelvisHeight = 95.0f;
constexpr float kAnkleHeight = 9.0f;
constexpr float kElbowAt = 28.0f; // distances from the shoulder along the arm
constexpr float kWristAt = 53.0f;
constexpr float kGripAt = 61.0f;
constexpr float kHandEndAt = 69.0f;
// Arms hang 20 degrees out from vertical: relaxed enough to walk, open
// enough that the hands clear the thighs.
constexpr float kArmSpread = 20.0f * kPi / 180.0f;

Vector3 shoulder(const Side& s) { return {17.0f * s.sign, 0.0f, 143.0f}; }
Vector3 armAxis(const Side& s) { return {std::sin(kArmSpread) * s.sign, 0.0f, -std::cos(kArmSpread)}; }
Vector3 alongArm(const Side& s, float t) { return add(shoulder(s), scale(armAxis(s), t)); }
Vector3 hip(const Side& s) { return {9.0f * s.sign, 0.0f, 92.0f}; }

Vector3 bindOrigin(int bone)
{
    switch (bone) {
    case kRoot:
    case kPelvis: return {0, 0, kPelvisHeight};
    case kSpine: return {0, 0, 104};
    case kSpine1: return {0, 0, 120};
    case kNeck: return {0, 0, 143};
    case kHead: return {0, 0, 155};
    default: break;
    }
    for (const Side& s : kSides) {
        if (bone == s.clavicle) return {2.0f * s.sign, 0, 143};
        if (bone == s.upperArm) return shoulder(s);
        if (bone == s.forearm) return alongArm(s, kElbowAt);
        if (bone == s.hand) return alongArm(s, kWristAt);
        if (bone == s.thigh) return hip(s);
        if (bone == s.calf) return {9.0f * s.sign, 0, 50};
        if (bone == s.foot) return {9.0f * s.sign, 0, kAnkleHeight};
    }
    return {};
}

// Only the root is turned, the way Biped turns Bip01; every other bone keeps
// the model axes in the bind pose. Bones that share a blended vertex then
// differ by a translation only, which keeps the viewer's single averaged bind
// position exact in the rest pose.
Matrix bindWorld(int bone)
{
    Matrix m = bone == kRoot ? matrixRotationZ(-kPi / 2) : Matrix{};
    const Vector3 o = bindOrigin(bone);
    m.m[3][0] = o.x;
    m.m[3][1] = o.y;
    m.m[3][2] = o.z;
    return m;
}

std::vector<Matrix> bindLocals()
{
    std::vector<Matrix> locals(kBoneCount);
    for (int i = 0; i < kBoneCount; ++i) {
        const int parent = kBones[i].parent;
        locals[i] = parent < 0 ? bindWorld(i) : matrixMultiply(bindWorld(i), matrixInverse(bindWorld(parent)));
    }
    return locals;
}

// ---------------------------------------------------------------------------
// Mesh building.

struct Skin {
    int count = 0;
    SampleLink links[kMaxSampleLinks];
};

Skin rigid(int bone)
{
    Skin s;
    s.count = 1;
    s.links[0] = {bone, 1.0f};
    return s;
}

// The heavier bone goes first: it becomes the vertex's parent bone and the
// one whose matrix turns the normal.
Skin blend(int major, float weight, int minor)
{
    Skin s;
    s.count = 2;
    s.links[0] = {major, weight};
    s.links[1] = {minor, 1.0f - weight};
    return s;
}

struct UvRect {
    float u0, v0, u1, v1;
};

struct Ring {
    float t;
    float rx, ry;
    Skin skin;
};

enum class Cap { None, Flat, Point };

struct Tube {
    Vector3 origin;
    Vector3 axis;
    Vector3 sideHint;
    int segments = 8;
    bool flat = false;
    UvRect uv{0, 0, 1, 1};
    Cap startCap = Cap::None;
    Cap endCap = Cap::None;
    float tipLength = 0;
    UvRect capUv{0, 0, 1, 1};
    std::vector<Ring> rings;
};

struct Box {
    Vector3 corners[8]; // bit 0, 1, 2 pick the far side along three edges
    Skin skins[8];
    UvRect uv{0, 0, 1, 1};
};

Box makeBox(Vector3 center, Vector3 a, Vector3 b, Vector3 c, const Skin& skin, UvRect uv)
{
    Box box;
    for (int i = 0; i < 8; ++i) {
        Vector3 p = center;
        p = add(p, scale(a, (i & 1) ? 1.0f : -1.0f));
        p = add(p, scale(b, (i & 2) ? 1.0f : -1.0f));
        p = add(p, scale(c, (i & 4) ? 1.0f : -1.0f));
        box.corners[i] = p;
        box.skins[i] = skin;
    }
    box.uv = uv;
    return box;
}

class MeshBuilder {
public:
    explicit MeshBuilder(SmdDocument& document) : doc_(document) {}

    void setMaterial(const char* name)
    {
        const auto found = std::find(doc_.materials.begin(), doc_.materials.end(), name);
        material_ = static_cast<int>(found - doc_.materials.begin());
        if (found == doc_.materials.end()) doc_.materials.push_back(name);
    }

    int vertex(Vector3 p, Vector3 n, float u, float v, const Skin& skin)
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

    // Winding follows the normals so every face is counter-clockwise seen
    // from outside, whatever order the caller walked the corners in.
    void triangle(int a, int b, int c)
    {
        const SampleVertex& va = doc_.vertices[a];
        const SampleVertex& vb = doc_.vertices[b];
        const SampleVertex& vc = doc_.vertices[c];
        const Vector3 face = vec3Cross(sub(vb.position, va.position), sub(vc.position, va.position));
        const Vector3 outward = add(add(va.normal, vb.normal), vc.normal);
        SampleTriangle t;
        t.material = material_;
        t.corners[0] = a;
        t.corners[1] = vec3Dot(face, outward) < 0 ? c : b;
        t.corners[2] = vec3Dot(face, outward) < 0 ? b : c;
        doc_.triangles.push_back(t);
    }

    void quad(int a, int b, int c, int d)
    {
        triangle(a, b, c);
        triangle(a, c, d);
    }

    void tube(const Tube& tube);
    void box(const Box& box);

private:
    SmdDocument& doc_;
    int material_ = 0;
};

void MeshBuilder::tube(const Tube& tube)
{
    const Vector3 axis = vec3Normalize(tube.axis);
    const Vector3 side = vec3Normalize(sub(tube.sideHint, scale(axis, vec3Dot(tube.sideHint, axis))));
    const Vector3 front = vec3Cross(axis, side);
    const int rings = static_cast<int>(tube.rings.size());
    const int segs = tube.segments;
    const float tFirst = tube.rings.front().t;
    const float tLast = tube.rings.back().t;

    auto angle = [&](int j) { return 2.0f * kPi * static_cast<float>(j % segs) / static_cast<float>(segs); };
    auto center = [&](int i) { return add(tube.origin, scale(axis, tube.rings[i].t)); };
    auto point = [&](int i, int j) {
        const Ring& r = tube.rings[i];
        const float a = angle(j);
        return add(center(i), add(scale(side, r.rx * std::cos(a)), scale(front, r.ry * std::sin(a))));
    };
    auto radial = [&](int i, int j) {
        const Ring& r = tube.rings[i];
        const float a = angle(j);
        return vec3Normalize(add(scale(side, std::cos(a) / r.rx), scale(front, std::sin(a) / r.ry)));
    };
    auto uAt = [&](int j) { return tube.uv.u0 + (tube.uv.u1 - tube.uv.u0) * static_cast<float>(j) / static_cast<float>(segs); };
    auto vAt = [&](int i) { return tube.uv.v0 + (tube.uv.v1 - tube.uv.v0) * (tube.rings[i].t - tFirst) / (tLast - tFirst); };

    if (!tube.flat) {
        // One vertex per ring and angle; the column at 2*pi repeats the first
        // one with u at the far edge, a texture seam.
        std::vector<int> ids(static_cast<size_t>(rings) * (segs + 1));
        for (int i = 0; i < rings; ++i) {
            const int lo = std::max(i - 1, 0), hi = std::min(i + 1, rings - 1);
            const Ring& a = tube.rings[lo];
            const Ring& b = tube.rings[hi];
            const float slope = ((b.rx + b.ry) - (a.rx + a.ry)) * 0.5f / (b.t - a.t);
            for (int j = 0; j <= segs; ++j) {
                const Vector3 n = sub(radial(i, j), scale(axis, slope));
                ids[i * (segs + 1) + j] = vertex(point(i, j), n, uAt(j), vAt(i), tube.rings[i].skin);
            }
        }
        for (int i = 0; i + 1 < rings; ++i)
            for (int j = 0; j < segs; ++j) {
                const int row = i * (segs + 1), next = (i + 1) * (segs + 1);
                quad(ids[row + j], ids[row + j + 1], ids[next + j + 1], ids[next + j]);
            }
    } else {
        // Faceted: every quad carries its own corners and face normal.
        for (int i = 0; i + 1 < rings; ++i)
            for (int j = 0; j < segs; ++j) {
                const Vector3 p00 = point(i, j), p01 = point(i, j + 1), p11 = point(i + 1, j + 1), p10 = point(i + 1, j);
                Vector3 n = vec3Normalize(vec3Cross(sub(p01, p00), sub(p10, p00)));
                if (vec3Dot(n, radial(i, j)) + vec3Dot(n, radial(i, j + 1)) < 0) n = scale(n, -1.0f);
                const int a = vertex(p00, n, uAt(j), vAt(i), tube.rings[i].skin);
                const int b = vertex(p01, n, uAt(j + 1), vAt(i), tube.rings[i].skin);
                const int c = vertex(p11, n, uAt(j + 1), vAt(i + 1), tube.rings[i + 1].skin);
                const int d = vertex(p10, n, uAt(j), vAt(i + 1), tube.rings[i + 1].skin);
                quad(a, b, c, d);
            }
    }

    // Flat caps repeat the rim positions with the axis as normal: a hard edge.
    auto flatCap = [&](int i, Vector3 normal) {
        const UvRect& r = tube.capUv;
        const float cu = (r.u0 + r.u1) * 0.5f, cv = (r.v0 + r.v1) * 0.5f;
        const float hu = (r.u1 - r.u0) * 0.5f, hv = (r.v1 - r.v0) * 0.5f;
        const int middle = vertex(center(i), normal, cu, cv, tube.rings[i].skin);
        std::vector<int> rim(segs);
        for (int j = 0; j < segs; ++j)
            rim[j] = vertex(point(i, j), normal, cu + hu * std::cos(angle(j)), cv + hv * std::sin(angle(j)), tube.rings[i].skin);
        for (int j = 0; j < segs; ++j) triangle(middle, rim[j], rim[(j + 1) % segs]);
    };
    if (tube.startCap == Cap::Flat) flatCap(0, scale(axis, -1.0f));
    if (tube.endCap == Cap::Flat) flatCap(rings - 1, axis);
    if (tube.endCap == Cap::Point) {
        const int last = rings - 1;
        const Vector3 apex = add(center(last), scale(axis, tube.tipLength));
        for (int j = 0; j < segs; ++j) {
            const Vector3 p0 = point(last, j), p1 = point(last, j + 1);
            Vector3 n = vec3Normalize(vec3Cross(sub(p1, p0), sub(apex, p0)));
            if (vec3Dot(n, add(radial(last, j), radial(last, j + 1))) < 0) n = scale(n, -1.0f);
            const Skin& skin = tube.rings[last].skin;
            triangle(vertex(p0, n, uAt(j), tube.uv.v1, skin), vertex(p1, n, uAt(j + 1), tube.uv.v1, skin),
                     vertex(apex, n, (uAt(j) + uAt(j + 1)) * 0.5f, tube.uv.v1, skin));
        }
    }
}

void MeshBuilder::box(const Box& box)
{
    static const int kFaces[6][4] = {{0, 2, 6, 4}, {1, 3, 7, 5}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 5, 7, 6}};
    Vector3 middle{};
    for (const Vector3& c : box.corners) middle = add(middle, scale(c, 0.125f));
    for (const auto& face : kFaces) {
        const Vector3 q0 = box.corners[face[0]], q1 = box.corners[face[1]], q2 = box.corners[face[2]], q3 = box.corners[face[3]];
        Vector3 n = vec3Normalize(vec3Cross(sub(q2, q0), sub(q3, q1)));
        const Vector3 faceMiddle = scale(add(add(q0, q1), add(q2, q3)), 0.25f);
        if (vec3Dot(n, sub(faceMiddle, middle)) < 0) n = scale(n, -1.0f);
        const UvRect& r = box.uv;
        const int a = vertex(q0, n, r.u0, r.v0, box.skins[face[0]]);
        const int b = vertex(q1, n, r.u1, r.v0, box.skins[face[1]]);
        const int c = vertex(q2, n, r.u1, r.v1, box.skins[face[2]]);
        const int d = vertex(q3, n, r.u0, r.v1, box.skins[face[3]]);
        quad(a, b, c, d);
    }
}

// Texture regions. v runs up the image as the SMD format has it: v = 0 is
// the bottom row of the picture.
constexpr UvRect kShirt{0.0f, 0.52f, 1.0f, 1.0f};
// Sleeves take the back of the shirt, clear of the belt and the emblem.
constexpr UvRect kSleeve{0.45f, 0.97f, 0.95f, 0.60f};
constexpr UvRect kShirtPatch{0.40f, 0.62f, 0.60f, 0.72f};
constexpr UvRect kPantsDown{0.0f, 0.50f, 1.0f, 0.14f};
constexpr UvRect kPantsPatch{0.05f, 0.20f, 0.20f, 0.35f};
constexpr UvRect kBoots{0.05f, 0.01f, 0.95f, 0.12f};
constexpr UvRect kFace{0.0f, 0.0f, 1.0f, 1.0f};
constexpr UvRect kNeckSkin{0.0f, 0.0f, 1.0f, 0.12f};
constexpr UvRect kSkinPatch{0.30f, 0.02f, 0.45f, 0.12f};
constexpr UvRect kHair{0.55f, 0.86f, 0.95f, 0.98f};
constexpr UvRect kBlade{0.0f, 0.0f, 0.48f, 1.0f};
constexpr UvRect kLeather{0.52f, 0.0f, 0.73f, 1.0f};
constexpr UvRect kGoldLow{0.78f, 0.05f, 0.97f, 0.45f};
constexpr UvRect kGoldHigh{0.78f, 0.55f, 0.97f, 0.95f};

// Vertical tubes put their front (-Y) at u = 0.25, where the face and the
// chest emblem are painted.
const Vector3 kFrontAtQuarter{-1.0f, 0.0f, 0.0f};

void addTorso(MeshBuilder& mesh)
{
    Tube t;
    t.origin = {0, 0, 0};
    t.axis = {0, 0, 1};
    t.sideHint = kFrontAtQuarter;
    t.segments = 16;
    t.uv = kShirt;
    t.startCap = Cap::Flat;
    t.endCap = Cap::Flat;
    t.capUv = kShirtPatch;
    t.rings = {
        {84, 14.0f, 10.0f, rigid(kPelvis)},
        {92, 15.5f, 10.5f, rigid(kPelvis)},
        {100, 14.5f, 10.0f, blend(kPelvis, 0.5f, kSpine)},
        {110, 14.0f, 9.5f, rigid(kSpine)},
        {120, 15.0f, 10.0f, blend(kSpine1, 0.5f, kSpine)},
        {131, 17.0f, 11.0f, rigid(kSpine1)},
        {140, 18.0f, 10.5f, rigid(kSpine1)},
        {146, 13.0f, 8.0f, blend(kSpine1, 0.6f, kNeck)},
    };
    mesh.tube(t);
}

void addArm(MeshBuilder& mesh, const Side& s)
{
    Tube t;
    t.origin = shoulder(s);
    t.axis = armAxis(s);
    t.sideHint = {s.sign, 0, 0};
    t.segments = 10;
    t.uv = kSleeve;
    t.startCap = Cap::Flat;
    t.endCap = Cap::Flat;
    t.capUv = kShirtPatch;
    t.rings = {
        {-4, 5.6f, 5.6f, blend(s.upperArm, 0.7f, s.clavicle)},
        {3, 5.6f, 5.6f, rigid(s.upperArm)},
        {14, 5.0f, 5.0f, rigid(s.upperArm)},
        {24, 4.4f, 4.4f, rigid(s.upperArm)},
        {kElbowAt, 4.2f, 4.2f, blend(s.upperArm, 0.5f, s.forearm)},
        {32, 4.1f, 4.1f, rigid(s.forearm)},
        {44, 3.6f, 3.6f, rigid(s.forearm)},
        {kWristAt, 3.0f, 3.0f, blend(s.hand, 0.5f, s.forearm)},
    };
    mesh.tube(t);
}

void addLeg(MeshBuilder& mesh, const Side& s)
{
    Tube t;
    t.origin = hip(s);
    t.axis = {0, 0, -1};
    t.sideHint = {1, 0, 0};
    t.segments = 10;
    t.uv = kPantsDown;
    t.startCap = Cap::Flat;
    t.endCap = Cap::Flat;
    t.capUv = kPantsPatch;
    auto ring = [](float at, float r, Skin skin) { return Ring{at, r, r * 1.05f, skin}; };
    t.rings = {
        ring(-4, 8.5f, blend(s.thigh, 0.6f, kPelvis)),
        ring(5, 8.2f, rigid(s.thigh)),
        ring(18, 7.2f, rigid(s.thigh)),
        ring(32, 6.0f, rigid(s.thigh)),
        ring(42, 5.6f, blend(s.thigh, 0.5f, s.calf)),
        ring(50, 5.4f, rigid(s.calf)),
        ring(62, 5.2f, rigid(s.calf)),
        ring(74, 4.2f, rigid(s.calf)),
        ring(82, 3.9f, blend(s.calf, 0.5f, s.foot)),
    };
    mesh.tube(t);
}

void addFoot(MeshBuilder& mesh, const Side& s)
{
    const float x = 9.0f * s.sign;
    Box box;
    box.uv = kBoots;
    for (int i = 0; i < 8; ++i) {
        const bool outer = (i & 1) != 0, heel = (i & 2) != 0, top = (i & 4) != 0;
        const float z = top ? (heel ? 11.0f : 5.0f) : 0.0f;
        box.corners[i] = {x + (outer ? 4.2f : -4.2f), heel ? 6.0f : -17.0f, z};
        box.skins[i] = (top && heel) ? blend(s.foot, 0.7f, s.calf) : rigid(s.foot);
    }
    mesh.box(box);
}

void addNeck(MeshBuilder& mesh)
{
    Tube t;
    t.origin = {0, 0, 0};
    t.axis = {0, 0, 1};
    t.sideHint = kFrontAtQuarter;
    t.segments = 10;
    t.uv = kNeckSkin;
    t.rings = {
        {144, 5.5f, 5.5f, blend(kNeck, 0.5f, kSpine1)},
        {150, 5.2f, 5.2f, rigid(kNeck)},
        {157, 5.0f, 5.0f, blend(kHead, 0.5f, kNeck)},
    };
    mesh.tube(t);
}

void addHead(MeshBuilder& mesh)
{
    Tube t;
    t.origin = {0, 0, 0};
    t.axis = {0, 0, 1};
    t.sideHint = kFrontAtQuarter;
    t.segments = 16;
    t.uv = kFace;
    t.startCap = Cap::Flat;
    t.endCap = Cap::Flat;
    t.capUv = kHair;
    auto ring = [](float z, float r, Skin skin) { return Ring{z, r, r * 1.1f, skin}; };
    t.rings = {
        ring(154, 5.8f, blend(kHead, 0.5f, kNeck)),
        ring(157, 7.8f, rigid(kHead)),
        ring(161, 8.8f, rigid(kHead)),
        ring(166, 9.2f, rigid(kHead)),
        ring(171, 9.2f, rigid(kHead)),
        ring(176, 8.2f, rigid(kHead)),
        ring(179.5f, 5.8f, rigid(kHead)),
        ring(181, 2.5f, rigid(kHead)),
    };
    mesh.tube(t);

    // A nose shows at a glance which way the hero faces.
    mesh.box(makeBox({0, -10.6f, 164.5f}, {1.1f, 0, 0}, {0, 1.4f, 0}, {0, 0, 2.0f}, rigid(kHead), kSkinPatch));
}

void addHand(MeshBuilder& mesh, const Side& s)
{
    Box box;
    box.uv = kSkinPatch;
    const Vector3 lateral = vec3Normalize(vec3Cross(armAxis(s), {0, 1, 0}));
    for (int i = 0; i < 8; ++i) {
        const bool far = (i & 1) != 0;
        Vector3 p = alongArm(s, far ? kHandEndAt : kWristAt - 2.0f);
        p = add(p, {0, (i & 2) ? 3.8f : -3.8f, 0});
        p = add(p, scale(lateral, (i & 4) ? 1.7f : -1.7f));
        box.corners[i] = p;
        box.skins[i] = far ? rigid(s.hand) : blend(s.hand, 0.7f, s.forearm);
    }
    mesh.box(box);
}

// ---------------------------------------------------------------------------
// Text.

// Rounding noise from the matrix algebra would otherwise print as
// "-0.000000".
float tidy(float value) { return std::fabs(value) < 5e-7f ? 0.0f : value; }

std::uint32_t noiseAt(int x, int y, std::uint32_t salt)
{
    std::uint32_t h = static_cast<std::uint32_t>(x) * 0x8da6b343u ^ static_cast<std::uint32_t>(y) * 0xd8163841u ^ salt * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return h;
}

// Procedural painting: the painter gets u and v (v up, as in the SMD file)
// and the pixel coordinates for grain; alpha is always opaque.
template <typename Painter>
Image paint(int size, Painter painter)
{
    Image image;
    image.width = size;
    image.height = size;
    image.rgba.resize(static_cast<size_t>(size) * size * 4);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float u = (static_cast<float>(x) + 0.5f) / static_cast<float>(size);
            const float v = 1.0f - (static_cast<float>(y) + 0.5f) / static_cast<float>(size);
            float rgb[3] = {0, 0, 0};
            painter(u, v, x, y, rgb);
            const int grain = static_cast<int>(noiseAt(x, y, 7) % 13u) - 6;
            std::uint8_t* px = &image.rgba[(static_cast<size_t>(y) * size + x) * 4];
            for (int c = 0; c < 3; ++c) px[c] = static_cast<std::uint8_t>(std::clamp(static_cast<int>(rgb[c]) + grain, 0, 255));
            px[3] = 255;
        }
    return image;
}

void setColor(float* rgb, float r, float g, float b)
{
    rgb[0] = r;
    rgb[1] = g;
    rgb[2] = b;
}

// Positions scale, directions and angles stay: the same skeleton and mesh at
// another size.
SmdDocument scaled(SmdDocument doc)
{
    for (auto& frame : doc.frames)
        for (SampleKey& k : frame) {
            k.x *= kSampleScale;
            k.y *= kSampleScale;
            k.z *= kSampleScale;
        }
    for (SampleVertex& v : doc.vertices) v.position = scale(v.position, kSampleScale);
    return doc;
}

bool inEllipse(float u, float v, float cu, float cv, float ru, float rv)
{
    const float du = (u - cu) / ru, dv = (v - cv) / rv;
    return du * du + dv * dv <= 1.0f;
}

} // namespace

// ---------------------------------------------------------------------------

const std::vector<SampleNode>& heroNodes()
{
    static const std::vector<SampleNode> nodes = [] {
        std::vector<SampleNode> list;
        for (const BoneDef& b : kBones) list.push_back({b.name, b.parent});
        return list;
    }();
    return nodes;
}

SampleKey keyFromLocalMatrix(const Matrix& local)
{
    // RotX(a) * RotY(b) * RotZ(c) in row-vector form has first row
    // (cb cc, cb sc, -sb), third column (-sb, sa cb, ca cb).
    const double m02 = std::clamp(static_cast<double>(local.m[0][2]), -1.0, 1.0);
    const double b = std::asin(-m02);
    double a = 0, c = 0;
    if (std::cos(b) > 1e-6) {
        c = std::atan2(local.m[0][1], local.m[0][0]);
        a = std::atan2(local.m[1][2], local.m[2][2]);
    } else {
        // Gimbal lock: only a + c or a - c is defined; put it all in a.
        a = std::atan2(-local.m[2][1], local.m[1][1]);
    }
    SampleKey key;
    key.x = local.m[3][0];
    key.y = local.m[3][1];
    key.z = local.m[3][2];
    key.rx = static_cast<float>(a);
    key.ry = static_cast<float>(b);
    key.rz = static_cast<float>(c);
    return key;
}

std::vector<Matrix> composeWorld(const std::vector<SampleNode>& nodes, const std::vector<SampleKey>& frame)
{
    std::vector<Matrix> world(nodes.size());
    for (size_t i = 0; i < nodes.size() && i < frame.size(); ++i) {
        const SampleKey& k = frame[i];
        const Matrix local = boneLocalMatrix(k.x, k.y, k.z, k.rx, k.ry, k.rz);
        const int parent = nodes[i].parent;
        world[i] = parent < 0 ? local : matrixMultiply(local, world[static_cast<size_t>(parent)]);
    }
    return world;
}

SmdDocument buildHero()
{
    SmdDocument doc;
    doc.nodes = heroNodes();
    std::vector<SampleKey> bind;
    for (const Matrix& local : bindLocals()) bind.push_back(keyFromLocalMatrix(local));
    doc.frames.push_back(bind);

    // Body first, then the skin-coloured parts: two material runs.
    MeshBuilder mesh(doc);
    mesh.setMaterial("hero_body.png");
    addTorso(mesh);
    for (const Side& s : kSides) addArm(mesh, s);
    for (const Side& s : kSides) {
        addLeg(mesh, s);
        addFoot(mesh, s);
    }
    mesh.setMaterial("hero_head.png");
    addNeck(mesh);
    addHead(mesh);
    for (const Side& s : kSides) addHand(mesh, s);
    return scaled(std::move(doc));
}

SmdDocument buildWalk(int frameCount)
{
    SmdDocument doc;
    doc.nodes = heroNodes();
    const std::vector<Matrix> bind = bindLocals();
    const int frames = std::max(frameCount, 2);

    for (int f = 0; f < frames; ++f) {
        // Frame f + frames would be frame f again, so playback wraps without
        // a held pose at the seam.
        const float phase = 2.0f * kPi * static_cast<float>(f) / static_cast<float>(frames);
        std::vector<Matrix> delta(kBoneCount);
        for (int i = 0; i < 2; ++i) {
            const Side& s = kSides[i];
            const float legPhase = phase + (i == 0 ? 0.0f : kPi);
            // About +X a positive angle swings a hanging limb back and a
            // raised one forward (the hero faces -Y).
            const float forward = 0.42f * std::sin(legPhase);
            const float kneeOpen = 0.5f + 0.5f * std::cos(legPhase + 0.35f);
            const float knee = 0.06f + 0.75f * kneeOpen * kneeOpen;
            delta[s.thigh] = matrixRotationX(-forward);
            delta[s.calf] = matrixRotationX(knee);
            delta[s.foot] = matrixRotationX((forward - knee) * 0.85f);
            const float armForward = -0.32f * std::sin(legPhase);
            delta[s.upperArm] = matrixRotationX(-armForward);
            delta[s.forearm] = matrixRotationX(-(0.25f + 0.2f * (0.5f - 0.5f * std::sin(legPhase))));
            delta[s.hand] = matrixRotationX(0.08f * std::sin(legPhase));
        }
        delta[kPelvis] = matrixRotationZ(0.06f * std::sin(phase));
        delta[kSpine] = matrixRotationX(0.05f);
        delta[kSpine1] = matrixRotationZ(-0.10f * std::sin(phase));
        delta[kHead] = matrixMultiply(matrixRotationX(-0.04f), matrixRotationZ(0.04f * std::sin(phase)));

        std::vector<Matrix> local(kBoneCount);
        for (int b = 0; b < kBoneCount; ++b) local[b] = matrixMultiply(delta[b], bind[b]);

        // Bip01 stays put; the pelvis drops so the lower ankle keeps its bind
        // height and the planted foot stays on the ground.
        std::vector<SampleKey> keys;
        for (const Matrix& m : local) keys.push_back(keyFromLocalMatrix(m));
        const std::vector<Matrix> world = composeWorld(doc.nodes, keys);
        const float lowest = std::min(world[kLFoot].m[3][2], world[kRFoot].m[3][2]);
        local[kPelvis].m[3][2] += kAnkleHeight - lowest;
        keys[kPelvis] = keyFromLocalMatrix(local[kPelvis]);
        doc.frames.push_back(keys);
    }
    return scaled(std::move(doc));
}

SmdDocument buildWeapon()
{
    SmdDocument doc;
    doc.nodes.push_back({"Weapon", -1});
    // The viewer binds a weapon with the inverse of the hand's bind matrix,
    // so the sword is modelled where the hero's left fist is; its bone sits
    // in the middle of the grip.
    const Vector3 grip = alongArm(kSides[0], kGripAt);
    SampleKey key;
    key.x = grip.x;
    key.y = grip.y;
    key.z = grip.z;
    doc.frames.push_back({key});

    MeshBuilder mesh(doc);
    mesh.setMaterial("weapon.png");
    const Vector3 axis = vec3Normalize({0, -1, 0.35f}); // forward and a little up
    const Vector3 across = {1, 0, 0};
    const Vector3 up = vec3Cross(axis, across);
    const Skin skin = rigid(0);

    mesh.box(makeBox(add(grip, scale(axis, -7.5f)), scale(axis, 1.5f), scale(across, 1.8f), scale(up, 1.8f), skin, kGoldLow));

    Tube handle;
    handle.origin = grip;
    handle.axis = axis;
    handle.sideHint = across;
    handle.segments = 8;
    handle.uv = kLeather;
    handle.startCap = Cap::Flat;
    handle.endCap = Cap::Flat;
    handle.capUv = kLeather;
    handle.rings = {{-6, 1.5f, 1.5f, skin}, {0, 1.6f, 1.6f, skin}, {5.5f, 1.5f, 1.5f, skin}};
    mesh.tube(handle);

    mesh.box(makeBox(add(grip, scale(axis, 6.5f)), scale(axis, 1.0f), scale(across, 2.0f), scale(up, 9.0f), skin, kGoldHigh));

    // Diamond section: thin across, wide up and down, faceted.
    Tube blade;
    blade.origin = grip;
    blade.axis = axis;
    blade.sideHint = across;
    blade.segments = 4;
    blade.flat = true;
    blade.uv = kBlade;
    blade.endCap = Cap::Point;
    blade.tipLength = 11.0f;
    blade.rings = {{7.5f, 0.8f, 2.8f, skin}, {40, 0.7f, 2.6f, skin}, {68, 0.6f, 2.2f, skin}};
    mesh.tube(blade);
    return scaled(std::move(doc));
}

std::string formatSmd(const SmdDocument& doc)
{
    TextWriter out;
    out.reserve(doc.triangles.size() * 300 + doc.frames.size() * doc.nodes.size() * 64 + 4096);
    putSmdStart(out);
    for (size_t i = 0; i < doc.nodes.size(); ++i) putNodeLine(out, static_cast<int>(i), doc.nodes[i].name, doc.nodes[i].parent);
    putSmdSkeletonStart(out);
    for (size_t f = 0; f < doc.frames.size(); ++f) {
        putSmdTime(out, static_cast<int>(f));
        for (size_t i = 0; i < doc.frames[f].size(); ++i) {
            const SampleKey& k = doc.frames[f][i];
            const float key[6] = {tidy(k.x), tidy(k.y), tidy(k.z), tidy(k.rx), tidy(k.ry), tidy(k.rz)};
            putSmdBone(out, static_cast<int>(i), key);
        }
    }
    out.put("end\n");
    if (doc.triangles.empty()) return std::string(out.text());

    // Each vertex is formatted once; every corner that uses it repeats that
    // text, so the converter's exact comparison merges them.
    LineTable lines;
    for (const SampleVertex& v : doc.vertices) {
        const float values[8] = {tidy(v.position.x), tidy(v.position.y), tidy(v.position.z), tidy(v.normal.x),
                                 tidy(v.normal.y),   tidy(v.normal.z),   tidy(v.u),          tidy(v.v)};
        BoneLink links[kMaxSampleLinks];
        const int linkCount = std::clamp(v.linkCount, 0, kMaxSampleLinks);
        for (int k = 0; k < linkCount; ++k) links[k] = {v.links[k].bone, tidy(v.links[k].weight)};
        putSmdVertex(lines.writer(), linkCount > 0 ? v.links[0].bone : 0, values, std::span<const BoneLink>(links, static_cast<size_t>(linkCount)));
        lines.closeLine();
    }
    out.put("triangles\n");
    for (const SampleTriangle& t : doc.triangles) {
        out.put(doc.materials[static_cast<size_t>(t.material)]).put('\n');
        for (int corner : t.corners) out.put(lines[static_cast<size_t>(corner)]);
    }
    out.put("end\n");
    return std::string(out.text());
}

Image paintBodyTexture(int size)
{
    return paint(size, [](float u, float v, int x, int y, float* rgb) {
        if (v >= 0.52f) {
            // Shirt with stripes, a belt along its hem and an emblem on the chest.
            const bool stripe = std::fmod(v * 40.0f, 1.0f) < 0.2f;
            setColor(rgb, stripe ? 92 : 46, stripe ? 132 : 84, stripe ? 212 : 168);
            if (v < 0.565f) setColor(rgb, 96, 62, 34);
            if (v < 0.565f && std::fabs(u - 0.25f) < 0.035f) setColor(rgb, 224, 184, 64);
            if (inEllipse(u, v, 0.25f, 0.88f, 0.055f, 0.05f)) setColor(rgb, 236, 200, 70);
            if (inEllipse(u, v, 0.25f, 0.88f, 0.025f, 0.022f)) setColor(rgb, 180, 40, 40);
        } else if (v >= 0.13f) {
            // Trousers in a diagonal twill.
            const bool twill = ((x + y) / 2) % 4 == 0;
            setColor(rgb, twill ? 58 : 76, twill ? 62 : 82, twill ? 40 : 54);
        } else {
            // Boots with stitched rows.
            const bool stitch = y % 6 == 0 && x % 4 < 2;
            setColor(rgb, stitch ? 150 : 98, stitch ? 110 : 60, stitch ? 70 : 30);
        }
    });
}

Image paintHeadTexture(int size)
{
    return paint(size, [](float u, float v, int x, int, float* rgb) {
        const float shade = 0.9f + 0.1f * v;
        setColor(rgb, 228 * shade, 186 * shade, 150 * shade);
        const bool back = std::fabs(u - 0.75f) < 0.27f;
        if (v > 0.8f || (back && v > 0.36f)) {
            const bool strand = (x % 5) < 2;
            setColor(rgb, strand ? 78 : 60, strand ? 52 : 38, strand ? 30 : 22);
            return;
        }
        for (float eye : {0.19f, 0.31f}) {
            if (inEllipse(u, v, eye, 0.53f, 0.035f, 0.045f)) setColor(rgb, 245, 245, 240);
            if (inEllipse(u, v, eye, 0.53f, 0.016f, 0.025f)) setColor(rgb, 40, 70, 130);
            if (std::fabs(u - eye) < 0.04f && std::fabs(v - 0.62f) < 0.014f) setColor(rgb, 70, 46, 26);
        }
        if (std::fabs(u - 0.25f) < 0.05f && std::fabs(v - 0.27f) < 0.015f) setColor(rgb, 176, 62, 62);
    });
}

Image paintWeaponTexture(int size)
{
    return paint(size, [](float u, float v, int, int, float* rgb) {
        if (u < 0.5f) {
            // Steel: each of the four facets brightens towards its edge, with
            // a dark fuller down the middle.
            const float facet = std::fmod(u / 0.12f, 1.0f);
            const float edge = std::fabs(facet - 0.5f) * 2.0f;
            const float base = 150 + 70 * edge + 20 * v;
            setColor(rgb, base, base + 6, base + 18);
            if (edge < 0.12f && v < 0.8f) setColor(rgb, 90, 96, 110);
        } else if (u < 0.76f) {
            const bool wrap = std::fmod(u * 10.0f + v * 14.0f, 1.0f) < 0.3f;
            setColor(rgb, wrap ? 70 : 108, wrap ? 40 : 66, wrap ? 22 : 38);
        } else {
            const bool dot = inEllipse(std::fmod(u * 16.0f, 1.0f), std::fmod(v * 16.0f, 1.0f), 0.5f, 0.5f, 0.22f, 0.22f);
            setColor(rgb, dot ? 250 : 206, dot ? 222 : 164, dot ? 120 : 52);
        }
    });
}

bool writeFile(const std::string& path, std::string_view bytes, std::string& error)
{
    std::string reason;
    if (writeFileAtomically(path, bytes, reason)) return true;
    error = "cannot write " + path + ": " + reason;
    return false;
}

bool writePng(const std::string& path, const Image& image, std::string& error)
{
    std::string bytes;
    const auto collect = [](void* context, void* data, int size) { static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size)); };
    if (stbi_write_png_to_func(collect, &bytes, image.width, image.height, 4, image.rgba.data(), image.width * 4) == 0) {
        error = "cannot encode " + path;
        return false;
    }
    return writeFile(path, bytes, error);
}

bool writeCharacterSet(const std::string& directory, std::vector<std::string>& written, std::string& error)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path folder = pathFromUtf8(directory);
    fs::create_directories(folder, ec);
    if (ec) {
        error = "cannot create directory " + directory + ": " + ec.message();
        return false;
    }
    if (!fs::is_directory(folder, ec)) {
        error = directory + " is not a directory";
        return false;
    }
    constexpr int kTextureSize = 128;
    constexpr int kWalkFrameCount = 32;
    struct Output {
        const char* name;
        SmdDocument (*document)();
        Image (*picture)(int size);
    };
    const Output outputs[] = {
        {"hero.smd", buildHero, nullptr},
        {"hero_body.png", nullptr, paintBodyTexture},
        {"hero_head.png", nullptr, paintHeadTexture},
        {"walk.smd", [] { return buildWalk(kWalkFrameCount); }, nullptr},
        {"weapon.smd", buildWeapon, nullptr},
        {"weapon.png", nullptr, paintWeaponTexture},
    };
    for (const Output& out : outputs) {
        const std::string path = utf8FromPath(folder / out.name);
        const bool ok = out.document != nullptr ? writeFile(path, formatSmd(out.document()), error)
                                                : writePng(path, out.picture(kTextureSize), error);
        if (!ok) return false;
        written.push_back(path);
    }
    return true;
}

} // namespace veskar::sample
