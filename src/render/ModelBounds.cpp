#include "render/ModelBounds.h"

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

} // namespace

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

} // namespace veskar
