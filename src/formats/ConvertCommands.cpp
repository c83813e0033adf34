// The two convert commands: SMD reference -> mRef, SMD animation -> mAni,
// written beside the source.

#include "formats/FormatConverter.h"
#include "import/ConsoleLog.h"

#include <filesystem>
#include <set>
#include <system_error>

namespace veskar {

FormatConverter::FormatConverter(Device* dev) : device(dev) {}

FormatConverter::~FormatConverter() { destroy(); }

void FormatConverter::destroy()
{
    smdModel.reset();
    weldedVertices.clear();
    weldedVertices.shrink_to_fit();
    triangles.clear();
    triangles.shrink_to_fit();
}

bool FormatConverter::nameOutput(const std::string& path, const char* extension)
{
    sourceDirectory = directoryOf(path);
    const std::string fileName = path.substr(sourceDirectory.size());
    const auto dot = fileName.find_last_of('.');
    // A name without an extension gets one, so the output is never the source.
    outputName = dot == std::string::npos ? fileName + "." + extension : fileName.substr(0, dot + 1) + extension;
    outputPath = sourceDirectory + outputName;
    std::error_code ec;
    if (outputPath == path || std::filesystem::equivalent(outputPath, path, ec)) {
        diagnostic = {path, 0, "the output " + outputName + " would overwrite the source file"};
        return false;
    }
    return true;
}

bool FormatConverter::convertReference(const std::string& path)
{
    diagnostic.clear();
    materialWarning.clear();
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
    consoleLog().print("[Ani] %s\n", outputName.c_str());
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
