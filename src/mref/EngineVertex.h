#pragma once
// The vertex records the converter welds and the engine model draws.

#include "import/SmdRecords.h"

#include <cstdint>
#include <span>
#include <vector>

namespace veskar {

// The 64-byte vertex of the engine model's vertex buffers.
struct SkinVertex {
    float position[3] = {0, 0, 0};
    float normal[3] = {0, 0, 0};
    float u = 0.0f;
    float v = 0.0f;
    float weights[4] = {0, 0, 0, 0};      // of the first four links
    float boneIndices[4] = {0, 0, 0, 0};  // of the first four links, as float
};
static_assert(sizeof(SkinVertex) == 64, "the layout of the vertex buffers");

struct EngineVertex {
    std::int32_t parentBone = 0;   // carried, not used for skinning
    SkinVertex restVertex;
    SkinVertex bindVertex;
    std::int32_t linkCount = 0;
    BoneLinks links;
};

struct TriangleIndices {
    std::int32_t a = -1, b = -1, c = -1;
};

// What skinning reads of a vertex every frame, packed: 40 bytes a vertex and
// 8 a link in a shared pool, where the whole record is 264. A frame of a large
// mesh is bound by memory traffic, not arithmetic.
struct SkinSource {
    float position[3];     // of bindVertex
    float normal[3];
    float u, v;
    std::uint32_t linkStart;   // into the mesh's link pool
    std::int32_t linkCount;
};

// One SkinSource per vertex and their links, from the vertices' bind copies.
void buildSkinStream(std::span<const EngineVertex> vertices, std::vector<SkinSource>& sources, std::vector<BoneLink>& links);

// Drops links of weight 0 (and -0) and packs the rest to the front; the slots
// after them hold bone 0 and weight 0. A NaN weight is kept.
void compactLinks(std::int32_t& linkCount, BoneLinks& links);

// Exact equality of position, normal, u, v and the whole link block: no
// tolerance, +0 equals -0, NaN equals nothing.
bool sameVertex(const EngineVertex& a, const EngineVertex& b);

} // namespace veskar
