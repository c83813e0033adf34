#include "import/SmdRecords.h"

#include "system/LargePages.h"

#include <algorithm>
#include <new>
#include <thread>

namespace veskar {

std::string directoryOf(const std::string& path)
{
    auto cut = path.find_last_of('\\');
    if (cut == std::string::npos) cut = path.find_last_of('/');
    // A bare file name lies in the current folder.
    if (cut == std::string::npos) return {};
    return path.substr(0, cut + 1);
}

int defaultReaderThreads()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(std::min(cores, 4u));
}

bool SmdMesh::allocateNodes(std::int32_t count)
{
    if (count <= 0) return false;
    nodes.clear();
    nodeCount = count;
    try {
        nodes.assign(static_cast<std::size_t>(count), SmdNode{});
    } catch (const std::bad_alloc&) {
        nodes.clear();
        return false;
    }
    return true;
}

bool SmdMesh::allocateTriangles(std::int32_t count)
{
    if (count <= 0) return false;
    triangles.clear();
    linkPool.clear();
    bindVertices.clear();
    triangleCount = count;
    vertexCount = count * 3;
    try {
        triangles.reserve(static_cast<std::size_t>(count));
        preferLargePages(triangles);
        triangles.assign(static_cast<std::size_t>(count), SmdTriangle{});
    } catch (const std::bad_alloc&) {
        triangles.clear();
        return false;
    }
    return true;
}

void SmdMesh::applyAxis(const Matrix& axis) { veskar::applyAxis(std::span<SmdNode>(nodes), axis); }

BoneLinks SmdMesh::cornerLinks(std::int32_t triangle, int corner) const
{
    BoneLinks block;
    const auto span = links(triangle, corner);
    for (int k = 0; k < kMaxLinks; ++k) {
        if (k < static_cast<int>(span.size())) {
            block.bone[k] = span[k].bone;
            block.weight[k] = span[k].weight;
        } else {
            block.bone[k] = 0;
            block.weight[k] = 0.0f;
        }
    }
    return block;
}

void SmdMesh::release()
{
    nodes.clear();
    nodeCount = 0;
    triangles.clear();
    linkPool.clear();
    bindVertices.clear();
    triangleCount = 0;
    vertexCount = 0;
    texturePaths.clear();
    textureCount = 0;
}

SmdModelRecords::SmdModelRecords() { axisMatrix = makeAxisMatrix(); }

SmdModelRecords::~SmdModelRecords() { destroy(); }

void SmdModelRecords::destroy()
{
    for (SmdMesh& mesh : meshes) mesh.release();
    for (SmdAnimation& animation : animations) animation.release();
}

} // namespace veskar
