#include "gpu/MemoryDevice.h"

#include <algorithm>
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

bool MemoryDevice::readPixels(std::vector<std::uint8_t>& rgba, int& width, int& height)
{
    width = static_cast<int>(viewport_.width);
    height = static_cast<int>(viewport_.height);
    const std::uint8_t pixel[4] = {static_cast<std::uint8_t>(lastClearColour >> 16), static_cast<std::uint8_t>(lastClearColour >> 8),
                                   static_cast<std::uint8_t>(lastClearColour), static_cast<std::uint8_t>(lastClearColour >> 24)};
    rgba.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    for (std::size_t i = 0; i < rgba.size(); i += 4) std::copy(pixel, pixel + 4, rgba.begin() + static_cast<std::ptrdiff_t>(i));
    return width > 0 && height > 0;
}

} // namespace veskar
