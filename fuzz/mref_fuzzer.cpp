// mRef reader on arbitrary bytes.

#include "FuzzSupport.h"

#include "mref/EngineRecords.h"

#include <cstddef>
#include <cstdint>

using namespace veskar;

VESKAR_FUZZ_TARGET("model.mRef")
{
    EngineModelRecords model;
    if (!model.loadReferenceFromMemory(text, name)) {
        fuzz::checkRefusal(model.diagnostic, text, name);
        VESKAR_FUZZ_CHECK(model.meshCount == 0 && !model.hasMesh && model.meshes[0].nodes.empty(), "a refused file left a mesh");
        return 0;
    }
    const EngineMesh& mesh = model.meshes[0];
    VESKAR_FUZZ_CHECK(model.meshCount == 1 && model.hasMesh, "a loaded file left no mesh");
    VESKAR_FUZZ_CHECK(mesh.nodes.size() == static_cast<std::size_t>(model.nodeCount) &&
                          mesh.vertices.size() == static_cast<std::size_t>(model.vertexCount) &&
                          mesh.triangles.size() == static_cast<std::size_t>(model.triangleCount),
                      "table sizes differ from the header counts");
    for (const TriangleIndices& t : mesh.triangles)
        for (std::int32_t i : {t.a, t.b, t.c}) VESKAR_FUZZ_CHECK(i >= 0 && i < model.vertexCount, "an index out of range");
    for (const EngineVertex& v : mesh.vertices) {
        VESKAR_FUZZ_CHECK(v.linkCount >= 0 && v.linkCount <= kMaxLinks, "a link count out of range");
        for (std::int32_t k = 0; k < v.linkCount; ++k)
            VESKAR_FUZZ_CHECK(v.links.bone[k] >= 0 && v.links.bone[k] < model.nodeCount, "a link bone out of range");
    }
    VESKAR_FUZZ_CHECK(mesh.rootBone == kNoBone || (mesh.rootBone >= 0 && mesh.rootBone < model.nodeCount), "root bone");
    VESKAR_FUZZ_CHECK(mesh.handBone == kNoBone || (mesh.handBone >= 0 && mesh.handBone < model.nodeCount), "hand bone");
    return 0;
}
