#include "render/SmdModel.h"

#include "gpu/Device.h"
#include "gpu/TextureFile.h"
#include "import/ConsoleLog.h"
#include "import/LineCursor.h"
#include "render/ModelEffect.h"

#include <set>

namespace veskar {

void SmdMeshObjects::release()
{
    if (vertexBuffer) vertexBuffer->release();
    vertexBuffer = nullptr;
    for (Texture* t : textures)
        if (t) t->release();
    textures.clear();
}

SmdModel::SmdModel(Device* dev) : device(dev) { loadEffect(device, effect, technique); }

SmdModel::~SmdModel() { destroy(); }

void SmdModel::destroy()
{
    for (SmdMeshObjects& objects : meshObjects) objects.release();
    SmdModelRecords::destroy();
    if (effect) effect->release();
    effect = nullptr;
    technique = kNullHandle;
}

void SmdModel::upload(std::size_t slot)
{
    const SmdMesh& mesh = meshes[slot];
    SmdMeshObjects& objects = meshObjects[slot];
    objects.release();
    if (!device) return;
    // Every material gets a texture: one that cannot be loaded is drawn light
    // grey, and the materials after it still get their own files.
    objects.textures.assign(mesh.texturePaths.size(), nullptr);
    std::set<std::string> told;
    for (std::size_t j = 0; j < mesh.texturePaths.size(); ++j) {
        const std::string& path = mesh.texturePaths[j];
        std::string reason;
        const bool loaded = !failed(createTextureFromFile(device, path.c_str(), &objects.textures[j], &reason));
        if (!loaded) createStandInTexture(device, &objects.textures[j]);
        // One console line per texture file, each file once though several
        // runs of a material name it.
        if (told.insert(path).second) consoleLog().print("%s\n", textureConsoleLine(path, loaded, reason).c_str());
    }
    if (mesh.triangleCount > 0)
        device->createVertexBuffer(static_cast<std::uint32_t>(mesh.triangleCount) * 96u, 0, 0, Pool::Default, &objects.vertexBuffer);
}

SmdReadResult SmdModel::readReference(LineCursor& lines, const std::string& displayName)
{
    const SmdReadResult r = SmdModelRecords::readReference(lines, displayName);
    if (r == kSmdRead) upload(static_cast<std::size_t>(meshCount - 1));
    return r;
}

SmdReadResult SmdModel::readReference(std::string_view text, const std::string& displayName)
{
    LineCursor lines(text);
    return readReference(lines, displayName);
}

bool SmdModel::loadReference(const std::string& path)
{
    SmdReadResult r = readReferenceFile(path);
    if (r == kSmdRead) upload(static_cast<std::size_t>(meshCount - 1));
    return reportSmdRead(r, diagnostic, true);
}

bool SmdModel::loadReferenceFromMemory(std::string_view text, const std::string& displayName)
{
    modelDirectory = directoryOf(displayName);
    return reportSmdRead(readReference(text, displayName), diagnostic, true);
}

} // namespace veskar
