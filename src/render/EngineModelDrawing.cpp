#include "render/EngineModelDrawing.h"

#include "gpu/Device.h"
#include "render/EffectBinding.h"
#include "render/Playback.h"
#include "render/RootMotion.h"
#include "render/SkinningJobs.h"

#include <algorithm>
#include <span>

namespace veskar {

namespace {

// Three texture coordinate sets: u v, then the weights and bone numbers as four floats each.
constexpr std::uint32_t kSkinVertexFvf = fvf::kXyz | fvf::kNormal | fvf::kTex3 | fvf::textureCoordSize4(1) | fvf::textureCoordSize4(2);
constexpr std::uint32_t kSkinVertexStride = sizeof(SkinVertex);
constexpr std::uint32_t kAlphaReference = 0x80;

std::int32_t meshSlots(const EngineModel& model) { return std::clamp(model.meshCount, 0, kModelSlots); }

// The vertices a mesh can draw: no more than its records, its count and its
// buffer hold.
std::size_t drawableVertices(const EngineMesh& mesh, const VertexBuffer& buffer)
{
    const std::size_t counted = static_cast<std::size_t>(std::max(mesh.vertexCount, 0));
    return std::min({counted, mesh.vertices.size(), static_cast<std::size_t>(buffer.length() / kSkinVertexStride)});
}

void setBlendStates(Device& device, std::uint32_t fillMode)
{
    device.setRenderState(RenderState::FillMode, fillMode);
    device.setRenderState(RenderState::AlphaBlendEnable, 1);
    device.setRenderState(RenderState::DestBlend, kBlendInvSrcAlpha);
    device.setRenderState(RenderState::SrcBlend, kBlendSrcAlpha);
    device.setRenderState(RenderState::AlphaRef, kAlphaReference);
    device.setRenderState(RenderState::AlphaFunc, kCmpGreaterEqual);
}

void drawIndexed(EngineModel& model, const EngineMesh& mesh, const EngineMeshObjects& objects)
{
    Device& device = *model.device;
    device.setFVF(kSkinVertexFvf);
    device.setIndices(objects.indexBuffer);
    device.drawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, static_cast<std::uint32_t>(std::max(mesh.vertexCount, 0)), 0,
                                static_cast<std::uint32_t>(std::max(mesh.triangleCount, 0)));
    // Only blending is put back; fill mode and the alpha test stay as set.
    device.setRenderState(RenderState::AlphaBlendEnable, 0);
}

bool drawable(const EngineMesh& mesh, const EngineMeshObjects& objects, const VertexBuffer* stream)
{
    return stream && objects.indexBuffer && mesh.triangleCount > 0;
}

} // namespace

bool advanceAnimation(EngineModel& model, std::int32_t animationIndex, float timeStep, bool inPlace)
{
    if (animationIndex < 0 || animationIndex >= kModelSlots) return false;
    model.currentAnimation = animationIndex;
    EngineAnimation& a = model.animations[static_cast<std::size_t>(animationIndex)];
    if (a.currentFrame < 0) a.currentFrame = 0;
    if (a.frameCount <= 0 || !a.hasFrames()) return false;
    // The mAni reader keeps the position of the animation a new one replaced,
    // which may lie past the new one's end.
    wrapPlayback(a, 0, a.frameCount);
    advancePlayback(a, timeStep, 0, a.frameCount);

    const auto from = a.frame(a.currentFrame);
    const auto to = a.frame(a.nextFrame);
    for (std::int32_t i = 0; i < meshSlots(model); ++i) {
        EngineMesh& mesh = model.meshes[static_cast<std::size_t>(i)];
        const std::size_t nodes = std::min(static_cast<std::size_t>(std::max(mesh.nodeCount, 0)), mesh.bonePalette.size());
        const auto palette = std::span<Matrix>(mesh.bonePalette).first(nodes);
        blendPalette(from, to, a.blend, palette);
        if (inPlace) removeRootMotion(palette, mesh.rootBone >= 0 ? mesh.rootBone : rootNodeOf(mesh.nodes));
    }
    return true;
}

bool skinMesh(const EngineMesh& mesh, VertexBuffer* buffer)
{
    if (!buffer) return false;
    void* data = nullptr;
    if (failed(buffer->lock(0, 0, &data, 0))) return false;
    const std::size_t count = drawableVertices(mesh, *buffer);
    if (mesh.skinSources.size() >= count)
        skinStream(std::span<const SkinSource>(mesh.skinSources).first(count), mesh.skinLinks, mesh.bonePalette,
                   std::span<SkinVertex>(static_cast<SkinVertex*>(data), count));
    else
        skinVertices(std::span<const EngineVertex>(mesh.vertices).first(count), mesh.bonePalette,
                     std::span<SkinVertex>(static_cast<SkinVertex*>(data), count));
    buffer->unlock();
    return true;
}

bool placeAttached(const EngineMesh& mesh, VertexBuffer* buffer, const Matrix& attachMatrix)
{
    if (!buffer) return false;
    void* data = nullptr;
    if (failed(buffer->lock(0, 0, &data, 0))) return false;
    const std::size_t count = drawableVertices(mesh, *buffer);
    placeAttachedVertices(std::span<const EngineVertex>(mesh.vertices).first(count), attachMatrix,
                          std::span<SkinVertex>(static_cast<SkinVertex*>(data), count));
    buffer->unlock();
    return true;
}

bool drawSkinned(EngineModel& model, std::uint32_t fillMode, float timeStep, std::int32_t animationIndex, bool inPlace)
{
    if (animationIndex >= 0 && !advanceAnimation(model, animationIndex, timeStep, inPlace)) return false;
    Device& device = *model.device;
    for (std::int32_t i = 0; i < meshSlots(model); ++i) {
        const EngineMesh& mesh = model.meshes[static_cast<std::size_t>(i)];
        const EngineMeshObjects& objects = model.meshObjects[static_cast<std::size_t>(i)];
        if (!drawable(mesh, objects, objects.bindBuffer)) continue;
        skinMesh(mesh, objects.bindBuffer);
        device.setStreamSource(0, objects.bindBuffer, 0, kSkinVertexStride);
        device.setRenderState(RenderState::AlphaTestEnable, 1);
        setBlendStates(device, fillMode);
        setDiffuseMap(*model.effect, objects.texture);
        drawIndexed(model, mesh, objects);
    }
    return true;
}

bool drawRest(EngineModel& model, std::uint32_t fillMode)
{
    Device& device = *model.device;
    for (std::int32_t i = 0; i < meshSlots(model); ++i) {
        const EngineMesh& mesh = model.meshes[static_cast<std::size_t>(i)];
        const EngineMeshObjects& objects = model.meshObjects[static_cast<std::size_t>(i)];
        if (!drawable(mesh, objects, objects.restBuffer)) continue;
        device.setRenderState(RenderState::AlphaTestEnable, 1);
        setBlendStates(device, fillMode);
        setDiffuseMap(*model.effect, objects.texture);
        device.setStreamSource(0, objects.restBuffer, 0, kSkinVertexStride);
        drawIndexed(model, mesh, objects);
    }
    return true;
}

bool drawAttached(EngineModel& model, std::uint32_t fillMode, const Matrix* attachMatrix)
{
    // Without a hand to follow there is nowhere to put the model.
    if (!attachMatrix) return true;
    Device& device = *model.device;
    for (std::int32_t i = 0; i < meshSlots(model); ++i) {
        const EngineMesh& mesh = model.meshes[static_cast<std::size_t>(i)];
        const EngineMeshObjects& objects = model.meshObjects[static_cast<std::size_t>(i)];
        if (!drawable(mesh, objects, objects.bindBuffer)) continue;
        placeAttached(mesh, objects.bindBuffer, *attachMatrix);
        // The alpha test is left as the device has it.
        setBlendStates(device, fillMode);
        setDiffuseMap(*model.effect, objects.texture);
        device.setStreamSource(0, objects.bindBuffer, 0, kSkinVertexStride);
        drawIndexed(model, mesh, objects);
    }
    return true;
}

bool drawEngineModel(EngineModel& model, DrawMode mode, std::uint32_t fillMode, float timeStep, const Matrix* attachMatrix, bool inPlace)
{
    if (!beginModelDraw(model.device, model.effect, model.technique)) return true;
    if (model.hasMesh) {
        if (model.hasAnimation) {
            if (mode == DrawMode::Still) drawSkinned(model, fillMode, timeStep, -1);
            else if (mode == DrawMode::Play) drawSkinned(model, fillMode, timeStep, 0, inPlace);
        } else {
            if (mode == DrawMode::Still) drawRest(model, fillMode);
            else if (mode == DrawMode::Attached) drawAttached(model, fillMode, attachMatrix);
        }
    }
    endModelDraw(*model.effect);
    return true;
}

bool bindToHand(EngineModel& model, const Matrix& handMatrix)
{
    EngineMesh& mesh = model.meshes[0];
    const std::size_t count = std::min(static_cast<std::size_t>(std::max(model.vertexCount, 0)), mesh.vertices.size());
    bindVerticesToHand(std::span<EngineVertex>(mesh.vertices).first(count), handMatrix);
    buildSkinStream(mesh.vertices, mesh.skinSources, mesh.skinLinks);
    return true;
}

} // namespace veskar
