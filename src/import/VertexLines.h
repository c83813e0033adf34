#pragma once
// Vertex lines of a reference the quick way. A mesh writes each corner once
// for every triangle that shares it, so most vertex lines repeat one met a
// few hundred lines before, byte for byte: those are taken from a table by
// their text. The rest, in the plain shape exporters write (a parent bone,
// eight decimals, a link count, bone and weight pairs), are read straight
// from their fields. A line in any other shape, or one to refuse, is left to
// the general reader, which reads it exactly as before.

#include "import/NodeNumbers.h"
#include "import/SmdRecords.h"

#include <cstdint>
#include <memory>
#include <string_view>

namespace veskar {

// What a vertex line gives its corner: the parent bone's place, the vertex
// as the mesh keeps it (v turned upside down) and the links, a line without
// any having its parent bone with weight 1.
struct VertexRecord {
    static constexpr int kKeptLinks = 4;  // lines with more are not kept in the table

    std::int32_t parent = 0;
    SmdVertex vertex;
    std::int32_t linkCount = 0;
    BoneLink links[kMaxLinks];
};

// The plain shape straight from the fields; false for any other line. The
// line needs kScanSlack readable bytes after it (import/LineScan.h).
bool readPlainVertexLine(std::string_view line, const NodeNumbers& nodes, VertexRecord& record);

// Lines read before, by their text: a table of the last line seen at each
// of its places, so the lines of the last few thousand corners are found.
class VertexLineMemo {
public:
    static constexpr std::size_t kMaxText = 192;  // longer lines are not kept

    VertexLineMemo();

    // The line's place in the table (its text hashed; reads kScanSlack bytes
    // after it), for find and keep.
    std::uint64_t hash(std::string_view line) const;
    // The record of the same text, when the table has it, and the corner
    // (by file order) that line was first kept for: a corner the same as
    // this one, or -1 where a NaN makes the corner equal to nothing.
    bool find(std::string_view line, std::uint64_t hash, VertexRecord& record, std::int64_t& corner) const;
    void keep(std::string_view line, std::uint64_t hash, const VertexRecord& record, std::int64_t corner);

private:
    static constexpr std::size_t kPlaces = 4096;
    struct Tag {
        std::uint32_t check = 0;   // more bits of the hash
        std::uint32_t length = 0;  // 0: empty
    };
    struct Kept {
        std::int64_t corner;
        std::int32_t parent;
        SmdVertex vertex;
        std::int32_t linkCount;
        BoneLink links[VertexRecord::kKeptLinks];
    };

    std::unique_ptr<Tag[]> tags_;
    std::unique_ptr<char[]> texts_;
    std::unique_ptr<Kept[]> kept_;
};

} // namespace veskar
