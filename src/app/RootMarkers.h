#pragma once
// The small cube drawn at each character's root key while both play.

#include "base/Math.h"
#include "gpu/Result.h"

namespace veskar {

class Device;
class IndexBuffer;
class VertexBuffer;
class EngineModel;

struct RootMarkers {
    VertexBuffer* vertices = nullptr;  // 24 positions
    IndexBuffer* indices = nullptr;    // 36 16-bit indices

    // kOk, or kFail at the first creation or lock that fails.
    Result create(Device& device);
    void release();
    void drawCube(Device& device);
};

// The world matrix of a character's root bone in the key it shows now; false
// when the model has no animation or no root bone.
bool currentRootKey(const EngineModel& model, Matrix& world, float position[3]);

} // namespace veskar
