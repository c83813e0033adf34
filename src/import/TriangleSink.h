#pragma once
// Where a reference reader hands its triangles when the mesh is not to keep
// them (a converter welds them as they come and needs no triangle table):
// blocks of whole triangles in file order. A triangle's linkStart points into
// its block's own link pool.

#include "import/SmdModel.h"

#include <cstdint>
#include <span>
#include <string>

namespace veskar {

class TriangleSink {
public:
    virtual ~TriangleSink() = default;
    // Once the triangles are counted, before the first block. Empty when it
    // can go on, otherwise why not (the read is refused with it).
    virtual std::string expect(std::int32_t triangleCount) = 0;
    // The next block; the same answer.
    virtual std::string take(std::span<const SmdTriangle> triangles, std::span<const BoneLink> links) = 0;
};

} // namespace veskar
