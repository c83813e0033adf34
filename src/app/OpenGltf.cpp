// Open > glTF: a .glb or .gltf character read into the SMD model's records,
// drawn and animated as an SMD reference with its animations is: each of its
// animations is one in the Animation menu, and the first plays.

#include "app/Application.h"
#include "app/MadeOrNull.h"
#include "gltf/GltfImport.h"
#include "import/ConsoleLog.h"
#include "import/ReaderFrame.h"
#include "render/ModelEffect.h"
#include "render/SmdModel.h"

namespace veskar {

void Application::openGltf(const std::string& path)
{
    if (smdModel) smdModel->destroy();
    smdModel = madeOrNull<SmdModel>(graphics.device);
    forgetAnimations(Animated::Smd);
    smdMode = 0;
    if (!smdModel) return commandFailed({path, 0, "not enough memory for the model"});
    GltfRead read = readGltf(path, GltfReadOptions{}, *smdModel);
    for (const std::string& note : read.notes) consoleLog().print("%s\n", note.c_str());
    if (!read.ok) {
        showRefusal(nullptr, read.diagnostic);
        return commandFailed(read.diagnostic);
    }
    smdModel->upload(static_cast<std::size_t>(smdModel->meshCount - 1));
    const std::string file = path.substr(path.find_last_of("/\\") + 1);
    for (const GltfAnimationRead& animation : read.animations) {
        if (!gltfAnimationToSlot(animation, path, *smdModel)) {
            showRefusal(nullptr, smdModel->diagnostic);
            commandFailed(smdModel->diagnostic);
            break;
        }
        // Unnamed animations are told apart by their place in the file.
        animationOpened(Animated::Smd, animation.name.empty() ? file + " " + std::to_string(smdModel->animationCount) : animation.name);
    }
    pickAnimation(Animated::Smd, 0);
    if (effectMissing(smdModel->effect)) commandFailed({path, 0, std::string("opened without the effect ") + kEffectFile + ", so it is not drawn"});
}

} // namespace veskar
