#include "app/SceneBounds.h"

#include "app/Scene.h"
#include "render/EngineModel.h"
#include "render/EngineModelDrawing.h"
#include "render/SmdModel.h"

namespace veskar {

namespace {

// The animation a model picked, when it has one there.
template <typename Model>
bool hasPick(const Model& model)
{
    return model.hasAnimation && model.currentAnimation >= 0 && model.currentAnimation < model.animationCount;
}

template <typename Model>
const SkeletonAnimation& pickOf(const Model& model)
{
    return model.animations[static_cast<std::size_t>(model.currentAnimation)];
}

bool plays(const EngineModel& model, std::int32_t mode) { return hasPick(model) && mode == static_cast<std::int32_t>(DrawMode::Play); }

// A character slot: the scene's Play mode plays the model's pick.
void addCharacter(const EngineModel* model, std::int32_t mode, const Matrix& world, bool inPlace, Bounds& bounds)
{
    if (!drawsSomething(model, mode)) return;
    if (plays(*model, mode)) addEngineAnimationBounds(*model, pickOf(*model), world, inPlace, bounds);
    else addEngineModelBounds(*model, world, bounds);
}

} // namespace

Bounds sceneBounds(const SmdModel* smdModel, std::int32_t smdMode, const Scene* scene, bool inPlace)
{
    Bounds bounds;
    if (smdModel && smdModel->hasMesh) {
        if (hasPick(*smdModel) && smdMode == 1) addSmdAnimationBounds(*smdModel, pickOf(*smdModel), inPlace, bounds);
        else addSmdModelBounds(*smdModel, bounds);
    }
    if (!scene) return bounds;
    addCharacter(scene->primary.get(), scene->primaryMode, scene->primaryWorld, inPlace, bounds);
    addCharacter(scene->secondary.get(), scene->secondaryMode, scene->secondaryWorld, inPlace, bounds);
    if (weaponCarried(*scene)) {
        if (plays(*scene->primary, scene->primaryMode))
            addCarriedAnimationBounds(*scene->weapon, *scene->primary, pickOf(*scene->primary), scene->primaryWorld, inPlace, bounds);
        else
            addAttachedBounds(*scene->weapon, carryingHand(*scene), scene->primaryWorld, bounds);
    }
    return bounds;
}

} // namespace veskar
