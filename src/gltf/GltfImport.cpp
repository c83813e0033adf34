#include "gltf/GltfImport.h"

#include "gltf/GltfFileLoad.h"
#include "gltf/GltfReadParts.h"
#include "import/SmdMeshSetup.h"
#include "system/InputFile.h"
#include "base/PrintableName.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace veskar {

namespace {

// Extensions whose meshes are stored compressed, outside the accessors.
constexpr const char* kCompressedMeshes[] = {"KHR_draco_mesh_compression", "EXT_meshopt_compression"};

std::string counted(std::int32_t n, const char* one, const char* many) { return std::to_string(n) + " " + (n == 1 ? one : many); }

void noteLeftOut(const std::string& path, const tinygltf::Model& model, const GltfLeftOut& l, std::vector<std::string>& notes)
{
    const std::string file = printableName(path) + ": ";
    const auto note = [&](std::int32_t n, const char* one, const char* many, const char* what) {
        if (n > 0) notes.push_back(file + counted(n, one, many) + what);
    };
    note(static_cast<std::int32_t>(model.cameras.size()), "camera is", "cameras are", " ignored");
    note(l.morphTargets, "morph target is", "morph targets are", " ignored");
    note(l.pointsOrLines, "primitive of points or lines is", "primitives of points or lines are", " left out");
    note(l.withoutPosition, "primitive without POSITION is", "primitives without POSITION are", " left out");
    note(l.scaleChannels, "channel of scale keys is", "channels of scale keys are", " left out (a skeleton line has no scale)");
    note(l.weightChannels, "channel of morph weights is", "channels of morph weights are", " left out");
    note(l.otherChannels, "channel of another kind is", "channels of other kinds are", " left out");
}

// The skeleton into the mesh slot's nodes, posed as a reference's skeleton
// section poses them.
bool fillNodes(const GltfHierarchy& h, const GltfSkeleton& s, double scale, SmdMesh& mesh)
{
    const auto count = static_cast<std::int32_t>(s.node.size());
    if (!mesh.allocateNodes(count)) return false;
    std::vector<float> lines(6 * s.node.size());
    poseSkeleton(h, s, h.rest, worldTransforms(h, h.rest), scale, lines.data());
    for (std::size_t i = 0; i < s.node.size(); ++i) {
        SmdNode& node = mesh.nodes[i];
        node.name = s.names[i];
        node.parent = s.parent[i];
        const float* v = &lines[6 * i];
        node.setPose(v[0], v[1], v[2], v[3], v[4], v[5]);
    }
    return true;
}

GltfSchemaFault readInto(const std::string& path, const tinygltf::Model& model, const GltfReadOptions& options, SmdModelRecords& records, SmdMesh& mesh,
                         GltfRead& read)
{
    for (std::size_t i = 0; i < model.extensionsRequired.size(); ++i)
        for (const char* compressed : kCompressedMeshes)
            if (model.extensionsRequired[i] == compressed)
                return {"/extensionsRequired/" + std::to_string(i), std::string(compressed) + ": compressed meshes are not read"};
    GltfHierarchy hierarchy;
    if (GltfSchemaFault f = readHierarchy(model, hierarchy); !f.empty()) return f;
    GltfSkeleton skeleton;
    if (GltfSchemaFault f = chooseSkeleton(model, hierarchy, skeleton); !f.empty()) return f;
    if (skeleton.node.empty()) return {"/nodes", "the file has no nodes"};
    if (!fillNodes(hierarchy, skeleton, options.scale, mesh)) return {"/nodes", "not enough memory for the nodes"};
    GltfLeftOut leftOut;
    std::vector<std::string> materials;
    if (GltfSchemaFault f = readGltfMeshes(model, hierarchy, skeleton, options.scale, mesh, materials, leftOut); !f.empty()) return f;
    records.nodeCount = mesh.nodeCount;
    records.frameCount = 1;
    records.triangleCount = mesh.triangleCount;
    records.materialNames = std::move(materials);
    records.materialCount = static_cast<std::int32_t>(records.materialNames.size());
    if (options.readAnimations) {
        GltfKeyBudget budget;
        for (std::size_t a = 0; a < model.animations.size(); ++a) {
            GltfAnimationRead animation;
            if (GltfSchemaFault f = sampleGltfAnimation(model, static_cast<int>(a), hierarchy, skeleton, options, budget, animation, leftOut); !f.empty())
                return f;
            read.animations.push_back(std::move(animation));
        }
    }
    noteLeftOut(path, model, leftOut, read.notes);
    return {};
}

void summarise(const GltfFile& file, GltfSummary& summary)
{
    const tinygltf::Model& m = file.model;
    summary.binary = file.binary;
    summary.nodes = static_cast<std::int32_t>(m.nodes.size());
    summary.skins = static_cast<std::int32_t>(m.skins.size());
    summary.meshes = static_cast<std::int32_t>(m.meshes.size());
    for (const tinygltf::Mesh& mesh : m.meshes) summary.primitives += static_cast<std::int32_t>(mesh.primitives.size());
    summary.images = static_cast<std::int32_t>(m.images.size());
    summary.animations = static_cast<std::int32_t>(m.animations.size());
}

} // namespace

GltfRead readGltf(const std::string& path, const GltfReadOptions& options, SmdModelRecords& records)
{
    GltfRead read;
    records.diagnostic.clear();
    GltfFile file;
    if (!loadGltfFile(path, file, read.diagnostic)) {
        records.diagnostic = read.diagnostic;
        return read;
    }
    read.sources = std::move(file.sources);
    summarise(file, read.summary);
    if (records.meshCount >= kModelSlots) {
        read.diagnostic = {path, 0, "this model already holds " + std::to_string(kModelSlots) + " meshes"};
        records.diagnostic = read.diagnostic;
        return read;
    }
    SmdMesh& mesh = records.meshes[static_cast<std::size_t>(records.meshCount)];
    if (const GltfSchemaFault fault = readInto(path, file.model, options, records, mesh, read); !fault.empty()) {
        read.diagnostic = gltfRefusal(path, fault.place, fault.what);
    } else if (std::int32_t bad = 0; !composeWorldMatrices(mesh.nodes, bad)) {
        read.diagnostic = {path, 0, "the parents of node " + std::to_string(bad) + " form a loop"};
    } else if (records.buildPoseMatrices && !computeBindVertices(mesh)) {
        read.diagnostic = {path, 0, "not enough memory for the bind vertices"};
    }
    if (!read.diagnostic.empty()) {
        mesh.release();
        read.animations.clear();
        records.diagnostic = read.diagnostic;
        return read;
    }
    mesh.applyAxis(records.axisMatrix);
    records.modelDirectory = directoryOf(path);
    setTexturePaths(mesh, records.materialCount, records.modelDirectory, records.materialNames);
    records.hasMesh = true;
    ++records.meshCount;
    read.ok = true;
    return read;
}

bool gltfAnimationToSlot(const GltfAnimationRead& animation, const std::string& file, SmdModelRecords& records)
{
    const AnimationKeys& keys = animation.keys;
    if (records.animationCount >= kModelSlots) {
        records.diagnostic = {file, 0, "this model already holds " + std::to_string(kModelSlots) + " animations"};
        return false;
    }
    SmdAnimation& slot = records.animations[static_cast<std::size_t>(records.animationCount)];
    if (!keys.matchesCounts() || !slot.allocate(keys.frameCount, keys.nodeCount)) {
        records.diagnostic = {file, 0, "not enough memory for the frame tables"};
        return false;
    }
    for (std::int32_t f = 0; f < keys.frameCount; ++f) {
        auto frame = slot.frame(f);
        for (std::int32_t n = 0; n < keys.nodeCount; ++n) {
            SkeletonNode& node = frame[static_cast<std::size_t>(n)];
            node.name = keys.names[static_cast<std::size_t>(n)];
            node.parent = keys.parents[static_cast<std::size_t>(n)];
            const auto v = keys.key(f, n);
            node.setPose(v[0], v[1], v[2], v[3], v[4], v[5]);
        }
        std::int32_t bad = 0;
        if (!composeWorldMatrices(frame, bad)) {
            slot.release();
            records.diagnostic = {file, 0, "the parents of node " + std::to_string(bad) + " form a loop"};
            return false;
        }
    }
    slot.applyAxis(records.axisMatrix);
    ++records.animationCount;
    records.hasAnimation = true;
    return true;
}

bool isGltfFile(const std::string& path)
{
    InputFile file;
    std::string reason;
    if (!file.open(path, reason)) return false;
    char head[64] = {};
    const std::int64_t n = file.readAt(0, head, sizeof head, reason);
    if (n >= 4 && std::string_view(head, 4) == "glTF") return true;
    std::size_t at = n >= 3 && std::string_view(head, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    while (at < static_cast<std::size_t>(std::max<std::int64_t>(n, 0)) && std::isspace(static_cast<unsigned char>(head[at]))) ++at;
    return at < static_cast<std::size_t>(std::max<std::int64_t>(n, 0)) && head[at] == '{';
}

} // namespace veskar
