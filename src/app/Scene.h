#pragma once
// The engine models on display: two characters placed against each other by
// their root keys, and a weapon in the primary character's left hand.

#include "gpu/Device.h"
#include "base/Math.h"

#include <cstdint>

namespace veskar {

class Device;
class EngineModel;

constexpr std::int32_t kNoMode = -1;

class Scene {
public:
    ~Scene() { destroyModels(); }
    void bind(Device* device);
    void clear();
    void destroyModels();
    // One frame of the three slots: playing animations advance by timeStep
    // keys; inPlace takes their roots' travel over the ground out of the
    // poses drawn.
    bool render(float timeStep, bool inPlace = false);
    void computePrimaryWorld();
    void computeSecondaryWorld();

    Device* device = nullptr;
    EngineModel* primary = nullptr;
    EngineModel* secondary = nullptr;
    EngineModel* weapon = nullptr;
    Matrix world;
    float placePosition[3] = {0, 0, 0};
    float placeFacing[3] = {0, 0, 1};
    Matrix facingMatrix;
    float rootOffset[3] = {0, 0, 0};
    float rootHeight = 0.0f;
    std::int32_t primaryMode = kNoMode;
    std::int32_t secondaryMode = kNoMode;
    std::uint32_t fillMode = kFillSolid;
    // Where the last frame put each character (identity before any frame),
    // for what is drawn over them and for framing.
    Matrix primaryWorld;
    Matrix secondaryWorld;
};

// Whether a slot's model draws anything in its mode: a mesh, a mode set by a
// load, and an animation when the mode is Play.
bool drawsSomething(const EngineModel* model, std::int32_t mode);
// Whether the weapon is drawn in the primary's hand this frame.
bool weaponCarried(const Scene& scene);
// The primary's hand in the pose it was last drawn in; only when carried.
const Matrix& carryingHand(const Scene& scene);

// Whether the model's first mesh has a node named "Bip01" / "Bip01 L Hand".
bool hasRootBone(const EngineModel& model);
bool hasHandBone(const EngineModel& model);

} // namespace veskar
