#include "convert/CornerWelder.h"

#include "system/LargePages.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>

namespace veskar {

namespace {

constexpr std::size_t kFirstTableSize = 1024;
constexpr std::uint64_t kEmpty = 0;

// Equal floats must hash alike: +0 and -0 are folded together.
std::uint64_t floatBits(float f) { return f == 0.0f ? 0u : std::bit_cast<std::uint32_t>(f); }

std::uint64_t mix(std::uint64_t h, std::uint64_t v)
{
    h = (h ^ v) * 0x9E3779B97F4A7C15ull;
    return h ^ (h >> 32);
}

// The corner as a welded vertex, its kept links appended to links (room for
// them reserved); false when a NaN sits where equality looks (such a vertex
// equals nothing). The eight values are hashed in four independent products,
// not one chain: the hash only has to be equal for equal corners.
bool packCorner(const SmdTriangle& triangle, int k, std::span<const BoneLink> pool, WeldedVertex& vertex, std::vector<BoneLink>& links,
                std::uint64_t& hash)
{
    const SmdVertex& v = triangle.vertices[k];
    static_assert(sizeof(SmdVertex) == sizeof vertex.values, "position, normal, u, v in the order equality looks at them");
    std::memcpy(vertex.values, &v, sizeof vertex.values);
    const float* f = vertex.values;
    bool nan = false;
    for (int i = 0; i < 8; ++i) nan |= f[i] != f[i];
    std::uint64_t h = (floatBits(f[0]) | floatBits(f[1]) << 32) * 0x9E3779B97F4A7C15ull;
    h ^= (floatBits(f[2]) | floatBits(f[3]) << 32) * 0xC2B2AE3D27D4EB4Full;
    h ^= (floatBits(f[4]) | floatBits(f[5]) << 32) * 0x165667B19E3779F9ull;
    h ^= (floatBits(f[6]) | floatBits(f[7]) << 32) * 0xD6E8FEB86659FD93ull;
    h ^= h >> 32;
    vertex.parentBone = triangle.vertexBone[k];
    const auto count = static_cast<std::size_t>(std::clamp(triangle.linkCount[k], 0, kMaxLinks));
    const std::size_t start = triangle.linkStart[k];
    int kept = 0;
    for (std::size_t j = 0; j < count && start + j < pool.size(); ++j) {
        const BoneLink& link = pool[start + j];
        if (link.weight == 0.0f) continue;
        nan |= link.weight != link.weight;
        links.push_back(link);
        ++kept;
        h = mix(h, (static_cast<std::uint64_t>(static_cast<std::uint32_t>(link.bone)) << 32) | floatBits(link.weight));
    }
    vertex.linkCount = kept;
    h = mix(h, static_cast<std::uint64_t>(kept));
    hash = h * 0xFF51AFD7ED558CCDull;
    hash ^= hash >> 33;
    return !nan;
}

bool sameCorner(const WeldedVertex& a, const BoneLink* aLinks, const WeldedVertex& b, const BoneLink* bLinks)
{
    for (int i = 0; i < 8; ++i)
        if (a.values[i] != b.values[i]) return false;
    if (a.linkCount != b.linkCount) return false;
    for (std::int32_t n = 0; n < a.linkCount; ++n)
        if (aLinks[n].bone != bLinks[n].bone || aLinks[n].weight != bLinks[n].weight) return false;
    return true;
}

} // namespace

void CornerWelder::clear()
{
    std::vector<WeldedVertex>().swap(vertices);
    std::vector<BoneLink>().swap(links);
    std::vector<TriangleIndices>().swap(triangles);
    std::vector<std::uint64_t>().swap(table_);
    std::vector<std::uint64_t>().swap(hashes_);
    inTable_ = 0;
}

bool CornerWelder::expect(std::int32_t triangleCount)
{
    const auto count = static_cast<std::size_t>(std::max(0, triangleCount));
    try {
        // The count may be an estimate from the size of the text: room for a
        // quarter more saves moving the indices when it was low (room never
        // written costs no memory).
        triangles.reserve(count + count / 4);
        preferLargePages(triangles);
        if (table_.empty()) {
            // Exported meshes have about half as many vertices as triangles:
            // a table for that many at most half full grows at most once.
            std::size_t size = kFirstTableSize;
            while (size < count) size *= 2;
            table_.reserve(size);
            preferLargePages(table_);
            table_.assign(size, kEmpty);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    // Room for every corner to be its own vertex with four links, so the
    // tables never move while they grow; pages that are never written cost
    // no memory. Where that much room cannot be had, they grow as needed.
    try {
        vertices.reserve(count * 3);
        hashes_.reserve(count * 3);
        links.reserve(count * 12);
        preferLargePages(vertices);
        preferLargePages(hashes_);
        preferLargePages(links);
    } catch (const std::bad_alloc&) {
    }
    return true;
}

// Doubles the table when it is half full; a table that stays small stays in
// the cache.
bool CornerWelder::grow()
{
    std::vector<std::uint64_t> bigger;
    try {
        bigger.reserve(table_.size() * 2);
        preferLargePages(bigger);
        bigger.assign(table_.size() * 2, kEmpty);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const std::size_t mask = bigger.size() - 1;
    for (std::uint64_t slot : table_) {
        if (slot == kEmpty) continue;
        const std::uint64_t hash = hashes_[static_cast<std::uint32_t>(slot) - 1];
        std::size_t at = hash & mask;
        while (bigger[at] != kEmpty) at = (at + 1) & mask;
        bigger[at] = slot;
    }
    table_ = std::move(bigger);
    return true;
}

bool PreparedCorners::prepare(std::span<const SmdTriangle> block, std::span<const BoneLink> pool, std::span<const std::int64_t> repeats)
{
    try {
        const std::size_t count = block.size() * 3;
        corners.resize(count);
        hashes.resize(count);
        hashable.resize(count);
        links.clear();
        links.reserve(count * kMaxLinks < pool.size() ? count * kMaxLinks : pool.size());
        const bool withRepeats = repeats.size() == count;
        if (withRepeats) this->repeats.assign(repeats.begin(), repeats.end());
        else this->repeats.assign(count, -1);
        std::size_t c = 0;
        for (const SmdTriangle& triangle : block) {
            for (int k = 0; k < 3; ++k, ++c) {
                if (withRepeats && repeats[c] >= 0) continue;
                corners[c].linkStart = static_cast<std::uint32_t>(links.size());
                hashable[c] = packCorner(triangle, k, pool, corners[c], links, hashes[c]) ? 1 : 0;
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool CornerWelder::add(std::span<const SmdTriangle> block, std::span<const BoneLink> pool)
{
    PreparedCorners prepared;
    return prepared.prepare(block, pool) && add(prepared);
}

bool CornerWelder::add(const PreparedCorners& block)
{
    if (table_.empty() && !expect(0)) return false;
    const std::size_t count = block.corners.size();
    // A slot is a miss in a table of megabytes: the slots of the next
    // kAhead corners that look one up are fetched ahead. Counted over those
    // corners, not all: most corners of a mesh repeat an earlier one and
    // look nothing up, so a fixed distance in corners falls short.
    constexpr std::size_t kAhead = 16;
    std::size_t fetchedTo = 0, fetched = 0, lookedUp = 0;
    const auto fetchAhead = [&] {
        for (; fetchedTo < count && fetched < lookedUp + kAhead; ++fetchedTo) {
            if (block.repeats[fetchedTo] >= 0 || !block.hashable[fetchedTo]) continue;
            __builtin_prefetch(&table_[block.hashes[fetchedTo] & (table_.size() - 1)]);
            ++fetched;
        }
    };
    fetchAhead();
    // Corner c's vertex; first and second are those of the triangle's
    // corners before it. One the same as an earlier corner takes that one's
    // vertex, from its triangle (this one's, when that is not done yet).
    const auto numberOf = [&](std::size_t c, std::int32_t first, std::int32_t second) {
        if (const std::int64_t earlier = block.repeats[c]; earlier >= 0) {
            const auto t = static_cast<std::size_t>(earlier / 3);
            const std::int64_t k = earlier % 3;
            if (t < triangles.size()) return k == 0 ? triangles[t].a : k == 1 ? triangles[t].b : triangles[t].c;
            return k == 0 ? first : second;
        }
        if (block.hashable[c]) {
            ++lookedUp;
            fetchAhead();
        }
        return weldCorner(block, c);
    };
    try {
        // Three numbers kept apart, not in an array indexed by the corner:
        // the indices are then stored straight from registers.
        for (std::size_t c = 0; c + 2 < count; c += 3) {
            const std::int32_t a = numberOf(c, -1, -1);
            const std::int32_t b = numberOf(c + 1, a, -1);
            const std::int32_t d = numberOf(c + 2, a, b);
            if (a < 0 || b < 0 || d < 0) return false;
            triangles.push_back({a, b, d});
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

std::int32_t CornerWelder::weldCorner(const PreparedCorners& block, std::size_t c)
{
    constexpr std::uint64_t kTagMask = 0xFFFFFFFF00000000ull;
    const WeldedVertex& corner = block.corners[c];
    const BoneLink* kept = block.links.data() + corner.linkStart;
    const std::uint64_t hash = block.hashes[c];
    const std::uint64_t tag = hash & kTagMask;
    std::size_t mask = table_.size() - 1;
    std::size_t at = hash & mask;
    if (block.hashable[c]) {
        // Kept vertices are pairwise distinct, so at most one can match: the
        // one a scan from the start would find.
        for (; table_[at] != kEmpty; at = (at + 1) & mask) {
            if ((table_[at] & kTagMask) != tag) continue;
            const std::size_t j = static_cast<std::uint32_t>(table_[at]) - 1;
            if (sameCorner(corner, kept, vertices[j], links.data() + vertices[j].linkStart)) return static_cast<std::int32_t>(j);
        }
    }
    const auto number = static_cast<std::int32_t>(vertices.size());
    WeldedVertex& added = vertices.emplace_back(corner);
    added.linkStart = static_cast<std::uint32_t>(links.size());
    links.insert(links.end(), kept, kept + corner.linkCount);
    hashes_.push_back(hash);
    if (block.hashable[c]) {
        if ((inTable_ + 1) * 2 > table_.size()) {
            if (!grow()) return -1;
            mask = table_.size() - 1;
            at = hash & mask;
            while (table_[at] != kEmpty) at = (at + 1) & mask;
        }
        table_[at] = tag | static_cast<std::uint64_t>(number + 1);
        ++inTable_;
    }
    return number;
}

EngineVertex CornerWelder::engineVertex(std::size_t j) const
{
    const WeldedVertex& w = vertices[j];
    EngineVertex e;
    e.parentBone = w.parentBone;
    for (int i = 0; i < 3; ++i) {
        e.restVertex.position[i] = w.values[i];
        e.restVertex.normal[i] = w.values[3 + i];
    }
    e.restVertex.u = w.values[6];
    e.restVertex.v = w.values[7];
    e.linkCount = w.linkCount;
    for (int k = 0; k < kMaxLinks; ++k) {
        const bool kept = k < w.linkCount;
        e.links.bone[k] = kept ? links[w.linkStart + static_cast<std::size_t>(k)].bone : 0;
        e.links.weight[k] = kept ? links[w.linkStart + static_cast<std::size_t>(k)].weight : 0.0f;
    }
    return e;
}

} // namespace veskar
