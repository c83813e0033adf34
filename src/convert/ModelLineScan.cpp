#include "convert/ModelLineScan.h"

#include "import/ReaderFrame.h"
#include "import/SmdSections.h"
#include "import/TextScan.h"

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace veskar {

namespace {

// The lines up to the section's "end", each with its number.
template <typename Each>
void eachLine(LineCursor& cursor, Each each)
{
    std::string_view line;
    while (cursor.next(line) && !equalsIgnoringCase(firstWord(line), "end")) each(line);
}

// Node lines numbered as places (an SMD's NodeNumbers, an engine file's count).
template <typename Places>
void scanNodes(LineCursor& cursor, const Places& places, ModelLineVisitor& visit)
{
    eachLine(cursor, [&](std::string_view line) {
        NodeLine node;
        if (!firstWord(line).empty() && checkNodeLine(line, places, node).empty()) visit.node({cursor.lineNumber(), node.number, node.name, {}});
    });
}

void scanFrames(LineCursor& cursor, ModelLineVisitor& visit)
{
    eachLine(cursor, [&](std::string_view line) {
        FieldScanner scan(line);
        std::string_view word;
        std::int32_t frame = 0;
        if (scan.readWord(word) && equalsIgnoringCase(word, "time") && scan.readInt(frame) == ScanStatus::Ok) visit.frame(cursor.lineNumber(), frame);
    });
}

// A corner's line as the SMD reference reader takes it; false for a line it
// would have refused.
bool scanCorner(std::string_view line, const NodeNumbers& numbers, std::int32_t& parent, float (&values)[8], std::vector<BoneLink>& links)
{
    FieldScanner scan(line);
    std::int32_t number = 0;
    if (scan.readInt(number) != ScanStatus::Ok) return false;
    for (float& v : values)
        if (scan.readFloat(v) != ScanStatus::Ok) return false;
    parent = numbers.place(number);
    if (parent == NodeNumbers::kUndeclared) return false;
    links.clear();
    std::int32_t count = 0;
    const ScanStatus s = scan.readInt(count);
    if (s == ScanStatus::Missing || (s == ScanStatus::Ok && count == 0)) {
        links.push_back({parent, 1.0f});
        return true;
    }
    if (s != ScanStatus::Ok || count < 0 || count > kMaxLinks) return false;
    for (std::int32_t k = 0; k < count; ++k) {
        BoneLink link;
        if (!checkLinkPair(scan, numbers, k, count, link).empty()) return false;
        links.push_back(link);
    }
    return true;
}

struct TriangleWalk {
    TriangleWalk(const NodeNumbers& n, std::span<const TriangleIndices> w, ModelLineVisitor& v) : numbers(n), welded(w), visit(v) {}

    const NodeNumbers& numbers;
    std::span<const TriangleIndices> welded;
    ModelLineVisitor& visit;
    std::size_t triangle = 0;
    std::int32_t nextNew = 0;   // welding numbers vertices in order of first use
    std::set<std::string, std::less<>> materials;
    std::vector<BoneLink> links;

    void corner(long line, std::string_view text, int k)
    {
        std::int32_t parent = 0;
        float values[8];
        if (!scanCorner(text, numbers, parent, values, links)) return;
        const TriangleIndices* t = triangle < welded.size() ? &welded[triangle] : nullptr;
        const std::int32_t vertex = t ? (k == 0 ? t->a : k == 1 ? t->b : t->c) : -1;
        const bool first = vertex == nextNew;
        if (first) ++nextNew;
        visit.vertex({line, parent, values, links, vertex, first, text.size(), {}});
    }

    void section(LineCursor& cursor)
    {
        std::string_view line;
        while (cursor.next(line)) {
            const std::string_view material = firstWord(line);
            if (equalsIgnoringCase(material, "end")) return;
            if (materials.find(material) == materials.end()) {
                materials.emplace(material);
                visit.material(cursor.lineNumber(), material);
            }
            visit.triangle(cursor.lineNumber());
            for (int k = 0; k < 3; ++k) {
                if (!cursor.next(line)) return;
                corner(cursor.lineNumber(), line, k);
            }
            ++triangle;
        }
    }
};

// The node numbers of an SMD, found by its counting pass; the cursor is left
// after the header.
bool countSmd(LineCursor& cursor, SmdCounts& counts)
{
    std::string token;
    std::int32_t value = 0;
    std::vector<std::string> names;
    if (!cursor.rewind() || !readSmdHeader(cursor, token, value)) return false;
    countSmdSections(cursor, counts, names);
    return cursor.rewind() && readSmdHeader(cursor, token, value);
}

} // namespace

void scanSmdReference(LineCursor& cursor, std::span<const TriangleIndices> welded, ModelLineVisitor& visit)
{
    SmdCounts counts;
    if (!countSmd(cursor, counts)) return;
    TriangleWalk walk(counts.nodes, welded, visit);
    std::string_view line;
    while (cursor.next(line)) {
        const std::string_view word = firstWord(line);
        if (equalsIgnoringCase(word, "nodes")) scanNodes(cursor, counts.nodes, visit);
        else if (equalsIgnoringCase(word, "skeleton")) eachLine(cursor, [](std::string_view) {});
        else if (equalsIgnoringCase(word, "triangles")) walk.section(cursor);
    }
}

void scanSmdAnimation(LineCursor& cursor, ModelLineVisitor& visit)
{
    SmdCounts counts;
    if (!countSmd(cursor, counts)) return;
    std::string_view line;
    while (cursor.next(line)) {
        const std::string_view word = firstWord(line);
        if (equalsIgnoringCase(word, "nodes")) scanNodes(cursor, counts.nodes, visit);
        else if (equalsIgnoringCase(word, "skeleton")) scanFrames(cursor, visit);
    }
}

void scanMRef(LineCursor& cursor, const EngineMesh& mesh, std::string_view texture, ModelLineVisitor& visit)
{
    std::string_view line;
    if (!cursor.rewind()) return;
    for (int i = 0; i < 3; ++i)
        if (!cursor.next(line)) return;
    visit.material(cursor.lineNumber(), texture);
    while (cursor.next(line)) {
        const std::string_view word = firstWord(line);
        if (equalsIgnoringCase(word, "nodes")) {
            scanNodes(cursor, mesh.nodeCount, visit);
        } else if (equalsIgnoringCase(word, "vertices")) {
            std::size_t i = 0;
            eachLine(cursor, [&](std::string_view text) {
                if (i >= mesh.vertices.size()) return;
                const EngineVertex& v = mesh.vertices[i];
                BoneLink links[kMaxLinks];
                const auto count = static_cast<std::size_t>(std::clamp(v.linkCount, 0, kMaxLinks));
                for (std::size_t k = 0; k < count; ++k) links[k] = {v.links.bone[k], v.links.weight[k]};
                visit.vertex({cursor.lineNumber(), v.parentBone, v.restVertex.position, {links, count}, static_cast<std::int32_t>(i), true, text.size(), {}});
                ++i;
            });
        } else if (equalsIgnoringCase(word, "indices")) {
            eachLine(cursor, [&](std::string_view) { visit.triangle(cursor.lineNumber()); });
        } else if (equalsIgnoringCase(word, "skeleton")) {
            eachLine(cursor, [](std::string_view) {});
        }
    }
}

void scanMAni(LineCursor& cursor, std::int32_t nodeCount, ModelLineVisitor& visit)
{
    std::string_view line;
    if (!cursor.rewind()) return;
    while (cursor.next(line)) {
        const std::string_view word = firstWord(line);
        if (equalsIgnoringCase(word, "nodes")) scanNodes(cursor, nodeCount, visit);
        else if (equalsIgnoringCase(word, "skeleton")) scanFrames(cursor, visit);
    }
}

} // namespace veskar
