#include "import/SmdTriangleShare.h"

#include <cstring>
#include <new>

namespace veskar {

namespace {

// Lines near the end of a buffer are copied to have the scans' slack after
// them; longer ones there go the general way.
constexpr std::size_t kCopiedLine = 256;

} // namespace

// The memo's record (repeat: the earlier corner of the same line), or the
// plain shape read straight from the fields and kept in the memo as corner
// number; false leaves the line to the general reader.
bool TriangleShare::readQuickly(std::string_view line, VertexRecord& record, std::int64_t number, std::int64_t& repeat)
{
    repeat = -1;
    if (!cursor_.slackAfter(line)) return readCopied(line, record, number, repeat);
    if (!memo) return readPlainVertexLine(line, nodes_, record);
    const std::uint64_t hash = memo->hash(line);
    if (memo->find(line, hash, record, repeat)) return true;
    if (!readPlainVertexLine(line, nodes_, record)) return false;
    memo->keep(line, hash, record, number);
    return true;
}

// A line near the end of a buffer, copied to have the scans' slack after it.
bool TriangleShare::readCopied(std::string_view line, VertexRecord& record, std::int64_t number, std::int64_t& repeat)
{
    if (line.size() > kCopiedLine) return false;
    char copy[kCopiedLine + kScanSlack];
    std::memcpy(copy, line.data(), line.size());
    std::memset(copy + line.size(), 0, kScanSlack);
    const std::string_view copied(copy, line.size());
    if (!memo) return readPlainVertexLine(copied, nodes_, record);
    const std::uint64_t hash = memo->hash(copied);
    if (memo->find(copied, hash, record, repeat)) return true;
    if (!readPlainVertexLine(copied, nodes_, record)) return false;
    memo->keep(copied, hash, record, number);
    return true;
}

void TriangleShare::store(const VertexRecord& record, SmdTriangle& triangle, int corner)
{
    triangle.vertexBone[corner] = record.parent;
    triangle.vertices[corner] = record.vertex;
    triangle.linkStart[corner] = static_cast<std::uint32_t>(pool_.size());
    pool_.insert(pool_.end(), record.links, record.links + record.linkCount);
    triangle.linkCount[corner] = record.linkCount;
}

// The corner's line; repeat, where given, gets the earlier corner it repeats.
SmdReadResult TriangleShare::readVertex(std::string_view line, SmdTriangle& triangle, int corner, std::int64_t* repeat)
{
    VertexRecord& record = record_;
    const std::int64_t number = static_cast<std::int64_t>(next) * 3 + corner;
    std::int64_t earlier = -1;
    if (readQuickly(line, record, number, earlier)) {
        store(record, triangle, corner);
        if (repeat) *repeat = earlier;
        return kSmdRead;
    }
    FieldScanner scan(line);
    std::int32_t parent = 0;
    float f[8];
    ScanStatus s = scan.readInt(parent);
    if (s == ScanStatus::OutOfRange) return refuse("the parent bone number is far out of range");
    bool ok = s == ScanStatus::Ok;
    for (int i = 0; ok && i < 8; ++i) ok = scan.readFloat(f[i]) == ScanStatus::Ok;
    if (!ok) return refuse("a vertex line needs a parent bone, a position, a normal and u v");
    if (!allFinite(f, 8)) return refuse(kNotFiniteText);
    const std::int32_t parentPlace = nodes_.place(parent);
    if (parentPlace == NodeNumbers::kUndeclared) return refuse("parent bone " + std::to_string(parent) + " is not a node number");

    std::int32_t linkCount = 0;
    s = scan.readInt(linkCount);
    if (s == ScanStatus::OutOfRange || (s == ScanStatus::Ok && (linkCount < 0 || linkCount > kMaxLinks)))
        return refuse("link count " + std::string(s == ScanStatus::Ok ? std::to_string(linkCount) : "beyond int32") + " is outside 0 to 16");

    record.parent = parentPlace;
    storeVertexValues(f, record.vertex);
    if (s == ScanStatus::Missing || linkCount == 0) {
        // Exporters that write no links mean the vertex follows its parent bone.
        record.links[0] = {parentPlace, 1.0f};
        linkCount = 1;
    } else {
        for (std::int32_t k = 0; k < linkCount; ++k)
            if (const SmdReadResult r = refuseIf(checkLinkPair(scan, nodes_, k, linkCount, record.links[k])); r != kSmdRead) return r;
    }
    record.linkCount = linkCount;
    store(record, triangle, corner);
    if (repeat) *repeat = -1;
    // Kept as well: a line in a shape of its own repeats like any other.
    if (memo && cursor_.slackAfter(line)) memo->keep(line, memo->hash(line), record, number);
    return kSmdRead;
}

std::int32_t TriangleShare::materialOf(std::string_view name)
{
    if (lastMaterialIndex_ < 0 || name != lastMaterial_) {
        const auto found = materialIndex_.find(name);
        lastMaterialIndex_ = found != materialIndex_.end() ? found->second : 0;
        lastMaterial_.assign(name);
        if (materialRuns && (materialRuns->empty() || materialRuns->back() != name)) materialRuns->emplace_back(name);
    }
    return lastMaterialIndex_;
}

SmdReadResult TriangleShare::runGuarded()
{
    try {
        return run();
    } catch (const std::bad_alloc&) {
        noMemory = true;
        return result = kSmdMalformed;
    }
}

SmdReadResult TriangleShare::run()
{
    if (!memo) {
        try {
            ownMemo_ = std::make_unique<VertexLineMemo>();
            memo = ownMemo_.get();
        } catch (const std::bad_alloc&) {
            // Without one every line is read from its fields.
        }
    }
    std::string_view line;
    while (next < stopAt && cursor_.next(line)) {
        const std::string_view material = firstWord(line);
        if (equalsIgnoringCase(material, "end")) return result = kSmdRead;
        // Read in place: every field of the entry is written. A triangle
        // beyond the table is read aside and then refused.
        const bool inTable = next >= tableFirst_ && next - tableFirst_ < static_cast<std::int64_t>(table_.size());
        SmdTriangle aside;
        SmdTriangle& triangle = inTable ? table_[static_cast<std::size_t>(next - tableFirst_)] : aside;
        triangle.material = materialOf(material);
        for (int corner = 0; corner < 3; ++corner) {
            if (!cursor_.next(line)) return result = refuse("the file ends inside a triangle");
            if (firstWordIs(line, "end"))
                return result = refuse("triangle " + std::to_string(next) + " has " + std::to_string(corner) + " vertex lines instead of 3");
            std::int64_t* const repeat = repeats && inTable ? repeats + (next - tableFirst_) * 3 + corner : nullptr;
            const SmdReadResult r = readVertex(line, triangle, corner, repeat);
            if (r != kSmdRead) return result = r;
        }
        if (!inTable) return result = refuse("more triangles than the counting pass found");
        ++next;
    }
    return result = kSmdRead;
}

} // namespace veskar
