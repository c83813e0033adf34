#include "render/EngineModel.h"

#include "gpu/Device.h"
#include "gpu/TextureFile.h"
#include "import/ConsoleLog.h"
#include "import/LineCursor.h"
#include "render/ModelEffect.h"

#include <cstring>
#include <vector>

namespace veskar {

namespace {

bool fillVertexBuffer(Device& device, VertexBuffer*& buffer, const std::vector<EngineVertex>& vertices, bool bind)
{
    if (vertices.empty()) return false;
    if (failed(device.createVertexBuffer(static_cast<std::uint32_t>(vertices.size() * sizeof(SkinVertex)), 0, 0, Pool::Default, &buffer)))
        return false;
    void* data = nullptr;
    if (failed(buffer->lock(0, 0, &data, 0))) return false;
    auto* out = static_cast<SkinVertex*>(data);
    for (std::size_t i = 0; i < vertices.size(); ++i) out[i] = bind ? vertices[i].bindVertex : vertices[i].restVertex;
    buffer->unlock();
    return true;
}

bool fillIndexBuffer(Device& device, IndexBuffer*& buffer, const std::vector<TriangleIndices>& triangles)
{
    if (triangles.empty()) return false;
    if (failed(device.createIndexBuffer(static_cast<std::uint32_t>(triangles.size() * 12), 0, IndexFormat::Index32, Pool::Default, &buffer)))
        return false;
    void* data = nullptr;
    if (failed(buffer->lock(0, 0, &data, 0))) return false;
    static_assert(sizeof(TriangleIndices) == 12, "three 32-bit indices");
    std::memcpy(data, triangles.data(), triangles.size() * 12);
    buffer->unlock();
    return true;
}

} // namespace

void EngineMeshObjects::release()
{
    if (restBuffer) restBuffer->release();
    if (bindBuffer) bindBuffer->release();
    if (indexBuffer) indexBuffer->release();
    if (texture) texture->release();
    restBuffer = bindBuffer = nullptr;
    indexBuffer = nullptr;
    texture = nullptr;
}

EngineModel::EngineModel(Device* dev) : device(dev) { loadEffect(device, effect, technique); }

EngineModel::~EngineModel() { destroy(); }

void EngineModel::destroy()
{
    for (EngineMeshObjects& objects : meshObjects) objects.release();
    EngineModelRecords::destroy();
    if (effect) effect->release();
    effect = nullptr;
    technique = kNullHandle;
}

void EngineModel::upload(std::size_t slot)
{
    const EngineMesh& mesh = meshes[slot];
    EngineMeshObjects& objects = meshObjects[slot];
    objects.release();
    if (!device) return;
    std::string reason;
    const bool loaded = !failed(createTextureFromFile(device, mesh.texturePath.c_str(), &objects.texture, &reason));
    if (!loaded) createStandInTexture(device, &objects.texture);
    consoleLog().print("%s\n", textureConsoleLine(mesh.texturePath, loaded, reason).c_str());
    createBuffers(slot);
}

bool EngineModel::createBuffers(std::size_t slot)
{
    const EngineMesh& mesh = meshes[slot];
    EngineMeshObjects& objects = meshObjects[slot];
    return device && fillVertexBuffer(*device, objects.restBuffer, mesh.vertices, false) &&
           fillVertexBuffer(*device, objects.bindBuffer, mesh.vertices, true) && fillIndexBuffer(*device, objects.indexBuffer, mesh.triangles);
}

EngineReadResult EngineModel::readReference(LineCursor& lines, const std::string& displayName)
{
    const EngineReadResult r = EngineModelRecords::readReference(lines, displayName);
    if (r == kEngineRead) upload(static_cast<std::size_t>(meshCount - 1));
    return r;
}

EngineReadResult EngineModel::readReference(std::string_view text, const std::string& displayName)
{
    LineCursor lines(text);
    return readReference(lines, displayName);
}

bool EngineModel::loadReference(const std::string& path)
{
    const EngineReadResult r = readReferenceFile(path);
    if (r == kEngineRead) upload(static_cast<std::size_t>(meshCount - 1));
    return reportEngineRead(r, diagnostic, true);
}

bool EngineModel::loadReferenceFromMemory(std::string_view text, const std::string& displayName)
{
    modelDirectory = directoryOf(displayName);
    return reportEngineRead(readReference(text, displayName), diagnostic, true);
}

} // namespace veskar
