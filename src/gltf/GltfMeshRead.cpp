// The meshes of a glTF scene into an SMD mesh: one triangle table for every
// primitive of every mesh node, corners in the exporter's axes, each with
// its links into the link pool.

#include "gltf/GltfAccessors.h"
#include "gltf/GltfReadParts.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <new>

namespace veskar {

namespace {

constexpr AccessorUse kVectors{TINYGLTF_TYPE_VEC3, true};
constexpr AccessorUse kTexcoords{TINYGLTF_TYPE_VEC2, true, true};
constexpr AccessorUse kJoints{TINYGLTF_TYPE_VEC4, false, false, false, true};
constexpr AccessorUse kWeights{TINYGLTF_TYPE_VEC4, true, true};
constexpr AccessorUse kIndices{TINYGLTF_TYPE_SCALAR, false, false, false, true, true};
constexpr AccessorUse kMatrices{TINYGLTF_TYPE_MAT4, true};

// Sets of four links a vertex: JOINTS_0 to JOINTS_3 make sixteen.
constexpr int kLinkSets = kMaxLinks / 4;

struct PrimitiveAt {
    std::size_t node;
    const tinygltf::Primitive* primitive;
    std::string place;   // "/meshes/M/primitives/P"
    std::size_t triangles;
};

int attribute(const tinygltf::Primitive& p, const std::string& name)
{
    const auto it = p.attributes.find(name);
    return it == p.attributes.end() ? -1 : it->second;
}

std::size_t trianglesOf(int mode, std::size_t corners) { return mode == TINYGLTF_MODE_TRIANGLES ? corners / 3 : corners >= 3 ? corners - 2 : 0; }

// The corners of triangle t in the order the mode draws them, keeping the
// winding of a strip's every other triangle.
void cornersOf(int mode, std::size_t t, std::size_t out[3])
{
    if (mode == TINYGLTF_MODE_TRIANGLES) out[0] = 3 * t, out[1] = 3 * t + 1, out[2] = 3 * t + 2;
    else if (mode == TINYGLTF_MODE_TRIANGLE_FAN) out[0] = t + 1, out[1] = t + 2, out[2] = 0;
    else if (t % 2 == 0) out[0] = t, out[1] = t + 1, out[2] = t + 2;
    else out[0] = t + 1, out[1] = t, out[2] = t + 2;
}

// The vertices of one primitive as corners take them.
struct Vertices {
    std::size_t count = 0;
    std::vector<float> positions, normals, texcoords;
    std::vector<std::int32_t> bone;
    std::vector<std::int32_t> linkCount;
    std::vector<std::uint32_t> linkStart;
};

// What a skin's joints do to the vertices they carry, made once a skin.
struct SkinJoints {
    bool made = false;
    std::vector<Transform> transforms;   // joint world times inverse bind matrix
    std::vector<std::int32_t> bone;      // the skeleton node of each joint
};

class PrimitiveReader {
public:
    PrimitiveReader(const tinygltf::Model& model, const GltfHierarchy& h, const GltfSkeleton& s, std::span<const Transform> world, double scale, SmdMesh& mesh)
        : model_(model), h_(h), s_(s), world_(world), scale_(scale), mesh_(mesh)
    {
    }
    GltfSchemaFault read(const PrimitiveAt& at, std::int32_t material, std::size_t& next);

private:
    GltfSchemaFault readAttributes(const PrimitiveAt& at);
    GltfSchemaFault readSkin(int skin);
    GltfSchemaFault readLinks(const PrimitiveAt& at, const SkinJoints& joints);
    void rigidLinks(std::int32_t bone);
    void toExporterSpace(const Transform* rigid, const SkinJoints* joints);
    GltfSchemaFault makeTriangles(const PrimitiveAt& at, std::int32_t material, std::size_t& next);
    bool addLink(std::int32_t bone, float weight);

    const tinygltf::Model& model_;
    const GltfHierarchy& h_;
    const GltfSkeleton& s_;
    std::span<const Transform> world_;
    double scale_;
    SmdMesh& mesh_;
    Vertices v_;
    std::vector<SmdVertex> out_;
    std::vector<SkinJoints> skins_;
};

GltfSchemaFault PrimitiveReader::readAttributes(const PrimitiveAt& at)
{
    const tinygltf::Primitive& p = *at.primitive;
    const std::string place = at.place + "/attributes/";
    if (std::string why = readAccessorFloats(model_, attribute(p, "POSITION"), kVectors, v_.positions); !why.empty()) return {place + "POSITION", why};
    v_.count = v_.positions.size() / 3;
    const auto optional = [&](const char* name, const AccessorUse& use, std::vector<float>& out, std::size_t width) -> GltfSchemaFault {
        out.clear();
        const int index = attribute(p, name);
        if (index < 0) return {};
        if (std::string why = readAccessorFloats(model_, index, use, out); !why.empty()) return {place + name, why};
        if (out.size() != v_.count * width)
            return {place + name, std::to_string(out.size() / width) + " elements where POSITION has " + std::to_string(v_.count)};
        return {};
    };
    if (GltfSchemaFault f = optional("NORMAL", kVectors, v_.normals, 3); !f.empty()) return f;
    return optional("TEXCOORD_0", kTexcoords, v_.texcoords, 2);
}

bool PrimitiveReader::addLink(std::int32_t bone, float weight)
{
    if (mesh_.linkPool.size() >= std::numeric_limits<std::uint32_t>::max() - kMaxLinks) return false;
    mesh_.linkPool.push_back({bone, weight});
    return true;
}

void PrimitiveReader::rigidLinks(std::int32_t bone)
{
    v_.bone.assign(v_.count, bone);
    v_.linkCount.assign(v_.count, 1);
    v_.linkStart.assign(v_.count, static_cast<std::uint32_t>(mesh_.linkPool.size()));
    addLink(bone, 1.0f);
}

GltfSchemaFault PrimitiveReader::readSkin(int skinIndex)
{
    if (skins_.empty()) skins_.resize(model_.skins.size());
    SkinJoints& out = skins_[static_cast<std::size_t>(skinIndex)];
    if (out.made) return {};
    const tinygltf::Skin& skin = model_.skins[static_cast<std::size_t>(skinIndex)];
    const std::string place = "/skins/" + std::to_string(skinIndex) + "/inverseBindMatrices";
    std::vector<float> inverse;
    if (skin.inverseBindMatrices >= 0) {
        if (std::string why = readAccessorFloats(model_, skin.inverseBindMatrices, kMatrices, inverse); !why.empty()) return {place, why};
        if (inverse.size() < 16 * skin.joints.size())
            return {place, std::to_string(inverse.size() / 16) + " matrices for " + std::to_string(skin.joints.size()) + " joints"};
    }
    if (skin.joints.empty()) return {"/skins/" + std::to_string(skinIndex) + "/joints", "a skin needs a joint"};
    for (std::size_t j = 0; j < skin.joints.size(); ++j) {
        const auto node = static_cast<std::size_t>(skin.joints[j]);
        Transform ibm{};
        for (std::size_t e = 0; e < 16; ++e) ibm[e] = inverse.empty() ? (e % 5 == 0 ? 1.0 : 0.0) : inverse[16 * j + e];
        out.transforms.push_back(multiply(world_[node], ibm));
        out.bone.push_back(s_.boneOf[node]);
    }
    out.made = true;
    return {};
}

GltfSchemaFault PrimitiveReader::readLinks(const PrimitiveAt& at, const SkinJoints& skin)
{
    const tinygltf::Primitive& p = *at.primitive;
    std::vector<std::uint32_t> joints[kLinkSets];
    std::vector<float> weights[kLinkSets];
    int sets = 0;
    for (; sets < kLinkSets; ++sets) {
        const std::string j = "JOINTS_" + std::to_string(sets), w = "WEIGHTS_" + std::to_string(sets);
        const int ji = attribute(p, j), wi = attribute(p, w);
        if (ji < 0 && wi < 0) break;
        const std::string place = at.place + "/attributes/";
        if (ji < 0 || wi < 0) return {place + (ji < 0 ? w : j), "comes without " + (ji < 0 ? j : w)};
        if (std::string why = readAccessorWhole(model_, ji, kJoints, joints[sets]); !why.empty()) return {place + j, why};
        if (std::string why = readAccessorFloats(model_, wi, kWeights, weights[sets]); !why.empty()) return {place + w, why};
        if (joints[sets].size() != 4 * v_.count || weights[sets].size() != 4 * v_.count)
            return {place + (joints[sets].size() != 4 * v_.count ? j : w), "the count is not POSITION's " + std::to_string(v_.count)};
        for (std::size_t e = 0; e < joints[sets].size(); ++e) {
            if (joints[sets][e] >= skin.bone.size())
                return {place + j, "index " + std::to_string(joints[sets][e]) + " beyond " + std::to_string(skin.bone.size()) + " joints"};
            if (weights[sets][e] < 0) return {place + w, "vertex " + std::to_string(e / 4) + " has a negative weight"};
        }
    }
    v_.bone.assign(v_.count, 0);
    v_.linkCount.assign(v_.count, 0);
    v_.linkStart.assign(v_.count, 0);
    for (std::size_t i = 0; i < v_.count; ++i) {
        v_.linkStart[i] = static_cast<std::uint32_t>(mesh_.linkPool.size());
        float heaviest = 0;
        for (int k = 0; k < sets; ++k)
            for (std::size_t c = 0; c < 4; ++c) {
                const float weight = weights[k][4 * i + c];
                if (weight == 0) continue;
                const std::int32_t bone = skin.bone[joints[k][4 * i + c]];
                if (!addLink(bone, weight)) return {at.place, "more bone links than a mesh can hold"};
                ++v_.linkCount[i];
                if (weight > heaviest) heaviest = weight, v_.bone[i] = bone;
            }
        // A vertex without weight goes wholly to the skin's first joint.
        if (v_.linkCount[i] == 0) {
            v_.bone[i] = skin.bone[0];
            v_.linkCount[i] = 1;
            if (!addLink(v_.bone[i], 1.0f)) return {at.place, "more bone links than a mesh can hold"};
        }
    }
    return {};
}

// The vertices where the skeleton's rest pose puts them, in the exporter's
// axes. A skin whose joints stand where its inverse bind matrices expect
// them (every export of this system) leaves the file's numbers as they are;
// otherwise each vertex is carried by its joints (or its node) as glTF
// skins it, so the skeleton's pose and the mesh agree.
void PrimitiveReader::toExporterSpace(const Transform* rigid, const SkinJoints* skin)
{
    double size = 0;
    for (const float p : v_.positions) size = std::max(size, std::fabs(static_cast<double>(p)));
    std::vector<const Transform*> byBone(s_.node.size(), nullptr);
    bool asGiven = true;
    if (rigid) {
        asGiven = nearIdentity(*rigid, size);
    } else {
        for (std::size_t j = 0; j < skin->transforms.size(); ++j) {
            byBone[static_cast<std::size_t>(skin->bone[j])] = &skin->transforms[j];
            asGiven = asGiven && nearIdentity(skin->transforms[j], size);
        }
    }
    out_.assign(v_.count, SmdVertex{});
    for (std::size_t i = 0; i < v_.count; ++i) {
        double p[3] = {v_.positions[3 * i], v_.positions[3 * i + 1], v_.positions[3 * i + 2]};
        double n[3] = {0, 0, 0};
        if (!v_.normals.empty()) n[0] = v_.normals[3 * i], n[1] = v_.normals[3 * i + 1], n[2] = v_.normals[3 * i + 2];
        if (!asGiven) {
            double sum = 0, moved[3] = {0, 0, 0}, turned[3] = {0, 0, 0};
            for (std::int32_t k = 0; k < v_.linkCount[i]; ++k) {
                const BoneLink& link = mesh_.linkPool[v_.linkStart[i] + static_cast<std::uint32_t>(k)];
                const Transform& m = rigid ? *rigid : *byBone[static_cast<std::size_t>(link.bone)];
                double a[3], b[3];
                transformPoint(m, p, a);
                transformNormal(m, n, b);
                for (int c = 0; c < 3; ++c) moved[c] += link.weight * a[c], turned[c] += link.weight * b[c];
                sum += link.weight;
            }
            const double length = std::sqrt(turned[0] * turned[0] + turned[1] * turned[1] + turned[2] * turned[2]);
            for (int c = 0; c < 3; ++c) {
                p[c] = moved[c] / sum;
                n[c] = length > 0 ? turned[c] / length : 0;
            }
        }
        SmdVertex& out = out_[i];
        exporterPoint(p, scale_, out.position);
        exporterPoint(n, 1.0, out.normal);
        if (!v_.texcoords.empty()) {
            out.u = v_.texcoords[2 * i];
            // The records hold 1 - the SMD file's v, which is glTF's v.
            out.v = v_.texcoords[2 * i + 1];
        }
    }
}

GltfSchemaFault PrimitiveReader::makeTriangles(const PrimitiveAt& at, std::int32_t material, std::size_t& next)
{
    const tinygltf::Primitive& p = *at.primitive;
    std::vector<std::uint32_t> indices;
    if (p.indices >= 0) {
        if (std::string why = readAccessorWhole(model_, p.indices, kIndices, indices); !why.empty()) return {at.place + "/indices", why};
        for (const std::uint32_t i : indices)
            if (i >= v_.count) return {at.place + "/indices", "index " + std::to_string(i) + " beyond " + std::to_string(v_.count) + " vertices"};
    }
    const auto vertexAt = [&](std::size_t corner) { return indices.empty() ? corner : static_cast<std::size_t>(indices[corner]); };
    const bool flat = v_.normals.empty();
    for (std::size_t t = 0; t < at.triangles; ++t) {
        std::size_t corners[3];
        cornersOf(p.mode, t, corners);
        SmdTriangle& triangle = mesh_.triangles[next++];
        triangle.material = material;
        for (int c = 0; c < 3; ++c) {
            const std::size_t v = vertexAt(corners[c]);
            triangle.vertices[c] = out_[v];
            triangle.vertexBone[c] = v_.bone[v];
            triangle.linkCount[c] = v_.linkCount[v];
            triangle.linkStart[c] = v_.linkStart[v];
        }
        if (!flat) continue;
        // Without normals a primitive is drawn flat (glTF's rule).
        const float* a = triangle.vertices[0].position;
        const float* b = triangle.vertices[1].position;
        const float* c = triangle.vertices[2].position;
        const double e1[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
        const double e2[3] = {double(c[0]) - a[0], double(c[1]) - a[1], double(c[2]) - a[2]};
        double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
        const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (SmdVertex& corner : triangle.vertices)
            for (int k = 0; k < 3; ++k) corner.normal[k] = length > 0 ? static_cast<float>(n[k] / length) : 0.0f;
    }
    return {};
}

GltfSchemaFault PrimitiveReader::read(const PrimitiveAt& at, std::int32_t material, std::size_t& next)
{
    if (GltfSchemaFault f = readAttributes(at); !f.empty()) return f;
    const tinygltf::Node& node = model_.nodes[at.node];
    const bool skinned = node.skin >= 0 && attribute(*at.primitive, "JOINTS_0") >= 0;
    try {
        if (skinned) {
            if (GltfSchemaFault f = readSkin(node.skin); !f.empty()) return f;
            const SkinJoints& skin = skins_[static_cast<std::size_t>(node.skin)];
            if (GltfSchemaFault f = readLinks(at, skin); !f.empty()) return f;
            toExporterSpace(nullptr, &skin);
        } else {
            if (s_.above[at.node] < 0) return {at.place, "its node is under no node of the skeleton"};
            rigidLinks(s_.above[at.node]);
            toExporterSpace(&world_[at.node], nullptr);
        }
    } catch (const std::bad_alloc&) {
        return {at.place, "not enough memory for its vertices"};
    }
    return makeTriangles(at, material, next);
}

// The primitives to read, in node order, and the triangles each gives.
GltfSchemaFault listPrimitives(const tinygltf::Model& model, const GltfHierarchy& h, std::vector<PrimitiveAt>& list, std::size_t& total, GltfLeftOut& leftOut)
{
    // A mesh is read again for every node that holds it: the vertices read
    // in all are bounded, not only those of each mesh.
    total = 0;
    std::size_t vertices = 0;
    for (std::size_t i = 0; i < model.nodes.size(); ++i) {
        const int mesh = model.nodes[i].mesh;
        if (!h.inScene[i] || mesh < 0) continue;
        const auto& primitives = model.meshes[static_cast<std::size_t>(mesh)].primitives;
        for (std::size_t k = 0; k < primitives.size(); ++k) {
            const tinygltf::Primitive& p = primitives[k];
            const std::string place = "/meshes/" + std::to_string(mesh) + "/primitives/" + std::to_string(k);
            leftOut.morphTargets += static_cast<std::int32_t>(p.targets.size());
            if (p.mode < TINYGLTF_MODE_TRIANGLES) {
                ++leftOut.pointsOrLines;
                continue;
            }
            if (attribute(p, "POSITION") < 0) {
                ++leftOut.withoutPosition;
                continue;
            }
            vertices += accessorCount(model, attribute(p, "POSITION"));
            if (vertices > kGltfMostVertices || list.size() >= kGltfMostPrimitives)
                return {place, "the scene's meshes hold more than " + std::to_string(kGltfMostVertices) + " vertices or " + std::to_string(kGltfMostPrimitives) +
                                   " primitives"};
            const std::size_t corners = accessorCount(model, p.indices >= 0 ? p.indices : attribute(p, "POSITION"));
            if (p.mode == TINYGLTF_MODE_TRIANGLES && corners % 3 != 0)
                return {place + (p.indices >= 0 ? "/indices" : "/attributes/POSITION"), std::to_string(corners) + " corners are no whole number of triangles"};
            const std::size_t triangles = trianglesOf(p.mode, corners);
            total += triangles;
            if (total > kGltfMostTriangles) return {place, "the meshes hold more than " + std::to_string(kGltfMostTriangles) + " triangles"};
            list.push_back({i, &p, place, triangles});
        }
    }
    return {};
}

} // namespace

GltfSchemaFault readGltfMeshes(const tinygltf::Model& model, const GltfHierarchy& h, const GltfSkeleton& s, double scale, SmdMesh& mesh,
                               std::vector<std::string>& materialNames, GltfLeftOut& leftOut)
{
    std::vector<PrimitiveAt> list;
    std::size_t total = 0;
    if (GltfSchemaFault f = listPrimitives(model, h, list, total, leftOut); !f.empty()) return f;
    if (total > 0 && !mesh.allocateTriangles(static_cast<std::int32_t>(total))) return {"", "not enough memory for " + std::to_string(total) + " triangles"};
    mesh.triangleCount = static_cast<std::int32_t>(total);
    mesh.vertexCount = 3 * mesh.triangleCount;
    const std::vector<Transform> world = worldTransforms(h, h.rest);
    PrimitiveReader reader(model, h, s, world, scale, mesh);
    std::size_t next = 0;
    std::map<std::string, std::int32_t> materialOf;
    for (const PrimitiveAt& at : list) {
        const std::string name = materialTextureName(model, at.primitive->material);
        const auto [known, added] = materialOf.emplace(name, static_cast<std::int32_t>(materialNames.size()));
        if (added) materialNames.push_back(name);
        if (GltfSchemaFault f = reader.read(at, known->second, next); !f.empty()) return f;
    }
    return {};
}

} // namespace veskar
