#include "import/Skeleton.h"

#include "system/LargePages.h"

#include <new>

namespace veskar {

Matrix makeAxisMatrix() { return matrixMultiply(matrixRotationX(-1.5707964f), matrixRotationY(3.1415927f)); }

bool composeWorldMatrices(std::span<SkeletonNode> nodes, std::int32_t& badNode)
{
    const auto count = static_cast<std::int32_t>(nodes.size());
    // 0 unvisited, 1 on the current chain, 2 done
    std::vector<std::uint8_t> state(nodes.size(), 0);
    std::vector<std::int32_t> chain;
    for (std::int32_t start = 0; start < count; ++start) {
        if (state[start] == 2) continue;
        chain.clear();
        std::int32_t n = start;
        while (n != -1) {
            if (n < -1 || n >= count) {
                badNode = chain.empty() ? start : chain.back();
                return false;
            }
            if (state[n] == 2) break;
            if (state[n] == 1) {
                badNode = n;
                return false;
            }
            state[n] = 1;
            chain.push_back(n);
            n = nodes[n].parent;
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            SkeletonNode& node = nodes[*it];
            node.worldMatrix = node.parent < 0 ? node.localMatrix : matrixMultiply(node.localMatrix, nodes[node.parent].worldMatrix);
            state[*it] = 2;
        }
    }
    return true;
}

void applyAxis(std::span<SkeletonNode> nodes, const Matrix& axis)
{
    for (SkeletonNode& node : nodes) node.worldMatrix = matrixMultiply(node.worldMatrix, axis);
}

bool SkeletonAnimation::allocate(std::int32_t frames, std::int32_t nodes)
{
    if (frames <= 0 || nodes <= 0) return false;
    release();
    frameCount = frames;
    nodeCount = nodes;
    try {
        frames_.reserve(static_cast<std::size_t>(frames) * static_cast<std::size_t>(nodes));
        preferLargePages(frames_);
        frames_.assign(static_cast<std::size_t>(frames) * static_cast<std::size_t>(nodes), SkeletonNode{});
    } catch (const std::bad_alloc&) {
        frames_.clear();
        return false;
    }
    return true;
}

void SkeletonAnimation::release()
{
    frames_.clear();
    frames_.shrink_to_fit();
}

void SkeletonAnimation::applyAxis(const Matrix& axis)
{
    veskar::applyAxis(std::span<SkeletonNode>(frames_), axis);
}

} // namespace veskar
