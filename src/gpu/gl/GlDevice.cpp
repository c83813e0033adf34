#include "gpu/gl/GlDevice.h"

#include "gpu/Effect.h"
#include "gpu/gl/DeviceGlsl.h"   // made from gpu/gl/glsl at build time

#include "gpu/gl/GlFunctions.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace veskar {

namespace {

constexpr std::uint32_t kClearStencil = 4;
constexpr std::uint32_t kUnknown = 0xFFFFFFFFu;
constexpr int kAttribCount = 6;

// Where each part of a vertex lies, from its flexible vertex format.
struct VertexLayout {
    int position = -1;
    int normal = -1;
    int colour = -1;
    int texCoord[3] = {-1, -1, -1};
    int texSize[3] = {0, 0, 0};
};

bool decodeFvf(std::uint32_t bits, VertexLayout& out)
{
    if ((bits & fvf::kPositionMask) != fvf::kXyz) return false;
    int offset = 0;
    out.position = offset;
    offset += 12;
    if (bits & fvf::kNormal) {
        out.normal = offset;
        offset += 12;
    }
    if (bits & fvf::kPointSize) offset += 4;
    if (bits & fvf::kDiffuse) {
        out.colour = offset;
        offset += 4;
    }
    if (bits & fvf::kSpecular) offset += 4;
    const int sets = static_cast<int>((bits >> 8) & 0xF);
    static constexpr int kSizes[4] = {2, 3, 4, 1};
    for (int i = 0; i < sets && i < 8; ++i) {
        const int size = kSizes[(bits >> (16 + 2 * i)) & 3];
        if (i < 3) {
            out.texCoord[i] = offset;
            out.texSize[i] = size;
        }
        offset += size * 4;
    }
    return true;
}

GLenum glMode(PrimitiveType type)
{
    switch (type) {
    case PrimitiveType::PointList: return GL_POINTS;
    case PrimitiveType::LineList: return GL_LINES;
    case PrimitiveType::LineStrip: return GL_LINE_STRIP;
    case PrimitiveType::TriangleList: return GL_TRIANGLES;
    case PrimitiveType::TriangleStrip: return GL_TRIANGLE_STRIP;
    case PrimitiveType::TriangleFan: return GL_TRIANGLE_FAN;
    }
    return GL_TRIANGLES;
}

GLenum glBlend(std::uint32_t d3dBlend)
{
    switch (d3dBlend) {
    case kBlendZero: return GL_ZERO;
    case kBlendOne: return GL_ONE;
    case kBlendSrcColor: return GL_SRC_COLOR;
    case kBlendInvSrcColor: return GL_ONE_MINUS_SRC_COLOR;
    case kBlendSrcAlpha: return GL_SRC_ALPHA;
    case kBlendInvSrcAlpha: return GL_ONE_MINUS_SRC_ALPHA;
    case kBlendDestAlpha: return GL_DST_ALPHA;
    case kBlendInvDestAlpha: return GL_ONE_MINUS_DST_ALPHA;
    case kBlendDestColor: return GL_DST_COLOR;
    case kBlendInvDestColor: return GL_ONE_MINUS_DST_COLOR;
    case kBlendSrcAlphaSat: return GL_SRC_ALPHA_SATURATE;
    default: return GL_ONE;
    }
}

GLint glAddress(std::uint32_t d3dAddress)
{
    switch (d3dAddress) {
    case kTexAddressMirror: return GL_MIRRORED_REPEAT;
    case kTexAddressClamp: return GL_CLAMP_TO_EDGE;
    case kTexAddressBorder: return GL_CLAMP_TO_BORDER;
    case kTexAddressMirrorOnce: return GL_MIRRORED_REPEAT;  // mirror once needs GL 4.4
    default: return GL_REPEAT;                              // wrap, also the unset state
    }
}

GLint glMinFilter(std::uint32_t minFilter, std::uint32_t mipFilter)
{
    const bool linear = minFilter >= kTexFilterLinear;
    switch (mipFilter) {
    case kTexFilterPoint: return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    case kTexFilterLinear: return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    default: return linear ? GL_LINEAR : GL_NEAREST;
    }
}

// Core profiles list their extensions one by one.
bool hasExtension(const char* name)
{
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint i = 0; i < count; ++i) {
        const auto* extension = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
        if (extension && std::strcmp(extension, name) == 0) return true;
    }
    return false;
}

// GL_EXT_texture_compression_s3tc's formats; DXT1 with its transparent texels, as Direct3D draws it.
GLenum glBlockFormat(BlockFormat format)
{
    switch (format) {
    case BlockFormat::Bc1: return 0x83F1;   // GL_COMPRESSED_RGBA_S3TC_DXT1_EXT
    case BlockFormat::Bc2: return 0x83F2;   // GL_COMPRESSED_RGBA_S3TC_DXT3_EXT
    case BlockFormat::Bc3: return 0x83F3;   // GL_COMPRESSED_RGBA_S3TC_DXT5_EXT
    }
    return 0x83F1;
}

std::string shaderLog(GLuint shader)
{
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) glGetShaderInfoLog(shader, length, nullptr, log.data());
    while (!log.empty() && (log.back() == '\0' || log.back() == '\n')) log.pop_back();
    return log;
}

std::string programLog(GLuint program)
{
    GLint length = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) glGetProgramInfoLog(program, length, nullptr, log.data());
    while (!log.empty() && (log.back() == '\0' || log.back() == '\n')) log.pop_back();
    return log;
}

GLuint compileShader(GLenum kind, const std::string& source, std::string& log)
{
    GLuint shader = glCreateShader(kind);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        log = shaderLog(shader);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

// Links two stages; 0 with the compiler's or linker's text in log on failure.
GLuint linkProgram(const std::string& vertex, const std::string& fragment, std::string& log, const char* vertexName,
                   const char* fragmentName)
{
    std::string stageLog;
    GLuint vs = compileShader(GL_VERTEX_SHADER, vertex, stageLog);
    if (!vs) {
        log = std::string(vertexName) + ":\n" + stageLog;
        return 0;
    }
    GLuint fs = compileShader(GL_FRAGMENT_SHADER, fragment, stageLog);
    if (!fs) {
        glDeleteShader(vs);
        log = std::string(fragmentName) + ":\n" + stageLog;
        return 0;
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glLinkProgram(program);
    glDetachShader(program, vs);
    glDetachShader(program, fs);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (ok != GL_TRUE) {
        log = std::string("link:\n") + programLog(program);
        glDeleteProgram(program);
        return 0;
    }
    return program;
}

// The stage as GL compiles it: its own #version (or 3.3 core), the device's
// prelude, then the stage text numbered with the lines of the effect file.
std::string prepareStage(const std::string& stage, const char* prelude, int firstFileLine)
{
    std::size_t versionEnd = std::string::npos;
    int versionLine = 0;
    std::size_t pos = 0;
    int line = 1;
    while (pos < stage.size()) {
        std::size_t end = stage.find('\n', pos);
        if (end == std::string::npos) end = stage.size();
        const std::size_t first = stage.find_first_not_of(" \t\r", pos);
        if (first != std::string::npos && first < end) {
            if (stage.compare(first, 8, "#version") == 0) {
                versionEnd = end;
                versionLine = line;
            }
            break;  // #version may only follow blank lines
        }
        pos = end + 1;
        ++line;
    }
    // Mesa numbers the line after "#line N" as N.
    std::ostringstream out;
    if (versionEnd == std::string::npos) {
        out << "#version 330 core\n" << prelude << "#line " << firstFileLine << "\n" << stage;
    } else {
        out << stage.substr(0, versionEnd) << "\n" << prelude << "#line " << (firstFileLine + versionLine) << "\n";
        if (versionEnd < stage.size()) out << stage.substr(versionEnd + 1);
    }
    return out.str();
}

// The GL side of a compiled effect.
struct GlEffect {
    GLuint program = 0;
    std::vector<GLint> locations;  // per parameter
    std::vector<int> units;        // per parameter: its texture unit, -1 for the others
    int textureCount = 0;
    GLint alphaFunc = -1;
    GLint alphaRef = -1;
};

GlEffect* glEffect(const Effect& effect) { return reinterpret_cast<GlEffect*>(effect.backendHandle); }

void unpackArgb(std::uint32_t argb, float out[4])
{
    out[0] = static_cast<float>((argb >> 16) & 0xFF) / 255.0f;
    out[1] = static_cast<float>((argb >> 8) & 0xFF) / 255.0f;
    out[2] = static_cast<float>(argb & 0xFF) / 255.0f;
    out[3] = static_cast<float>((argb >> 24) & 0xFF) / 255.0f;
}

} // namespace

GlDevice::GlDevice() = default;

GlDevice::~GlDevice()
{
    if (!initialised_) return;
    glDeleteProgram(builtin_.id);
    glDeleteProgram(text_.id);
    glDeleteVertexArrays(1, &vertexArray_);
    glDeleteBuffers(1, &streamBuffer_);
    glDeleteTextures(1, &blackTexture_);
    glDeleteSamplers(8, samplers_);
    glDeleteSamplers(1, &textSampler_);
}

bool GlDevice::initialise(std::string& error)
{
    if (initialised_) return true;
    if (const int version = currentGlVersion(); version < 33) {
        error = "OpenGL 3.3 core is needed; the context offers " + std::to_string(version / 10) + "." + std::to_string(version % 10);
        return false;
    }
    std::string log;
    const std::string fragment = std::string("#version 330 core\n") + embedded::kAlphaTestPrelude + embedded::kBuiltinFragment;
    builtin_.id = linkProgram(embedded::kBuiltinVertex, fragment, log, "built-in vertex", "built-in fragment");
    if (!builtin_.id) {
        error = "the built-in program does not build: " + log;
        return false;
    }
    builtin_.worldViewProjection = glGetUniformLocation(builtin_.id, "worldViewProjection");
    builtin_.useTexture = glGetUniformLocation(builtin_.id, "useTexture");
    builtin_.alphaFunc = glGetUniformLocation(builtin_.id, "veskarAlphaFunc");
    builtin_.alphaRef = glGetUniformLocation(builtin_.id, "veskarAlphaRef");
    glUseProgram(builtin_.id);
    glUniform1i(glGetUniformLocation(builtin_.id, "stage0"), 0);

    text_.id = linkProgram(embedded::kTextVertex, embedded::kTextFragment, log, "text vertex", "text fragment");
    if (!text_.id) {
        glDeleteProgram(builtin_.id);
        error = "the text program does not build: " + log;
        return false;
    }
    text_.viewport = glGetUniformLocation(text_.id, "viewport");
    text_.colour = glGetUniformLocation(text_.id, "colour");
    glUseProgram(text_.id);
    glUniform1i(glGetUniformLocation(text_.id, "atlas"), 0);

    glGenVertexArrays(1, &vertexArray_);
    glBindVertexArray(vertexArray_);
    glGenBuffers(1, &streamBuffer_);

    const std::uint8_t black[4] = {0, 0, 0, 255};
    glGenTextures(1, &blackTexture_);
    glBindTexture(GL_TEXTURE_2D, blackTexture_);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, black);
    glGenerateMipmap(GL_TEXTURE_2D);

    glGenSamplers(8, samplers_);
    glGenSamplers(1, &textSampler_);
    glSamplerParameteri(textSampler_, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glSamplerParameteri(textSampler_, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glSamplerParameteri(textSampler_, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(textSampler_, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    for (auto& stage : samplerStatesSent_) stage.fill(kUnknown);
    s3tc_ = hasExtension("GL_EXT_texture_compression_s3tc");

    initialised_ = true;
    resetStateCache();
    return true;
}

void GlDevice::setRenderTarget(std::uint32_t framebuffer, int width, int height)
{
    framebuffer_ = framebuffer;
    targetWidth_ = width;
    targetHeight_ = height;
    cache_.viewport[0] = -1;
}

void GlDevice::resetStateCache()
{
    cache_ = StateCache{};
    if (!initialised_) return;
    glBindVertexArray(vertexArray_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glDepthFunc(GL_LEQUAL);  // Direct3D's default comparison
    glCullFace(GL_BACK);
    glDisable(GL_STENCIL_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glVertexAttrib4f(attrib::kColour, 1.0f, 1.0f, 1.0f, 1.0f);
}

void GlDevice::setCap(unsigned cap, int& cached, bool on)
{
    if (cached == static_cast<int>(on)) return;
    if (on) glEnable(cap);
    else glDisable(cap);
    cached = on;
}

void GlDevice::useProgram(std::uint32_t program)
{
    if (cache_.program == static_cast<int>(program)) return;
    glUseProgram(program);
    cache_.program = static_cast<int>(program);
}

void GlDevice::bindArrayBuffer(std::uint32_t buffer)
{
    if (cache_.arrayBuffer == static_cast<int>(buffer)) return;
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    cache_.arrayBuffer = static_cast<int>(buffer);
}

void GlDevice::bindTexture(int unit, std::uint32_t texture)
{
    if (cache_.unitTexture[unit] == static_cast<int>(texture)) return;
    if (cache_.activeUnit != unit) {
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
        cache_.activeUnit = unit;
    }
    glBindTexture(GL_TEXTURE_2D, texture);
    cache_.unitTexture[unit] = static_cast<int>(texture);
}

void GlDevice::bindSampler(int unit, std::uint32_t sampler)
{
    if (cache_.unitSampler[unit] == static_cast<int>(sampler)) return;
    glBindSampler(static_cast<GLuint>(unit), sampler);
    cache_.unitSampler[unit] = static_cast<int>(sampler);
}

void GlDevice::setAttribs(std::uint32_t enabled)
{
    for (int i = 0; i < kAttribCount; ++i) {
        const std::uint32_t bit = 1u << i;
        if (cache_.enabledAttribs != kUnknown && (cache_.enabledAttribs & bit) == (enabled & bit)) continue;
        if (enabled & bit) glEnableVertexAttribArray(static_cast<GLuint>(i));
        else glDisableVertexAttribArray(static_cast<GLuint>(i));
    }
    cache_.enabledAttribs = enabled;
}

void GlDevice::updateSamplers()
{
    for (std::size_t stage = 0; stage < 8; ++stage) {
        const auto& want = samplerStates_[stage];
        auto& sent = samplerStatesSent_[stage];
        const auto u = static_cast<std::size_t>(SamplerState::AddressU);
        const auto v = static_cast<std::size_t>(SamplerState::AddressV);
        const auto mag = static_cast<std::size_t>(SamplerState::MagFilter);
        const auto min = static_cast<std::size_t>(SamplerState::MinFilter);
        const auto mip = static_cast<std::size_t>(SamplerState::MipFilter);
        if (want[u] == sent[u] && want[v] == sent[v] && want[mag] == sent[mag] && want[min] == sent[min] && want[mip] == sent[mip])
            continue;
        const GLuint s = samplers_[stage];
        glSamplerParameteri(s, GL_TEXTURE_WRAP_S, glAddress(want[u]));
        glSamplerParameteri(s, GL_TEXTURE_WRAP_T, glAddress(want[v]));
        glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, want[mag] >= kTexFilterLinear ? GL_LINEAR : GL_NEAREST);
        glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, glMinFilter(want[min], want[mip]));
        sent = want;
    }
}

void GlDevice::applyViewport()
{
    int x = static_cast<int>(viewport_.x), y = static_cast<int>(viewport_.y);
    int w = static_cast<int>(viewport_.width), h = static_cast<int>(viewport_.height);
    if (w == 0 || h == 0) {
        x = y = 0;
        w = targetWidth_;
        h = targetHeight_;
    }
    // GL counts rows from the bottom, Direct3D from the top.
    const int glY = targetHeight_ > 0 ? targetHeight_ - (y + h) : y;
    if (cache_.viewport[0] != x || cache_.viewport[1] != glY || cache_.viewport[2] != w || cache_.viewport[3] != h) {
        glViewport(x, glY, w, h);
        cache_.viewport[0] = x;
        cache_.viewport[1] = glY;
        cache_.viewport[2] = w;
        cache_.viewport[3] = h;
    }
    if (cache_.depthRange[0] != viewport_.minZ || cache_.depthRange[1] != viewport_.maxZ) {
        glDepthRange(viewport_.minZ, viewport_.maxZ);
        cache_.depthRange[0] = viewport_.minZ;
        cache_.depthRange[1] = viewport_.maxZ;
    }
}

void GlDevice::applyRenderStates()
{
    setCap(GL_SCISSOR_TEST, cache_.scissor, false);
    setCap(GL_DEPTH_TEST, cache_.depthTest, renderState(RenderState::ZEnable) != 0);
    const int depthMask = renderState(RenderState::ZWriteEnable) != 0;
    if (cache_.depthMask != depthMask) {
        glDepthMask(depthMask ? GL_TRUE : GL_FALSE);
        cache_.depthMask = depthMask;
    }
    setCap(GL_BLEND, cache_.blend, renderState(RenderState::AlphaBlendEnable) != 0);
    const int src = static_cast<int>(glBlend(renderState(RenderState::SrcBlend)));
    const int dst = static_cast<int>(glBlend(renderState(RenderState::DestBlend)));
    if (cache_.srcBlend != src || cache_.destBlend != dst) {
        glBlendFunc(static_cast<GLenum>(src), static_cast<GLenum>(dst));
        cache_.srcBlend = src;
        cache_.destBlend = dst;
    }
    const std::uint32_t cull = renderState(RenderState::CullMode);
    setCap(GL_CULL_FACE, cache_.cullFace, cull == kCullCW || cull == kCullCCW);
    if (cull == kCullCW || cull == kCullCCW) {
        // Culling CCW keeps the clockwise faces: those are GL's front faces then.
        const int front = cull == kCullCCW ? GL_CW : GL_CCW;
        if (cache_.frontFace != front) {
            glFrontFace(static_cast<GLenum>(front));
            cache_.frontFace = front;
        }
    }
    const std::uint32_t fill = renderState(RenderState::FillMode);
    const int mode = fill == kFillWireframe ? GL_LINE : fill == kFillPoint ? GL_POINT : GL_FILL;
    if (cache_.polygonMode != mode) {
        glPolygonMode(GL_FRONT_AND_BACK, static_cast<GLenum>(mode));
        cache_.polygonMode = mode;
    }
}

Result GlDevice::prepareDraw(std::uint32_t buffer, std::uint32_t offset, std::uint32_t stride)
{
    VertexLayout layout;
    if (!initialised_ || !decodeFvf(fvf_, layout)) return kInvalidCall;
    applyRenderStates();
    applyViewport();
    updateSamplers();

    bindArrayBuffer(buffer);
    const auto at = [offset](int partOffset) { return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(offset) + partOffset); };
    const auto s = static_cast<GLsizei>(stride);
    std::uint32_t enabled = 1u << attrib::kPosition;
    glVertexAttribPointer(attrib::kPosition, 3, GL_FLOAT, GL_FALSE, s, at(layout.position));
    if (layout.normal >= 0) {
        enabled |= 1u << attrib::kNormal;
        glVertexAttribPointer(attrib::kNormal, 3, GL_FLOAT, GL_FALSE, s, at(layout.normal));
    }
    if (layout.colour >= 0) {
        enabled |= 1u << attrib::kColour;
        glVertexAttribPointer(attrib::kColour, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, s, at(layout.colour));
    }
    static constexpr int kTexLocations[3] = {attrib::kTexCoord0, attrib::kTexCoord1, attrib::kTexCoord2};
    for (int i = 0; i < 3; ++i) {
        if (layout.texCoord[i] < 0) continue;
        enabled |= 1u << kTexLocations[i];
        glVertexAttribPointer(static_cast<GLuint>(kTexLocations[i]), layout.texSize[i], GL_FLOAT, GL_FALSE, s, at(layout.texCoord[i]));
    }
    setAttribs(enabled);

    const bool alphaTest = renderState(RenderState::AlphaTestEnable) != 0;
    const GLint alphaFunc = alphaTest ? static_cast<GLint>(renderState(RenderState::AlphaFunc)) : 0;
    const GLfloat alphaRef = static_cast<GLfloat>(renderState(RenderState::AlphaRef) & 0xFF);
    if (activeEffect_ && activeEffect_->backendHandle) {
        const GlEffect* e = glEffect(*activeEffect_);
        useProgram(e->program);
        glUniform1i(e->alphaFunc, alphaFunc);
        glUniform1f(e->alphaRef, alphaRef);
        for (int unit = 0; unit < e->textureCount && unit < 8; ++unit) {
            const Texture* t = textures_[static_cast<std::size_t>(unit)];
            bindTexture(unit, t ? static_cast<std::uint32_t>(t->backendHandle) : blackTexture_);
            bindSampler(unit, samplers_[unit]);
        }
    } else {
        useProgram(builtin_.id);
        const Matrix wvp = matrixMultiply(matrixMultiply(world_, view_), projection_);
        glUniformMatrix4fv(builtin_.worldViewProjection, 1, GL_TRUE, &wvp.m[0][0]);
        const Texture* t = textures_[0];
        const bool textured = t && layout.texCoord[0] >= 0;
        glUniform1i(builtin_.useTexture, textured ? 1 : 0);
        glUniform1i(builtin_.alphaFunc, alphaFunc);
        glUniform1f(builtin_.alphaRef, alphaRef);
        bindTexture(0, textured ? static_cast<std::uint32_t>(t->backendHandle) : blackTexture_);
        bindSampler(0, samplers_[0]);
    }
    return kOk;
}

Result GlDevice::clear(std::uint32_t flags, std::uint32_t argbColour, float z, std::uint32_t stencil)
{
    if (!initialised_) return kInvalidCall;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    applyViewport();
    // Clear fills the viewport only, whatever the depth write state.
    setCap(GL_SCISSOR_TEST, cache_.scissor, true);
    glScissor(cache_.viewport[0], cache_.viewport[1], cache_.viewport[2], cache_.viewport[3]);
    GLbitfield mask = 0;
    if (flags & kClearTarget) {
        float c[4];
        unpackArgb(argbColour, c);
        glClearColor(c[0], c[1], c[2], c[3]);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (flags & kClearZBuffer) {
        glClearDepth(z);
        if (cache_.depthMask != 1) {
            glDepthMask(GL_TRUE);
            cache_.depthMask = 1;
        }
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if (flags & kClearStencil) {
        glStencilMask(0xFF);
        glClearStencil(static_cast<GLint>(stencil));
        mask |= GL_STENCIL_BUFFER_BIT;
    }
    if (mask) glClear(mask);
    setCap(GL_SCISSOR_TEST, cache_.scissor, false);
    return kOk;
}

Result GlDevice::beginScene()
{
    if (!initialised_) return kInvalidCall;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    return kOk;
}

Result GlDevice::endScene() { return initialised_ ? kOk : kInvalidCall; }

// The host shows the frame (a window swaps, the headless context reads it back).
Result GlDevice::present() { return initialised_ ? kOk : kInvalidCall; }

bool GlDevice::readPixels(std::vector<std::uint8_t>& rgba, int& width, int& height)
{
    width = targetWidth_;
    height = targetHeight_;
    if (!initialised_ || width <= 0 || height <= 0) return false;
    const std::size_t row = static_cast<std::size_t>(width) * 4;
    std::vector<std::uint8_t> bottomUp(row * static_cast<std::size_t>(height));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    // GL's first row is the bottom one.
    rgba.resize(bottomUp.size());
    for (int y = 0; y < height; ++y)
        std::memcpy(rgba.data() + static_cast<std::size_t>(y) * row, bottomUp.data() + static_cast<std::size_t>(height - 1 - y) * row, row);
    return true;
}

Result GlDevice::drawArrays(PrimitiveType type, std::uint32_t startVertex, std::uint32_t count, std::uint32_t)
{
    if (count == 0) return kOk;
    if (stream_->backendHandle == 0) uploadVertexBuffer(*stream_);
    const Result r = prepareDraw(static_cast<std::uint32_t>(stream_->backendHandle), streamOffset_, streamStride_);
    if (failed(r)) return r;
    glDrawArrays(glMode(type), static_cast<GLint>(startVertex), static_cast<GLsizei>(count));
    return kOk;
}

Result GlDevice::drawElements(PrimitiveType type, std::int32_t baseVertex, std::uint32_t startIndex, std::uint32_t count, std::uint32_t)
{
    if (count == 0) return kOk;
    const std::uint64_t indexSize = indices_->format == IndexFormat::Index32 ? 4 : 2;
    if (stream_->backendHandle == 0) uploadVertexBuffer(*stream_);
    if (indices_->backendHandle == 0) uploadIndexBuffer(*indices_);
    const Result r = prepareDraw(static_cast<std::uint32_t>(stream_->backendHandle), streamOffset_, streamStride_);
    if (failed(r)) return r;
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLuint>(indices_->backendHandle));
    glDrawElementsBaseVertex(glMode(type), static_cast<GLsizei>(count), indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                             reinterpret_cast<const void*>(static_cast<std::uintptr_t>(startIndex * indexSize)), baseVertex);
    return kOk;
}

std::uint32_t GlDevice::streamVertices(const void* data, std::size_t bytes)
{
    bindArrayBuffer(streamBuffer_);
    if (bytes > streamCapacity_) streamCapacity_ = bytes;
    // A fresh store each time, so GL never waits for the draw that used the last one.
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(streamCapacity_), nullptr, GL_STREAM_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(bytes), data);
    return streamBuffer_;
}

Result GlDevice::drawUserVertices(PrimitiveType type, const void* vertices, std::uint32_t count, std::uint32_t stride, std::uint32_t)
{
    if (!initialised_) return kInvalidCall;
    if (count == 0) return kOk;
    const std::uint32_t buffer = streamVertices(vertices, static_cast<std::size_t>(count) * stride);
    const Result r = prepareDraw(buffer, 0, stride);
    if (failed(r)) return r;
    glDrawArrays(glMode(type), 0, static_cast<GLsizei>(count));
    return kOk;
}

Result GlDevice::drawText(Texture& atlas, const TextQuad* quads, std::size_t count, std::uint32_t argbColour)
{
    if (!initialised_) return kInvalidCall;
    if (count == 0) return kOk;
    textVertices_.clear();
    textVertices_.reserve(count * 24);
    for (std::size_t i = 0; i < count; ++i) {
        const TextQuad& q = quads[i];
        const float corners[6][4] = {
            {q.left, q.top, q.u0, q.v0},     {q.right, q.top, q.u1, q.v0}, {q.left, q.bottom, q.u0, q.v1},
            {q.right, q.top, q.u1, q.v0},    {q.right, q.bottom, q.u1, q.v1}, {q.left, q.bottom, q.u0, q.v1},
        };
        for (const auto& c : corners) textVertices_.insert(textVertices_.end(), c, c + 4);
    }
    // The text's own states; the next draw puts the device's back through the cache.
    setCap(GL_SCISSOR_TEST, cache_.scissor, false);
    setCap(GL_DEPTH_TEST, cache_.depthTest, false);
    setCap(GL_CULL_FACE, cache_.cullFace, false);
    setCap(GL_BLEND, cache_.blend, true);
    if (cache_.srcBlend != GL_SRC_ALPHA || cache_.destBlend != GL_ONE_MINUS_SRC_ALPHA) {
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        cache_.srcBlend = GL_SRC_ALPHA;
        cache_.destBlend = GL_ONE_MINUS_SRC_ALPHA;
    }
    if (cache_.polygonMode != GL_FILL) {
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        cache_.polygonMode = GL_FILL;
    }
    if (cache_.depthMask != 0) {
        glDepthMask(GL_FALSE);
        cache_.depthMask = 0;
    }
    applyViewport();
    useProgram(text_.id);
    const int w = cache_.viewport[2], h = cache_.viewport[3];
    const int top = targetHeight_ > 0 ? targetHeight_ - (cache_.viewport[1] + h) : cache_.viewport[1];
    glUniform4f(text_.viewport, static_cast<float>(cache_.viewport[0]), static_cast<float>(top), static_cast<float>(w),
                static_cast<float>(h));
    float colour[4];
    unpackArgb(argbColour, colour);
    glUniform4fv(text_.colour, 1, colour);
    bindTexture(0, static_cast<std::uint32_t>(atlas.backendHandle));
    bindSampler(0, textSampler_);

    const std::uint32_t buffer = streamVertices(textVertices_.data(), textVertices_.size() * sizeof(float));
    bindArrayBuffer(buffer);
    glVertexAttribPointer(attrib::kPosition, 2, GL_FLOAT, GL_FALSE, 16, nullptr);
    glVertexAttribPointer(attrib::kTexCoord0, 2, GL_FLOAT, GL_FALSE, 16, reinterpret_cast<const void*>(8));
    setAttribs((1u << attrib::kPosition) | (1u << attrib::kTexCoord0));
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(count * 6));
    return kOk;
}

void GlDevice::uploadVertexBuffer(VertexBuffer& buffer)
{
    if (!initialised_) return;
    GLuint name = static_cast<GLuint>(buffer.backendHandle);
    if (name == 0) {
        glGenBuffers(1, &name);
        buffer.backendHandle = name;
    }
    bindArrayBuffer(name);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(buffer.bytes.size()), buffer.bytes.data(), GL_DYNAMIC_DRAW);
}

void GlDevice::uploadIndexBuffer(IndexBuffer& buffer)
{
    if (!initialised_) return;
    GLuint name = static_cast<GLuint>(buffer.backendHandle);
    if (name == 0) {
        glGenBuffers(1, &name);
        buffer.backendHandle = name;
    }
    // The element binding belongs to the vertex array; the draw binds it again.
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, name);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(buffer.bytes.size()), buffer.bytes.data(), GL_DYNAMIC_DRAW);
}

void GlDevice::destroyVertexBufferObject(VertexBuffer& buffer)
{
    if (buffer.backendHandle == 0 || !initialised_) return;
    GLuint name = static_cast<GLuint>(buffer.backendHandle);
    if (cache_.arrayBuffer == static_cast<int>(name)) cache_.arrayBuffer = -1;
    glDeleteBuffers(1, &name);
    buffer.backendHandle = 0;
}

void GlDevice::destroyIndexBufferObject(IndexBuffer& buffer)
{
    if (buffer.backendHandle == 0 || !initialised_) return;
    GLuint name = static_cast<GLuint>(buffer.backendHandle);
    glDeleteBuffers(1, &name);
    buffer.backendHandle = 0;
}

Result GlDevice::createTextureObject(Texture& texture)
{
    if (!initialised_) return kInvalidCall;
    GLuint name = 0;
    glGenTextures(1, &name);
    texture.backendHandle = name;
    uploadTexture(texture);
    return glGetError() == GL_OUT_OF_MEMORY ? kOutOfMemory : kOk;
}

void GlDevice::uploadTexture(Texture& texture)
{
    if (!initialised_ || texture.backendHandle == 0) return;
    bindTexture(0, static_cast<std::uint32_t>(texture.backendHandle));
    if (texture.blocks.levels > 0) {
        uploadBlocks(texture);
        return;
    }
    // Rows go up as stored, top row first, so t = 0 is the top row, which is
    // Direct3D's v = 0.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, texture.width, texture.height, 0, GL_RGBA, GL_UNSIGNED_BYTE, texture.rgba.data());
    glGenerateMipmap(GL_TEXTURE_2D);
}

// The file's own mip levels: a card cannot make them from blocks, so the
// texture ends at the last level the file holds.
void GlDevice::uploadBlocks(const Texture& texture)
{
    const TextureBlocks& blocks = texture.blocks;
    std::size_t offset = 0;
    for (int level = 0; level < blocks.levels; ++level) {
        const int width = std::max(texture.width >> level, 1), height = std::max(texture.height >> level, 1);
        const auto bytes = static_cast<std::size_t>(blockImageBytes(blocks.format, width, height));
        if (bytes > blocks.bytes.size() - offset) break;
        glCompressedTexImage2D(GL_TEXTURE_2D, level, glBlockFormat(blocks.format), width, height, 0, static_cast<GLsizei>(bytes),
                               blocks.bytes.data() + offset);
        offset += bytes;
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, blocks.levels - 1);
}

void GlDevice::destroyTextureObject(Texture& texture)
{
    if (texture.backendHandle == 0 || !initialised_) return;
    GLuint name = static_cast<GLuint>(texture.backendHandle);
    for (int& bound : cache_.unitTexture)
        if (bound == static_cast<int>(name)) bound = -1;
    glDeleteTextures(1, &name);
    texture.backendHandle = 0;
}

Result GlDevice::compileEffect(Effect& effect, std::string& log)
{
    if (!initialised_) {
        log = effect.path + ": no GL device to compile the effect on";
        return kInvalidCall;
    }
    const std::string vertex = prepareStage(effect.vertexSource, embedded::kClipPrelude, effect.vertexFirstLine);
    const std::string fragment = prepareStage(effect.fragmentSource, embedded::kAlphaTestPrelude, effect.fragmentFirstLine);
    std::string glLog;
    const std::string vertexName = effect.path + ": vertex stage";
    const std::string fragmentName = effect.path + ": fragment stage";
    const GLuint program = linkProgram(vertex, fragment, glLog, vertexName.c_str(), fragmentName.c_str());
    if (!program) {
        log = glLog.rfind("link:", 0) == 0 ? effect.path + ": " + glLog : glLog;
        return kFail;
    }
    auto* e = new GlEffect;
    e->program = program;
    glUseProgram(program);
    cache_.program = static_cast<int>(program);
    for (const EffectParameter& p : effect.parameters) {
        const GLint location = glGetUniformLocation(program, p.name.c_str());
        e->locations.push_back(location);
        if (p.kind == EffectParameterKind::Texture) {
            e->units.push_back(e->textureCount);
            if (location >= 0) glUniform1i(location, e->textureCount);
            ++e->textureCount;
        } else {
            e->units.push_back(-1);
        }
    }
    e->alphaFunc = glGetUniformLocation(program, "veskarAlphaFunc");
    e->alphaRef = glGetUniformLocation(program, "veskarAlphaRef");
    effect.backendHandle = reinterpret_cast<std::uintptr_t>(e);
    return kOk;
}

void GlDevice::destroyEffectObject(Effect& effect)
{
    GlEffect* e = glEffect(effect);
    if (!e) return;
    if (initialised_) {
        if (cache_.program == static_cast<int>(e->program)) cache_.program = -1;
        glDeleteProgram(e->program);
    }
    delete e;
    effect.backendHandle = 0;
}

void GlDevice::applyEffect(Effect& effect)
{
    const GlEffect* e = glEffect(effect);
    if (!e) return;
    useProgram(e->program);
    for (std::size_t i = 0; i < effect.parameters.size(); ++i) {
        const EffectParameter& p = effect.parameters[i];
        if (!p.set) continue;
        const GLint location = e->locations[i];
        switch (p.kind) {
        case EffectParameterKind::Matrix:
            // Transposed on the way in: GLSL's row-vector product then matches Direct3D's.
            if (location >= 0) glUniformMatrix4fv(location, 1, GL_TRUE, p.values);
            break;
        case EffectParameterKind::Vector:
            if (location >= 0) glUniform4fv(location, 1, p.values);
            break;
        case EffectParameterKind::Texture:
            // As a D3DX effect does: the texture goes onto the device stage.
            if (e->units[i] < 8) setTexture(static_cast<std::uint32_t>(e->units[i]), p.texture);
            break;
        }
    }
}

void GlDevice::finishEffect(Effect&) {}

} // namespace veskar
