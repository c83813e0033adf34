// Welding a mesh read whole (for those who draw or export it; the convert
// command welds as it reads), and the equality the welding keeps to.

#include "formats/FormatConverter.h"
#include "import/ConsoleLog.h"

#include <new>

namespace veskar {

void compactLinks(std::int32_t& linkCount, BoneLinks& links)
{
    BoneLinks packed;
    int kept = 0;
    for (int k = 0; k < linkCount && k < kMaxLinks; ++k) {
        if (links.weight[k] != 0.0f) {
            packed.bone[kept] = links.bone[k];
            packed.weight[kept] = links.weight[k];
            ++kept;
        }
    }
    for (int k = kept; k < kMaxLinks; ++k) {
        packed.bone[k] = 0;
        packed.weight[k] = 0.0f;
    }
    linkCount = kept;
    links = packed;
}

bool sameVertex(const EngineVertex& a, const EngineVertex& b)
{
    const SkinVertex& x = a.restVertex;
    const SkinVertex& y = b.restVertex;
    for (int i = 0; i < 3; ++i)
        if (x.position[i] != y.position[i] || x.normal[i] != y.normal[i]) return false;
    if (x.u != y.u || x.v != y.v) return false;
    if (a.linkCount != b.linkCount) return false;
    for (int s = 0; s < kMaxLinks; ++s)
        if (a.links.bone[s] != b.links.bone[s] || a.links.weight[s] != b.links.weight[s]) return false;
    return true;
}

bool FormatConverter::weldVertices()
{
    weldedVertices.clear();
    triangles.clear();
    welder.clear();
    weldedCount = 0;
    cornerCount = 0;
    const SmdMesh& mesh = smdModel->meshes[0];
    if (!welder.expect(static_cast<std::int32_t>(mesh.triangles.size())) || !welder.add(mesh.triangles, mesh.linkPool)) return false;
    // The engine's records, for those who draw or export the welded mesh.
    try {
        weldedVertices.reserve(welder.vertices.size());
        for (std::size_t j = 0; j < welder.vertices.size(); ++j) weldedVertices.push_back(welder.engineVertex(j));
    } catch (const std::bad_alloc&) {
        return false;
    }
    finishWelding();
    return true;
}

void FormatConverter::finishWelding()
{
    triangles = std::move(welder.triangles);
    weldedCount = static_cast<std::int32_t>(welder.vertices.size());
    cornerCount = static_cast<std::int32_t>(triangles.size() * 3);
    consoleLog().print("[전 버텍스 개수] : %d\n", cornerCount);
    consoleLog().print("[후 버텍스 개수] : %d\n", weldedCount);
    consoleLog().print("[후 인덱스 개수] : %d\n", cornerCount / 3);
}

} // namespace veskar
