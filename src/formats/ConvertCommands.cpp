// The two convert commands: SMD reference -> mRef, SMD animation -> mAni,
// written beside the source.

#include "formats/FormatConverter.h"
#include "import/ConsoleLog.h"

namespace veskar {

bool FormatConverter::convertReference(const std::string& path)
{
    diagnostic.clear();
    if (!nameOutput(path, "mRef")) return false;
    consoleLog().print("[Ref] %s\n", outputName.c_str());
    smdModel.reset();
    smdModel = std::make_unique<SmdModel>(device);
    smdModel->buildPoseMatrices = false;
    if (!smdModel->loadReference(path)) {
        diagnostic = smdModel->diagnostic;
        return false;
    }
    if (!weldVertices()) {
        diagnostic = {path, 0, "not enough memory to weld the vertices"};
        return false;
    }
    nodeCount = smdModel->meshes[0].nodeCount;
    textureName = smdModel->materialNames.empty() ? std::string() : smdModel->materialNames[0];
    return writeReference();
}

bool FormatConverter::convertAnimation(const std::string& path)
{
    diagnostic.clear();
    if (!nameOutput(path, "mAni")) return false;
    consoleLog().print("[Ani] %s\n", outputName.c_str());
    smdModel.reset();
    smdModel = std::make_unique<SmdModel>(device);
    smdModel->buildPoseMatrices = false;
    if (!smdModel->loadAnimationKeys(path, animationKeys)) {
        diagnostic = smdModel->diagnostic;
        return false;
    }
    return writeAnimation();
}

} // namespace veskar
