// Welding by hash: the same numbering as a scan over the vertices kept so far
// (order of first appearance, earliest match), in linear expected time.

#include "formats/FormatConverter.h"
#include "import/ConsoleLog.h"
#include "platform/LargePages.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <new>
#include <system_error>
#include <thread>

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

// What equality looks at of a kept vertex, packed apart from the 264-byte
// records: looking a corner up touches 40 bytes and its links instead of five
// cache lines of a record somewhere in a large table.
struct WeldKey {
    float values[8];   // position, normal, u, v
    std::int32_t linkCount;
    std::uint32_t linkStart;
};

void cornerValues(const SmdVertex& v, float values[8])
{
    values[0] = v.position[0];
    values[1] = v.position[1];
    values[2] = v.position[2];
    values[3] = v.normal[0];
    values[4] = v.normal[1];
    values[5] = v.normal[2];
    values[6] = v.u;
    values[7] = v.v;
}

// The links a corner keeps when welded: those of weight other than 0.
template <typename Visit>
int forKeptLinks(std::span<const BoneLink> links, Visit visit)
{
    int kept = 0;
    for (std::size_t j = 0; j < links.size() && j < static_cast<std::size_t>(kMaxLinks); ++j) {
        if (links[j].weight != 0.0f) {
            if (!visit(kept, links[j])) return -1;
            ++kept;
        }
    }
    return kept;
}

// The hash of a corner as its welded vertex. False when a NaN sits anywhere
// equality looks: such a vertex equals nothing and is never looked up.
bool hashCorner(const SmdMesh& mesh, std::int32_t t, int k, std::uint64_t& hash)
{
    const SmdTriangle& triangle = mesh.triangles[static_cast<std::size_t>(t)];
    float values[8];
    cornerValues(triangle.vertices[k], values);
    std::uint64_t h = 0xCBF29CE484222325ull;
    for (float f : values) {
        if (std::isnan(f)) return false;
        h = mix(h, floatBits(f));
    }
    const int kept = forKeptLinks(mesh.links(t, k), [&h](int, const BoneLink& link) {
        if (std::isnan(link.weight)) return false;
        h = mix(h, (static_cast<std::uint64_t>(static_cast<std::uint32_t>(link.bone)) << 32) | floatBits(link.weight));
        return true;
    });
    if (kept < 0) return false;
    h = mix(h, static_cast<std::uint32_t>(kept));
    hash = h * 0xFF51AFD7ED558CCDull;
    hash ^= hash >> 33;
    return true;
}

// sameVertex of the corner's welded form and a kept vertex, from the key.
bool sameAsKey(const SmdMesh& mesh, std::int32_t t, int k, const WeldKey& key, const BoneLink* keyLinks)
{
    float values[8];
    cornerValues(mesh.triangles[static_cast<std::size_t>(t)].vertices[k], values);
    for (int i = 0; i < 8; ++i)
        if (values[i] != key.values[i]) return false;
    // Both link blocks are packed, with bone 0 weight 0 after the links.
    const int kept = forKeptLinks(mesh.links(t, k), [&](int n, const BoneLink& link) {
        return n < key.linkCount && link.bone == keyLinks[n].bone && link.weight == keyLinks[n].weight;
    });
    return kept == key.linkCount;
}

// The corner as its welded vertex. Only corners that become new vertices get
// here, so the 16-slot block is built for them alone.
void makeCorner(const SmdMesh& mesh, std::int32_t t, int k, EngineVertex& corner)
{
    const SmdTriangle& triangle = mesh.triangles[static_cast<std::size_t>(t)];
    const SmdVertex& v = triangle.vertices[k];
    corner.parentBone = triangle.vertexBone[k];
    std::memcpy(corner.restVertex.position, v.position, sizeof v.position);
    std::memcpy(corner.restVertex.normal, v.normal, sizeof v.normal);
    corner.restVertex.u = v.u;
    corner.restVertex.v = v.v;
    corner.linkCount = triangle.linkCount[k];
    corner.links = mesh.cornerLinks(t, k);
    compactLinks(corner.linkCount, corner.links);
}

// The hashes of corners [begin, end); unhashable corners are marked.
void hashCorners(const SmdMesh& mesh, std::size_t begin, std::size_t end, std::vector<std::uint64_t>& hashes, std::vector<std::uint8_t>& hashable)
{
    for (std::size_t c = begin; c < end; ++c)
        hashable[c] = hashCorner(mesh, static_cast<std::int32_t>(c / 3), static_cast<int>(c % 3), hashes[c]) ? 1 : 0;
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

    // The table holds the numbers of hashable kept vertices and doubles when it
    // is half full; a table that stays small stays in the cache.
    std::size_t tableSize = 1024;
    std::vector<std::int32_t> table;
    std::vector<std::uint64_t> cornerHash;
    std::vector<std::uint8_t> cornerHashable;
    std::vector<std::uint64_t> hashes;       // of the kept vertices
    std::vector<std::uint8_t> hashable;
    std::vector<WeldKey> keys;
    std::vector<BoneLink> keyLinks;
    try {
        triangles.reserve(static_cast<std::size_t>(triangleTotal));
        cornerHash.reserve(corners);
        preferLargePages(triangles);
        preferLargePages(cornerHash);
        triangles.assign(static_cast<std::size_t>(triangleTotal), TriangleIndices{});
        table.assign(tableSize, -1);
        cornerHash.resize(corners);
        cornerHashable.resize(corners);
    } catch (const std::bad_alloc&) {
        return false;
    }
    // Room for every corner to be its own vertex, so the tables never move
    // while they grow; pages that are never written cost no memory. Where that
    // much room cannot be had, the tables grow as needed.
    try {
        weldedVertices.reserve(corners);
        preferLargePages(weldedVertices);
        preferLargePages(keys);
        keys.reserve(corners);
        hashes.reserve(corners);
        hashable.reserve(corners);
    } catch (const std::bad_alloc&) {
    }

    // Hashing looks at each corner alone, so it is shared among threads; the
    // numbering below goes corner by corner in order (order of first
    // appearance, earliest match).
    const std::size_t threads =
        corners >= 65536 ? static_cast<std::size_t>(std::clamp(smdModel->readerThreads, 1, 8)) : std::size_t{1};
    std::vector<std::thread> workers;
    std::size_t hashedHere = corners;
    for (std::size_t k = 1; k < threads; ++k) {
        const std::size_t begin = corners * k / threads, end = corners * (k + 1) / threads;
        try {
            workers.emplace_back(hashCorners, std::cref(mesh), begin, end, std::ref(cornerHash), std::ref(cornerHashable));
        } catch (const std::system_error&) {
            hashCorners(mesh, begin, end, cornerHash, cornerHashable);
        }
        if (k == 1) hashedHere = begin;
    }
    hashCorners(mesh, 0, hashedHere, cornerHash, cornerHashable);
    for (std::thread& worker : workers) worker.join();

    std::size_t mask = tableSize - 1;
    std::size_t inTable = 0;
    constexpr std::size_t kAhead = 16;   // table slots fetched this many corners ahead
    EngineVertex corner;
    for (std::size_t c = 0; c < corners; ++c) {
        if (c + kAhead < corners) __builtin_prefetch(&table[cornerHash[c + kAhead] & mask]);
        const auto t = static_cast<std::int32_t>(c / 3);
        const int k = static_cast<int>(c % 3);
        const std::uint64_t hash = cornerHash[c];
        std::int32_t number = -1;
        std::size_t probe = hash & mask;
        if (cornerHashable[c]) {
            // Kept vertices are pairwise distinct, so at most one can match:
            // the one a scan from the start would find.
            for (; table[probe] >= 0; probe = (probe + 1) & mask) {
                const auto j = static_cast<std::size_t>(table[probe]);
                if (hashes[j] == hash && sameAsKey(mesh, t, k, keys[j], keyLinks.data() + keys[j].linkStart)) {
                    number = static_cast<std::int32_t>(j);
                    break;
                }
            }
        }
        if (number < 0) {
            number = weldedCount;
            makeCorner(mesh, t, k, corner);
            try {
                weldedVertices.push_back(corner);
                hashes.push_back(hash);
                hashable.push_back(cornerHashable[c]);
                WeldKey& key = keys.emplace_back();
                cornerValues(mesh.triangles[static_cast<std::size_t>(t)].vertices[k], key.values);
                key.linkCount = corner.linkCount;
                key.linkStart = static_cast<std::uint32_t>(keyLinks.size());
                for (std::int32_t n = 0; n < corner.linkCount; ++n) keyLinks.push_back({corner.links.bone[n], corner.links.weight[n]});
                if (cornerHashable[c] && (inTable + 1) * 2 > tableSize) {
                    tableSize *= 2;
                    mask = tableSize - 1;
                    table.assign(tableSize, -1);
                    for (std::size_t j = 0; j + 1 < hashes.size(); ++j) {
                        if (!hashable[j]) continue;
                        std::size_t slot = hashes[j] & mask;
                        while (table[slot] >= 0) slot = (slot + 1) & mask;
                        table[slot] = static_cast<std::int32_t>(j);
                    }
                    probe = hash & mask;
                    while (table[probe] >= 0) probe = (probe + 1) & mask;
                }
            } catch (const std::bad_alloc&) {
                return false;
            }
            if (cornerHashable[c]) {
                table[probe] = number;
                ++inTable;
            }
            ++weldedCount;
        }
        TriangleIndices& indices = triangles[static_cast<std::size_t>(t)];
        (k == 0 ? indices.a : k == 1 ? indices.b : indices.c) = number;
        ++cornerCount;
    }
    consoleLog().print("[전 버텍스 개수] : %d\n", triangleTotal * 3);
    consoleLog().print("[후 버텍스 개수] : %d\n", weldedCount);
    consoleLog().print("[후 인덱스 개수] : %d\n", cornerCount / 3);
    return true;
}

} // namespace veskar
