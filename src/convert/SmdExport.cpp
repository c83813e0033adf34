#include "convert/SmdExport.h"

#include "convert/ModelFileKind.h"
#include "mref/ChunkedText.h"
#include "mref/EngineRecords.h"
#include "mref/SmdWriter.h"
#include "import/LineCursor.h"
#include "import/TextScan.h"

#include <algorithm>

namespace veskar {

namespace {

// About kChunkText a chunk: a triangle (a material line and three vertex
// lines) comes to about 400 bytes, a bone line to about 70.
constexpr std::size_t kTrianglesAChunk = kChunkText / 400;
constexpr std::size_t kBoneLineBytes = 72;

void putNodes(TextWriter& out, std::span<const SkeletonNode> nodes)
{
    for (std::size_t i = 0; i < nodes.size(); ++i) putNodeLine(out, static_cast<std::int32_t>(i), nodes[i].name, nodes[i].parent);
}

void putPose(TextWriter& out, std::span<const SkeletonNode> nodes)
{
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const SkeletonNode& n = nodes[i];
        const float pose[6] = {n.position[0], n.position[1], n.position[2], n.rotation[0], n.rotation[1], n.rotation[2]};
        putSmdBone(out, static_cast<std::int32_t>(i), pose);
    }
}

// The vertex as its SMD line: v turned back upward as the readers turn it
// down (1 - v both ways), its links as the record holds them.
void putCorner(TextWriter& out, const EngineVertex& vertex)
{
    const SkinVertex& r = vertex.restVertex;
    const float values[8] = {r.position[0], r.position[1], r.position[2], r.normal[0], r.normal[1], r.normal[2], r.u, 1.0f - r.v};
    const auto count = static_cast<std::size_t>(std::clamp(vertex.linkCount, 0, kMaxLinks));
    BoneLink links[kMaxLinks];
    for (std::size_t k = 0; k < count; ++k) links[k] = {vertex.links.bone[k], vertex.links.weight[k]};
    putSmdVertex(out, vertex.parentBone, values, std::span<const BoneLink>(links, count));
}

// Why the mesh cannot be written as SMD, or empty.
std::string checkReference(const SmdReferenceSource& s)
{
    if (s.nodes.empty()) return "an SMD reference needs at least one node";
    if (!s.triangleMaterials.empty() && s.triangleMaterials.size() != s.triangles.size())
        return "the triangles' materials do not match the triangles";
    if (!s.triangles.empty() && s.materials.empty()) return "the triangles have no material";
    for (const std::string& m : s.materials)
        if (endsSmdSection(m)) return "the material \"" + m + "\" would end the SMD's triangles section";
    const auto vertices = static_cast<std::int64_t>(s.vertices.size());
    for (std::size_t i = 0; i < s.triangles.size(); ++i) {
        const TriangleIndices& t = s.triangles[i];
        for (std::int32_t v : {t.a, t.b, t.c})
            if (v < 0 || v >= vertices) return "triangle " + std::to_string(i) + " names vertex " + std::to_string(v) + ", which is not there";
        if (!s.triangleMaterials.empty() &&
            (s.triangleMaterials[i] < 0 || static_cast<std::size_t>(s.triangleMaterials[i]) >= s.materials.size()))
            return "triangle " + std::to_string(i) + " names a material that is not there";
    }
    for (const EngineVertex& v : s.vertices)
        if (v.parentBone < 0 || static_cast<std::size_t>(v.parentBone) >= s.nodes.size()) return "a vertex's parent bone is not a node";
    return {};
}

bool exportReference(const std::string& source, const std::string& output, Diagnostic& diagnostic, const char*& message)
{
    EngineModelRecords model;
    model.prepareForDrawing = false;
    if (const EngineReadResult r = model.readReferenceFile(source); r != kEngineRead) {
        diagnostic = model.diagnostic;
        message = engineRefusalMessage(r, true);
        return false;
    }
    const EngineMesh& mesh = model.meshes[0];
    const SmdReferenceSource smd{mesh.nodes, mesh.vertices, mesh.triangles, std::span<const std::string>(&model.textureName, 1), {}};
    std::string reason;
    if (writeSmdReference(output, smd, reason)) return true;
    diagnostic = {output, 0, reason};
    return false;
}

bool exportAnimation(const std::string& source, const std::string& output, Diagnostic& diagnostic, const char*& message)
{
    EngineModelRecords model;
    model.nodeCount = mAniNodeCount(source);
    if (const EngineReadResult r = model.readAnimationFile(source); r != kEngineRead) {
        diagnostic = model.diagnostic;
        message = engineRefusalMessage(r, false);
        return false;
    }
    std::string reason;
    if (writeSmdAnimation(output, model.animations[0], reason)) return true;
    diagnostic = {output, 0, reason};
    return false;
}

// The nodes, then frameCount blocks whose bone lines pose(writer, frame) puts.
template <typename Pose>
bool writeFrames(const std::string& path, std::span<const SkeletonNode> nodes, std::int32_t frameCount, Pose pose, std::string& reason)
{
    return writeTextFile(path, reason, [&](TextWriter& out) {
        putSmdStart(out);
        putNodes(out, nodes);
        putSmdSkeletonStart(out);
        const std::size_t framesAChunk = std::max<std::size_t>(1, kChunkText / kBoneLineBytes / std::max<std::size_t>(1, nodes.size()));
        putChunked(out, static_cast<std::size_t>(frameCount), framesAChunk, [&pose](TextWriter& to, std::size_t begin, std::size_t end) {
            for (std::size_t f = begin; f < end; ++f) {
                putSmdTime(to, static_cast<std::int32_t>(f));
                pose(to, static_cast<std::int32_t>(f));
            }
        });
        out.put("end\n");
    });
}

} // namespace

bool writeSmdReference(const std::string& path, const SmdReferenceSource& source, std::string& reason)
{
    reason = checkReference(source);
    if (!reason.empty()) return false;
    return writeTextFile(path, reason, [&source](TextWriter& out) {
        putSmdStart(out);
        putNodes(out, source.nodes);
        putSmdTime(putSmdSkeletonStart(out), 0);
        putPose(out, source.nodes);
        out.put("end\ntriangles\n");
        putChunked(out, source.triangles.size(), kTrianglesAChunk, [&source](TextWriter& to, std::size_t begin, std::size_t end) {
            for (std::size_t i = begin; i < end; ++i) {
                const std::size_t material = source.triangleMaterials.empty() ? 0 : static_cast<std::size_t>(source.triangleMaterials[i]);
                to.put(source.materials[material]).put('\n');
                const TriangleIndices& t = source.triangles[i];
                for (std::int32_t v : {t.a, t.b, t.c}) putCorner(to, source.vertices[static_cast<std::size_t>(v)]);
            }
        });
        out.put("end\n");
    });
}

bool writeSmdAnimation(const std::string& path, const SkeletonAnimation& animation, std::string& reason)
{
    if (!animation.hasFrames() || animation.frameCount < 1 || animation.nodeCount < 1 || !animation.tablesMatchCounts()) {
        reason = "the animation has no frames to write";
        return false;
    }
    return writeFrames(path, animation.frame(0), animation.frameCount, [&animation](TextWriter& to, std::int32_t f) { putPose(to, animation.frame(f)); },
                       reason);
}

bool writeSmdAnimation(const std::string& path, const AnimationKeys& keys, std::string& reason)
{
    if (keys.frameCount < 1 || keys.nodeCount < 1 || !keys.matchesCounts()) {
        reason = "the animation has no frames to write";
        return false;
    }
    std::vector<SkeletonNode> nodes(static_cast<std::size_t>(keys.nodeCount));
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        nodes[n].name = keys.names[n];
        nodes[n].parent = keys.parents[n];
    }
    const auto pose = [&keys](TextWriter& to, std::int32_t f) {
        for (std::int32_t n = 0; n < keys.nodeCount; ++n) {
            const auto key = keys.key(f, n);
            const float values[6] = {key[0], key[1], key[2], key[3], key[4], key[5]};
            putSmdBone(to, n, values);
        }
    };
    return writeFrames(path, nodes, keys.frameCount, pose, reason);
}

bool exportSmd(const std::string& source, const std::string& output, Diagnostic& diagnostic, const char*& message)
{
    diagnostic.clear();
    message = nullptr;
    LineCursor cursor;
    std::string reason;
    if (!cursor.openFile(source, reason)) {
        diagnostic = {source, 0, "cannot open: " + reason};
        return false;
    }
    const ModelFileKind kind = guessModelFileKind(cursor);
    if (!cursor.failure().empty()) {
        diagnostic = {source, cursor.lineNumber(), cursor.failure()};
        return false;
    }
    switch (kind) {
    case ModelFileKind::MRef: return exportReference(source, output, diagnostic, message);
    case ModelFileKind::MAni: return exportAnimation(source, output, diagnostic, message);
    case ModelFileKind::SmdReference:
    case ModelFileKind::SmdAnimation: diagnostic = {source, 0, "an SMD file already; smd takes mRef and mAni files"}; return false;
    case ModelFileKind::Unknown: break;
    }
    diagnostic = {source, 1, "not an mRef or mAni file (the first line is not \"version 1\")"};
    return false;
}

} // namespace veskar
