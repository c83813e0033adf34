// The converter record: its output names, and the check that its counts agree
// with the tables they count before anything is written from them.

#include "convert/FormatConverter.h"
#include "base/PrintableName.h"
#include "base/Utf8Path.h"

#include <filesystem>
#include <system_error>

namespace veskar {

FormatConverter::~FormatConverter() { destroy(); }

void FormatConverter::destroy()
{
    smdModel.reset();
    sourceRefused = false;
    refusalMessage = nullptr;
    welder.clear();
    weldedVertices.clear();
    weldedVertices.shrink_to_fit();
    triangles.clear();
    triangles.shrink_to_fit();
    animationKeys.clear();
}

std::string outputPathFor(const std::string& source, const char* extension)
{
    const std::string directory = directoryOf(source);
    const std::string fileName = source.substr(directory.size());
    const auto dot = fileName.find_last_of('.');
    // A name without an extension gets one, so the output is never the source.
    return directory + (dot == std::string::npos ? fileName + "." + extension : fileName.substr(0, dot + 1) + extension);
}

bool FormatConverter::nameOutput(const std::string& path, const char* extension)
{
    sourceDirectory = directoryOf(path);
    outputPath = outputPathFor(path, extension);
    outputName = outputPath.substr(sourceDirectory.size());
    std::error_code ec;
    if (outputPath == path || std::filesystem::equivalent(pathFromUtf8(outputPath), pathFromUtf8(path), ec)) {
        diagnostic = {path, 0, "the output " + printableName(outputName) + " would overwrite the source file"};
        return false;
    }
    return true;
}

bool FormatConverter::validateReference() const
{
    if (!smdModel || smdModel->meshCount < 1) return false;
    const SmdMesh& mesh = smdModel->meshes[0];
    return static_cast<std::size_t>(weldedCount) == welder.vertices.size() && cornerCount >= 0 &&
           static_cast<std::size_t>(cornerCount) == triangles.size() * 3 && static_cast<std::size_t>(nodeCount) == mesh.nodes.size();
}

bool FormatConverter::validateAnimation() const
{
    return animationKeys.matchesCounts();
}

bool FormatConverter::writeOutput(const char* what, bool valid, const std::function<void(TextWriter&)>& write)
{
    outputPath = sourceDirectory + outputName;
    std::string reason;
    if (!valid) reason = std::string("the converter's ") + what + " do not agree with their counts; nothing was written";
    else if (writeTextFile(outputPath, reason, write)) return true;
    diagnostic = {outputPath, 0, reason};
    return false;
}

} // namespace veskar
