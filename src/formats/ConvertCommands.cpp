// The two convert commands: SMD reference -> mRef, SMD animation -> mAni,
// written beside the source.

#include "formats/FormatConverter.h"
#include "import/ConsoleLog.h"
#include "platform/PrintableName.h"

#include <set>

namespace veskar {

bool FormatConverter::convertReference(const std::string& path)
{
    diagnostic.clear();
    materialWarning.clear();
    if (!nameOutput(path, "mRef")) return false;
    consoleLog().print("[Ref] %s\n", printableName(outputName).c_str());
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
    // The table lists a name once per run of triangles; count each once.
    const std::set<std::string> materials(smdModel->materialNames.begin(), smdModel->materialNames.end());
    if (materials.size() > 1)
        materialWarning = "warning: " + path + " has " + std::to_string(materials.size()) + " materials, but an mRef names one texture: " +
                          outputName + " keeps " + textureName;
    return writeReference();
}

bool FormatConverter::convertAnimation(const std::string& path)
{
    diagnostic.clear();
    if (!nameOutput(path, "mAni")) return false;
    consoleLog().print("[Ani] %s\n", printableName(outputName).c_str());
    smdModel.reset();
    smdModel = std::make_unique<SmdModel>(device);
    smdModel->buildPoseMatrices = false;
    if (!smdModel->loadAnimation(path)) {
        diagnostic = smdModel->diagnostic;
        return false;
    }
    return writeAnimation();
}

} // namespace veskar
