#include "sample/HeroSkeleton.h"

#include <algorithm>
#include <cmath>

namespace veskar::sample {

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

const Side kSides[2] = {
    {1.0f, kLClavicle, kLUpperArm, kLForearm, kLHand, kLThigh, kLCalf, kLFoot},
    {-1.0f, kRClavicle, kRUpperArm, kRForearm, kRHand, kRThigh, kRCalf, kRFoot},
};

Vector3 shoulder(const Side& s) { return {17.0f * s.sign, 0.0f, 143.0f}; }
Vector3 armAxis(const Side& s) { return {std::sin(kArmSpread) * s.sign, 0.0f, -std::cos(kArmSpread)}; }
Vector3 alongArm(const Side& s, float t) { return vec3Add(shoulder(s), vec3Scale(armAxis(s), t)); }
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

SmdDocument scaled(SmdDocument doc)
{
    for (auto& frame : doc.frames)
        for (SampleKey& k : frame) {
            k.x *= kSampleScale;
            k.y *= kSampleScale;
            k.z *= kSampleScale;
        }
    for (SampleVertex& v : doc.vertices) v.position = vec3Scale(v.position, kSampleScale);
    return doc;
}

} // namespace veskar::sample
