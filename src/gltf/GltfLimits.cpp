#include "gltf/GltfLimits.h"

#include "convert/FormatConverter.h"
#include "convert/LimitChecker.h"
#include "gltf/GltfImport.h"

#include <memory>
#include <set>

namespace veskar {

namespace {

std::string numbered(const char* what, std::size_t n)
{
    std::string text(what);
    text += ' ';
    text += std::to_string(n);
    return text;
}

void visitMesh(const SmdModelRecords& model, const FormatConverter& converter, LimitChecker& checker)
{
    const SmdMesh& mesh = model.meshes[0];
    for (std::size_t i = 0; i < mesh.nodes.size(); ++i)
        checker.node({0, static_cast<std::int32_t>(i), mesh.nodes[i].name, numbered("joint", i)});
    std::set<std::string> seen;
    std::int32_t nextNew = 0;
    for (std::size_t t = 0; t < mesh.triangles.size() && t < converter.triangles.size(); ++t) {
        const SmdTriangle& triangle = mesh.triangles[t];
        const auto entry = static_cast<std::size_t>(triangle.material);
        if (entry < model.materialNames.size() && seen.insert(model.materialNames[entry]).second)
            checker.material(0, model.materialNames[entry], numbered("material", seen.size() - 1));
        const std::string where = numbered("triangle", t);
        checker.triangle(0, where);
        const TriangleIndices& welded = converter.triangles[t];
        for (int k = 0; k < 3; ++k) {
            const std::int32_t vertex = k == 0 ? welded.a : k == 1 ? welded.b : welded.c;
            const bool first = vertex == nextNew;
            if (first) ++nextNew;
            const std::string corner = where + numbered(" corner", static_cast<std::size_t>(k));
            checker.vertex({0, triangle.vertexBone[k], triangle.vertices[k].position, mesh.links(static_cast<std::int32_t>(t), k), vertex, first, 0, corner});
        }
    }
}

} // namespace

LimitCheck checkGltfLimits(const std::string& path, EngineTarget target, const GltfConvertOptions& options)
{
    LimitCheck check;
    FormatConverter converter;
    const GltfRead gltf = readGltfForConverter(path, options, true, converter);
    SmdModelRecords& model = *converter.smdModel;
    if (!gltf.ok) {
        check.refusal = gltf.diagnostic;
        return check;
    }
    if (!converter.weldVertices()) {
        check.refusal = {path, 0, "not enough memory to weld the vertices"};
        return check;
    }
    const EngineLimitTable& limits = engineLimitTable(target);
    LimitChecker checker(limits, path, model.meshes[0].nodes, &converter.welder);
    visitMesh(model, converter, checker);
    check.findings = checker.finish();
    for (const GltfAnimationRead& animation : gltf.animations) {
        LimitChecker frames(limits, path, {}, nullptr);
        const std::string where = "animation \"" + animation.name + "\"";
        for (std::int32_t f = 0; f < animation.keys.frameCount; ++f) frames.frame(0, f, where);
        for (std::string& finding : frames.finish()) check.findings.push_back(std::move(finding));
    }
    check.read = true;
    return check;
}

} // namespace veskar
