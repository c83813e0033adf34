#include "convert/FormatConverter.h"
#include "mref/ChunkedText.h"
#include "mref/SkeletonText.h"

namespace veskar {

namespace {

// About kChunkText a chunk: a vertex line comes to about 120 bytes, an index
// line to 20.
constexpr std::size_t kVerticesAChunk = kChunkText / 128;
constexpr std::size_t kTrianglesAChunk = kChunkText / 20;

} // namespace

void putWeldedVertex(TextWriter& out, const CornerWelder& welder, std::size_t j)
{
    const WeldedVertex& v = welder.vertices[j];
    const float* r = v.values;
    const float values[8] = {r[0], r[1], r[2], r[3], r[4], r[5], r[6], 1.0f - r[7]};
    putVertexStart(out, v.parentBone, values, v.linkCount);
    const BoneLink* links = welder.links.data() + v.linkStart;
    for (std::int32_t k = 0; k < v.linkCount; ++k) out.put(' ').putInt(links[k].bone).put(' ').putFloat(links[k].weight);
    out.put('\n');
}

bool FormatConverter::writeReference()
{
    return writeOutput("welded tables", validateReference(), [this](TextWriter& out) {
        // The tables are the truth; validateReference() saw the counts agree.
        const std::span<const SmdNode> nodes = smdModel->meshes[0].nodes;
        out.put("version 1\nref\n").put(textureName).put('\n');
        out.put("node ").putInt(static_cast<std::int32_t>(nodes.size())).put('\n');
        out.put("vertex ").putInt(static_cast<std::int32_t>(welder.vertices.size())).put('\n');
        out.put("index ").putInt(static_cast<std::int32_t>(triangles.size())).put('\n');
        out.put("nodes\n");
        for (std::size_t i = 0; i < nodes.size(); ++i) putNode(out, i, nodes[i]);
        out.put("end\nskeleton\ntime 0\n");
        for (std::size_t i = 0; i < nodes.size(); ++i) putPose(out, i, nodes[i]);
        out.put("end\n");
        out.put("vertices\n");
        putChunked(out, welder.vertices.size(), kVerticesAChunk, [this](TextWriter& to, std::size_t begin, std::size_t end) {
            for (std::size_t j = begin; j < end; ++j) putWeldedVertex(to, welder, j);
        });
        out.put("end\nindices\n");
        putChunked(out, triangles.size(), kTrianglesAChunk, [this](TextWriter& to, std::size_t begin, std::size_t end) {
            for (std::size_t i = begin; i < end; ++i) {
                const TriangleIndices& t = triangles[i];
                to.putInt(t.a).put(' ').putInt(t.b).put(' ').putInt(t.c).put('\n');
            }
        });
        out.put("end\n");
    });
}

} // namespace veskar
