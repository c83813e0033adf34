#include "gpu/Device.h"

#include "gpu/Effect.h"
#include "system/InputFile.h"

#include <algorithm>
#include <iterator>
#include <new>
#include <string>

namespace veskar {

Result DeviceBuffer::lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t)
{
    if (!data || locked) return kInvalidCall;
    if (offset > bytes.size() || (size != 0 && size > bytes.size() - offset)) return kInvalidCall;
    locked = true;
    *data = bytes.data() + offset;
    return kOk;
}

bool DeviceBuffer::endLock()
{
    if (!locked) return false;
    locked = false;
    return true;
}

Result VertexBuffer::unlock()
{
    if (!endLock()) return kInvalidCall;
    device->uploadVertexBuffer(*this);
    return kOk;
}

void VertexBuffer::release() { device->releaseVertexBuffer(this); }

Result IndexBuffer::unlock()
{
    if (!endLock()) return kInvalidCall;
    device->uploadIndexBuffer(*this);
    return kOk;
}

void IndexBuffer::release() { device->releaseIndexBuffer(this); }

void Texture::release() { device->releaseTexture(this); }

Device::Device()
{
    renderStates_[static_cast<std::size_t>(RenderState::ZEnable)] = 1;
    renderStates_[static_cast<std::size_t>(RenderState::FillMode)] = kFillSolid;
    renderStates_[static_cast<std::size_t>(RenderState::ZWriteEnable)] = 1;
    renderStates_[static_cast<std::size_t>(RenderState::CullMode)] = kCullCCW;
    renderStates_[static_cast<std::size_t>(RenderState::AlphaFunc)] = kCmpAlways;
    renderStates_[static_cast<std::size_t>(RenderState::SrcBlend)] = kBlendOne;
    renderStates_[static_cast<std::size_t>(RenderState::DestBlend)] = kBlendZero;
    renderStates_[static_cast<std::size_t>(RenderState::Lighting)] = 1;
}

Device::~Device() = default;

template <typename Buffer>
Result Device::createBuffer(std::uint32_t length, Pool pool, Buffer** out)
{
    if (!out) return kInvalidCall;
    *out = nullptr;
    if (length == 0) return kInvalidCall;
    auto* b = new (std::nothrow) Buffer;
    if (!b) return kOutOfMemory;
    try {
        b->bytes.assign(length, 0);
    } catch (const std::bad_alloc&) {
        delete b;
        return kOutOfMemory;
    }
    b->pool = pool;
    b->device = this;
    ++liveObjects_;
    *out = b;
    return kOk;
}

template <typename Resource>
void Device::forget(Resource* resource, std::span<Resource*> bindings, void (Device::*destroyObject)(Resource&))
{
    if (!resource) return;
    for (Resource*& bound : bindings)
        if (bound == resource) bound = nullptr;
    (this->*destroyObject)(*resource);
    delete resource;
    --liveObjects_;
}

Result Device::createVertexBuffer(std::uint32_t length, std::uint32_t, std::uint32_t fvfBits, Pool pool, VertexBuffer** out)
{
    const Result r = createBuffer(length, pool, out);
    if (!failed(r)) (*out)->fvf = fvfBits;
    return r;
}

Result Device::createIndexBuffer(std::uint32_t length, std::uint32_t, IndexFormat format, Pool pool, IndexBuffer** out)
{
    const Result r = createBuffer(length, pool, out);
    if (!failed(r)) (*out)->format = format;
    return r;
}

Result Device::createTexture(int width, int height, const std::uint8_t* rgba, Texture** out)
{
    if (!out) return kInvalidCall;
    *out = nullptr;
    if (width <= 0 || height <= 0 || !rgba) return kInvalidCall;
    auto* t = new (std::nothrow) Texture;
    if (!t) return kOutOfMemory;
    try {
        t->rgba.assign(rgba, rgba + static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    } catch (const std::bad_alloc&) {
        delete t;
        return kOutOfMemory;
    }
    t->width = width;
    t->height = height;
    return addTexture(t, out);
}

Result Device::createBlockTexture(int width, int height, BlockFormat format, int levels, std::span<const std::uint8_t> bytes, Texture** out)
{
    if (!out) return kInvalidCall;
    *out = nullptr;
    if (width <= 0 || height <= 0 || levels <= 0 || levels > 32) return kInvalidCall;
    std::uint64_t expected = 0;
    for (int level = 0; level < levels; ++level) expected += blockImageBytes(format, std::max(width >> level, 1), std::max(height >> level, 1));
    if (bytes.size() != expected) return kInvalidCall;
    if (!drawsBlocks(format)) {
        std::vector<std::uint8_t> rgba;
        try {
            rgba.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
        } catch (const std::bad_alloc&) {
            return kOutOfMemory;
        }
        decodeBlocks(format, width, height, bytes.data(), rgba.data());
        return createTexture(width, height, rgba.data(), out);
    }
    auto* t = new (std::nothrow) Texture;
    if (!t) return kOutOfMemory;
    try {
        t->blocks.bytes.assign(bytes.begin(), bytes.end());
    } catch (const std::bad_alloc&) {
        delete t;
        return kOutOfMemory;
    }
    t->width = width;
    t->height = height;
    t->blocks.format = format;
    t->blocks.levels = levels;
    return addTexture(t, out);
}

Result Device::addTexture(Texture* t, Texture** out)
{
    t->device = this;
    const Result r = createTextureObject(*t);
    if (failed(r)) {
        delete t;
        return r;
    }
    ++liveObjects_;
    *out = t;
    return kOk;
}

Result Device::createEffectFromFile(const char* path, Effect** out, std::string* errors)
{
    if (!out || !path) return kInvalidCall;
    *out = nullptr;
    std::string text, reason;
    if (!readWholeFile(path, text, reason)) {
        if (errors) *errors = std::string(path) + ": cannot open the effect file: " + reason;
        return kFail;
    }
    auto* e = new Effect;
    e->path = path;
    e->device = this;
    std::string log;
    if (!e->parse(text, log)) {
        delete e;
        if (errors) *errors = log;
        return kFail;
    }
    const Result r = compileEffect(*e, log);
    if (failed(r)) {
        delete e;
        if (errors) *errors = log.empty() ? std::string(path) + ": the effect did not compile" : log;
        return r;
    }
    ++liveObjects_;
    *out = e;
    return kOk;
}

std::uint32_t Device::verticesFor(PrimitiveType type, std::uint32_t primitives)
{
    switch (type) {
    case PrimitiveType::PointList: return primitives;
    case PrimitiveType::LineList: return primitives * 2;
    case PrimitiveType::LineStrip: return primitives + 1;
    case PrimitiveType::TriangleList: return primitives * 3;
    case PrimitiveType::TriangleStrip:
    case PrimitiveType::TriangleFan: return primitives + 2;
    }
    return 0;
}

Result Device::drawPrimitive(PrimitiveType type, std::uint32_t startVertex, std::uint32_t primitiveCount)
{
    if (!stream_ || streamStride_ == 0) return kInvalidCall;
    const std::uint32_t count = verticesFor(type, primitiveCount);
    const std::uint64_t end = streamOffset_ + (static_cast<std::uint64_t>(startVertex) + count) * streamStride_;
    if (end > stream_->bytes.size()) return kInvalidCall;
    return drawArrays(type, startVertex, count, primitiveCount);
}

Result Device::drawIndexedPrimitive(PrimitiveType type, std::int32_t baseVertex, std::uint32_t, std::uint32_t, std::uint32_t startIndex,
                                    std::uint32_t primitiveCount)
{
    if (!stream_ || streamStride_ == 0 || !indices_) return kInvalidCall;
    const std::uint32_t count = verticesFor(type, primitiveCount);
    const std::uint64_t indexSize = indices_->format == IndexFormat::Index32 ? 4 : 2;
    if ((static_cast<std::uint64_t>(startIndex) + count) * indexSize > indices_->bytes.size()) return kInvalidCall;
    return drawElements(type, baseVertex, startIndex, count, primitiveCount);
}

Result Device::drawPrimitiveUP(PrimitiveType type, std::uint32_t primitiveCount, const void* vertices, std::uint32_t stride)
{
    if (!vertices || stride == 0) return kInvalidCall;
    return drawUserVertices(type, vertices, verticesFor(type, primitiveCount), stride, primitiveCount);
}

Result Device::drawTextQuads(Texture& atlas, const TextQuad* quads, std::size_t count, std::uint32_t argbColour)
{
    if (count != 0 && !quads) return kInvalidCall;
    return drawText(atlas, quads, count, argbColour);
}

Result Device::drawText(Texture&, const TextQuad*, std::size_t, std::uint32_t) { return kOk; }

void Device::uploadTexture(Texture&) {}

bool Device::readPixels(std::vector<std::uint8_t>&, int&, int&) { return false; }

void Device::releaseVertexBuffer(VertexBuffer* buffer) { forget<VertexBuffer>(buffer, {&stream_, 1}, &Device::destroyVertexBufferObject); }

void Device::releaseIndexBuffer(IndexBuffer* buffer) { forget<IndexBuffer>(buffer, {&indices_, 1}, &Device::destroyIndexBufferObject); }

void Device::releaseTexture(Texture* texture) { forget<Texture>(texture, textures_, &Device::destroyTextureObject); }

void Device::releaseEffect(Effect* effect) { forget<Effect>(effect, {&activeEffect_, 1}, &Device::destroyEffectObject); }

Result Device::setTransform(TransformType type, const Matrix& m)
{
    switch (type) {
    case TransformType::World: world_ = m; return kOk;
    case TransformType::View: view_ = m; return kOk;
    case TransformType::Projection: projection_ = m; return kOk;
    }
    return kInvalidCall;
}

Result Device::getTransform(TransformType type, Matrix* out) const
{
    if (!out) return kInvalidCall;
    switch (type) {
    case TransformType::World: *out = world_; return kOk;
    case TransformType::View: *out = view_; return kOk;
    case TransformType::Projection: *out = projection_; return kOk;
    }
    return kInvalidCall;
}

Result Device::setRenderState(RenderState state, std::uint32_t value)
{
    const auto index = static_cast<std::size_t>(state);
    if (index >= renderStates_.size()) return kInvalidCall;
    renderStates_[index] = value;
    return kOk;
}

std::uint32_t Device::renderState(RenderState state) const
{
    const auto index = static_cast<std::size_t>(state);
    return index < renderStates_.size() ? renderStates_[index] : 0;
}

Result Device::setSamplerState(std::uint32_t stage, SamplerState state, std::uint32_t value)
{
    const auto index = static_cast<std::size_t>(state);
    if (stage >= samplerStates_.size() || index >= samplerStates_[0].size()) return kInvalidCall;
    samplerStates_[stage][index] = value;
    return kOk;
}

Result Device::setViewport(const Viewport& viewport)
{
    viewport_ = viewport;
    return kOk;
}

Result Device::lightEnable(std::uint32_t index, bool enable)
{
    if (index >= lights_.size()) return kInvalidCall;
    lights_[index] = enable;
    return kOk;
}

Result Device::setTexture(std::uint32_t stage, Texture* texture)
{
    if (stage >= textures_.size()) return kInvalidCall;
    textures_[stage] = texture;
    return kOk;
}

Result Device::setFVF(std::uint32_t fvfBits)
{
    fvf_ = fvfBits;
    return kOk;
}

Result Device::setStreamSource(std::uint32_t stream, VertexBuffer* buffer, std::uint32_t offset, std::uint32_t stride)
{
    if (stream != 0) return kInvalidCall;
    stream_ = buffer;
    streamOffset_ = offset;
    streamStride_ = stride;
    return kOk;
}

Result Device::setIndices(IndexBuffer* buffer)
{
    indices_ = buffer;
    return kOk;
}

} // namespace veskar
