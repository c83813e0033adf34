#pragma once
// Drawing an SMD model straight from its SMD files once a frame: in its
// current pose or playing one of its animations, skinned on the CPU, one
// triangle per draw call with the triangle's own texture.

#include "render/SmdModel.h"

#include <cstdint>

namespace veskar {

// fillMode: kFillSolid or kFillWireframe. Playback loops over the keys from
// firstFrame up to, not including, frameLimit; animationIndex -1 keeps the
// current pose without playing. textured false draws with no texture on
// stage 0. The device's world transform is the identity afterwards (the
// effect takes the world current when the draw begins).
//
// False, with nothing drawn, when the range cannot be played: a negative
// bound, firstFrame at or past the animation's frameCount, frameLimit past
// it, an empty range (frameLimit at or below firstFrame) or an animation slot
// outside 0..31. True otherwise, and when the model has no effect (nothing
// is drawn then either).
//
// An animation with fewer nodes than the mesh poses only the nodes they have
// in common; the mesh's other nodes keep the matrices they had (the bind pose
// until then). Extra animation nodes are ignored.
//
// inPlace takes the root's travel over the ground out of a playing pose (see
// removeRootMotion).
bool drawSmdModel(SmdModel& model, std::uint32_t fillMode, std::int32_t firstFrame, std::int32_t frameLimit, float timeStep,
                  std::int32_t animationIndex, bool textured, bool inPlace = false);

// Rewrites the mesh's vertex buffer from its nodes' current pose; false only
// when the buffer cannot be locked (the mesh then draws what it held).
bool skinTriangles(const SmdMesh& mesh, VertexBuffer* buffer);

} // namespace veskar
