#pragma once
// The bones a viewer points out in a skeleton, and a pose with the root's
// travel over the ground taken out ("in place"), so a walk cycle stays where
// it is while its legs and arms still move.

#include "import/Skeleton.h"
#include "base/Math.h"

#include <cstdint>
#include <span>

namespace veskar {

// The root: the node named "Bip01" (any case), as the mRef reader finds it,
// else the first node without a parent; -1 for an empty table.
std::int32_t rootNodeOf(std::span<const SkeletonNode> nodes);
// The node named "Bip01 L Hand" (any case), or -1.
std::int32_t handNodeOf(std::span<const SkeletonNode> nodes);

// Moves every matrix of the pose by the same amount, so that the root's
// position over the ground (viewer x and z) is the origin; heights stay as
// they are. Nothing happens for a root outside the pose.
void removeRootMotion(std::span<Matrix> pose, std::int32_t root);
void removeRootMotion(std::span<SkeletonNode> pose, std::int32_t root);

} // namespace veskar
