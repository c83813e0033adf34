#include "formats/FormatConverter.h"
#include "formats/TextWriter.h"
#include "platform/AtomicFile.h"

namespace veskar {

bool FormatConverter::writeReference()
{
    outputPath = sourceDirectory + outputName;
    const SmdMesh& mesh = smdModel->meshes[0];
    AtomicFile file;
    std::string reason;
    if (!file.create(outputPath, reason)) {
        diagnostic = {outputPath, 0, reason};
        return false;
    }
    TextWriter out;
    out.reserve(kOutputPiece + 4096);
    out.put("version 1\nref\n").put(textureName).put('\n');
    out.put("node ").putInt(nodeCount).put('\n');
    out.put("vertex ").putInt(weldedCount).put('\n');
    out.put("index ").putInt(cornerCount / 3).put('\n');
    out.put("nodes\n");
    for (std::int32_t i = 0; i < nodeCount; ++i) {
        const SmdNode& node = mesh.nodes[static_cast<std::size_t>(i)];
        out.putInt(i).put(" \"").put(node.name).put("\" ").putInt(node.parent).put('\n');
    }
    out.put("end\nskeleton\ntime 0\n");
    for (std::int32_t i = 0; i < nodeCount; ++i) {
        const SmdNode& node = mesh.nodes[static_cast<std::size_t>(i)];
        out.putInt3(i);
        for (float p : node.position) out.put(' ').putFloat(p);
        for (float r : node.rotation) out.put(' ').putFloat(r);
        out.put('\n');
    }
    out.put("end\nvertices\n");
    for (std::int32_t i = 0; i < weldedCount; ++i) {
        const EngineVertex& v = weldedVertices[static_cast<std::size_t>(i)];
        out.putInt(v.parentBone);
        for (float p : v.restVertex.position) out.put(' ').putFloat(p);
        for (float n : v.restVertex.normal) out.put(' ').putFloat(n);
        out.put(' ').putFloat(v.restVertex.u).put(' ').putFloat(1.0f - v.restVertex.v);
        out.put(' ').putInt(v.linkCount);
        for (std::int32_t k = 0; k < v.linkCount; ++k) out.put(' ').putInt(v.links.bone[k]).put(' ').putFloat(v.links.weight[k]);
        out.put('\n');
        if (out.size() >= kOutputPiece) out.drainTo(file);
    }
    out.put("end\nindices\n");
    for (std::int32_t t = 0; t < cornerCount / 3; ++t) {
        const TriangleIndices& tri = triangles[static_cast<std::size_t>(t)];
        out.putInt(tri.a).put(' ').putInt(tri.b).put(' ').putInt(tri.c).put('\n');
        if (out.size() >= kOutputPiece) out.drainTo(file);
    }
    out.put("end\n");
    out.drainTo(file);
    if (!file.commit(reason)) {
        diagnostic = {outputPath, 0, reason};
        return false;
    }
    return true;
}

} // namespace veskar
