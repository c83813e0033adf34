#include "import/SmdTriangleShare.h"

#include <new>

namespace veskar {

SmdReadResult TriangleShare::readVertex(std::string_view line, SmdTriangle& triangle, int corner)
{
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

    triangle.vertexBone[corner] = parentPlace;
    storeVertexValues(f, triangle.vertices[corner]);
    triangle.linkStart[corner] = static_cast<std::uint32_t>(pool_.size());
    if (s == ScanStatus::Missing || linkCount == 0) {
        // Exporters that write no links mean the vertex follows its parent bone.
        pool_.push_back({parentPlace, 1.0f});
        triangle.linkCount[corner] = 1;
        return kSmdRead;
    }
    for (std::int32_t k = 0; k < linkCount; ++k) {
        BoneLink link;
        if (const SmdReadResult r = refuseIf(checkLinkPair(scan, nodes_, k, linkCount, link)); r != kSmdRead) return r;
        pool_.push_back(link);
    }
    triangle.linkCount[corner] = linkCount;
    return kSmdRead;
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
    std::string_view line;
    while (next < stopAt && cursor_.next(line)) {
        const std::string_view material = firstWord(line);
        if (equalsIgnoringCase(material, "end")) return result = kSmdRead;
        SmdTriangle triangle;
        const auto found = materialIndex_.find(material);
        triangle.material = found != materialIndex_.end() ? found->second : 0;
        for (int corner = 0; corner < 3; ++corner) {
            if (!cursor_.next(line)) return result = refuse("the file ends inside a triangle");
            if (equalsIgnoringCase(firstWord(line), "end"))
                return result = refuse("triangle " + std::to_string(next) + " has " + std::to_string(corner) + " vertex lines instead of 3");
            const SmdReadResult r = readVertex(line, triangle, corner);
            if (r != kSmdRead) return result = r;
        }
        if (next < tableFirst_ || next - tableFirst_ >= static_cast<std::int64_t>(table_.size())) return result = refuse("more triangles than the counting pass found");
        table_[static_cast<std::size_t>(next++ - tableFirst_)] = triangle;
    }
    return result = kSmdRead;
}

} // namespace veskar
