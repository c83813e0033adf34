#include "render/SkeletonLines.h"

#include "gpu/Device.h"
#include "render/RootMotion.h"

#include <algorithm>
#include <cmath>

namespace veskar {

namespace {

constexpr float kMarkShare = 0.05f;   // of the skeleton's largest extent
constexpr float kSmallestMark = 0.5f;

void line(std::vector<LineVertex>& out, const Vector3& a, const Vector3& b, std::uint32_t colour)
{
    out.push_back({a.x, a.y, a.z, colour});
    out.push_back({b.x, b.y, b.z, colour});
}

void cross(std::vector<LineVertex>& out, const Vector3& p, float half, std::uint32_t colour)
{
    line(out, {p.x - half, p.y, p.z}, {p.x + half, p.y, p.z}, colour);
    line(out, {p.x, p.y - half, p.z}, {p.x, p.y + half, p.z}, colour);
    line(out, {p.x, p.y, p.z - half}, {p.x, p.y, p.z + half}, colour);
}

} // namespace

void appendSkeleton(std::span<const SkeletonNode> nodes, std::span<const Matrix> pose, const Matrix& world, std::vector<LineVertex>& out)
{
    const std::size_t count = std::min(nodes.size(), pose.size());
    if (count == 0) return;
    std::vector<Vector3> joints(count);
    Vector3 lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
    for (std::size_t k = 0; k < count; ++k) {
        joints[k] = transformPoint({pose[k].m[3][0], pose[k].m[3][1], pose[k].m[3][2]}, world);
        lo = {std::min(lo.x, joints[k].x), std::min(lo.y, joints[k].y), std::min(lo.z, joints[k].z)};
        hi = {std::max(hi.x, joints[k].x), std::max(hi.y, joints[k].y), std::max(hi.z, joints[k].z)};
    }
    for (std::size_t k = 0; k < count; ++k) {
        const std::int32_t parent = nodes[k].parent;
        if (parent >= 0 && static_cast<std::size_t>(parent) < count && static_cast<std::size_t>(parent) != k)
            line(out, joints[k], joints[static_cast<std::size_t>(parent)], kBoneColour);
    }
    const float extent = std::max({hi.x - lo.x, hi.y - lo.y, hi.z - lo.z});
    const float half = std::isfinite(extent) ? std::max(extent * kMarkShare, kSmallestMark) : kSmallestMark;
    const std::int32_t root = rootNodeOf(nodes.first(count));
    const std::int32_t hand = handNodeOf(nodes.first(count));
    if (root >= 0) cross(out, joints[static_cast<std::size_t>(root)], half, kRootColour);
    if (hand >= 0) cross(out, joints[static_cast<std::size_t>(hand)], half, kHandColour);
}

void appendSkeleton(const EngineModel& model, const Matrix& world, std::vector<LineVertex>& out)
{
    if (!model.hasMesh) return;
    const EngineMesh& mesh = model.meshes[0];
    const std::size_t nodes = std::min(static_cast<std::size_t>(std::max(mesh.nodeCount, 0)), mesh.nodes.size());
    appendSkeleton(std::span<const SkeletonNode>(mesh.nodes).first(nodes), mesh.bonePalette, world, out);
}

void appendSkeleton(const SmdModel& model, std::vector<LineVertex>& out)
{
    if (!model.hasMesh) return;
    const SmdMesh& mesh = model.meshes[0];
    const std::size_t count = std::min(static_cast<std::size_t>(std::max(mesh.nodeCount, 0)), mesh.nodes.size());
    std::vector<Matrix> pose(count);
    for (std::size_t k = 0; k < count; ++k) pose[k] = mesh.nodes[k].worldMatrix;
    appendSkeleton(std::span<const SkeletonNode>(mesh.nodes).first(count), pose, matrixIdentity(), out);
}

void drawLinesOnTop(Device& device, std::span<const LineVertex> lines)
{
    if (lines.size() < 2) return;
    device.setTransform(TransformType::World, matrixIdentity());
    device.setRenderState(RenderState::Lighting, 0);
    device.setRenderState(RenderState::AlphaBlendEnable, 0);
    device.setRenderState(RenderState::AlphaTestEnable, 0);
    device.setRenderState(RenderState::ZEnable, 0);
    device.setTexture(0, nullptr);
    device.setFVF(fvf::kXyz | fvf::kDiffuse);
    device.drawPrimitiveUP(PrimitiveType::LineList, static_cast<std::uint32_t>(lines.size() / 2), lines.data(), sizeof(LineVertex));
    device.setRenderState(RenderState::ZEnable, 1);
    device.setRenderState(RenderState::Lighting, 1);
}

} // namespace veskar
