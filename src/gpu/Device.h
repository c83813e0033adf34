#pragma once
// The drawing device the system's models and frame talk to. Resources are plain
// classes holding a CPU copy of their bytes; a backend (OpenGL for the program,
// in-memory for tests and the converter) mirrors them through the hooks below.

#include "base/BlockCompression.h"
#include "base/Math.h"
#include "gpu/Result.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace veskar {

class Device;
class Effect;

enum class Pool { Default, Managed };
enum class IndexFormat { Index16, Index32 };

// Flexible vertex format bits, with the Direct3D 9 values.
namespace fvf {
constexpr std::uint32_t kXyz = 0x002;
constexpr std::uint32_t kPositionMask = 0x400E;
constexpr std::uint32_t kNormal = 0x010;
constexpr std::uint32_t kPointSize = 0x020;
constexpr std::uint32_t kDiffuse = 0x040;
constexpr std::uint32_t kSpecular = 0x080;
constexpr std::uint32_t kTex1 = 0x100;
constexpr std::uint32_t kTex2 = 0x200;
constexpr std::uint32_t kTex3 = 0x300;
constexpr std::uint32_t textureCoordSize4(int index) { return 2u << (index * 2 + 16); }
} // namespace fvf

enum class PrimitiveType { PointList = 1, LineList = 2, LineStrip = 3, TriangleList = 4, TriangleStrip = 5, TriangleFan = 6 };
enum class TransformType { View = 2, Projection = 3, World = 256 };

// Render states with their Direct3D 9 numbers, so values read as written.
enum class RenderState : std::uint32_t {
    ZEnable = 7,
    FillMode = 8,
    ZWriteEnable = 14,
    AlphaTestEnable = 15,
    SrcBlend = 19,
    DestBlend = 20,
    CullMode = 22,
    AlphaRef = 24,
    AlphaFunc = 25,
    AlphaBlendEnable = 27,
    SpecularEnable = 29,
    Lighting = 137,
};
constexpr std::uint32_t kFillPoint = 1, kFillWireframe = 2, kFillSolid = 3;
constexpr std::uint32_t kCullNone = 1, kCullCW = 2, kCullCCW = 3;
constexpr std::uint32_t kBlendZero = 1, kBlendOne = 2, kBlendSrcColor = 3, kBlendInvSrcColor = 4, kBlendSrcAlpha = 5,
                        kBlendInvSrcAlpha = 6, kBlendDestAlpha = 7, kBlendInvDestAlpha = 8, kBlendDestColor = 9,
                        kBlendInvDestColor = 10, kBlendSrcAlphaSat = 11;
// Comparisons (the alpha test's AlphaFunc); the effect preludes use the same numbers.
constexpr std::uint32_t kCmpNever = 1, kCmpLess = 2, kCmpEqual = 3, kCmpLessEqual = 4, kCmpGreater = 5, kCmpNotEqual = 6,
                        kCmpGreaterEqual = 7, kCmpAlways = 8;

enum class SamplerState : std::uint32_t { AddressU = 1, AddressV = 2, MagFilter = 5, MinFilter = 6, MipFilter = 7 };
constexpr std::uint32_t kTexFilterPoint = 1, kTexFilterLinear = 2;
constexpr std::uint32_t kTexAddressWrap = 1, kTexAddressMirror = 2, kTexAddressClamp = 3, kTexAddressBorder = 4,
                        kTexAddressMirrorOnce = 5;

constexpr std::uint32_t kClearTarget = 1, kClearZBuffer = 2;

// One glyph of overlay text: a rectangle in pixels of the render target (x to
// the right, y down, edges on pixel boundaries) and the part of the glyph atlas
// it shows, in texture coordinates (v = 0 is the atlas's top row).
struct TextQuad {
    float left = 0.0f, top = 0.0f, right = 0.0f, bottom = 0.0f;
    float u0 = 0.0f, v0 = 0.0f, u1 = 0.0f, v1 = 0.0f;
};

struct Viewport {
    std::uint32_t x = 0, y = 0, width = 0, height = 0;
    float minZ = 0.0f, maxZ = 1.0f;
};

// Resources. Each holds one reference owned by whoever created it; release()
// hands it back to its device, which destroys it.

// What both kinds of buffer are: bytes the backend mirrors, written between
// lock() and unlock(), which sends them to the backend.
class DeviceBuffer {
public:
    Result lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t flags);
    std::uint32_t length() const { return static_cast<std::uint32_t>(bytes.size()); }

    Pool pool = Pool::Default;
    std::vector<std::uint8_t> bytes;
    bool locked = false;
    std::uintptr_t backendHandle = 0;
    Device* device = nullptr;

protected:
    // Ends the lock; false when there was none.
    bool endLock();
};

class VertexBuffer : public DeviceBuffer {
public:
    Result unlock();
    void release();

    std::uint32_t fvf = 0;
};

class IndexBuffer : public DeviceBuffer {
public:
    Result unlock();
    void release();

    IndexFormat format = IndexFormat::Index32;
};

// A texture kept in the blocks its file held (DDS), for a backend that draws
// them as they are: levels mip levels, level 0 first, each next one half the
// size down to 1.
struct TextureBlocks {
    BlockFormat format = BlockFormat::Bc1;
    int levels = 0;
    std::vector<std::uint8_t> bytes;
};

class Texture {
public:
    void release();

    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;  // width * height * 4 bytes, rows top to bottom; empty when held in blocks
    TextureBlocks blocks;            // levels 0 unless held in blocks
    std::string sourcePath;
    std::uintptr_t backendHandle = 0;
    Device* device = nullptr;
};

// The device. The resource and state bookkeeping and the checks of every call
// live here; a backend subclass only mirrors them (upload, draw, present) and
// is handed calls that already passed.
class Device {
public:
    Device();
    virtual ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    Result createVertexBuffer(std::uint32_t length, std::uint32_t usage, std::uint32_t fvf, Pool pool, VertexBuffer** out);
    Result createIndexBuffer(std::uint32_t length, std::uint32_t usage, IndexFormat format, Pool pool, IndexBuffer** out);
    // rgba: width * height * 4 bytes, rows top to bottom.
    Result createTexture(int width, int height, const std::uint8_t* rgba, Texture** out);
    // bytes: levels mip levels of blocks, level 0 (width x height) first. A
    // backend that cannot draw the format gets level 0 decoded.
    Result createBlockTexture(int width, int height, BlockFormat format, int levels, std::span<const std::uint8_t> bytes, Texture** out);
    // Whether the backend draws textures held in blocks of that format.
    virtual bool drawsBlocks(BlockFormat) const { return false; }
    // Reads and prepares an effect file; errors gets the compiler's (or reader's) text.
    Result createEffectFromFile(const char* path, Effect** out, std::string* errors);

    // Objects created and not yet released: buffers, textures and effects.
    int liveObjects() const { return liveObjects_; }

    Result setTransform(TransformType type, const Matrix& m);
    Result getTransform(TransformType type, Matrix* out) const;
    Result setRenderState(RenderState state, std::uint32_t value);
    std::uint32_t renderState(RenderState state) const;
    Result setSamplerState(std::uint32_t stage, SamplerState state, std::uint32_t value);
    Result setViewport(const Viewport& viewport);
    const Viewport& viewport() const { return viewport_; }
    Result lightEnable(std::uint32_t index, bool enable);
    bool lightEnabled(std::uint32_t index) const { return index < 8 && lights_[index]; }
    Result setTexture(std::uint32_t stage, Texture* texture);
    Texture* texture(std::uint32_t stage) const { return stage < 8 ? textures_[stage] : nullptr; }
    Result setFVF(std::uint32_t fvf);
    std::uint32_t currentFVF() const { return fvf_; }
    Result setStreamSource(std::uint32_t stream, VertexBuffer* buffer, std::uint32_t offset, std::uint32_t stride);
    Result setIndices(IndexBuffer* buffer);
    Effect* activeEffect() const { return activeEffect_; }

    virtual Result clear(std::uint32_t flags, std::uint32_t argbColour, float z, std::uint32_t stencil) = 0;
    virtual Result beginScene() = 0;
    virtual Result endScene() = 0;
    virtual Result present() = 0;
    // Draws from the stream (and indices) set; refused when a call would read
    // beyond them.
    Result drawPrimitive(PrimitiveType type, std::uint32_t startVertex, std::uint32_t primitiveCount);
    Result drawIndexedPrimitive(PrimitiveType type, std::int32_t baseVertex, std::uint32_t minIndex, std::uint32_t vertexCount,
                                std::uint32_t startIndex, std::uint32_t primitiveCount);
    Result drawPrimitiveUP(PrimitiveType type, std::uint32_t primitiveCount, const void* vertices, std::uint32_t stride);
    // Overlay text: glyph quads from an atlas whose alpha is the glyph coverage,
    // in one ARGB colour, blended over the frame without depth. Like a D3DX font
    // it brings its own states: the render states set on the device stay as set.
    Result drawTextQuads(Texture& atlas, const TextQuad* quads, std::size_t count, std::uint32_t argbColour);
    // Sends a texture's rgba to the backend again after its owner rewrote it.
    virtual void uploadTexture(Texture& texture);
    // The picture drawn so far into the render target: width * height * 4
    // bytes of RGBA, rows top to bottom. False when the backend has none.
    virtual bool readPixels(std::vector<std::uint8_t>& rgba, int& width, int& height);

    // Vertices a primitive count takes of a type.
    static std::uint32_t verticesFor(PrimitiveType type, std::uint32_t primitives);

    // Called by the resources; not for the system's code.
    void releaseVertexBuffer(VertexBuffer* buffer);
    void releaseIndexBuffer(IndexBuffer* buffer);
    void releaseTexture(Texture* texture);
    void releaseEffect(Effect* effect);
    virtual void uploadVertexBuffer(VertexBuffer& buffer) = 0;
    virtual void uploadIndexBuffer(IndexBuffer& buffer) = 0;
    // Effect passes: the effect calls these from begin/beginPass/commitChanges/endPass/end.
    virtual void applyEffect(Effect& effect) = 0;
    virtual void finishEffect(Effect& effect) = 0;

protected:
    // The checked draws, with the vertices (of an indexed draw: indices) they read.
    virtual Result drawArrays(PrimitiveType type, std::uint32_t startVertex, std::uint32_t vertexCount, std::uint32_t primitiveCount) = 0;
    virtual Result drawElements(PrimitiveType type, std::int32_t baseVertex, std::uint32_t startIndex, std::uint32_t indexCount,
                                std::uint32_t primitiveCount) = 0;
    virtual Result drawUserVertices(PrimitiveType type, const void* vertices, std::uint32_t vertexCount, std::uint32_t stride,
                                    std::uint32_t primitiveCount) = 0;
    virtual Result drawText(Texture& atlas, const TextQuad* quads, std::size_t count, std::uint32_t argbColour);

    virtual Result createTextureObject(Texture& texture) = 0;
    virtual void destroyTextureObject(Texture& texture) = 0;
    virtual void destroyVertexBufferObject(VertexBuffer& buffer) = 0;
    virtual void destroyIndexBufferObject(IndexBuffer& buffer) = 0;
    // Turns the effect file's text into something the backend can run.
    virtual Result compileEffect(Effect& effect, std::string& log) = 0;
    virtual void destroyEffectObject(Effect& effect) = 0;

    Matrix world_, view_, projection_;
    std::array<std::uint32_t, 256> renderStates_{};
    std::array<std::array<std::uint32_t, 16>, 8> samplerStates_{};
    std::array<bool, 8> lights_{};
    std::array<Texture*, 8> textures_{};
    Viewport viewport_;
    std::uint32_t fvf_ = 0;
    VertexBuffer* stream_ = nullptr;
    std::uint32_t streamOffset_ = 0;
    std::uint32_t streamStride_ = 0;
    IndexBuffer* indices_ = nullptr;
    Effect* activeEffect_ = nullptr;
    int liveObjects_ = 0;

private:
    template <typename Buffer>
    Result createBuffer(std::uint32_t length, Pool pool, Buffer** out);
    // Hands a new texture to the backend and counts it; deletes it when the backend refuses.
    Result addTexture(Texture* texture, Texture** out);
    // Unbinds a released resource wherever bindings hold it, destroys its
    // backend object, deletes it and stops counting it.
    template <typename Resource>
    void forget(Resource* resource, std::span<Resource*> bindings, void (Device::*destroyObject)(Resource&));

    friend class Effect;
};

} // namespace veskar
