#pragma once
// A device that draws nothing and remembers everything: the converter runs on
// it and tests inspect what the system handed it.

#include "gpu/Device.h"

#include <unordered_map>
#include <vector>

namespace veskar {

struct RecordedDraw {
    PrimitiveType type = PrimitiveType::TriangleList;
    bool indexed = false;
    bool userPointer = false;
    std::uint32_t primitiveCount = 0;
    std::uint32_t startVertex = 0;
    std::uint32_t startIndex = 0;
    std::uint32_t fvf = 0;
    std::uint32_t fillMode = 0;
    const VertexBuffer* stream = nullptr;
    const IndexBuffer* indices = nullptr;
    const Texture* texture = nullptr;
    const Effect* effect = nullptr;
    Matrix world;
    std::vector<std::uint8_t> userVertices;  // copy of the vertices of an UP draw
};

class MemoryDevice final : public Device {
public:
    Result clear(std::uint32_t flags, std::uint32_t argbColour, float z, std::uint32_t stencil) override;
    Result beginScene() override;
    Result endScene() override;
    Result present() override;
    void uploadVertexBuffer(VertexBuffer& buffer) override { ++uploads_[&buffer]; }
    void uploadIndexBuffer(IndexBuffer& buffer) override { ++uploads_[&buffer]; }
    void applyEffect(Effect&) override { ++effectApplications; }
    void finishEffect(Effect&) override {}
    // A picture of the viewport's size in the last clear colour: nothing is
    // drawn here, but the picture has the frame's size and background.
    bool readPixels(std::vector<std::uint8_t>& rgba, int& width, int& height) override;
    // As a graphics card with S3TC when s3tc is set.
    bool drawsBlocks(BlockFormat) const override { return s3tc; }

    // Times a buffer was sent to the device (its unlocks).
    std::uint64_t uploadsOf(const DeviceBuffer& buffer) const
    {
        const auto found = uploads_.find(&buffer);
        return found == uploads_.end() ? 0 : found->second;
    }

    bool s3tc = false;
    std::vector<RecordedDraw> draws;
    std::uint32_t lastClearColour = 0;
    int clears = 0;
    int scenes = 0;
    int presents = 0;
    int effectApplications = 0;
    int textDraws = 0;
    std::vector<TextQuad> lastTextQuads;
    std::uint32_t lastTextColour = 0;

protected:
    // The backend hooks of Device, as gl/GlDevice.h implements them for OpenGL.
    Result drawArrays(PrimitiveType type, std::uint32_t startVertex, std::uint32_t vertexCount, std::uint32_t primitiveCount) override;
    Result drawElements(PrimitiveType type, std::int32_t baseVertex, std::uint32_t startIndex, std::uint32_t indexCount,
                        std::uint32_t primitiveCount) override;
    Result drawUserVertices(PrimitiveType type, const void* vertices, std::uint32_t vertexCount, std::uint32_t stride,
                            std::uint32_t primitiveCount) override;
    Result drawText(Texture& atlas, const TextQuad* quads, std::size_t count, std::uint32_t argbColour) override;
    Result createTextureObject(Texture&) override { return kOk; }
    void destroyTextureObject(Texture&) override {}
    void destroyVertexBufferObject(VertexBuffer& buffer) override { uploads_.erase(&buffer); }
    void destroyIndexBufferObject(IndexBuffer& buffer) override { uploads_.erase(&buffer); }
    Result compileEffect(Effect&, std::string&) override { return kOk; }
    void destroyEffectObject(Effect&) override {}

private:
    RecordedDraw snapshot(PrimitiveType type, std::uint32_t primitiveCount) const;

    std::unordered_map<const DeviceBuffer*, std::uint64_t> uploads_;
};

} // namespace veskar
