#pragma once
// The engine models on display: two characters placed against each other by
// their root keys, and a weapon in the primary character's left hand.

#include "platform/Device.h"
#include "platform/Math.h"

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
    // One frame of the three slots; timeScale multiplies the key step.
    bool render(float timeScale = 1.0f);
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
    float keyStep = 0.5f;
    std::uint32_t fillMode = kFillSolid;
};

// Whether the model's first mesh has a node named "Bip01" / "Bip01 L Hand".
bool hasRootBone(const EngineModel& model);
bool hasHandBone(const EngineModel& model);

} // namespace veskar
