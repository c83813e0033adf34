// What follows the reading of an mRef: the drawable copies of every vertex.
// The file's positions are in model space; the bind copy carries them into
// their bones' space, and the rest copy back out through the skeleton turned
// into the viewer's axes.

#include "mref/EngineReaders.h"
#include "import/LinkBlend.h"

namespace veskar {

namespace {

BlendedVertex blend(const EngineVertex& v, const SkinVertex& from, const Matrix* matrices)
{
    return blendThroughLinks(
        from.position, from.normal, v.linkCount, [&v](std::int32_t k) { return BoneLink{v.links.bone[k], v.links.weight[k]}; }, matrices);
}

} // namespace

void fillBonePalette(EngineMesh& mesh)
{
    for (std::size_t i = 0; i < mesh.nodes.size(); ++i) mesh.bonePalette[i] = mesh.nodes[i].worldMatrix;
}

void prepareEngineMesh(EngineMesh& mesh, const Matrix& axis)
{
    fillBonePalette(mesh);
    for (EngineVertex& v : mesh.vertices) compactLinks(v.linkCount, v.links);

    std::vector<Matrix> inverse(mesh.nodes.size());
    for (std::size_t i = 0; i < mesh.nodes.size(); ++i) matrixInverse(mesh.nodes[i].worldMatrix, inverse[i]);
    for (EngineVertex& v : mesh.vertices) {
        v.bindVertex = v.restVertex;
        storeBlended(blend(v, v.restVertex, inverse.data()), v.bindVertex.position, v.bindVertex.normal);
    }

    mesh.applyAxisMatrix(axis);

    std::vector<Matrix> world(mesh.nodes.size());
    for (std::size_t i = 0; i < mesh.nodes.size(); ++i) world[i] = mesh.nodes[i].worldMatrix;
    for (EngineVertex& v : mesh.vertices) storeBlended(blend(v, v.bindVertex, world.data()), v.restVertex.position, v.restVertex.normal);

    buildSkinStream(mesh.vertices, mesh.skinSources, mesh.skinLinks);
}

} // namespace veskar
