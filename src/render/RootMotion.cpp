#include "render/RootMotion.h"

#include "import/TextScan.h"

namespace veskar {

namespace {

std::int32_t nodeNamed(std::span<const SkeletonNode> nodes, std::string_view name)
{
    for (std::size_t i = 0; i < nodes.size(); ++i)
        if (equalsIgnoringCase(nodes[i].name, name)) return static_cast<std::int32_t>(i);
    return -1;
}

void shift(Matrix& m, float x, float z)
{
    m.m[3][0] -= x;
    m.m[3][2] -= z;
}

} // namespace

std::int32_t rootNodeOf(std::span<const SkeletonNode> nodes)
{
    const std::int32_t named = nodeNamed(nodes, "Bip01");
    if (named >= 0) return named;
    for (std::size_t i = 0; i < nodes.size(); ++i)
        if (nodes[i].parent < 0) return static_cast<std::int32_t>(i);
    return -1;
}

std::int32_t handNodeOf(std::span<const SkeletonNode> nodes) { return nodeNamed(nodes, "Bip01 L Hand"); }

void removeRootMotion(std::span<Matrix> pose, std::int32_t root)
{
    if (root < 0 || static_cast<std::size_t>(root) >= pose.size()) return;
    const float x = pose[static_cast<std::size_t>(root)].m[3][0];
    const float z = pose[static_cast<std::size_t>(root)].m[3][2];
    for (Matrix& m : pose) shift(m, x, z);
}

void removeRootMotion(std::span<SkeletonNode> pose, std::int32_t root)
{
    if (root < 0 || static_cast<std::size_t>(root) >= pose.size()) return;
    const float x = pose[static_cast<std::size_t>(root)].worldMatrix.m[3][0];
    const float z = pose[static_cast<std::size_t>(root)].worldMatrix.m[3][2];
    for (SkeletonNode& node : pose) shift(node.worldMatrix, x, z);
}

} // namespace veskar
