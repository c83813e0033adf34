#include "app/SceneBounds.h"

#include "app/Scene.h"
#include "render/EngineModel.h"
#include "render/EngineModelDrawing.h"
#include "render/SmdModel.h"

namespace veskar {

namespace {

bool plays(const EngineModel& model, std::int32_t mode) { return model.hasAnimation && mode == static_cast<std::int32_t>(DrawMode::Play); }

// A character slot: the scene's Play mode plays animation slot 0.
void addCharacter(const EngineModel* model, std::int32_t mode, const Matrix& world, bool inPlace, Bounds& bounds)
{
    if (!drawsSomething(model, mode)) return;
    if (plays(*model, mode)) addEngineAnimationBounds(*model, model->animations[0], world, inPlace, bounds);
    else addEngineModelBounds(*model, world, bounds);
}

} // namespace

Bounds sceneBounds(const SmdModel* smdModel, std::int32_t smdMode, const Scene* scene, bool inPlace)
{
    Bounds bounds;
    if (smdModel && smdModel->hasMesh) {
        if (smdModel->hasAnimation && smdMode == 1) addSmdAnimationBounds(*smdModel, smdModel->animations[0], inPlace, bounds);
        else addSmdModelBounds(*smdModel, bounds);
    }
    if (!scene) return bounds;
    addCharacter(scene->primary, scene->primaryMode, scene->primaryWorld, inPlace, bounds);
    addCharacter(scene->secondary, scene->secondaryMode, scene->secondaryWorld, inPlace, bounds);
    if (weaponCarried(*scene)) {
        if (plays(*scene->primary, scene->primaryMode))
            addCarriedAnimationBounds(*scene->weapon, *scene->primary, scene->primary->animations[0], scene->primaryWorld, inPlace, bounds);
        else
            addAttachedBounds(*scene->weapon, carryingHand(*scene), scene->primaryWorld, bounds);
    }
    return bounds;
}

} // namespace veskar
