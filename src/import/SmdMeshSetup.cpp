#include "import/SmdMeshSetup.h"

#include "import/LinkBlend.h"

#include <new>

namespace veskar {

bool computeBindVertices(SmdMesh& mesh)
{
    const std::size_t corners = static_cast<std::size_t>(mesh.triangleCount) * 3;
    try {
        mesh.bindVertices.assign(corners, SmdVertex{});
    } catch (const std::bad_alloc&) {
        return false;
    }
    // Every corner linked to a bone needs that bone's inverse; make each once.
    std::vector<Matrix> inverse(mesh.nodes.size());
    for (std::size_t i = 0; i < mesh.nodes.size(); ++i) matrixInverse(mesh.nodes[i].worldMatrix, inverse[i]);
    for (std::int32_t t = 0; t < mesh.triangleCount; ++t) {
        const SmdTriangle& triangle = mesh.triangles[static_cast<std::size_t>(t)];
        for (int corner = 0; corner < 3; ++corner) {
            const SmdVertex& v = triangle.vertices[corner];
            const auto links = mesh.links(t, corner);
            const BlendedVertex bound = blendThroughLinks(
                v.position, v.normal, static_cast<std::int32_t>(links.size()),
                [&links](std::int32_t k) { return links[static_cast<std::size_t>(k)]; }, inverse.data());
            SmdVertex& b = mesh.bindVertices[static_cast<std::size_t>(t) * 3 + static_cast<std::size_t>(corner)];
            storeBlended(bound, b.position, b.normal);
            b.u = v.u;
            b.v = v.v;
        }
    }
    return true;
}

void setTexturePaths(SmdMesh& mesh, std::int32_t materialCount, const std::string& directory, const std::vector<std::string>& materialNames)
{
    mesh.textureCount = materialCount;
    mesh.texturePaths.clear();
    for (std::int32_t j = 0; j < materialCount; ++j) mesh.texturePaths.push_back(directory + materialNames[static_cast<std::size_t>(j)]);
}

} // namespace veskar
