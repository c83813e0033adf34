#include "platform/MemoryDevice.h"

#include <cstring>

namespace veskar {

Result MemoryDevice::clear(std::uint32_t, std::uint32_t argbColour, float, std::uint32_t)
{
    lastClearColour = argbColour;
    ++clears;
    return kOk;
}

Result MemoryDevice::beginScene()
{
    ++scenes;
    return kOk;
}

Result MemoryDevice::endScene() { return kOk; }

Result MemoryDevice::present()
{
    ++presents;
    return kOk;
}

RecordedDraw MemoryDevice::snapshot(PrimitiveType type, std::uint32_t primitiveCount) const
{
    RecordedDraw d;
    d.type = type;
    d.primitiveCount = primitiveCount;
    d.fvf = fvf_;
    d.fillMode = renderState(RenderState::FillMode);
    d.stream = stream_;
    d.indices = indices_;
    d.texture = textures_[0];
    d.effect = activeEffect_;
    d.world = world_;
    return d;
}

Result MemoryDevice::drawArrays(PrimitiveType type, std::uint32_t startVertex, std::uint32_t, std::uint32_t primitiveCount)
{
    RecordedDraw d = snapshot(type, primitiveCount);
    d.startVertex = startVertex;
    draws.push_back(std::move(d));
    return kOk;
}

Result MemoryDevice::drawElements(PrimitiveType type, std::int32_t, std::uint32_t startIndex, std::uint32_t, std::uint32_t primitiveCount)
{
    RecordedDraw d = snapshot(type, primitiveCount);
    d.indexed = true;
    d.startIndex = startIndex;
    draws.push_back(std::move(d));
    return kOk;
}

Result MemoryDevice::drawUserVertices(PrimitiveType type, const void* vertices, std::uint32_t vertexCount, std::uint32_t stride,
                                      std::uint32_t primitiveCount)
{
    RecordedDraw d = snapshot(type, primitiveCount);
    d.userPointer = true;
    d.stream = nullptr;
    const std::size_t bytes = static_cast<std::size_t>(vertexCount) * stride;
    d.userVertices.resize(bytes);
    std::memcpy(d.userVertices.data(), vertices, bytes);
    draws.push_back(std::move(d));
    return kOk;
}

Result MemoryDevice::drawText(Texture&, const TextQuad* quads, std::size_t count, std::uint32_t argbColour)
{
    ++textDraws;
    lastTextQuads.assign(quads, quads + count);
    lastTextColour = argbColour;
    return kOk;
}

} // namespace veskar
