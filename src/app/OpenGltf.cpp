// Open > glTF: a .glb or .gltf character read into the SMD model's records,
// drawn and animated as an SMD reference with its animations is; the first
// animation plays.

#include "app/Application.h"
#include "gltf/GltfImport.h"
#include "import/ConsoleLog.h"
#include "import/ReaderFrame.h"
#include "render/ModelEffect.h"
#include "render/SmdModel.h"

#include <new>

namespace veskar {

void Application::openGltf(const std::string& path)
{
    if (smdModel) smdModel->destroy();
    delete smdModel;
    smdModel = new (std::nothrow) SmdModel(graphics.device);
    smdAnimationName_.clear();
    smdMode = 0;
    if (!smdModel) return commandFailed({path, 0, "not enough memory for the model"});
    GltfRead read = readGltf(path, GltfReadOptions{}, *smdModel);
    for (const std::string& note : read.notes) consoleLog().print("%s\n", note.c_str());
    if (!read.ok) {
        showRefusal(nullptr, read.diagnostic);
        return commandFailed(read.diagnostic);
    }
    smdModel->upload(static_cast<std::size_t>(smdModel->meshCount - 1));
    for (const GltfAnimationRead& animation : read.animations) {
        if (!gltfAnimationToSlot(animation, path, *smdModel)) {
            showRefusal(nullptr, smdModel->diagnostic);
            commandFailed(smdModel->diagnostic);
            break;
        }
        if (smdAnimationName_.empty()) smdAnimationName_ = animation.name.empty() ? path.substr(path.find_last_of("/\\") + 1) : animation.name;
    }
    if (smdModel->hasAnimation) smdMode = 1;
    if (effectMissing(smdModel->effect)) commandFailed({path, 0, std::string("opened without the effect ") + kEffectFile + ", so it is not drawn"});
}

} // namespace veskar
