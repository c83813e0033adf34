#pragma once
// The device over OpenGL 3.3 core. It needs a current context (a window's or a
// HeadlessContext) from initialise() to destruction and draws into the
// framebuffer given by setRenderTarget. A window host whose toolkit draws
// with the same context calls setRenderTarget and resetStateCache before each
// frame and swaps buffers itself after present().
//
// Vertex attributes, shared by the built-in program and effect files (declare
// them with layout(location = N) in the vertex stage):
//   0  position, vec3 (D3DFVF_XYZ)
//   1  normal, vec3
//   2  texture coordinate set 0 (its FVF size: 1 to 4 floats)
//   3  texture coordinate set 1 (the skin vertex's weights, vec4)
//   4  diffuse colour, vec4 in 0..1, read from the D3DCOLOR's bytes; formats
//      without one give opaque white, as fixed-function Direct3D does
//   5  texture coordinate set 2 (the skin vertex's bone numbers, vec4)
// Attributes a format lacks read as GL's defaults (0, 0, 0, 1).
//
// Matrices: an effect's float4x4 arrives in GLSL as the same Direct3D row-vector
// matrix, so shaders multiply as the D3D code does: `vec4(p, 1.0) * M` for
// mul(p, M).
//
// The device's own programs and the preludes below are GLSL files in
// gpu/gl/glsl, built into the device.
//
// What the device adds to every effect stage after its #version line (a
// stage without one gets `#version 330 core`), keeping the file's line numbers
// in the compiler's messages:
//   vertex:   vec4 veskarClip(vec4 d3dClip) - turns a Direct3D clip position
//             (z from 0 to w) into GL's (z from -w to w); write
//             gl_Position = veskarClip(vec4(p, 1.0) * matWorldViewProjection).
//   fragment: void veskarAlphaTest(float alpha) - core profile has no alpha
//             test, so the fragment stage calls this with its output alpha and
//             the device's AlphaTestEnable/AlphaRef/AlphaFunc decide whether
//             the fragment is discarded. An effect that never calls it ignores
//             the alpha test.
//
// Textures: the k-th texture parameter of an effect samples unit k. As a D3DX
// effect does, applying the effect puts that texture on device stage k, so a
// later setTexture(k, ...) before the draw wins. A stage with no texture
// samples as opaque black (0, 0, 0, 1), what Direct3D shaders read from an
// empty stage. Texture coordinates are Direct3D's: v = 0 is the top row.
//
// Draws without an effect: the Lighting state is not modelled (this device has
// no lights or materials and the system switches lighting off before such
// draws); the colour is the vertex diffuse colour or opaque white, modulated by
// the stage 0 texture when one is set and the format has texture coordinates.
//
// Winding: Direct3D's CullMode counts a triangle's corners as seen on screen,
// and the image is not mirrored, so CCW culls what looks counter-clockwise.
// The image's top row is the target's top row, as in Direct3D.

#include "gpu/Device.h"

#include <cstdint>
#include <string>
#include <vector>

namespace veskar {

namespace attrib {
constexpr int kPosition = 0;
constexpr int kNormal = 1;
constexpr int kTexCoord0 = 2;
constexpr int kTexCoord1 = 3;
constexpr int kColour = 4;
constexpr int kTexCoord2 = 5;
} // namespace attrib

class GlDevice final : public Device {
public:
    GlDevice();
    ~GlDevice() override;

    // Creates the device's own GL objects; the context must be current.
    bool initialise(std::string& error);
    // The framebuffer to draw into and its size; the viewport's y counts from
    // its top row.
    void setRenderTarget(std::uint32_t framebuffer, int width, int height);
    // Forgets the GL state the device believes is set; the host calls it when
    // something else drew with the context since the last frame.
    void resetStateCache();

    Result clear(std::uint32_t flags, std::uint32_t argbColour, float z, std::uint32_t stencil) override;
    Result beginScene() override;
    Result endScene() override;
    Result present() override;
    void uploadVertexBuffer(VertexBuffer& buffer) override;
    void uploadIndexBuffer(IndexBuffer& buffer) override;
    void uploadTexture(Texture& texture) override;
    // BC1 to BC3 go to the card as blocks where the driver has S3TC.
    bool drawsBlocks(BlockFormat) const override { return s3tc_; }
    void applyEffect(Effect& effect) override;
    void finishEffect(Effect& effect) override;
    // Reads the render target as it stands (before the host shows it).
    bool readPixels(std::vector<std::uint8_t>& rgba, int& width, int& height) override;

protected:
    // The backend hooks of Device, as MemoryDevice.h implements them in memory.
    Result drawArrays(PrimitiveType type, std::uint32_t startVertex, std::uint32_t vertexCount, std::uint32_t primitiveCount) override;
    Result drawElements(PrimitiveType type, std::int32_t baseVertex, std::uint32_t startIndex, std::uint32_t indexCount,
                        std::uint32_t primitiveCount) override;
    Result drawUserVertices(PrimitiveType type, const void* vertices, std::uint32_t vertexCount, std::uint32_t stride,
                            std::uint32_t primitiveCount) override;
    Result drawText(Texture& atlas, const TextQuad* quads, std::size_t count, std::uint32_t argbColour) override;
    Result createTextureObject(Texture& texture) override;
    void destroyTextureObject(Texture& texture) override;
    void destroyVertexBufferObject(VertexBuffer& buffer) override;
    void destroyIndexBufferObject(IndexBuffer& buffer) override;
    Result compileEffect(Effect& effect, std::string& log) override;
    void destroyEffectObject(Effect& effect) override;

private:
    // Uniform locations of the built-in program.
    struct BuiltinProgram {
        std::uint32_t id = 0;
        int worldViewProjection = -1;
        int useTexture = -1;
        int alphaFunc = -1;
        int alphaRef = -1;
    };
    struct TextProgram {
        std::uint32_t id = 0;
        int viewport = -1;
        int colour = -1;
    };
    // GL state as last set, -1 where unknown; saves redundant calls when the
    // system draws one triangle at a time.
    struct StateCache {
        int depthTest = -1, depthMask = -1, blend = -1, srcBlend = -1, destBlend = -1;
        int cullFace = -1, frontFace = -1, polygonMode = -1, scissor = -1;
        int program = -1, arrayBuffer = -1;
        int viewport[4] = {-1, -1, -1, -1};
        float depthRange[2] = {-1.0f, -1.0f};
        int activeUnit = -1;
        int unitTexture[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
        int unitSampler[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
        std::uint32_t enabledAttribs = 0xFFFFFFFFu;  // one bit per attribute; all ones: unknown
    };

    Result prepareDraw(std::uint32_t buffer, std::uint32_t offset, std::uint32_t stride);
    void applyRenderStates();
    void applyViewport();
    void bindTexture(int unit, std::uint32_t texture);
    void bindSampler(int unit, std::uint32_t sampler);
    void useProgram(std::uint32_t program);
    void bindArrayBuffer(std::uint32_t buffer);
    void setCap(unsigned cap, int& cached, bool on);
    void setAttribs(std::uint32_t enabled);
    void updateSamplers();
    std::uint32_t streamVertices(const void* data, std::size_t bytes);
    void uploadBlocks(const Texture& texture);

    BuiltinProgram builtin_;
    TextProgram text_;
    std::uint32_t vertexArray_ = 0;
    std::uint32_t streamBuffer_ = 0;
    std::uint32_t blackTexture_ = 0;
    std::uint32_t samplers_[8] = {};
    std::uint32_t textSampler_ = 0;
    std::array<std::array<std::uint32_t, 16>, 8> samplerStatesSent_{};
    std::vector<float> textVertices_;
    std::uint32_t framebuffer_ = 0;
    int targetWidth_ = 0;
    int targetHeight_ = 0;
    bool initialised_ = false;
    bool s3tc_ = false;
    StateCache cache_;
};

} // namespace veskar
