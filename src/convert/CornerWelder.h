#pragma once
// Welding equal corners into vertices, numbered in order of first appearance
// (the earliest match), fed triangles in file order a block at a time, so a
// reference can be welded while it is read and no triangle table is kept.
// Equal means position, normal, u, v and the links of weight other than 0,
// exactly: no tolerance, +0 equals -0, NaN equals nothing.

#include "mref/EngineVertex.h"

#include <cstdint>
#include <span>
#include <vector>

namespace veskar {

// A welded vertex, packed: what equality looks at and the mRef writer
// formats, 44 bytes and its kept links in the welder's pool, where the
// engine's record is 264.
struct WeldedVertex {
    float values[8];           // position, normal, u, v as the mesh holds them
    std::int32_t parentBone;   // of the corner seen first
    std::int32_t linkCount;    // the links of weight other than 0
    std::uint32_t linkStart;   // into CornerWelder::links
};

// The corners of a block of triangles packed as welded vertices with their
// hashes: the part of welding that looks at each corner alone, so blocks can
// be prepared on several threads while only their welding goes in order.
struct PreparedCorners {
    std::vector<WeldedVertex> corners;   // linkStart into links
    std::vector<std::uint64_t> hashes;
    std::vector<std::uint8_t> hashable;  // 0: a NaN where equality looks; equals nothing
    std::vector<BoneLink> links;         // the kept links
    // A corner known to be the same as an earlier one (by file order, three
    // a triangle) is not packed: it takes that corner's vertex. -1: none.
    std::vector<std::int64_t> repeats;

    // The triangles' corners (their linkStart pointing into pool); repeats,
    // empty or three a triangle, as TriangleSink::prepare has them. False
    // without the memory.
    bool prepare(std::span<const SmdTriangle> block, std::span<const BoneLink> pool, std::span<const std::int64_t> repeats = {});
};

class CornerWelder {
public:
    // Room for the indices of about count triangles (an estimate will do);
    // false without the memory.
    bool expect(std::int32_t triangleCount);
    // Welds the next corners, three a triangle, and appends their vertex
    // numbers to triangles. False without the memory.
    bool add(const PreparedCorners& block);
    // Both steps in one.
    bool add(std::span<const SmdTriangle> block, std::span<const BoneLink> pool);
    void clear();

    // The engine record of vertex j: its kept links, then bone 0 weight 0.
    EngineVertex engineVertex(std::size_t j) const;

    std::vector<WeldedVertex> vertices;
    std::vector<BoneLink> links;
    std::vector<TriangleIndices> triangles;

private:
    bool grow();
    // The vertex of the block's corner c, found or added; -1 without the
    // memory.
    std::int32_t weldCorner(const PreparedCorners& block, std::size_t c);

    // Open addressing on the vertices whose values hold no NaN: a slot holds
    // the upper half of a vertex's 64-bit hash and its number + 1 (0: empty),
    // so a lookup touches one slot and, when the halves agree, one vertex.
    std::vector<std::uint64_t> table_;
    std::vector<std::uint64_t> hashes_;   // of each vertex, to move them when the table doubles
    std::size_t inTable_ = 0;
};

} // namespace veskar
