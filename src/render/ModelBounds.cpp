#include "render/ModelBounds.h"

#include "render/RootMotion.h"
#include "render/SkinningJobs.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

namespace veskar {

namespace {

std::size_t vertexCountOf(const EngineMesh& mesh)
{
    return std::min(static_cast<std::size_t>(std::max(mesh.vertexCount, 0)), mesh.vertices.size());
}

template <typename Vertex>
void addPositions(const std::vector<Vertex>& vertices, const Matrix& world, Bounds& bounds)
{
    for (const Vertex& v : vertices) bounds.add(transformPoint({v.position[0], v.position[1], v.position[2]}, world));
}

std::int32_t meshSlots(std::int32_t count) { return std::clamp(count, 0, kModelSlots); }

// About a hundred milliseconds of skinning on one core.
constexpr std::size_t kSampledVertices = std::size_t{1} << 22;

bool playable(const SkeletonAnimation& a) { return a.frameCount > 0 && a.hasFrames() && a.tablesMatchCounts(); }

std::size_t smdNodeCount(const SmdMesh& mesh) { return std::min(static_cast<std::size_t>(std::max(mesh.nodeCount, 0)), mesh.nodes.size()); }
std::size_t smdTriangleCount(const SmdMesh& mesh)
{
    return std::min(static_cast<std::size_t>(std::max(mesh.triangleCount, 0)), mesh.triangles.size());
}

// The palette a key gives an engine mesh, as the drawing blends it: the
// nodes the key has, the others as the mesh holds them now.
void posePalette(const EngineMesh& mesh, std::span<const SkeletonNode> key, bool inPlace, std::vector<Matrix>& palette)
{
    palette = mesh.bonePalette;
    const std::size_t nodes = std::min(static_cast<std::size_t>(std::max(mesh.nodeCount, 0)), palette.size());
    const auto posed = std::span<Matrix>(palette).first(nodes);
    blendPalette(key, key, 0.0f, posed);
    if (inPlace) removeRootMotion(posed, mesh.rootBone >= 0 ? mesh.rootBone : rootNodeOf(mesh.nodes));
}

void skinEngineMesh(const EngineMesh& mesh, std::span<const Matrix> palette, std::vector<SkinVertex>& out)
{
    const std::size_t count = vertexCountOf(mesh);
    out.resize(count);
    if (mesh.skinSources.size() >= count)
        skinStream(std::span<const SkinSource>(mesh.skinSources).first(count), mesh.skinLinks, palette, out);
    else
        skinVertices(std::span<const EngineVertex>(mesh.vertices).first(count), palette, out);
}

std::size_t engineVertexCount(const EngineModel& model)
{
    std::size_t count = 0;
    for (std::int32_t i = 0; i < meshSlots(model.meshCount); ++i) count += vertexCountOf(model.meshes[static_cast<std::size_t>(i)]);
    return count;
}

} // namespace

std::vector<std::int32_t> sampledKeys(std::int32_t frameCount, std::size_t vertexCount)
{
    std::vector<std::int32_t> keys;
    if (frameCount <= 0) return keys;
    const auto frames = static_cast<std::size_t>(frameCount);
    const std::size_t affordable = std::max<std::size_t>(2, kSampledVertices / std::max<std::size_t>(vertexCount, 1));
    const std::size_t count = std::min(frames, affordable);
    keys.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        keys.push_back(count == frames ? static_cast<std::int32_t>(i)
                                       : static_cast<std::int32_t>((i * (frames - 1) + (count - 1) / 2) / (count - 1)));
    return keys;
}

void Bounds::add(const Vector3& p)
{
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return;
    min = {std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z)};
    max = {std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z)};
}

void addEngineModelBounds(const EngineModel& model, const Matrix& world, Bounds& bounds)
{
    if (!model.hasMesh) return;
    for (std::int32_t i = 0; i < meshSlots(model.meshCount); ++i) {
        const EngineMesh& mesh = model.meshes[static_cast<std::size_t>(i)];
        const auto vertices = std::span<const EngineVertex>(mesh.vertices).first(vertexCountOf(mesh));
        if (!model.hasAnimation) {
            for (const EngineVertex& v : vertices) bounds.add(transformPoint({v.restVertex.position[0], v.restVertex.position[1], v.restVertex.position[2]}, world));
            continue;
        }
        std::vector<SkinVertex> skinned(vertices.size());
        skinVertices(vertices, mesh.bonePalette, skinned);
        addPositions(skinned, world, bounds);
    }
}

void addAttachedBounds(const EngineModel& model, const Matrix& attachMatrix, const Matrix& world, Bounds& bounds)
{
    if (!model.hasMesh) return;
    for (std::int32_t i = 0; i < meshSlots(model.meshCount); ++i) {
        const EngineMesh& mesh = model.meshes[static_cast<std::size_t>(i)];
        const auto vertices = std::span<const EngineVertex>(mesh.vertices).first(vertexCountOf(mesh));
        std::vector<SkinVertex> placed(vertices.size());
        placeAttachedVertices(vertices, attachMatrix, placed);
        addPositions(placed, world, bounds);
    }
}

void addSmdModelBounds(const SmdModel& model, Bounds& bounds)
{
    if (!model.hasMesh) return;
    for (std::int32_t i = 0; i < meshSlots(model.meshCount); ++i) {
        const SmdMesh& mesh = model.meshes[static_cast<std::size_t>(i)];
        const std::size_t triangles = std::min(static_cast<std::size_t>(std::max(mesh.triangleCount, 0)), mesh.triangles.size());
        const std::size_t nodes = std::min(static_cast<std::size_t>(std::max(mesh.nodeCount, 0)), mesh.nodes.size());
        if (mesh.bindVertices.size() < triangles * 3) continue;
        std::vector<SmdVertex> corners(triangles * 3);
        // Bad links only leave those links out, as in the drawing.
        skinTriangles(std::span<const SmdTriangle>(mesh.triangles).first(triangles), mesh.bindVertices, mesh.linkPool,
                      std::span<const SkeletonNode>(mesh.nodes).first(nodes), corners);
        addPositions(corners, matrixIdentity(), bounds);
    }
}

void addSmdAnimationBounds(const SmdModel& model, const SmdAnimation& animation, bool inPlace, Bounds& bounds)
{
    if (!model.hasMesh || !playable(animation)) return;
    std::size_t corners = 0;
    for (std::int32_t i = 0; i < meshSlots(model.meshCount); ++i) corners += smdTriangleCount(model.meshes[static_cast<std::size_t>(i)]) * 3;
    const std::vector<std::int32_t> keys = sampledKeys(animation.frameCount, corners);
    std::vector<SmdVertex> skinned;
    for (std::int32_t i = 0; i < meshSlots(model.meshCount); ++i) {
        const SmdMesh& mesh = model.meshes[static_cast<std::size_t>(i)];
        const std::size_t triangles = smdTriangleCount(mesh);
        if (mesh.bindVertices.size() < triangles * 3) continue;
        // Nodes the animation does not have keep the matrices they have now.
        std::vector<SmdNode> pose(mesh.nodes.begin(), mesh.nodes.begin() + static_cast<std::ptrdiff_t>(smdNodeCount(mesh)));
        std::vector<Matrix> now;
        for (const SmdNode& node : pose) now.push_back(node.worldMatrix);
        skinned.resize(triangles * 3);
        for (const std::int32_t key : keys) {
            for (std::size_t n = 0; n < pose.size(); ++n) pose[n].worldMatrix = now[n];
            const auto frame = animation.frame(key);
            blendPose(frame, frame, 0.0f, pose);
            if (inPlace) removeRootMotion(pose, rootNodeOf(pose));
            skinTriangles(std::span<const SmdTriangle>(mesh.triangles).first(triangles), mesh.bindVertices, mesh.linkPool, pose, skinned);
            addPositions(skinned, matrixIdentity(), bounds);
        }
    }
}

void addEngineAnimationBounds(const EngineModel& model, const EngineAnimation& animation, const Matrix& world, bool inPlace, Bounds& bounds)
{
    if (!model.hasMesh || !playable(animation)) return;
    const std::vector<std::int32_t> keys = sampledKeys(animation.frameCount, engineVertexCount(model));
    std::vector<Matrix> palette;
    std::vector<SkinVertex> skinned;
    for (std::int32_t i = 0; i < meshSlots(model.meshCount); ++i) {
        const EngineMesh& mesh = model.meshes[static_cast<std::size_t>(i)];
        for (const std::int32_t key : keys) {
            posePalette(mesh, animation.frame(key), inPlace, palette);
            skinEngineMesh(mesh, palette, skinned);
            addPositions(skinned, world, bounds);
        }
    }
}

void addCarriedAnimationBounds(const EngineModel& model, const EngineModel& carrier, const EngineAnimation& animation, const Matrix& world,
                               bool inPlace, Bounds& bounds)
{
    const EngineMesh& carrying = carrier.meshes[0];
    if (!model.hasMesh || !carrier.hasMesh || !playable(animation)) return;
    if (carrying.handBone < 0 || carrying.handBone >= carrying.nodeCount || static_cast<std::size_t>(carrying.handBone) >= carrying.bonePalette.size())
        return;
    const std::vector<std::int32_t> keys = sampledKeys(animation.frameCount, engineVertexCount(model));
    std::vector<Matrix> palette;
    std::vector<SkinVertex> placed;
    for (const std::int32_t key : keys) {
        posePalette(carrying, animation.frame(key), inPlace, palette);
        const Matrix& hand = palette[static_cast<std::size_t>(carrying.handBone)];
        for (std::int32_t i = 0; i < meshSlots(model.meshCount); ++i) {
            const EngineMesh& mesh = model.meshes[static_cast<std::size_t>(i)];
            const auto vertices = std::span<const EngineVertex>(mesh.vertices).first(vertexCountOf(mesh));
            placed.resize(vertices.size());
            placeAttachedVertices(vertices, hand, placed);
            addPositions(placed, world, bounds);
        }
    }
}

} // namespace veskar
