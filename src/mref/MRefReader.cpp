// Reads an mRef file into a mesh of an engine model.

#include "mref/EngineFormatScan.h"
#include "mref/EngineReaders.h"

#include <algorithm>

namespace veskar {

namespace {

class MRefReader : public EngineModelReader {
public:
    MRefReader(EngineModelRecords& model, EngineMesh& mesh, LineCursor& lines, const std::string& file, ReadSummary& summary)
        : EngineModelReader(model, lines, file, summary), mesh_(mesh)
    {
    }
    EngineReadResult run();

private:
    EngineReadResult readHeader();
    EngineReadResult checkSectionCount(std::int32_t lines, std::int32_t count, const char* section, const char* header);
    EngineReadResult readNodes();
    EngineReadResult readSkeleton();
    EngineReadResult readVertices();
    EngineReadResult readVertex(std::string_view line, EngineVertex& vertex);
    EngineReadResult readIndices();

    EngineMesh& mesh_;
    std::int32_t nodeLines_ = -1, boneLines_ = -1, vertexLines_ = -1, indexLines_ = -1;
};

EngineReadResult MRefReader::readHeader()
{
    model_.nodeCount = model_.vertexCount = model_.triangleCount = 0;
    model_.textureName.clear();
    if (const EngineReadResult r = readOpeningLines("ref"); r != kEngineRead) return r;
    std::string_view line;
    if (cursor_.next(line)) model_.textureName.assign(firstWord(line));
    for (int i = 0; i < 3; ++i) {
        std::string word;
        std::int32_t value = 0;
        const HeaderLine r = readHeaderLine(cursor_, word, value);
        if (r == HeaderLine::NoLine) return refuse("the file ends in its header", cursor_.lineNumber() + 1);
        if (r == HeaderLine::NumberOutOfRange) return refuse("the count on a header line is beyond int32");
        if (r != HeaderLine::Ok) return refuse("a header line needs a word and a number");
        if (value < 0) return refuse("a count cannot be negative");
        if (equalsIgnoringCase(word, "node")) model_.nodeCount = value;
        else if (equalsIgnoringCase(word, "vertex")) model_.vertexCount = value;
        else if (equalsIgnoringCase(word, "index")) model_.triangleCount = value;
    }
    if (model_.meshCount >= kModelSlots) return refuseFullModel(kEngineNoFreeSlot, kModelSlots, "meshes");
    // Each node, vertex and triangle takes a line of its own (nodes two): no
    // count may promise more than the rest of the file holds.
    const std::size_t remaining = cursor_.remainingLines();
    const std::size_t needed = 2 * static_cast<std::size_t>(model_.nodeCount) + static_cast<std::size_t>(model_.vertexCount) +
                               static_cast<std::size_t>(model_.triangleCount);
    if (needed > remaining)
        return refuse("the header counts need " + std::to_string(needed) + " lines but " + std::to_string(remaining) + " follow", 0);
    return kEngineRead;
}

EngineReadResult MRefReader::checkSectionCount(std::int32_t lines, std::int32_t count, const char* section, const char* header)
{
    if (std::max(lines, 0) == count) return kEngineRead;
    return refuse(std::string("the ") + section + " section has " + std::to_string(std::max(lines, 0)) + " lines but the " + header +
                      " line says " + std::to_string(count),
                  0);
}

EngineReadResult MRefReader::run()
{
    if (const EngineReadResult r = readHeader(); r != kEngineRead) return r;
    // A table that cannot be had leaves the lines nowhere to go.
    if ((model_.nodeCount > 0 && !mesh_.allocateNodes(model_.nodeCount)) || (model_.vertexCount > 0 && !mesh_.allocateVertices(model_.vertexCount)) ||
        (model_.triangleCount > 0 && !mesh_.allocateTriangles(model_.triangleCount)))
        return refuseForMemory();

    std::string_view line;
    while (cursor_.next(line)) {
        const std::string_view word = firstWord(line);
        EngineReadResult r = kEngineRead;
        if (equalsIgnoringCase(word, "nodes")) r = nodeLines_ < 0 ? readNodes() : refuse("a second nodes section");
        else if (equalsIgnoringCase(word, "skeleton")) r = boneLines_ < 0 ? readSkeleton() : refuse("a second skeleton section");
        else if (equalsIgnoringCase(word, "vertices")) r = vertexLines_ < 0 ? readVertices() : refuse("a second vertices section");
        else if (equalsIgnoringCase(word, "indices")) r = indexLines_ < 0 ? readIndices() : refuse("a second indices section");
        if (r != kEngineRead) return r;
    }
    if (const EngineReadResult r = checkCursor(); r != kEngineRead) return r;
    if (const EngineReadResult r = checkSectionCount(nodeLines_, model_.nodeCount, "nodes", "node"); r != kEngineRead) return r;
    if (const EngineReadResult r = checkSectionCount(boneLines_, model_.nodeCount, "skeleton", "node"); r != kEngineRead) return r;
    if (const EngineReadResult r = checkSectionCount(vertexLines_, model_.vertexCount, "vertices", "vertex"); r != kEngineRead) return r;
    if (const EngineReadResult r = checkSectionCount(indexLines_, model_.triangleCount, "indices", "index"); r != kEngineRead) return r;
    return composeWorld(mesh_.nodes);
}

EngineReadResult MRefReader::readNodes()
{
    return readCountedSection(nodeLines_, model_.nodeCount, "node", "node", [this](std::string_view line, std::int32_t) {
        NodeLine read;
        const EngineReadResult r = readNodeLine(line, model_.nodeCount, read);
        if (r != kEngineRead) return r;
        EngineNode& node = mesh_.nodes[static_cast<std::size_t>(read.number)];
        node.name.assign(read.name);
        node.parent = read.parent;
        if (equalsIgnoringCase(read.name, "Bip01")) mesh_.rootBone = read.number;
        if (equalsIgnoringCase(read.name, "Bip01 L Hand")) mesh_.handBone = read.number;
        return r;
    });
}

EngineReadResult MRefReader::readSkeleton()
{
    const auto bone = [this](std::string_view line, std::int32_t) {
        BoneLine read;
        const EngineReadResult r = readBoneLine(line, model_.nodeCount, read);
        if (r != kEngineRead) return r;
        const float* v = read.values;
        mesh_.nodes[static_cast<std::size_t>(read.number)].setPose(v[0], v[1], v[2], v[3], v[4], v[5]);
        return r;
    };
    // The bind pose's frame marker comes first.
    return readCountedSection(boneLines_, model_.nodeCount, "bone", "node", bone, "time");
}

EngineReadResult MRefReader::readVertex(std::string_view line, EngineVertex& vertex)
{
    FieldScanner scan(line);
    float f[8];
    std::int32_t parent = 0, linkCount = 0;
    bool ok = scan.readInt(parent) == ScanStatus::Ok;
    for (int i = 0; ok && i < 8; ++i) ok = scan.readFloat(f[i]) == ScanStatus::Ok;
    if (!ok) return refuse("a vertex line needs a parent bone, a position, a normal, u, v and a link count");
    if (!allFinite(f, 8)) return refuse(kNotFiniteText);
    const ScanStatus s = scan.readInt(linkCount);
    if (s != ScanStatus::Ok || linkCount < 0 || linkCount > kMaxLinks) return refuse("the link count must be 0 to 16");
    if (parent < 0 || parent >= model_.nodeCount) return refuse("parent bone " + std::to_string(parent) + " is not a node number");
    BoneLinks scratch;
    for (int k = 0; k < kMaxLinks; ++k) {
        scratch.bone[k] = 0;
        scratch.weight[k] = 0.0f;
    }
    for (std::int32_t k = 0; k < linkCount; ++k) {
        BoneLink link;
        if (const EngineReadResult r = refuseIf(checkLinkPair(scan, model_.nodeCount, k, linkCount, link)); r != kEngineRead) return r;
        scratch.bone[k] = link.bone;
        scratch.weight[k] = link.weight;
    }
    vertex.parentBone = parent;
    SkinVertex& rest = vertex.restVertex;
    storeVertexValues(f, rest);
    vertex.linkCount = linkCount;
    vertex.links = scratch;
    for (int k = 0; k < 4; ++k) {
        rest.weights[k] = scratch.weight[k];
        rest.boneIndices[k] = static_cast<float>(scratch.bone[k]);
    }
    return kEngineRead;
}

EngineReadResult MRefReader::readVertices()
{
    return readCountedSection(vertexLines_, model_.vertexCount, "vertex", "vertex", [this](std::string_view line, std::int32_t i) {
        return readVertex(line, mesh_.vertices[static_cast<std::size_t>(i)]);
    });
}

EngineReadResult MRefReader::readIndices()
{
    return readCountedSection(indexLines_, model_.triangleCount, "index", "index", [this](std::string_view line, std::int32_t i) {
        TriangleIndices& t = mesh_.triangles[static_cast<std::size_t>(i)];
        FieldScanner scan(line);
        if (scan.readInt(t.a) != ScanStatus::Ok || scan.readInt(t.b) != ScanStatus::Ok || scan.readInt(t.c) != ScanStatus::Ok)
            return refuse("an index line needs three vertex numbers");
        for (std::int32_t v : {t.a, t.b, t.c})
            if (v < 0 || v >= model_.vertexCount)
                return refuse("vertex number " + std::to_string(v) + " is outside 0 to " + std::to_string(model_.vertexCount - 1));
        return kEngineRead;
    });
}

} // namespace

EngineReadResult readMRef(EngineModelRecords& model, EngineMesh& mesh, LineCursor& lines, const std::string& file, ReadSummary& summary)
{
    return runReader<MRefReader>(model, mesh, lines, file, summary);
}

} // namespace veskar
