#include "app/RootMarkers.h"

#include "render/EngineModel.h"
#include "gpu/Device.h"

#include <algorithm>
#include <cstring>

namespace veskar {

namespace {

constexpr float kCube[24][3] = {
    {-1, 1, -1}, {1, 1, -1},  {-1, -1, -1}, {1, -1, -1},  // z = -1
    {1, 1, -1},  {1, 1, 1},   {1, -1, -1},  {1, -1, 1},   // x = +1
    {1, 1, 1},   {-1, 1, 1},  {1, -1, 1},   {-1, -1, 1},  // z = +1
    {-1, 1, 1},  {-1, 1, -1}, {-1, -1, 1},  {-1, -1, -1}, // x = -1
    {-1, 1, 1},  {1, 1, 1},   {-1, 1, -1},  {1, 1, -1},   // y = +1
    {-1, -1, -1}, {1, -1, -1}, {-1, -1, 1}, {1, -1, 1},   // y = -1
};

} // namespace

Result RootMarkers::create(Device& device)
{
    if (failed(device.createVertexBuffer(sizeof kCube, 0, 0, Pool::Default, &vertices))) return kFail;
    void* data = nullptr;
    if (failed(vertices->lock(0, 0, &data, 0))) return kFail;
    std::memcpy(data, kCube, sizeof kCube);
    vertices->unlock();

    if (failed(device.createIndexBuffer(36 * 2, 0, IndexFormat::Index16, Pool::Default, &indices))) return kFail;
    if (failed(indices->lock(0, 0, &data, 0))) return kFail;
    auto* index = static_cast<std::uint16_t*>(data);
    for (int f = 0; f < 6; ++f) {
        const auto b = static_cast<std::uint16_t>(4 * f);
        const std::uint16_t face[6] = {b, static_cast<std::uint16_t>(b + 1), static_cast<std::uint16_t>(b + 2),
                                       static_cast<std::uint16_t>(b + 1), static_cast<std::uint16_t>(b + 3), static_cast<std::uint16_t>(b + 2)};
        std::memcpy(index + 6 * f, face, sizeof face);
    }
    indices->unlock();
    return kOk;
}

void RootMarkers::release()
{
    if (indices) indices->release();
    indices = nullptr;
    if (vertices) vertices->release();
    vertices = nullptr;
}

void RootMarkers::drawCube(Device& device)
{
    device.setStreamSource(0, vertices, 0, 12);
    device.setFVF(fvf::kXyz);
    device.setIndices(indices);
    device.drawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 24, 0, 12);
}

bool currentRootKey(const EngineModel& model, Matrix& world, float position[3])
{
    if (!model.hasAnimation || !model.hasMesh) return false;
    const std::int32_t root = model.meshes[0].rootBone;
    if (model.currentAnimation < 0 || model.currentAnimation >= kModelSlots) return false;
    const EngineAnimation& animation = model.animations[static_cast<std::size_t>(model.currentAnimation)];
    if (!animation.hasFrames() || root < 0 || root >= animation.nodeCount) return false;
    // A new animation may be shorter than the position the old one had reached.
    const std::int32_t frame = std::clamp(animation.currentFrame, 0, animation.frameCount - 1);
    const EngineNode& node = animation.frame(frame)[static_cast<std::size_t>(root)];
    world = node.worldMatrix;
    std::copy(node.position, node.position + 3, position);
    return true;
}

} // namespace veskar
