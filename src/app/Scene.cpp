#include "app/Scene.h"

#include "app/RootMarkers.h"
#include "render/EngineModel.h"
#include "gpu/Device.h"
#include "render/EngineModelDrawing.h"

namespace veskar {

bool hasRootBone(const EngineModel& model)
{
    const EngineMesh& mesh = model.meshes[0];
    return model.hasMesh && mesh.rootBone >= 0 && mesh.rootBone < mesh.nodeCount;
}

bool hasHandBone(const EngineModel& model)
{
    const EngineMesh& mesh = model.meshes[0];
    return model.hasMesh && mesh.handBone >= 0 && mesh.handBone < mesh.nodeCount &&
           mesh.handBone < static_cast<std::int32_t>(mesh.bonePalette.size());
}

void Scene::bind(Device* dev)
{
    device = dev;
    primary = secondary = weapon = nullptr;
    world = Matrix{};
    placePosition[0] = placePosition[1] = placePosition[2] = 0.0f;
    placeFacing[0] = placeFacing[1] = 0.0f;
    placeFacing[2] = 1.0f;
    rootOffset[0] = rootOffset[1] = rootOffset[2] = 0.0f;
    rootHeight = 0.0f;
    primaryMode = secondaryMode = kNoMode;
    fillMode = kFillSolid;
    primaryWorld = secondaryWorld = Matrix{};
}

void Scene::destroyModels()
{
    for (EngineModel** slot : {&primary, &secondary, &weapon}) {
        if (*slot) (*slot)->destroy();
        delete *slot;
        *slot = nullptr;
    }
}

void Scene::clear()
{
    destroyModels();
    world = Matrix{};
    primaryMode = secondaryMode = kNoMode;
    fillMode = kFillSolid;
    primaryWorld = secondaryWorld = Matrix{};
}

bool drawsSomething(const EngineModel* model, std::int32_t mode)
{
    if (!model || !model->hasMesh || mode < 0) return false;
    return mode != static_cast<std::int32_t>(DrawMode::Play) || model->hasAnimation;
}

bool weaponCarried(const Scene& scene)
{
    return scene.weapon && scene.weapon->hasMesh && !scene.weapon->hasAnimation && scene.primary && scene.primary->hasAnimation &&
           hasHandBone(*scene.primary);
}

const Matrix& carryingHand(const Scene& scene)
{
    const EngineMesh& mesh = scene.primary->meshes[0];
    return mesh.bonePalette[static_cast<std::size_t>(mesh.handBone)];
}

namespace {

void drawSlot(EngineModel& model, std::int32_t mode, std::uint32_t fillMode, float step, bool inPlace)
{
    // A slot whose load has not set a mode yet shows nothing.
    if (mode < 0) return;
    drawEngineModel(model, static_cast<DrawMode>(mode), fillMode, step, nullptr, inPlace);
}

} // namespace

bool Scene::render(float step, bool inPlace)
{
    if (primary) {
        if (secondary) {
            rootOffset[0] = rootOffset[1] = rootOffset[2] = 0.0f;
            Matrix ignored;
            float p[3], s[3];
            if (hasRootBone(*primary) && hasRootBone(*secondary) && currentRootKey(*primary, ignored, p) &&
                currentRootKey(*secondary, ignored, s)) {
                // In viewer space: the axis change mirrors x, and the
                // exporter's z is the viewer's y. The primary moves onto the
                // secondary's root key.
                rootOffset[0] = p[0] - s[0];
                rootOffset[1] = s[2] - p[2];
                rootOffset[2] = s[1] - p[1];
            }
            if (hasRootBone(*primary)) rootHeight = primary->meshes[0].nodes[static_cast<std::size_t>(primary->meshes[0].rootBone)].position[2];
            computePrimaryWorld();
        }
        device->setTransform(TransformType::World, world);
        primaryWorld = world;
        drawSlot(*primary, primaryMode, fillMode, step, inPlace);
    }
    if (weapon && primary && primary->hasAnimation && hasHandBone(*primary)) {
        const Matrix hand = primary->meshes[0].bonePalette[static_cast<std::size_t>(primary->meshes[0].handBone)];
        drawEngineModel(*weapon, DrawMode::Attached, fillMode, step, &hand);
    }
    if (secondary) {
        computeSecondaryWorld();
        device->setTransform(TransformType::World, world);
        secondaryWorld = world;
        drawSlot(*secondary, secondaryMode, fillMode, step, inPlace);
    }
    world = Matrix{};
    device->setTransform(TransformType::World, world);
    return true;
}

void Scene::computePrimaryWorld()
{
    const Vector3 position{placePosition[0], placePosition[1], placePosition[2]};
    const Vector3 f = vec3Normalize({placeFacing[0], placeFacing[1], placeFacing[2]});
    const Vector3 target{f.x - position.x, f.y - position.y, f.z - position.z};
    facingMatrix = matrixTranspose(matrixLookAtLH(position, target, {0, 1, 0}));
    world = matrixMultiply(matrixMultiply(matrixTranslation(rootOffset[0], rootOffset[1] - rootHeight, rootOffset[2]), facingMatrix),
                           matrixTranslation(placePosition[0], placePosition[1] + rootHeight, placePosition[2]));
}

void Scene::computeSecondaryWorld()
{
    const Vector3 position{placePosition[0], placePosition[1], placePosition[2]};
    const Vector3 f = vec3Normalize({placeFacing[0], 0.0f, placeFacing[2]});
    const Vector3 target{f.x - position.x, f.y - position.y, f.z - position.z};
    facingMatrix = matrixTranspose(matrixLookAtLH(position, target, {0, 1, 0}));
    world = matrixMultiply(facingMatrix, matrixTranslation(placePosition[0], placePosition[1], placePosition[2]));
}

} // namespace veskar
