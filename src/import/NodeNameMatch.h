#pragma once
// Which node of an animation drives which node of a model, by name. Exporters
// renumber, reorder and add helper bones, but a bone keeps its name: exact
// names are matched first, then names that are equal ignoring case.

#include "import/Skeleton.h"

#include <cstdint>
#include <span>
#include <vector>

namespace veskar {

struct NodeNameMatch {
    // For every model node, the animation node that drives it, or -1.
    std::vector<std::int32_t> animationNode;
    // Nodes left over on either side, each list in its own file's order.
    std::vector<std::int32_t> unmatchedModelNodes;
    std::vector<std::int32_t> unmatchedAnimationNodes;
    std::int32_t matched = 0;
    // The same names in the same order: the animation applies node for node.
    bool sameOrder = false;
};

// Each animation node drives at most one model node. Where a name repeats,
// the earlier model node takes the earlier animation node.
NodeNameMatch matchNodesByName(std::span<const SkeletonNode> model, std::span<const SkeletonNode> animation);

} // namespace veskar
