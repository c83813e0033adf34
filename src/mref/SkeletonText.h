#pragma once
// A skeleton node as the engine formats write it: its node line, and its bone
// line with the number in three columns.

#include "mref/TextWriter.h"
#include "import/Skeleton.h"

namespace veskar {

inline void putNode(TextWriter& out, std::size_t number, const SkeletonNode& node)
{
    putNodeLine(out, static_cast<std::int32_t>(number), node.name, node.parent);
}

inline void putPose(TextWriter& out, std::size_t number, const SkeletonNode& node)
{
    const float pose[6] = {node.position[0], node.position[1], node.position[2], node.rotation[0], node.rotation[1], node.rotation[2]};
    putBoneLine(out, static_cast<std::int32_t>(number), 3, pose);
}

} // namespace veskar
