#include "import/SmdModel.h"

#include "import/ModelEffect.h"
#include "gpu/Device.h"
#include "system/LargePages.h"
#include "gpu/TextureFile.h"

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

bool SmdMesh::loadTextures(Device* device, std::int32_t count, const std::string& directory, const std::vector<std::string>& names)
{
    if (count <= 0) return false;
    textureCount = count;
    texturePaths.clear();
    for (Texture* t : textures)
        if (t) t->release();
    textures.clear();
    for (std::int32_t j = 0; j < count; ++j) texturePaths.push_back(directory + names[static_cast<std::size_t>(j)]);
    textures.assign(static_cast<std::size_t>(count), nullptr);
    if (!device) return false;
    // Every material gets a texture: one that cannot be loaded is drawn light
    // grey, and the materials after it still get their own files.
    bool all = true;
    for (std::size_t j = 0; j < textures.size(); ++j) {
        std::string problem;
        if (!failed(createTextureFromFile(device, texturePaths[j].c_str(), &textures[j], &problem))) continue;
        all = false;
        createStandInTexture(device, &textures[j], problem);
    }
    return all;
}

bool SmdMesh::createVertexBuffer(Device* device)
{
    if (!device || triangleCount <= 0) return false;
    if (vertexBuffer) {
        vertexBuffer->release();
        vertexBuffer = nullptr;
    }
    return !failed(device->createVertexBuffer(static_cast<std::uint32_t>(triangleCount) * 96u, 0, 0, Pool::Default, &vertexBuffer));
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
    if (vertexBuffer) vertexBuffer->release();
    vertexBuffer = nullptr;
    for (Texture* t : textures)
        if (t) t->release();
    textures.clear();
    texturePaths.clear();
    textureCount = 0;
}

SmdModel::SmdModel(Device* dev) : device(dev)
{
    loadEffect(device, effect, technique);
    axisMatrix = makeAxisMatrix();
}

SmdModel::~SmdModel() { destroy(); }

void SmdModel::destroy()
{
    for (SmdMesh& mesh : meshes) mesh.release();
    for (SmdAnimation& animation : animations) animation.release();
    if (effect) effect->release();
    effect = nullptr;
    technique = kNullHandle;
}

} // namespace veskar
