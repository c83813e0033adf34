#include "import/VertexLines.h"

#include "import/LineScan.h"
#include "import/ReaderFrame.h"

#include <algorithm>
#include <cstring>

namespace veskar {

bool readPlainVertexLine(std::string_view line, const NodeNumbers& nodes, VertexRecord& record)
{
    static constexpr std::uint8_t kValueFields[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    LineFields fields;
    if (!splitFields(line, fields) || fields.count < 9) return false;
    const char* text = line.data();
    std::int32_t parent = 0;
    float values[8];
    if (!readSmallInt(text, fields, 0, parent) || !readDecimals(text, fields, kValueFields, 8, values)) return false;
    record.parent = nodes.place(parent);
    if (record.parent == NodeNumbers::kUndeclared) return false;
    storeVertexValues(values, record.vertex);
    std::int32_t linkCount = 0;
    if (fields.count > 9 && !readSmallInt(text, fields, 9, linkCount)) return false;
    if (linkCount < 0 || linkCount > kMaxLinks || fields.count < 10 + 2 * linkCount) return false;
    if (linkCount == 0) {
        // No links: the vertex follows its parent bone.
        record.linkCount = 1;
        record.links[0] = {record.parent, 1.0f};
        return true;
    }
    std::uint8_t weightFields[kMaxLinks];
    float weights[kMaxLinks];
    for (std::int32_t k = 0; k < linkCount; ++k) {
        std::int32_t bone = 0;
        if (!readSmallInt(text, fields, 10 + 2 * k, bone)) return false;
        record.links[k].bone = nodes.place(bone);
        if (record.links[k].bone == NodeNumbers::kUndeclared) return false;
        weightFields[k] = static_cast<std::uint8_t>(11 + 2 * k);
    }
    if (!readDecimals(text, fields, weightFields, linkCount, weights)) return false;
    for (std::int32_t k = 0; k < linkCount; ++k) record.links[k].weight = weights[k];
    record.linkCount = linkCount;
    return true;
}

VertexLineMemo::VertexLineMemo()
    : tags_(std::make_unique<Tag[]>(kPlaces)), texts_(std::make_unique_for_overwrite<char[]>(kPlaces * kMaxText)),
      kept_(std::make_unique_for_overwrite<Kept[]>(kPlaces))
{
}

std::uint64_t VertexLineMemo::hash(std::string_view line) const
{
    // Eight bytes at a time on two chains, the bytes past the line masked
    // off; the product's upper half mixes every byte below it.
    constexpr std::uint64_t kOdd = 0x9E3779B97F4A7C15ull, kOther = 0xC2B2AE3D27D4EB4Full;
    const char* p = line.data();
    const std::size_t n = line.size();
    std::uint64_t a = n, b = 0;
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        std::uint64_t x, y;
        std::memcpy(&x, p + i, 8);
        std::memcpy(&y, p + i + 8, 8);
        a = (a ^ x) * kOdd;
        b = (b ^ y) * kOther;
    }
    if (i < n) {
        std::uint64_t x, y;
        std::memcpy(&x, p + i, 8);
        std::memcpy(&y, p + i + 8, 8);
        const std::size_t left = n - i;
        if (left < 8) x &= (std::uint64_t{1} << (8 * left)) - 1;
        if (left <= 8) y = 0;
        else if (left < 16) y &= (std::uint64_t{1} << (8 * (left - 8))) - 1;
        a = (a ^ x) * kOdd;
        b = (b ^ y) * kOther;
    }
    const std::uint64_t h = (a ^ (b >> 29) ^ (b << 35)) * kOdd;
    return h ^ (h >> 31);
}

bool VertexLineMemo::find(std::string_view line, std::uint64_t hash, VertexRecord& record, std::int64_t& corner) const
{
    const std::size_t place = hash & (kPlaces - 1);
    const Tag& tag = tags_[place];
    if (line.empty() || tag.length != line.size() || tag.check != static_cast<std::uint32_t>(hash >> 32) ||
        std::memcmp(texts_.get() + place * kMaxText, line.data(), line.size()) != 0)
        return false;
    const Kept& kept = kept_[place];
    corner = kept.corner;
    record.parent = kept.parent;
    record.vertex = kept.vertex;
    record.linkCount = kept.linkCount;
    std::copy(kept.links, kept.links + kept.linkCount, record.links);
    return true;
}

void VertexLineMemo::keep(std::string_view line, std::uint64_t hash, const VertexRecord& record, std::int64_t corner)
{
    if (line.empty() || line.size() > kMaxText || record.linkCount > VertexRecord::kKeptLinks) return;
    const std::size_t place = hash & (kPlaces - 1);
    tags_[place] = {static_cast<std::uint32_t>(hash >> 32), static_cast<std::uint32_t>(line.size())};
    std::memcpy(texts_.get() + place * kMaxText, line.data(), line.size());
    Kept& kept = kept_[place];
    bool nan = false;
    const float* values = &record.vertex.position[0];
    static_assert(sizeof(SmdVertex) == 8 * sizeof(float), "the eight values of a vertex");
    for (int i = 0; i < 8; ++i) nan |= values[i] != values[i];
    for (std::int32_t k = 0; k < record.linkCount; ++k) nan |= record.links[k].weight != record.links[k].weight;
    kept.corner = nan ? -1 : corner;
    kept.parent = record.parent;
    kept.vertex = record.vertex;
    kept.linkCount = record.linkCount;
    std::copy(record.links, record.links + record.linkCount, kept.links);
}

} // namespace veskar
