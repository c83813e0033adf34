#include "gltf/GltfSmd.h"

#include "convert/FormatConverter.h"
#include "convert/SmdExport.h"
#include "gltf/GltfImport.h"
#include "import/TextScan.h"
#include "base/PrintableName.h"

#include <functional>
#include <map>
#include <memory>

namespace veskar {

namespace {

// The path without its file name's extension.
std::string withoutExtension(const std::string& path)
{
    const std::string folder = directoryOf(path);
    const std::string name = path.substr(folder.size());
    const auto dot = name.find_last_of('.');
    return folder + (dot == std::string::npos || dot == 0 ? name : name.substr(0, dot));
}

struct Materials {
    std::vector<std::string> names;
    std::vector<std::int32_t> ofTriangle;
};

// The mesh's materials by name, one word each: an SMD material line is read
// as its first word, so blanks in a glTF name become '_' (with a note).
Materials materialsOf(const SmdModelRecords& model, const std::string& path, std::string& errors)
{
    Materials m;
    std::map<std::string, std::int32_t> byName;
    std::vector<std::int32_t> ofEntry(model.materialNames.size(), -1);
    const SmdMesh& mesh = model.meshes[0];
    m.ofTriangle.reserve(mesh.triangles.size());
    for (const SmdTriangle& t : mesh.triangles) {
        const auto entry = static_cast<std::size_t>(t.material);
        if (entry >= ofEntry.size()) {
            m.ofTriangle.push_back(0);
            continue;
        }
        if (ofEntry[entry] < 0) {
            std::string name = model.materialNames[entry];
            for (char& c : name)
                if (isScanSpace(c)) c = '_';
            if (name != model.materialNames[entry])
                errors += printableName(path) + ": material \"" + printableName(model.materialNames[entry]) + "\" is written as \"" +
                          printableName(name) + "\" (an SMD material is one word)\n";
            ofEntry[entry] = byName.emplace(name, static_cast<std::int32_t>(byName.size())).first->second;
            if (static_cast<std::size_t>(ofEntry[entry]) == m.names.size()) m.names.push_back(name);
        }
        m.ofTriangle.push_back(ofEntry[entry]);
    }
    if (m.names.empty()) m.names.emplace_back();
    return m;
}

} // namespace

GltfSmdPlan planGltfSmd(const std::string& path, const std::string& reference)
{
    GltfSmdPlan plan;
    GltfPlan animations = planGltfConversion(path, true);
    plan.refusal = std::move(animations.refusal);
    plan.sources = std::move(animations.sources);
    if (!plan.refusal.empty()) return plan;
    const std::string output = reference.empty() ? outputPathFor(path, "smd") : reference;
    plan.outputs.push_back(output);
    // The animations' names as ani gives them, after the reference's.
    const std::string from = withoutExtension(path) + "_";
    const std::string to = withoutExtension(output) + "_";
    for (const std::string& mAni : animations.outputs) {
        const std::size_t end = mAni.size() >= 5 ? mAni.size() - 5 : mAni.size();   // ".mAni"
        const std::string part = mAni.rfind(from, 0) == 0 && end > from.size() ? mAni.substr(from.size(), end - from.size()) : mAni;
        plan.outputs.push_back(to + part + ".smd");
    }
    return plan;
}

bool exportGltfSmd(const std::string& path, const GltfConvertOptions& options, const GltfSmdPlan& plan, const std::vector<std::string>& refusals,
                   std::string& console, std::string& errors)
{
    if (!plan.refusal.empty() || plan.outputs.empty()) {
        errors += (plan.refusal.empty() ? Diagnostic{path, 0, "nothing to write"} : plan.refusal).text() + "\n";
        return false;
    }
    FormatConverter converter;
    const GltfRead gltf = readGltfForConverter(path, options, plan.outputs.size() > 1, converter);
    SmdModelRecords& model = *converter.smdModel;
    for (const std::string& note : gltf.notes) errors += note + "\n";
    if (!gltf.ok) {
        errors += gltf.diagnostic.text() + "\n";
        return false;
    }
    if (!converter.weldVertices()) {
        errors += Diagnostic{path, 0, "not enough memory to weld the vertices"}.text() + "\n";
        return false;
    }
    const Materials materials = materialsOf(model, path, errors);
    const SmdReferenceSource source{model.meshes[0].nodes, std::span<const EngineVertex>(converter.weldedVertices.data(), static_cast<std::size_t>(converter.weldedCount)),
                                    converter.triangles, materials.names, materials.ofTriangle};
    bool all = true;
    const auto write = [&](std::size_t i, const std::function<bool(const std::string&, std::string&)>& writeOne) {
        std::string reason = i < refusals.size() ? refusals[i] : std::string();
        if (reason.empty() && writeOne(plan.outputs[i], reason)) {
            console += "wrote " + printableName(plan.outputs[i]) + "\n";
            return;
        }
        errors += Diagnostic{i < refusals.size() && !refusals[i].empty() ? path : plan.outputs[i], 0, reason}.text() + "\n";
        all = false;
    };
    write(0, [&](const std::string& out, std::string& reason) { return writeSmdReference(out, source, reason); });
    for (std::size_t i = 0; i < gltf.animations.size() && i + 1 < plan.outputs.size(); ++i)
        write(i + 1, [&](const std::string& out, std::string& reason) { return writeSmdAnimation(out, gltf.animations[i].keys, reason); });
    return all;
}

} // namespace veskar
