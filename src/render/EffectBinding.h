#pragma once
// What every model draw hands the shading effect, and the begin/pass/end frame
// around its draw calls. Both model kinds call these with their effect head.

#include "gpu/Device.h"
#include "gpu/Effect.h"

namespace veskar {

// The three matrices from the device's current world, view and projection,
// and the fixed eye, light and material vectors. Returns 0; the effect's
// answers are not looked at.
int bindEffectParameters(Device& device, Effect& effect);

// The opening of the draw frame: light 0 and lighting off, parameters bound,
// technique begun, culling off, depth on, pass 0 begun. False, with nothing
// done, when the model has no effect (or no device): the model is then not
// drawn at all and endModelDraw must not be called.
bool beginModelDraw(Device* device, Effect* effect, EffectHandle technique);
// Closes the pass and the technique opened by beginModelDraw.
void endModelDraw(Effect& effect);

// Sets the diffuse texture and commits it, so it is the one in force for the
// draw call that follows.
void setDiffuseMap(Effect& effect, Texture* texture);

} // namespace veskar
