// Welding by hash: the same numbering as a scan over the vertices kept so far
// (order of first appearance, earliest match), in linear expected time.

#include "formats/FormatConverter.h"
#include "import/ConsoleLog.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <new>

namespace veskar {

void compactLinks(std::int32_t& linkCount, BoneLinks& links)
{
    BoneLinks packed;
    int kept = 0;
    for (int k = 0; k < linkCount && k < kMaxLinks; ++k) {
        if (links.weight[k] != 0.0f) {
            packed.bone[kept] = links.bone[k];
            packed.weight[kept] = links.weight[k];
            ++kept;
        }
    }
    for (int k = kept; k < kMaxLinks; ++k) {
        packed.bone[k] = 0;
        packed.weight[k] = 0.0f;
    }
    linkCount = kept;
    links = packed;
}

bool sameVertex(const EngineVertex& a, const EngineVertex& b)
{
    const SkinVertex& x = a.restVertex;
    const SkinVertex& y = b.restVertex;
    for (int i = 0; i < 3; ++i)
        if (x.position[i] != y.position[i] || x.normal[i] != y.normal[i]) return false;
    if (x.u != y.u || x.v != y.v) return false;
    if (a.linkCount != b.linkCount) return false;
    for (int s = 0; s < kMaxLinks; ++s)
        if (a.links.bone[s] != b.links.bone[s] || a.links.weight[s] != b.links.weight[s]) return false;
    return true;
}

namespace {

// Equal floats must hash alike: +0 and -0 are folded together.
std::uint32_t floatBits(float f) { return f == 0.0f ? 0u : std::bit_cast<std::uint32_t>(f); }

std::uint64_t mix(std::uint64_t h, std::uint64_t v)
{
    h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    return h;
}

// False when the vertex holds a NaN anywhere the comparison looks: it can
// never equal another vertex, so it is never looked up.
bool hashVertex(const EngineVertex& v, std::uint64_t& hash)
{
    const SkinVertex& s = v.restVertex;
    const float fields[8] = {s.position[0], s.position[1], s.position[2], s.normal[0], s.normal[1], s.normal[2], s.u, s.v};
    std::uint64_t h = 0xCBF29CE484222325ull;
    for (float f : fields) {
        if (std::isnan(f)) return false;
        h = mix(h, floatBits(f));
    }
    h = mix(h, static_cast<std::uint32_t>(v.linkCount));
    for (int k = 0; k < v.linkCount; ++k) {
        if (std::isnan(v.links.weight[k])) return false;
        h = mix(h, (static_cast<std::uint64_t>(static_cast<std::uint32_t>(v.links.bone[k])) << 32) | floatBits(v.links.weight[k]));
    }
    hash = h * 0xFF51AFD7ED558CCDull;
    hash ^= hash >> 33;
    return true;
}

} // namespace

bool FormatConverter::weldVertices()
{
    weldedVertices.clear();
    triangles.clear();
    weldedCount = 0;
    cornerCount = 0;
    const SmdMesh& mesh = smdModel->meshes[0];
    const std::int32_t triangleTotal = static_cast<std::int32_t>(mesh.triangles.size());
    const std::size_t corners = static_cast<std::size_t>(triangleTotal) * 3;

    std::size_t tableSize = 16;
    while (tableSize < corners * 2) tableSize <<= 1;
    std::vector<std::int32_t> table;
    std::vector<std::uint64_t> hashes;
    try {
        triangles.assign(static_cast<std::size_t>(triangleTotal), TriangleIndices{});
        table.assign(tableSize, -1);
        hashes.reserve(corners / 4 + 16);
        weldedVertices.reserve(corners / 4 + 16);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const std::size_t maskBits = tableSize - 1;

    EngineVertex corner;
    for (std::int32_t t = 0; t < triangleTotal; ++t) {
        const SmdTriangle& triangle = mesh.triangles[static_cast<std::size_t>(t)];
        std::int32_t* slot[3] = {&triangles[static_cast<std::size_t>(t)].a, &triangles[static_cast<std::size_t>(t)].b,
                                 &triangles[static_cast<std::size_t>(t)].c};
        for (int k = 0; k < 3; ++k) {
            const SmdVertex& v = triangle.vertices[k];
            corner.parentBone = triangle.vertexBone[k];
            std::memcpy(corner.restVertex.position, v.position, sizeof v.position);
            std::memcpy(corner.restVertex.normal, v.normal, sizeof v.normal);
            corner.restVertex.u = v.u;
            corner.restVertex.v = v.v;
            corner.linkCount = triangle.linkCount[k];
            corner.links = mesh.cornerLinks(t, k);
            compactLinks(corner.linkCount, corner.links);

            std::uint64_t hash = 0;
            std::int32_t number = -1;
            const bool hashable = hashVertex(corner, hash);
            std::size_t probe = hash & maskBits;
            if (hashable) {
                // Kept vertices are pairwise distinct, so at most one can match:
                // the one a scan from the start would find.
                for (; table[probe] >= 0; probe = (probe + 1) & maskBits) {
                    const std::int32_t j = table[probe];
                    if (hashes[static_cast<std::size_t>(j)] == hash && sameVertex(weldedVertices[static_cast<std::size_t>(j)], corner)) {
                        number = j;
                        break;
                    }
                }
            }
            if (number < 0) {
                number = weldedCount;
                try {
                    weldedVertices.push_back(corner);
                    hashes.push_back(hash);
                } catch (const std::bad_alloc&) {
                    return false;
                }
                if (hashable) table[probe] = number;
                ++weldedCount;
            }
            *slot[k] = number;
            ++cornerCount;
        }
    }
    consoleLog().print("[전 버텍스 개수] : %d\n", triangleTotal * 3);
    consoleLog().print("[후 버텍스 개수] : %d\n", weldedCount);
    consoleLog().print("[후 인덱스 개수] : %d\n", cornerCount / 3);
    return true;
}

} // namespace veskar
