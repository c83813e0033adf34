#pragma once
// The box framing looks at: every model the view shows, over the whole of
// the animation each one plays, so that what an animation does with a model
// (a first-person weapon's idle that carries it to the camera, a walk that
// travels) stays in the picture. Frame model (Home), the framing of a model
// as it opens and the fixed views all take this one box.

#include "render/ModelBounds.h"

#include <cstdint>

namespace veskar {

class Scene;
class SmdModel;

// smdMode 1 plays the SMD model's first animation, as the drawing does;
// inPlace poses every animation with the roots' travel over the ground taken
// out, as drawn with View > In place. A model that plays nothing counts in
// the pose it is drawn in now.
Bounds sceneBounds(const SmdModel* smdModel, std::int32_t smdMode, const Scene* scene, bool inPlace);

} // namespace veskar
