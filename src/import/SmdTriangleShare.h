#pragma once
// One share of a reference's "triangles" section: the triangles from one
// cursor, read into a table (the mesh's, or a block's). Shares of one large
// section run on their own threads; each writes only its own triangles and
// link pool, and reads the rest.

#include "import/SmdReaders.h"
#include "import/VertexLines.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace veskar {

using MaterialIndex = std::unordered_map<std::string_view, std::int32_t>;

class TriangleShare : public SmdReaderFrame {
public:
    // Reads from triangle first on into table, whose first entry is triangle
    // tableFirst; the corners' links go to pool and a refusal into
    // diagnostic. Bone numbers are looked up in nodes.
    TriangleShare(std::span<SmdTriangle> table, std::int32_t tableFirst, std::vector<BoneLink>& pool, LineCursor& cursor, const std::string& file,
                  Diagnostic& diagnostic, const MaterialIndex& materialIndex, const NodeNumbers& nodes, std::int32_t first)
        : SmdReaderFrame(cursor, file, diagnostic), next(first), table_(table), tableFirst_(tableFirst), pool_(pool), materialIndex_(materialIndex),
          nodes_(nodes)
    {
    }

    // Until the section's "end" or triangle stopAt.
    SmdReadResult run();
    // run() on a thread of its own: an allocation that fails (the link pool
    // growing) ends the share with noMemory set instead of ending the
    // program; the reader refuses the file for it.
    SmdReadResult runGuarded();
    bool noMemory = false;

    std::int32_t next;   // the next triangle's number
    std::int32_t stopAt = std::numeric_limits<std::int32_t>::max();
    SmdReadResult result = kSmdRead;
    // Vertex lines read before; one of the share's own when not given (a
    // reader of blocks keeps one a thread across its blocks).
    VertexLineMemo* memo = nullptr;
    // For a sink: three a table entry, the corner (by file order) each
    // corner's line repeats, or -1 (see TriangleSink::prepare).
    std::int64_t* repeats = nullptr;
    // Where given, each run of equal material names is appended once (a
    // run goes on from the last name there).
    std::vector<std::string>* materialRuns = nullptr;

private:
    SmdReadResult readVertex(std::string_view line, SmdTriangle& triangle, int corner, std::int64_t* repeat);
    bool readQuickly(std::string_view line, VertexRecord& record, std::int64_t number, std::int64_t& repeat);
    [[gnu::noinline]] bool readCopied(std::string_view line, VertexRecord& record, std::int64_t number, std::int64_t& repeat);
    void store(const VertexRecord& record, SmdTriangle& triangle, int corner);
    std::int32_t materialOf(std::string_view name);

    std::span<SmdTriangle> table_;
    std::int32_t tableFirst_;
    std::vector<BoneLink>& pool_;
    const MaterialIndex& materialIndex_;
    const NodeNumbers& nodes_;
    std::unique_ptr<VertexLineMemo> ownMemo_;
    VertexRecord record_;       // the line being read
    std::string lastMaterial_;  // runs of triangles share a material line
    std::int32_t lastMaterialIndex_ = -1;
};

} // namespace veskar
