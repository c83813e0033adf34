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

bool finite(std::span<const float> values)
{
    return std::all_of(values.begin(), values.end(), [](float f) { return std::isfinite(f); });
}

void normalise(double v[3], double length) { v[0] /= length, v[1] /= length, v[2] /= length; }

} // namespace

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
        if (!finite(node.position) || !finite(node.rotation)) {
            reason = "the bind pose of node " + std::to_string(i) + " (\"" + node.name + "\") holds a number that is not finite";
            return false;
        }
        GltfJoint& joint = scene.joints[i];
        joint.name = node.name;
        joint.parent = node.parent;
        if (joint.parent < 0) ++roots;
        gltfPoint(node.position, scale, joint.translation);
        if (!finite(joint.translation)) {
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
        if (!finite(std::span<const float>(&scene.inverseBindMatrices[16 * i], 16))) {
            reason = "node " + std::to_string(i) + " (\"" + nodes[i].name + "\"), its parents' translations added, lies beyond a float's range";
            return false;
        }
        // glTF checks the last row to be exactly 0 0 0 1.
        for (int e : {3, 7, 11}) scene.inverseBindMatrices[16 * i + static_cast<std::size_t>(e)] = 0.0f;
        scene.inverseBindMatrices[16 * i + 15] = 1.0f;
    }
    return true;
}

namespace {

// Every welded vertex once, in glTF's terms, before it is split by material.
struct GltfVertexTable {
    std::vector<float> positions, normals;
    std::vector<GltfInfluences> influences;
    std::vector<bool> normalMissing;
};

bool convertWeldedVertices(const GltfMeshSource& source, float scale, GltfVertexTable& table, GltfMeshReport& report, std::string& reason)
{
    const std::size_t vertexCount = source.vertices.size();
    table.positions.assign(3 * vertexCount, 0.0f);
    table.normals.assign(3 * vertexCount, 0.0f);
    table.influences.assign(vertexCount, GltfInfluences{});
    table.normalMissing.assign(vertexCount, false);
    for (std::size_t i = 0; i < vertexCount; ++i) {
        const EngineVertex& v = source.vertices[i];
        const SkinVertex& r = v.restVertex;
        gltfPoint(r.position, scale, &table.positions[3 * i]);
        if (!finite(std::span<const float>(&table.positions[3 * i], 3)) || !finite(r.normal) || !std::isfinite(r.u) || !std::isfinite(r.v)) {
            reason = "welded vertex " + std::to_string(i) + " holds a position (times the scale), normal or texture coordinate that is not finite";
            return false;
        }
        float n[3];
        gltfPoint(r.normal, 1.0f, n);
        double d[3] = {n[0], n[1], n[2]};
        const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        if (length > 1e-12) {
            normalise(d, length);
            for (int c = 0; c < 3; ++c) table.normals[3 * i + static_cast<std::size_t>(c)] = static_cast<float>(d[c]);
        } else {
            table.normalMissing[i] = true;
        }
        table.influences[i] = gltfInfluences(v);
        report.verticesLostLinks += table.influences[i].lostLinks;
        report.verticesRenormalised += table.influences[i].renormalised;
        report.verticesGivenParent += table.influences[i].givenParent;
        report.droppedLinks += table.influences[i].droppedLinks;
    }
    return true;
}

// A vertex without a normal takes the first triangle's it belongs to; one
// whose every triangle is degenerate points straight up.
void replaceMissingNormals(std::span<const TriangleIndices> triangles, GltfVertexTable& table, GltfMeshReport& report)
{
    const std::vector<float>& positions = table.positions;
    std::vector<float>& normals = table.normals;
    std::vector<bool>& normalMissing = table.normalMissing;
    for (const TriangleIndices& t : triangles) {
        const std::size_t corner[3] = {static_cast<std::size_t>(t.a), static_cast<std::size_t>(t.b), static_cast<std::size_t>(t.c)};
        if (!normalMissing[corner[0]] && !normalMissing[corner[1]] && !normalMissing[corner[2]]) continue;
        const float* p0 = &positions[3 * corner[0]];
        const float* p1 = &positions[3 * corner[1]];
        const float* p2 = &positions[3 * corner[2]];
        const double e1[3] = {double(p1[0]) - p0[0], double(p1[1]) - p0[1], double(p1[2]) - p0[2]};
        const double e2[3] = {double(p2[0]) - p0[0], double(p2[1]) - p0[1], double(p2[2]) - p0[2]};
        double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
        const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (!(length > 0)) continue;
        normalise(n, length);
        for (std::size_t c : corner) {
            if (!normalMissing[c]) continue;
            for (int k = 0; k < 3; ++k) normals[3 * c + static_cast<std::size_t>(k)] = static_cast<float>(n[k]);
            normalMissing[c] = false;
            ++report.normalsReplaced;
        }
    }
    for (std::size_t i = 0; i < normalMissing.size(); ++i) {
        if (!normalMissing[i]) continue;
        normals[3 * i] = 0.0f;
        normals[3 * i + 1] = 1.0f;
        normals[3 * i + 2] = 0.0f;
        ++report.normalsReplaced;
    }
}

// The triangles of one material, their corners numbered within the primitive
// in first-use order. local is all -1 on entry and is left so.
GltfPrimitive primitiveOfMaterial(const GltfMeshSource& source, const GltfVertexTable& table, std::int32_t material, std::vector<std::int64_t>& local)
{
    GltfPrimitive primitive;
    primitive.material = material;
    std::vector<std::size_t> used;
    for (std::size_t t = 0; t < source.triangles.size(); ++t) {
        const std::int32_t triangleMaterial = source.triangleMaterials.empty() ? 0 : source.triangleMaterials[t];
        if (triangleMaterial != material) continue;
        const TriangleIndices& tri = source.triangles[t];
        for (const std::int32_t corner : {tri.a, tri.b, tri.c}) {
            const std::size_t w = static_cast<std::size_t>(corner);
            if (local[w] < 0) {
                local[w] = static_cast<std::int64_t>(used.size());
                used.push_back(w);
            }
            primitive.indices.push_back(static_cast<std::uint32_t>(local[w]));
        }
    }
    const std::size_t n = used.size();
    primitive.positions.resize(3 * n);
    primitive.normals.resize(3 * n);
    primitive.texcoords.resize(2 * n);
    primitive.joints.resize(kGltfInfluences * n);
    primitive.weights.resize(kGltfInfluences * n);
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t w = used[k];
        std::copy_n(&table.positions[3 * w], 3, &primitive.positions[3 * k]);
        std::copy_n(&table.normals[3 * w], 3, &primitive.normals[3 * k]);
        // restVertex.v is 1 minus the file's v: 0 at the image's top row, as glTF has it.
        primitive.texcoords[2 * k] = source.vertices[w].restVertex.u;
        primitive.texcoords[2 * k + 1] = source.vertices[w].restVertex.v;
        std::copy_n(table.influences[w].joints, kGltfInfluences, &primitive.joints[kGltfInfluences * k]);
        std::copy_n(table.influences[w].weights, kGltfInfluences, &primitive.weights[kGltfInfluences * k]);
        local[w] = -1;
    }
    return primitive;
}

void setBounds(GltfPrimitive& primitive)
{
    const std::size_t n = primitive.positions.size() / 3;
    for (int c = 0; c < 3; ++c) {
        primitive.minimum[c] = primitive.maximum[c] = primitive.positions[static_cast<std::size_t>(c)];
        for (std::size_t k = 1; k < n; ++k) {
            primitive.minimum[c] = std::min(primitive.minimum[c], primitive.positions[3 * k + static_cast<std::size_t>(c)]);
            primitive.maximum[c] = std::max(primitive.maximum[c], primitive.positions[3 * k + static_cast<std::size_t>(c)]);
        }
    }
}

} // namespace

bool buildGltfPrimitives(const GltfMeshSource& source, float scale, GltfScene& scene, GltfMeshReport& report, std::string& reason)
{
    GltfVertexTable table;
    if (!convertWeldedVertices(source, scale, table, report, reason)) return false;
    replaceMissingNormals(source.triangles, table, report);
    std::vector<std::int64_t> local(source.vertices.size(), -1);
    for (std::size_t m = 0; m < scene.materials.size(); ++m) {
        GltfPrimitive primitive = primitiveOfMaterial(source, table, static_cast<std::int32_t>(m), local);
        if (primitive.indices.empty()) continue;
        setBounds(primitive);
        scene.primitives.push_back(std::move(primitive));
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
            if (!finite(key.position) || !finite(key.rotation)) {
                reason = "frame " + std::to_string(k) + " of node \"" + key.name + "\" holds a number that is not finite";
                return false;
            }
            const std::size_t at = static_cast<std::size_t>(k);
            gltfPoint(key.position, scale, &channel.translations[3 * at]);
            if (!finite(std::span<const float>(&channel.translations[3 * at], 3))) {
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
