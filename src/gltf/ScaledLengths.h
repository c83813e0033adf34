#pragma once
// --scale multiplies every length; a finite number times it can leave a
// float's range (3e38 times 1e6), and glTF holds no infinities. A file whose
// scaled lengths would not stay finite is refused at the first line that
// holds such a length.

#include "mref/EngineVertex.h"
#include "import/Diagnostic.h"
#include "import/Skeleton.h"

#include <span>
#include <string>

namespace veskar {

// The largest length (a position or a bone's translation, any axis) of a
// model's bones and vertices, or of an animation's keys.
float largestLength(std::span<const SkeletonNode> nodes, std::span<const EngineVertex> vertices = {});
float largestLength(const SkeletonAnimation& animation);

// The first line of a model file (SMD, mRef or mAni) whose position or
// translation times scale is not a finite float: a line that starts with a
// node or bone number followed by at least three numbers. 0 when none is.
long firstLineBeyondScale(const std::string& path, float scale);

// Empty when largest times scale stays a finite float; otherwise the
// refusal of path at the first such line, naming the option.
Diagnostic refuseScaledBeyondRange(const std::string& path, float largest, float scale);

} // namespace veskar
