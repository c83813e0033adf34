#pragma once
// Where a model's vertices are drawn: the box around them in world space, for
// framing the camera on what is loaded. The positions are worked out with
// the drawing's own skinning, so the box is the one the picture shows.

#include "render/EngineModel.h"
#include "render/SmdModel.h"
#include "base/Math.h"

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

} // namespace veskar
