// What can be seen over the models besides the skeleton: bone names at the
// joints, normals, one bone's weights as colours, and wireframe over solid.

#include "app/Application.h"
#include "render/SmdModel.h"
#include "render/EngineModel.h"
#include "render/EngineModelDrawing.h"
#include "render/SurfaceOverlays.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace veskar {

namespace {

constexpr std::uint32_t kNormalColour = 0xFF40A0FF;   // light blue
constexpr std::uint32_t kEdgeColour = 0xFF000000;
constexpr std::uint32_t kNameColour = 0xFFFFFFFF;
constexpr int kNameHeight = 14;
// Normals are drawn this share of the framed box's largest side long.
constexpr float kNormalShare = 0.03f;

} // namespace

std::span<const SkeletonNode> Application::nodesOf(Animated which) const
{
    if (which == Animated::Smd) return smdModel && smdModel->hasMesh ? std::span<const SkeletonNode>(smdModel->meshes[0].nodes) : std::span<const SkeletonNode>{};
    const EngineModel* model = characterOf(which);
    return model && model->hasMesh ? std::span<const SkeletonNode>(model->meshes[0].nodes) : std::span<const SkeletonNode>{};
}

bool Application::paintsWeights(Animated which) const { return weightsShown && nodeNamed(nodesOf(which), weightBone) >= 0; }

void Application::toggleWeights()
{
    if (weightsShown) {
        setWeightBone({});
        return;
    }
    // The bone painted last, or the first of the bones the strip lists.
    const auto nodes = boneListNodes();
    if (weightBoneBefore_.empty() && !nodes.empty()) weightBoneBefore_ = nodes.front().name;
    setWeightBone(weightBoneBefore_);
}

void Application::gatherSurfaces(Animated which)
{
    const std::size_t first = surfaces_.size();
    if (which == Animated::Smd) {
        if (!smdModel || !smdModel->hasMesh) return;
        appendSurfaces(*smdModel, surfaces_);
    } else {
        EngineModel* model = characterOf(which);
        if (!model) return;
        const bool primary = which == Animated::Primary;
        if (!drawsSomething(model, primary ? scene->primaryMode : scene->secondaryMode)) return;
        appendSurfaces(*model, model->hasAnimation, primary ? scene->primaryWorld : scene->secondaryWorld, surfaces_);
    }
    if (!paintsWeights(which)) return;
    const std::int32_t bone = nodeNamed(nodesOf(which), weightBone);
    const Vector3 towardEye = vec3Normalize({-graphics.camera.look.x, -graphics.camera.look.y, -graphics.camera.look.z});
    for (std::size_t i = first; i < surfaces_.size(); ++i) {
        const std::size_t mesh = i - first;
        if (which == Animated::Smd) boneWeights(smdModel->meshes[mesh], bone, weights_);
        else boneWeights(characterOf(which)->meshes[mesh], bone, weights_);
        appendHeatTriangles(surfaces_[i], weights_, towardEye, heatCorners_);
    }
}

void Application::drawModelOverlays()
{
    if (!graphics.device || !(normalsShown || wireShown || weightsShown)) return;
    surfaces_.clear();
    heatCorners_.clear();
    overlayLines_.clear();
    for (Animated which : kEveryAnimated) gatherSurfaces(which);
    if (scene && weaponCarried(*scene)) appendSurfaces(*scene->weapon, true, scene->primaryWorld, surfaces_);
    for (const DrawnSurface& surface : surfaces_) {
        if (wireShown) appendEdgeLines(surface, kEdgeColour, overlayLines_);
        if (normalsShown) appendNormalLines(surface, normalLength_, kNormalColour, overlayLines_);
    }
    Device& device = *graphics.device;
    if (!heatCorners_.empty() && !heatRamp_) heatRamp_ = makeHeatRamp(device);
    drawHeatTriangles(device, heatCorners_, heatRamp_);
    // The normals stand off the surface by themselves; pulled nearer they
    // only show through thin parts.
    drawColouredLines(device, overlayLines_, wireShown);
}

void Application::drawBoneNames()
{
    if (!graphics.device) return;
    if (!nameFont_) {
        nameFont_ = std::make_unique<TextDrawer>();
        std::string error;
        if (!nameFont_->create(*graphics.device, kNameHeight, false, error)) {
            nameFont_.reset();
            namesShown = false;
            std::fprintf(stderr, "veskar: bone names cannot be shown: %s\n", error.c_str());
            return;
        }
    }
    joints_.clear();
    if (smdModel) appendJoints(*smdModel, joints_);
    if (scene && drawsSomething(scene->primary, scene->primaryMode)) appendJoints(*scene->primary, scene->primaryWorld, joints_);
    if (scene && drawsSomething(scene->secondary, scene->secondaryMode)) appendJoints(*scene->secondary, scene->secondaryWorld, joints_);
    const Matrix viewProjection = matrixMultiply(graphics.viewMatrix, graphics.projectionMatrix);
    const float width = static_cast<float>(graphics.width), height = static_cast<float>(graphics.height);
    std::string name;
    for (const Joint& joint : joints_) {
        const Vector3& p = joint.position;
        const float* m[4] = {viewProjection.m[0], viewProjection.m[1], viewProjection.m[2], viewProjection.m[3]};
        const float x = p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0] + m[3][0];
        const float y = p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1] + m[3][1];
        const float w = p.x * m[0][3] + p.y * m[1][3] + p.z * m[2][3] + m[3][3];
        // Behind the eye, or outside the picture.
        if (!(w > 1e-6f) || std::fabs(x) > w || std::fabs(y) > w) continue;
        const int left = static_cast<int>(std::lround((x / w + 1.0f) * 0.5f * width)) + 3;
        const int top = static_cast<int>(std::lround((1.0f - y / w) * 0.5f * height)) - kNameHeight / 2;
        name.assign(joint.name);
        nameFont_->drawText(name.c_str(), Rect{left, top, graphics.width, top + kNameHeight}, kNameColour);
    }
}

void Application::measureNormals(const Bounds& bounds)
{
    if (bounds.empty()) return;
    const float side = std::max({bounds.max.x - bounds.min.x, bounds.max.y - bounds.min.y, bounds.max.z - bounds.min.z});
    if (std::isfinite(side) && side > 0.0f) normalLength_ = side * kNormalShare;
}

} // namespace veskar
