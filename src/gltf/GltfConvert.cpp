#include "gltf/GltfConvert.h"

#include "convert/FormatConverter.h"
#include "gltf/GltfFileLoad.h"
#include "gltf/GltfImport.h"
#include "import/ConsoleLog.h"
#include "import/ReaderFrame.h"
#include "base/PrintableName.h"

#include <cstdio>
#include <memory>
#include <set>

namespace veskar {

namespace {

std::string stemOf(const std::string& path)
{
    const std::string name = path.substr(directoryOf(path).size());
    const auto dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// An animation's name as part of a file name: separators, the characters
// Windows refuses and control characters become '_'; one without a name (or
// a name left empty) is "animationN".
std::string fileNamePart(const std::string& name, std::size_t index)
{
    std::string out = name;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos) c = '_';
    while (!out.empty() && (out.back() == '.' || out.back() == ' ')) out.pop_back();
    return out.empty() ? "animation" + std::to_string(index) : out;
}

GltfReadOptions readOptions(const GltfConvertOptions& options, bool animations)
{
    GltfReadOptions read;
    read.scale = options.scale;
    read.fps = options.fps;
    read.readAnimations = animations;
    return read;
}

void addLines(std::string& errors, const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) errors += line + "\n";
}

// The output's folder and name as the converter writes them.
void nameOutput(FormatConverter& converter, const std::string& output)
{
    converter.sourceDirectory = directoryOf(output);
    converter.outputName = output.substr(converter.sourceDirectory.size());
    converter.outputPath = output;
}

bool convertReference(const std::string& path, const GltfConvertOptions& options, const std::string& output, std::string& errors)
{
    FormatConverter converter;
    nameOutput(converter, output);
    consoleLog().print("[Ref] %s\n", printableName(converter.outputName).c_str());
    const GltfRead read = readGltfForConverter(path, options, false, converter);
    SmdModelRecords& model = *converter.smdModel;
    addLines(errors, read.notes);
    if (!read.ok) {
        errors += read.diagnostic.text() + "\n";
        return false;
    }
    if (!converter.weldVertices()) {
        errors += Diagnostic{path, 0, "not enough memory to weld the vertices"}.text() + "\n";
        return false;
    }
    converter.nodeCount = model.meshes[0].nodeCount;
    converter.textureName = model.materialNames.empty() ? std::string() : model.materialNames[0];
    if (const std::string warning = materialWarningText(path, converter.outputName, model.materialNames); !warning.empty()) errors += warning + "\n";
    if (!converter.writeReference()) {
        errors += converter.diagnostic.text() + "\n";
        return false;
    }
    consoleLog().print("wrote %s\n", printableName(converter.outputPath).c_str());
    return true;
}

bool convertAnimations(const std::string& path, const GltfConvertOptions& options, const GltfPlan& plan, const std::vector<std::string>& collisions,
                       std::string& errors)
{
    SmdModelRecords model;
    model.buildPoseMatrices = false;
    GltfRead read = readGltf(path, readOptions(options, true), model);
    addLines(errors, read.notes);
    if (!read.ok) {
        errors += read.diagnostic.text() + "\n";
        return false;
    }
    if (read.animations.empty()) {
        errors += Diagnostic{path, 0, "/animations: the file holds no animation"}.text() + "\n";
        return false;
    }
    bool allWritten = true;
    for (std::size_t i = 0; i < read.animations.size() && i < plan.outputs.size(); ++i) {
        if (i < collisions.size() && !collisions[i].empty()) {
            errors += Diagnostic{path, 0, collisions[i]}.text() + "\n";
            allWritten = false;
            continue;
        }
        FormatConverter converter;
        nameOutput(converter, plan.outputs[i]);
        consoleLog().print("[Ani] %s\n", printableName(converter.outputName).c_str());
        converter.animationKeys = std::move(read.animations[i].keys);
        logAnimationCounts(converter.animationKeys.nodeCount, converter.animationKeys.frameCount);
        if (!converter.writeAnimation()) {
            errors += converter.diagnostic.text() + "\n";
            allWritten = false;
            continue;
        }
        consoleLog().print("wrote %s\n", printableName(converter.outputPath).c_str());
    }
    return allWritten;
}

} // namespace

GltfRead readGltfForConverter(const std::string& path, const GltfConvertOptions& options, bool animations, FormatConverter& converter)
{
    converter.smdModel = std::make_unique<SmdModelRecords>();
    converter.smdModel->buildPoseMatrices = false;
    return readGltf(path, readOptions(options, animations), *converter.smdModel);
}

GltfPlan planGltfConversion(const std::string& path, bool animations)
{
    GltfPlan plan;
    GltfOutline outline;
    if (!outlineGltfFile(path, outline, plan.refusal)) return plan;
    plan.sources = std::move(outline.sources);
    if (!animations) {
        plan.outputs.push_back(outputPathFor(path, "mRef"));
        return plan;
    }
    // Two animations of one name would write one file; the later ones take
    // their place in the file as well.
    std::set<std::string> taken;
    const std::string base = directoryOf(path) + stemOf(path) + "_";
    for (std::size_t i = 0; i < outline.animationNames.size(); ++i) {
        std::string part = fileNamePart(outline.animationNames[i], i);
        if (!taken.insert(part).second) {
            part += '_';
            part += std::to_string(i);
        }
        taken.insert(part);
        plan.outputs.push_back(base + part + ".mAni");
    }
    return plan;
}

bool convertGltf(const std::string& command, const std::string& path, const GltfConvertOptions& options, const GltfPlan& plan,
                 const std::vector<std::string>& collisions, std::string& errors)
{
    if (!plan.refusal.empty()) {
        errors += plan.refusal.text() + "\n";
        return false;
    }
    if (command == "ref") {
        if (!collisions.empty() && !collisions[0].empty()) {
            errors += Diagnostic{path, 0, collisions[0]}.text() + "\n";
            return false;
        }
        return !plan.outputs.empty() && convertReference(path, options, plan.outputs[0], errors);
    }
    return convertAnimations(path, options, plan, collisions, errors);
}

bool describeGltf(const std::string& path, const GltfConvertOptions& options, std::string& text, std::string& errors)
{
    FormatConverter converter;
    const GltfRead read = readGltfForConverter(path, options, true, converter);
    SmdModelRecords& model = *converter.smdModel;
    addLines(errors, read.notes);
    if (!read.ok) {
        errors += read.diagnostic.text() + "\n";
        return false;
    }
    converter.weldVertices();
    const GltfSummary& s = read.summary;
    text += printableName(path) + ": glTF 2.0 (" + (s.binary ? "binary" : "text") + ")\n";
    text += "  nodes " + std::to_string(s.nodes) + " (" + std::to_string(model.nodeCount) + " in the skeleton), skins " + std::to_string(s.skins) +
            ", meshes " + std::to_string(s.meshes) + " (" + std::to_string(s.primitives) + " primitives), images " + std::to_string(s.images) +
            ", animations " + std::to_string(s.animations) + "\n";
    text += "  triangles " + std::to_string(model.triangleCount) + ", materials " + std::to_string(model.materialCount) + "\n";
    for (const std::string& material : model.materialNames) text += "    material " + printableName(material) + "\n";
    char rate[32];
    std::snprintf(rate, sizeof rate, "%g", options.fps);
    for (const GltfAnimationRead& a : read.animations)
        text += "    animation " + printableName(a.name.empty() ? "(no name)" : a.name) + ": " + std::to_string(a.keys.frameCount) + " keys at " +
                std::string(rate) + " a second\n";
    text += "  vertices " + std::to_string(model.triangleCount * 3) + " before welding, " + std::to_string(converter.weldedCount) + " after\n";
    return true;
}

} // namespace veskar
