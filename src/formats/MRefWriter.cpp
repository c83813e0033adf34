#include "formats/FormatConverter.h"
#include "formats/SkeletonText.h"

namespace veskar {

bool FormatConverter::writeReference()
{
    return writeOutput("welded tables", validateReference(), [this](TextWriter& out) {
        // The tables are the truth; validateReference() saw the counts agree.
        const std::span<const SmdNode> nodes = smdModel->meshes[0].nodes;
        out.put("version 1\nref\n").put(textureName).put('\n');
        out.put("node ").putInt(static_cast<std::int32_t>(nodes.size())).put('\n');
        out.put("vertex ").putInt(static_cast<std::int32_t>(weldedVertices.size())).put('\n');
        out.put("index ").putInt(static_cast<std::int32_t>(triangles.size())).put('\n');
        out.put("nodes\n");
        for (std::size_t i = 0; i < nodes.size(); ++i) putNode(out, i, nodes[i]);
        out.put("end\nskeleton\ntime 0\n");
        for (std::size_t i = 0; i < nodes.size(); ++i) putPose(out, i, nodes[i]);
        out.put("end\n");
        out.put("vertices\n");
        for (const EngineVertex& v : weldedVertices) {
            const SkinVertex& r = v.restVertex;
            const float values[8] = {r.position[0], r.position[1], r.position[2], r.normal[0], r.normal[1], r.normal[2], r.u, 1.0f - r.v};
            putVertexStart(out, v.parentBone, values, v.linkCount);
            for (std::int32_t k = 0; k < v.linkCount; ++k) out.put(' ').putInt(v.links.bone[k]).put(' ').putFloat(v.links.weight[k]);
            out.put('\n');
            out.spill();
        }
        out.put("end\nindices\n");
        for (const TriangleIndices& t : triangles) {
            out.putInt(t.a).put(' ').putInt(t.b).put(' ').putInt(t.c).put('\n');
            out.spill();
        }
        out.put("end\n");
    });
}

} // namespace veskar
