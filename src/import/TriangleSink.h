#pragma once
// Where a reference reader hands its triangles when the mesh is not to keep
// them (a converter welds them as they come and needs no triangle table):
// blocks of whole triangles, read by several lanes (threads) at once and
// taken strictly in file order. A lane reads a run of kBlocksAhead
// consecutive blocks, preparing each, before it hands them over in their
// turns. A triangle's linkStart points into its block's own link pool; its
// material is left 0 (the names are the model's materialNames).

#include "import/SmdRecords.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace veskar {

class TriangleSink {
public:
    static constexpr std::size_t kBlocksAhead = 8;

    virtual ~TriangleSink() = default;
    // Once the triangles are counted, before the first block, with the number
    // of lanes that will read them. Empty when it can go on, otherwise why not
    // (the read is refused with it).
    // A reader that reads the file once gives an estimate instead, made from
    // the size of the text: more or fewer triangles may come.
    virtual std::string expect(std::int32_t triangleCount, std::size_t lanes) = 0;
    // On lane's own thread as soon as it has read a block, before the
    // block's turn: work that looks at one block alone; the spans are reused
    // for the lane's next block, so what is needed of them is kept. At most
    // kBlocksAhead blocks of a lane are prepared and not yet taken. repeats holds, three
    // a triangle, the number (by file order, three a triangle) of an earlier
    // corner read from the same text, so the same in every value and link,
    // or -1; a NaN makes a corner equal to nothing, and never a repeat.
    virtual void prepare(std::size_t lane, std::span<const SmdTriangle> triangles, std::span<const BoneLink> links,
                         std::span<const std::int64_t> repeats) = 0;
    // The oldest block lane prepared and did not hand over, in its turn; the
    // same answer as expect.
    virtual std::string take(std::size_t lane) = 0;
    // Every block taken is to be forgotten: the reader starts again from the
    // first triangle, with a new expect.
    virtual void restart() = 0;
};

} // namespace veskar
