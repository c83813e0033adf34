#include "mref/EngineModel.h"

#include "import/ModelEffect.h"
#include "gpu/Device.h"
#include "gpu/TextureFile.h"

#include <cstring>
#include <new>

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

bool EngineMesh::loadTexture(Device* device, const std::string& directory, const std::string& name)
{
    texturePath.clear();
    if (texture) texture->release();
    texture = nullptr;
    texturePath = directory + name;
    if (!device) return false;
    std::string problem;
    if (!failed(createTextureFromFile(device, texturePath.c_str(), &texture, &problem))) return true;
    createStandInTexture(device, &texture, problem);
    return false;
}

namespace {

bool fillVertexBuffer(Device* device, VertexBuffer*& buffer, const std::vector<EngineVertex>& vertices, bool bind)
{
    if (!device || vertices.empty()) return false;
    if (buffer) buffer->release();
    buffer = nullptr;
    if (failed(device->createVertexBuffer(static_cast<std::uint32_t>(vertices.size() * sizeof(SkinVertex)), 0, 0, Pool::Default, &buffer)))
        return false;
    void* data = nullptr;
    if (failed(buffer->lock(0, 0, &data, 0))) return false;
    auto* out = static_cast<SkinVertex*>(data);
    for (std::size_t i = 0; i < vertices.size(); ++i) out[i] = bind ? vertices[i].bindVertex : vertices[i].restVertex;
    buffer->unlock();
    return true;
}

} // namespace

bool EngineMesh::createRestBuffer(Device* device) { return fillVertexBuffer(device, restBuffer, vertices, false); }

bool EngineMesh::createBindBuffer(Device* device) { return fillVertexBuffer(device, bindBuffer, vertices, true); }

bool EngineMesh::createIndexBuffer(Device* device)
{
    if (!device || triangles.empty()) return false;
    if (indexBuffer) indexBuffer->release();
    indexBuffer = nullptr;
    if (failed(device->createIndexBuffer(static_cast<std::uint32_t>(triangles.size() * 12), 0, IndexFormat::Index32, Pool::Default, &indexBuffer)))
        return false;
    void* data = nullptr;
    if (failed(indexBuffer->lock(0, 0, &data, 0))) return false;
    static_assert(sizeof(TriangleIndices) == 12, "three 32-bit indices");
    std::memcpy(data, triangles.data(), triangles.size() * 12);
    indexBuffer->unlock();
    return true;
}

void EngineMesh::applyAxisMatrix(const Matrix& axis) { applyAxis(std::span<EngineNode>(nodes), axis); }

void EngineMesh::release()
{
    if (restBuffer) restBuffer->release();
    if (bindBuffer) bindBuffer->release();
    if (indexBuffer) indexBuffer->release();
    restBuffer = bindBuffer = nullptr;
    indexBuffer = nullptr;
    nodes.clear();
    bonePalette.clear();
    vertices.clear();
    skinSources.clear();
    skinLinks.clear();
    triangles.clear();
    nodeCount = vertexCount = triangleCount = 0;
    if (texture) texture->release();
    texture = nullptr;
    texturePath.clear();
    rootBone = handBone = kNoBone;
}

EngineModel::EngineModel(Device* dev) : device(dev)
{
    loadEffect(device, effect, technique);
    axisMatrix = makeAxisMatrix();
}

EngineModel::~EngineModel() { destroy(); }

void EngineModel::destroy()
{
    for (EngineMesh& mesh : meshes) mesh.release();
    for (EngineAnimation& animation : animations) animation.release();
    if (effect) effect->release();
    effect = nullptr;
    technique = kNullHandle;
}

} // namespace veskar
