#include "render/SmdModelDrawing.h"

#include "gpu/Device.h"
#include "render/EffectBinding.h"
#include "render/Playback.h"
#include "render/RootMotion.h"
#include "render/SkinningJobs.h"

#include <algorithm>
#include <span>

namespace veskar {

namespace {

constexpr std::uint32_t kSmdVertexFvf = fvf::kXyz | fvf::kNormal | fvf::kTex1;
constexpr std::uint32_t kSmdVertexStride = sizeof(SmdVertex);
constexpr std::uint32_t kTriangleBytes = 3 * kSmdVertexStride;
constexpr std::uint32_t kAlphaReference = 0x80;

// The triangles a mesh can skin and draw: no more than its records, its count
// and its buffer hold.
std::size_t drawableTriangles(const SmdMesh& mesh, const VertexBuffer& buffer)
{
    const std::size_t counted = static_cast<std::size_t>(std::max(mesh.triangleCount, 0));
    return std::min({counted, mesh.triangles.size(), static_cast<std::size_t>(buffer.length() / kTriangleBytes)});
}

bool playableRange(const SmdAnimation& a, std::int32_t firstFrame, std::int32_t frameLimit)
{
    if (firstFrame < 0 || frameLimit < 0 || firstFrame >= a.frameCount || frameLimit > a.frameCount) return false;
    // Nothing in the range: the key would walk off past every frame.
    if (frameLimit <= firstFrame) return false;
    return a.hasFrames();
}

// One step of playback within [firstFrame, frameLimit); the range is valid.
void advance(SmdModel& model, SmdAnimation& a, std::int32_t firstFrame, std::int32_t frameLimit, float timeStep, bool inPlace)
{
    // The stored keys may come from an earlier, longer range: put them back
    // inside the animation before they index it.
    wrapPlayback(a, firstFrame, frameLimit);
    advancePlayback(a, timeStep, firstFrame, frameLimit);

    const auto from = a.frame(a.currentFrame);
    const auto to = a.frame(a.nextFrame);
    const std::int32_t meshes = std::clamp(model.meshCount, 0, kModelSlots);
    for (std::int32_t i = 0; i < meshes; ++i) {
        SmdMesh& mesh = model.meshes[static_cast<std::size_t>(i)];
        const std::size_t nodes = std::min(static_cast<std::size_t>(std::max(mesh.nodeCount, 0)), mesh.nodes.size());
        // Only the nodes both have are posed; see the header.
        const auto pose = std::span<SmdNode>(mesh.nodes).first(nodes);
        blendPose(from, to, a.blend, pose);
        if (inPlace) removeRootMotion(pose, rootNodeOf(pose));
    }
}

} // namespace

bool skinTriangles(const SmdMesh& mesh, VertexBuffer* buffer)
{
    if (!buffer) return false;
    void* data = nullptr;
    if (failed(buffer->lock(0, 0, &data, 0))) return false;
    const std::size_t count = drawableTriangles(mesh, *buffer);
    const std::size_t nodes = std::min(static_cast<std::size_t>(std::max(mesh.nodeCount, 0)), mesh.nodes.size());
    skinTriangles(std::span<const SmdTriangle>(mesh.triangles).first(count), mesh.bindVertices, mesh.linkPool, std::span<const SmdNode>(mesh.nodes).first(nodes),
                  std::span<SmdVertex>(static_cast<SmdVertex*>(data), count * 3));
    buffer->unlock();
    return true;
}

bool drawSmdModel(SmdModel& model, std::uint32_t fillMode, std::int32_t firstFrame, std::int32_t frameLimit, float timeStep,
                  std::int32_t animationIndex, bool textured, bool inPlace)
{
    if (!beginModelDraw(model.device, model.effect, model.technique)) return true;
    Device& device = *model.device;
    Effect& effect = *model.effect;
    // Vertices are skinned into model space; the effect already holds the
    // world that was current when the draw began.
    device.setTransform(TransformType::World, matrixIdentity());

    if (animationIndex >= 0) {
        if (animationIndex >= kModelSlots) {
            endModelDraw(effect);
            return false;
        }
        model.currentAnimation = animationIndex;
        SmdAnimation& a = model.animations[static_cast<std::size_t>(animationIndex)];
        if (firstFrame > a.currentFrame) a.currentFrame = firstFrame;
        if (!playableRange(a, firstFrame, frameLimit)) {
            endModelDraw(effect);
            return false;
        }
        advance(model, a, firstFrame, frameLimit, timeStep, inPlace);
    }

    const std::int32_t meshes = std::clamp(model.meshCount, 0, kModelSlots);
    for (std::int32_t i = 0; i < meshes; ++i) {
        const SmdMesh& mesh = model.meshes[static_cast<std::size_t>(i)];
        const SmdMeshObjects& objects = model.meshObjects[static_cast<std::size_t>(i)];
        if (!objects.vertexBuffer) continue;
        skinTriangles(mesh, objects.vertexBuffer);
        device.setStreamSource(0, objects.vertexBuffer, 0, kSmdVertexStride);
        device.setFVF(kSmdVertexFvf);
        device.setRenderState(RenderState::FillMode, fillMode);
        device.setRenderState(RenderState::AlphaBlendEnable, 1);
        device.setRenderState(RenderState::DestBlend, kBlendInvSrcAlpha);
        device.setRenderState(RenderState::SrcBlend, kBlendSrcAlpha);
        device.setRenderState(RenderState::AlphaTestEnable, 1);
        device.setRenderState(RenderState::AlphaRef, kAlphaReference);
        device.setRenderState(RenderState::AlphaFunc, kCmpGreaterEqual);

        const std::size_t count = drawableTriangles(mesh, *objects.vertexBuffer);
        for (std::size_t t = 0; t < count; ++t) {
            if (textured) {
                const std::int32_t material = mesh.triangles[t].material;
                // A material without a texture (or past the loaded ones) draws untextured.
                Texture* texture = material >= 0 && static_cast<std::size_t>(material) < objects.textures.size()
                                       ? objects.textures[static_cast<std::size_t>(material)]
                                       : nullptr;
                setDiffuseMap(effect, texture);
            } else {
                device.setTexture(0, nullptr);
            }
            device.drawPrimitive(PrimitiveType::TriangleList, static_cast<std::uint32_t>(3 * t), 1);
        }
    }
    // Alpha blending stays on, as this model always left it.
    endModelDraw(effect);
    return true;
}

} // namespace veskar
