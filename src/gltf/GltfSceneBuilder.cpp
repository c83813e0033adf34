#include "gltf/GltfSceneBuilder.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace veskar {

namespace {

using Quaternion = std::array<double, 4>;   // x, y, z, w

Quaternion multiply(const Quaternion& a, const Quaternion& b)
{
    return {a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1], a[3] * b[1] - a[0] * b[2] + a[1] * b[3] + a[2] * b[0],
            a[3] * b[2] + a[0] * b[1] - a[1] * b[0] + a[2] * b[3], a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2]};
}

// Column-major 4x4, as glTF stores matrices: element (row r, column c) at [4c + r].
using Matrix4 = std::array<double, 16>;

Matrix4 transformOf(const GltfJoint& joint)
{
    double q[4] = {joint.rotation[0], joint.rotation[1], joint.rotation[2], joint.rotation[3]};
    const double n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (double& c : q) c /= n;
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    Matrix4 m{};
    m[0] = 1 - 2 * (y * y + z * z);
    m[1] = 2 * (x * y + z * w);
    m[2] = 2 * (x * z - y * w);
    m[4] = 2 * (x * y - z * w);
    m[5] = 1 - 2 * (x * x + z * z);
    m[6] = 2 * (y * z + x * w);
    m[8] = 2 * (x * z + y * w);
    m[9] = 2 * (y * z - x * w);
    m[10] = 1 - 2 * (x * x + y * y);
    m[12] = joint.translation[0];
    m[13] = joint.translation[1];
    m[14] = joint.translation[2];
    m[15] = 1;
    return m;
}

Matrix4 multiply(const Matrix4& a, const Matrix4& b)
{
    Matrix4 m{};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double s = 0;
            for (int k = 0; k < 4; ++k) s += a[4 * k + r] * b[4 * c + k];
            m[4 * c + r] = s;
        }
    return m;
}

// Inverse of a rigid transform: transposed rotation, translation turned back.
Matrix4 inverseRigid(const Matrix4& m)
{
    Matrix4 inv{};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) inv[4 * c + r] = m[4 * r + c];
    for (int r = 0; r < 3; ++r) inv[12 + r] = -(inv[r] * m[12] + inv[4 + r] * m[13] + inv[8 + r] * m[14]);
    inv[15] = 1;
    return inv;
}

} // namespace

bool allFinite(std::span<const float> values)
{
    return std::all_of(values.begin(), values.end(), [](float f) { return std::isfinite(f); });
}

void gltfPoint(const float p[3], float scale, float out[3])
{
    out[0] = scale * p[0];
    out[1] = scale * p[2];
    out[2] = -(scale * p[1]);
}

void gltfRotation(float rx, float ry, float rz, double out[4])
{
    // Row vectors times RotationX, then RotationY, then RotationZ: the same
    // turn as qz * qy * qx acting on column vectors.
    const Quaternion qx{std::sin(rx / 2.0), 0, 0, std::cos(rx / 2.0)};
    const Quaternion qy{0, std::sin(ry / 2.0), 0, std::cos(ry / 2.0)};
    const Quaternion qz{0, 0, std::sin(rz / 2.0), std::cos(rz / 2.0)};
    const Quaternion q = multiply(qz, multiply(qy, qx));
    // Turning the axes turns the rotation's axis the same way; the angle stays.
    const double n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    out[0] = q[0] / n;
    out[1] = q[2] / n;
    out[2] = -q[1] / n;
    out[3] = q[3] / n;
}

GltfInfluences gltfInfluences(const EngineVertex& vertex)
{
    GltfInfluences out;
    struct Link {
        std::int32_t bone;
        double weight;
    };
    std::array<Link, kMaxLinks> links{};
    int count = 0;
    double fileSum = 0;
    const int given = std::clamp(vertex.linkCount, 0, kMaxLinks);
    for (int k = 0; k < given; ++k) {
        const float w = vertex.links.weight[k];
        if (w == 0.0f) continue;
        if (!(w > 0.0f) || !std::isfinite(w)) {
            ++out.droppedLinks;
            continue;
        }
        fileSum += w;
        const std::int32_t bone = vertex.links.bone[k];
        auto same = std::find_if(links.begin(), links.begin() + count, [&](const Link& l) { return l.bone == bone; });
        if (same != links.begin() + count) same->weight += w;
        else links[static_cast<std::size_t>(count++)] = {bone, w};
    }
    if (count == 0) {
        out.givenParent = true;
        out.joints[0] = static_cast<std::uint16_t>(std::max(vertex.parentBone, 0));
        out.weights[0] = 1.0f;
        return out;
    }
    // Heaviest first; equal weights keep the file's order.
    std::stable_sort(links.begin(), links.begin() + count, [](const Link& a, const Link& b) { return a.weight > b.weight; });
    out.lostLinks = count > kGltfInfluences;
    const int kept = std::min(count, kGltfInfluences);
    double sum = 0;
    for (int k = 0; k < kept; ++k) sum += links[static_cast<std::size_t>(k)].weight;
    // Six decimals in the file leave thirds a millionth short; that is a sum of 1.
    out.renormalised = std::fabs(fileSum - 1.0) > 1e-4;
    float floatSum = 0;
    for (int k = 0; k < kept; ++k) {
        out.joints[k] = static_cast<std::uint16_t>(links[static_cast<std::size_t>(k)].bone);
        out.weights[k] = static_cast<float>(links[static_cast<std::size_t>(k)].weight / sum);
        floatSum += out.weights[k];
    }
    // What rounding to float left over goes to the heaviest, so the stored
    // weights sum to 1 as closely as floats can.
    out.weights[0] += 1.0f - floatSum;
    return out;
}

bool buildGltfSkeleton(std::span<const SkeletonNode> nodes, float scale, GltfScene& scene, std::string& reason)
{
    scene.joints.assign(nodes.size(), GltfJoint{});
    std::int32_t roots = 0;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const SkeletonNode& node = nodes[i];
        if (!allFinite(node.position) || !allFinite(node.rotation)) {
            reason = "the bind pose of node " + std::to_string(i) + " (\"" + node.name + "\") holds a number that is not finite";
            return false;
        }
        GltfJoint& joint = scene.joints[i];
        joint.name = node.name;
        joint.parent = node.parent;
        if (joint.parent < 0) ++roots;
        gltfPoint(node.position, scale, joint.translation);
        if (!allFinite(joint.translation)) {
            reason = "the bind pose of node " + std::to_string(i) + " (\"" + node.name + "\") times the scale is not finite";
            return false;
        }
        double q[4];
        gltfRotation(node.rotation[0], node.rotation[1], node.rotation[2], q);
        for (int c = 0; c < 4; ++c) joint.rotation[c] = static_cast<float>(q[c]);
    }
    scene.commonRoot = roots > 1;

    // World transforms parents first; the readers refused loops and parents
    // outside the table, so every chain ends at a root.
    std::vector<Matrix4> world(nodes.size());
    std::vector<bool> done(nodes.size(), false);
    std::vector<std::size_t> chain;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        for (std::size_t n = i; !done[n];) {
            chain.push_back(n);
            const std::int32_t p = scene.joints[n].parent;
            if (p < 0 || static_cast<std::size_t>(p) >= nodes.size()) break;
            n = static_cast<std::size_t>(p);
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            const std::int32_t p = scene.joints[*it].parent;
            const Matrix4 local = transformOf(scene.joints[*it]);
            world[*it] = p >= 0 && static_cast<std::size_t>(p) < nodes.size() ? multiply(world[static_cast<std::size_t>(p)], local) : local;
            done[*it] = true;
        }
        chain.clear();
    }
    scene.inverseBindMatrices.resize(16 * nodes.size());
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const Matrix4 inverse = inverseRigid(world[i]);
        for (int e = 0; e < 16; ++e) scene.inverseBindMatrices[16 * i + static_cast<std::size_t>(e)] = static_cast<float>(inverse[static_cast<std::size_t>(e)]);
        // Each translation may be finite and their sum along a chain not.
        if (!allFinite(std::span<const float>(&scene.inverseBindMatrices[16 * i], 16))) {
            reason = "node " + std::to_string(i) + " (\"" + nodes[i].name + "\"), its parents' translations added, lies beyond a float's range";
            return false;
        }
        // glTF checks the last row to be exactly 0 0 0 1.
        for (int e : {3, 7, 11}) scene.inverseBindMatrices[16 * i + static_cast<std::size_t>(e)] = 0.0f;
        scene.inverseBindMatrices[16 * i + 15] = 1.0f;
    }
    return true;
}

bool buildGltfAnimation(std::span<const SkeletonNode> joints, const std::string& name, const SkeletonAnimation& animation, double fps, float scale,
                        GltfScene& scene, NodeNameMatch& match, std::string& reason)
{
    if (!animation.hasFrames()) {
        match = matchNodesByName(joints, {});
        reason = "the animation has no frames";
        return false;
    }
    match = matchNodesByName(joints, animation.frame(0));
    if (match.matched == 0) {
        reason = "no node of the animation has the name of a joint of the reference";
        return false;
    }
    GltfAnimation out;
    out.name = name;
    out.times.resize(static_cast<std::size_t>(animation.frameCount));
    for (std::int32_t k = 0; k < animation.frameCount; ++k) out.times[static_cast<std::size_t>(k)] = static_cast<float>(k / fps);
    for (std::size_t j = 0; j < joints.size(); ++j) {
        const std::int32_t a = match.animationNode[j];
        if (a < 0) continue;
        GltfChannel channel;
        channel.joint = static_cast<std::int32_t>(j);
        channel.translations.resize(3 * out.times.size());
        channel.rotations.resize(4 * out.times.size());
        double previous[4] = {0, 0, 0, 1};
        for (std::int32_t k = 0; k < animation.frameCount; ++k) {
            const SkeletonNode& key = animation.frame(k)[static_cast<std::size_t>(a)];
            if (!allFinite(key.position) || !allFinite(key.rotation)) {
                reason = "frame " + std::to_string(k) + " of node \"" + key.name + "\" holds a number that is not finite";
                return false;
            }
            const std::size_t at = static_cast<std::size_t>(k);
            gltfPoint(key.position, scale, &channel.translations[3 * at]);
            if (!allFinite(std::span<const float>(&channel.translations[3 * at], 3))) {
                reason = "frame " + std::to_string(k) + " of node \"" + key.name + "\" times the scale is not finite";
                return false;
            }
            double q[4];
            gltfRotation(key.rotation[0], key.rotation[1], key.rotation[2], q);
            // q and -q are the same turn; keeping neighbours on one side makes
            // every reader's interpolation take the short way.
            if (k > 0 && q[0] * previous[0] + q[1] * previous[1] + q[2] * previous[2] + q[3] * previous[3] < 0)
                for (double& c : q) c = -c;
            std::copy_n(q, 4, previous);
            for (int c = 0; c < 4; ++c) channel.rotations[4 * at + static_cast<std::size_t>(c)] = static_cast<float>(q[c]);
        }
        out.channels.push_back(std::move(channel));
    }
    scene.animations.push_back(std::move(out));
    return true;
}

} // namespace veskar
