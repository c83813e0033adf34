#pragma once
// Drawing an engine model once a frame: still, playing its animation (keys
// blended into the bone palette, every vertex skinned on the CPU) or rigidly
// attached to a hand matrix; and binding a weapon to a hand once when it loads.

#include "render/EngineModel.h"
#include "base/Math.h"

#include <cstdint>

namespace veskar {

// How the scene asks a model to be drawn. Any other value (the scene's -1
// for a slot with nothing loaded) draws nothing.
enum class DrawMode : std::int32_t { Still = 0, Play = 1, Attached = 2 };

// The model's draw: runs the effect frame and, between its pass's begin and
// end, draws what the mode and the model's data call for:
//   no mesh                      nothing
//   animation, Still             the current pose, not advanced
//   animation, Play              advanced by timeStep keys, then drawn
//   animation, Attached          nothing
//   no animation, Still          the rest pose
//   no animation, Play           nothing
//   no animation, Attached       placed by attachMatrix (nothing when null)
// fillMode is kFillSolid or kFillWireframe. inPlace takes the root's travel
// over the ground out of a playing pose (see removeRootMotion). A model
// without an effect draws nothing. Always true.
bool drawEngineModel(EngineModel& model, DrawMode mode, std::uint32_t fillMode, float timeStep, const Matrix* attachMatrix,
                     bool inPlace = false);

// The steps below run inside the pass that drawEngineModel opens.

// animationIndex -1 draws the palette as it stands; 0 or more advances that
// animation first. False (nothing drawn) when it has no frames.
bool drawSkinned(EngineModel& model, std::uint32_t fillMode, float timeStep, std::int32_t animationIndex, bool inPlace = false);
bool drawRest(EngineModel& model, std::uint32_t fillMode);
bool drawAttached(EngineModel& model, std::uint32_t fillMode, const Matrix* attachMatrix);

// The animation step: wraps the playback position into the animation's
// frames, moves it on by timeStep keys (see advancePlayback) and blends the
// two keys it stands between into every mesh's palette, so the pose drawn is
// the one for the time of this frame. False when the animation has no frames
// (nothing changed but currentFrame raised to 0 and currentAnimation set).
bool advanceAnimation(EngineModel& model, std::int32_t animationIndex, float timeStep, bool inPlace = false);

// Rewrite the mesh's bind buffer; false only when it cannot be locked (the
// mesh then draws from the buffer's previous content).
bool skinMesh(const EngineMesh& mesh, VertexBuffer* buffer);
bool placeAttached(const EngineMesh& mesh, VertexBuffer* buffer, const Matrix& attachMatrix);

// Carries the rest vertices of the first mesh into the space of the carrying
// model's hand, given that hand's world matrix, so that placeAttached with
// the hand's current palette matrix puts them in the hand. Always true.
bool bindToHand(EngineModel& model, const Matrix& handMatrix);

} // namespace veskar
