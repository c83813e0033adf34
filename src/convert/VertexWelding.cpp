// Welding a mesh read whole, for those who draw or export it (the convert
// command welds as it reads).

#include "convert/FormatConverter.h"
#include "import/ConsoleLog.h"

#include <new>

namespace veskar {

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
