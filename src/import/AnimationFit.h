#pragma once
// An animation put onto the skeleton of the model it is loaded onto, once,
// when it is loaded: the drawing then takes frame node i for model node i as
// it always has. An animation whose node names are the model's, in the same
// order, is left as read. Any other is matched by name (see NodeNameMatch.h):
// each model node takes the keys of its animation node, a model node without
// one keeps its bind pose, animation nodes the model lacks are dropped. One
// that matches fewer than half of the model's nodes belongs to another
// skeleton and is refused.

#include "import/NodeNameMatch.h"
#include "import/Skeleton.h"

#include <span>
#include <string>

namespace veskar {

enum class AnimationFit {
    SameNodes,     // left as read
    ByName,        // rebuilt on the model's nodes
    TooFewMatch,   // refused; the animation is left as read
    NoMemory,      // the rebuilt tables could not be made; left as read
};

struct AnimationFitting {
    AnimationFit fit = AnimationFit::SameNodes;
    // ByName: the console line (how many matched, the first few that did
    // not); TooFewMatch and NoMemory: what the refusal says.
    std::string report;
};

// Puts the frames of animation (world matrices not yet turned by the axis
// change) onto model. With composeMatrices the rebuilt frames get their local
// and world matrices, as a read gives them; without, only their values.
AnimationFitting fitAnimationByName(SkeletonAnimation& animation, std::span<const SkeletonNode> model, bool composeMatrices);

// Whether the fitted animation may be kept; a fit by name says so on the
// console, as every reader of an animation does.
bool keepFitting(const AnimationFitting& fitting);

} // namespace veskar
