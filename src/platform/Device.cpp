#include "platform/Device.h"

#include "platform/Effect.h"

#include <fstream>
#include <iterator>
#include <new>
#include <sstream>
#include <cerrno>
#include <cstring>

namespace veskar {

namespace {

template <typename Buffer>
Result lockBytes(Buffer& b, std::uint32_t offset, std::uint32_t size, void** data)
{
    if (!data || b.locked) return kInvalidCall;
    if (offset > b.bytes.size() || (size != 0 && size > b.bytes.size() - offset)) return kInvalidCall;
    b.locked = true;
    *data = b.bytes.data() + offset;
    return kOk;
}

} // namespace

Result VertexBuffer::lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t)
{
    return lockBytes(*this, offset, size, data);
}

Result VertexBuffer::unlock()
{
    if (!locked) return kInvalidCall;
    locked = false;
    ++uploads;
    device->uploadVertexBuffer(*this);
    return kOk;
}

void VertexBuffer::release() { device->releaseVertexBuffer(this); }

Result IndexBuffer::lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t)
{
    return lockBytes(*this, offset, size, data);
}

Result IndexBuffer::unlock()
{
    if (!locked) return kInvalidCall;
    locked = false;
    ++uploads;
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
    renderStates_[static_cast<std::size_t>(RenderState::AlphaFunc)] = 8;  // always
    renderStates_[static_cast<std::size_t>(RenderState::SrcBlend)] = 2;   // one
    renderStates_[static_cast<std::size_t>(RenderState::DestBlend)] = 1;  // zero
    renderStates_[static_cast<std::size_t>(RenderState::Lighting)] = 1;
}

Device::~Device() = default;

Result Device::createVertexBuffer(std::uint32_t length, std::uint32_t, std::uint32_t fvfBits, Pool pool, VertexBuffer** out)
{
    if (!out) return kInvalidCall;
    *out = nullptr;
    if (length == 0) return kInvalidCall;
    auto* b = new (std::nothrow) VertexBuffer;
    if (!b) return kOutOfMemory;
    try {
        b->bytes.assign(length, 0);
    } catch (const std::bad_alloc&) {
        delete b;
        return kOutOfMemory;
    }
    b->fvf = fvfBits;
    b->pool = pool;
    b->device = this;
    ++liveObjects_;
    *out = b;
    return kOk;
}

Result Device::createIndexBuffer(std::uint32_t length, std::uint32_t, IndexFormat format, Pool pool, IndexBuffer** out)
{
    if (!out) return kInvalidCall;
    *out = nullptr;
    if (length == 0) return kInvalidCall;
    auto* b = new (std::nothrow) IndexBuffer;
    if (!b) return kOutOfMemory;
    try {
        b->bytes.assign(length, 0);
    } catch (const std::bad_alloc&) {
        delete b;
        return kOutOfMemory;
    }
    b->format = format;
    b->pool = pool;
    b->device = this;
    ++liveObjects_;
    *out = b;
    return kOk;
}

Result Device::createTexture(int width, int height, const std::uint8_t* rgba, Texture** out)
{
    if (!out) return kInvalidCall;
    *out = nullptr;
    if (width <= 0 || height <= 0 || !rgba) return kInvalidCall;
    auto* t = new (std::nothrow) Texture;
    if (!t) return kOutOfMemory;
    t->width = width;
    t->height = height;
    t->rgba.assign(rgba, rgba + static_cast<std::size_t>(width) * height * 4);
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
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (errors) *errors = std::string(path) + ": cannot open the effect file: " + std::strerror(errno);
        return kFail;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        if (errors) *errors = std::string(path) + ": cannot read the effect file";
        return kFail;
    }
    auto* e = new Effect;
    e->path = path;
    e->device = this;
    std::string log;
    if (!e->parse(text.str(), log)) {
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

Result Device::drawTextQuads(Texture&, const TextQuad* quads, std::size_t count, std::uint32_t)
{
    return count != 0 && !quads ? kInvalidCall : kOk;
}

void Device::uploadTexture(Texture&) {}

bool Device::readPixels(std::vector<std::uint8_t>&, int&, int&) { return false; }

void Device::releaseVertexBuffer(VertexBuffer* buffer)
{
    if (!buffer) return;
    if (stream_ == buffer) stream_ = nullptr;
    destroyVertexBufferObject(*buffer);
    delete buffer;
    --liveObjects_;
}

void Device::releaseIndexBuffer(IndexBuffer* buffer)
{
    if (!buffer) return;
    if (indices_ == buffer) indices_ = nullptr;
    destroyIndexBufferObject(*buffer);
    delete buffer;
    --liveObjects_;
}

void Device::releaseTexture(Texture* texture)
{
    if (!texture) return;
    for (auto& t : textures_)
        if (t == texture) t = nullptr;
    destroyTextureObject(*texture);
    delete texture;
    --liveObjects_;
}

void Device::releaseEffect(Effect* effect)
{
    if (!effect) return;
    if (activeEffect_ == effect) activeEffect_ = nullptr;
    destroyEffectObject(*effect);
    delete effect;
    --liveObjects_;
}

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
