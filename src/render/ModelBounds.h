#pragma once
// Where a model's vertices are drawn: the box around them in world space, for
// framing the camera on what is loaded. The positions are worked out with
// the drawing's own skinning, so the box is the one the picture shows, now
// or over the whole of the animation the model plays.

#include "render/EngineModel.h"
#include "render/SmdModel.h"
#include "base/Math.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace veskar {

struct Bounds {
    Vector3 min{1e30f, 1e30f, 1e30f};
    Vector3 max{-1e30f, -1e30f, -1e30f};

    bool empty() const { return min.x > max.x; }
    // Points that are not finite are left out.
    void add(const Vector3& p);
    Vector3 centre() const { return {(min.x + max.x) * 0.5f, (min.y + max.y) * 0.5f, (min.z + max.z) * 0.5f}; }
};

// An engine model as it is drawn now, carried by world: skinned by its
// palette (the current pose) when it has an animation, its rest vertices
// otherwise.
void addEngineModelBounds(const EngineModel& model, const Matrix& world, Bounds& bounds);
// A model drawn attached to a hand: placed by attachMatrix, then by world.
void addAttachedBounds(const EngineModel& model, const Matrix& attachMatrix, const Matrix& world, Bounds& bounds);
// An SMD model in its current pose (its vertices are in world space).
void addSmdModelBounds(const SmdModel& model, Bounds& bounds);

// The same over every pose an animation takes the model through: its keys,
// each posed as the drawing poses it (inPlace takes the root's travel over
// the ground out) and skinned. A model that is large for its animation's
// length gets evenly spread keys, the first and last among them, so that the
// work stays near four million vertices a model. A first-person weapon whose
// idle carries it away from its bind pose, or a walk that travels, is in the
// box wherever the animation has it.
void addSmdAnimationBounds(const SmdModel& model, const SmdAnimation& animation, bool inPlace, Bounds& bounds);
void addEngineAnimationBounds(const EngineModel& model, const EngineAnimation& animation, const Matrix& world, bool inPlace, Bounds& bounds);
// A model carried in the hand of another, over the carrier's animation.
void addCarriedAnimationBounds(const EngineModel& model, const EngineModel& carrier, const EngineAnimation& animation, const Matrix& world,
                               bool inPlace, Bounds& bounds);

// The keys sampled of an animation of frameCount keys for a model of
// vertexCount vertices, in order: all of them, or evenly spread ones with
// the first and the last when that would take too much work.
std::vector<std::int32_t> sampledKeys(std::int32_t frameCount, std::size_t vertexCount);

} // namespace veskar
