#include "mref/EngineRecords.h"

#include "import/LineCursor.h"
#include "import/TextScan.h"

#include <new>
#include <string_view>

namespace veskar {

namespace {

template <typename T>
bool allocateTable(std::vector<T>& table, std::int32_t& count, std::int32_t n)
{
    if (n <= 0) return false;
    table.clear();
    count = n;
    try {
        table.assign(static_cast<std::size_t>(n), T{});
    } catch (const std::bad_alloc&) {
        table.clear();
        return false;
    }
    return true;
}

} // namespace

bool EngineMesh::allocateNodes(std::int32_t count)
{
    if (!allocateTable(nodes, nodeCount, count)) return false;
    try {
        bonePalette.assign(static_cast<std::size_t>(count), Matrix{});
    } catch (const std::bad_alloc&) {
        bonePalette.clear();
        return false;
    }
    return true;
}

bool EngineMesh::allocateVertices(std::int32_t count) { return allocateTable(vertices, vertexCount, count); }

bool EngineMesh::allocateTriangles(std::int32_t count) { return allocateTable(triangles, triangleCount, count); }

void EngineMesh::applyAxisMatrix(const Matrix& axis) { applyAxis(std::span<EngineNode>(nodes), axis); }

void EngineMesh::release()
{
    nodes.clear();
    bonePalette.clear();
    vertices.clear();
    skinSources.clear();
    skinLinks.clear();
    triangles.clear();
    nodeCount = vertexCount = triangleCount = 0;
    texturePath.clear();
    rootBone = handBone = kNoBone;
}

EngineModelRecords::EngineModelRecords() { axisMatrix = makeAxisMatrix(); }

EngineModelRecords::~EngineModelRecords() { destroy(); }

void EngineModelRecords::destroy()
{
    for (EngineMesh& mesh : meshes) mesh.release();
    for (EngineAnimation& animation : animations) animation.release();
}

std::int32_t mAniNodeCount(const std::string& path)
{
    LineCursor cursor;
    std::string reason;
    if (!cursor.openFile(path, reason)) return 0;
    std::string_view line;
    for (int i = 0; i < 3; ++i)
        if (!cursor.next(line)) return 0;
    FieldScanner scan(line);
    std::string_view word;
    std::int32_t nodes = 0;
    scan.readWord(word);
    return scan.readInt(nodes) == ScanStatus::Ok ? nodes : 0;
}

} // namespace veskar
