#pragma once
// Where a reference reader hands its triangles when the mesh is not to keep
// them (a converter welds them as they come and needs no triangle table):
// blocks of whole triangles, read by several lanes (threads) at once and
// taken strictly in file order. A triangle's linkStart points into its
// block's own link pool.

#include "import/SmdRecords.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace veskar {

class TriangleSink {
public:
    virtual ~TriangleSink() = default;
    // Once the triangles are counted, before the first block, with the number
    // of lanes that will read them. Empty when it can go on, otherwise why not
    // (the read is refused with it).
    virtual std::string expect(std::int32_t triangleCount, std::size_t lanes) = 0;
    // On lane's own thread as soon as it has read a block, before the
    // block's turn: work that looks at one block alone. repeats holds, three
    // a triangle, the number (by file order, three a triangle) of an earlier
    // corner read from the same text, so the same in every value and link,
    // or -1; a NaN makes a corner equal to nothing, and never a repeat.
    virtual void prepare(std::size_t lane, std::span<const SmdTriangle> triangles, std::span<const BoneLink> links,
                         std::span<const std::int64_t> repeats) = 0;
    // The block lane prepared last, in its turn; the same answer as expect.
    virtual std::string take(std::size_t lane) = 0;
};

} // namespace veskar
