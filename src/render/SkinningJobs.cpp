#include "render/SkinningJobs.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace veskar {

namespace {

void blendMatrix(const Matrix& from, const Matrix& to, float blend, Matrix& out)
{
    const float keep = 1.0f - blend;
    const float* f = &from.m[0][0];
    const float* t = &to.m[0][0];
    float* o = &out.m[0][0];
    for (int i = 0; i < 16; ++i) o[i] = blend * t[i] + keep * f[i];
}

// Four floats handled as one value: a row of a matrix, or the four columns
// of a row vector times a matrix. GCC and Clang turn the arithmetic into one
// SIMD instruction per operation (SSE, NEON) where the target has them and
// into plain float code where it does not; the results are the same either
// way, lane by lane.
using Float4 = float __attribute__((vector_size(16)));

inline Float4 loadRow(const Matrix& m, int row)
{
    Float4 r;
    __builtin_memcpy(&r, m.m[row], sizeof r);
    return r;
}

inline Float4 splat(float x) { return Float4{x, x, x, x}; }

inline const Matrix& matrixOf(const Matrix& m) { return m; }
inline const Matrix& matrixOf(const SkeletonNode& node) { return node.worldMatrix; }

// The matrices links name, kept in a palette or in the skeleton's nodes. A
// bone names one when it is below the count, compared unsigned so that a
// negative bone names none.
template <typename Entry>
class MatrixTable {
public:
    explicit MatrixTable(std::span<const Entry> entries)
        : entries_(entries.data()), count_(static_cast<std::uint32_t>(std::min<std::size_t>(entries.size(), UINT32_MAX)))
    {
    }
    bool holds(std::int32_t bone) const { return static_cast<std::uint32_t>(bone) < count_; }
    const Matrix& operator[](std::int32_t bone) const { return matrixOf(entries_[bone]); }

private:
    const Entry* entries_;
    std::uint32_t count_;
};

// The weighted sum for one vertex. Scaling a matrix by w and transforming by
// it equals w times the transformed point (every term, the translation row
// included, carries w once), so the point is transformed by the bone and
// then weighted: no per-link matrix copy, the same value within rounding.
// The fourth lane is the matrices' fourth column, computed and dropped.
// The first link alone gives the normal. Links naming no matrix are left out.
template <typename LinkAt, typename Table>
inline bool skinPoint(const float* p, const float* n, int count, LinkAt linkAt, const Table& matrices, Float4& outPosition,
                      Float4& outNormal)
{
    bool valid = true;
    Float4 position = splat(0.0f);
    Float4 normal = splat(0.0f);
    if (count > 0) {
        const Float4 px = splat(p[0]), py = splat(p[1]), pz = splat(p[2]);
        const auto first = linkAt(0);
        if (matrices.holds(first.bone)) {
            const Matrix& m = matrices[first.bone];
            const Float4 r0 = loadRow(m, 0), r1 = loadRow(m, 1), r2 = loadRow(m, 2), r3 = loadRow(m, 3);
            const Float4 w = splat(first.weight);
            position = w * (px * r0 + py * r1 + pz * r2 + r3);
            normal = w * (splat(n[0]) * r0 + splat(n[1]) * r1 + splat(n[2]) * r2);
        } else {
            valid = false;
        }
        for (int j = 1; j < count; ++j) {
            const auto link = linkAt(j);
            if (!matrices.holds(link.bone)) {
                valid = false;
                continue;
            }
            const Matrix& m = matrices[link.bone];
            position += splat(link.weight) * (px * loadRow(m, 0) + py * loadRow(m, 1) + pz * loadRow(m, 2) + loadRow(m, 3));
        }
    }
    outPosition = position;
    outNormal = normal;
    return valid;
}

// Position, normal and texture coordinates of a drawn vertex in three stores
// instead of eight: each four-lane store spills one lane into the field that
// follows, and the next store puts that field right. Both vertex kinds share
// the layout checked here; the stores stay inside the vertex.
template <typename Vertex, typename Source>
inline void storeSkinned(Vertex& target, Float4 position, Float4 normal, const Source& source)
{
    static_assert(offsetof(Vertex, position) == 0 && offsetof(Vertex, normal) == 12 && offsetof(Vertex, u) == 24 &&
                      offsetof(Vertex, v) == 28 && sizeof(Vertex) >= 32,
                  "position, normal, u and v packed at the front of the vertex");
    static_assert(offsetof(Source, v) == offsetof(Source, u) + 4, "u and v side by side in the source");
    auto* bytes = reinterpret_cast<unsigned char*>(&target);
    __builtin_memcpy(bytes, &position, 16);
    __builtin_memcpy(bytes + 12, &normal, 16);
    __builtin_memcpy(bytes + 24, reinterpret_cast<const unsigned char*>(&source) + offsetof(Source, u), 8);
}

struct Link {
    std::int32_t bone;
    float weight;
};

int clampLinkCount(std::int32_t count, bool& valid)
{
    if (count < 0 || count > kMaxLinks) {
        valid = false;
        return count < 0 ? 0 : kMaxLinks;
    }
    return count;
}

} // namespace

// The skinning loops are also built for AVX, picked at load time on machines
// that have it. Only the instruction encoding changes (no fused multiply-add),
// so every result is the same bit for bit; the VEX forms avoid the register
// copies of two-operand SSE and the stalls of mixing it with AVX code run
// before. Measured on a 100,000-vertex stream: 1.4 to 1.8 times as fast.
// The choice at load time needs ELF's ifunc; Windows builds run the SSE loops.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && defined(__ELF__)
#define VESKAR_SKINNING_CLONES __attribute__((target_clones("avx", "default")))
#else
#define VESKAR_SKINNING_CLONES
#endif

bool blendPalette(std::span<const SkeletonNode> from, std::span<const SkeletonNode> to, float blend, std::span<Matrix> out)
{
    const std::size_t n = std::min({from.size(), to.size(), out.size()});
    for (std::size_t k = 0; k < n; ++k) blendMatrix(from[k].worldMatrix, to[k].worldMatrix, blend, out[k]);
    return from.size() == to.size() && out.size() <= from.size();
}

bool blendPose(std::span<const SkeletonNode> from, std::span<const SkeletonNode> to, float blend, std::span<SkeletonNode> out)
{
    const std::size_t n = std::min({from.size(), to.size(), out.size()});
    for (std::size_t k = 0; k < n; ++k) blendMatrix(from[k].worldMatrix, to[k].worldMatrix, blend, out[k].worldMatrix);
    return from.size() == to.size() && out.size() <= from.size();
}

VESKAR_SKINNING_CLONES bool skinVertices(std::span<const EngineVertex> in, std::span<const Matrix> palette, std::span<SkinVertex> out)
{
    if (out.size() < in.size()) return false;
    bool valid = true;
    const MatrixTable<Matrix> matrices(palette);
    for (std::size_t i = 0; i < in.size(); ++i) {
        const EngineVertex& v = in[i];
        const SkinVertex& source = v.bindVertex;
        SkinVertex& target = out[i];
        const int count = clampLinkCount(v.linkCount, valid);
        const BoneLinks& links = v.links;
        const auto linkAt = [&links](int j) { return Link{links.bone[j], links.weight[j]}; };
        Float4 position, normal;
        valid &= skinPoint(source.position, source.normal, count, linkAt, matrices, position, normal);
        storeSkinned(target, position, normal, source);
    }
    return valid;
}

VESKAR_SKINNING_CLONES bool skinStream(std::span<const SkinSource> in, std::span<const BoneLink> links, std::span<const Matrix> palette, std::span<SkinVertex> out)
{
    if (out.size() < in.size()) return false;
    bool valid = true;
    const MatrixTable<Matrix> matrices(palette);
    for (std::size_t i = 0; i < in.size(); ++i) {
        const SkinSource& source = in[i];
        SkinVertex& target = out[i];
        int count = clampLinkCount(source.linkCount, valid);
        if (source.linkStart > links.size() || static_cast<std::size_t>(count) > links.size() - source.linkStart) {
            valid = false;
            count = 0;
        }
        const BoneLink* first = links.data() + source.linkStart;
        const auto linkAt = [first](int j) { return Link{first[j].bone, first[j].weight}; };
        Float4 position, normal;
        valid &= skinPoint(source.position, source.normal, count, linkAt, matrices, position, normal);
        storeSkinned(target, position, normal, source);
    }
    return valid;
}

namespace {

// to's position and normal: from's carried by m.
void transformPositionAndNormal(const SkinVertex& from, const Matrix& m, SkinVertex& to)
{
    const Vector3 p = transformPoint({from.position[0], from.position[1], from.position[2]}, m);
    const Vector3 n = vec3TransformNormal({from.normal[0], from.normal[1], from.normal[2]}, m);
    to.position[0] = p.x;
    to.position[1] = p.y;
    to.position[2] = p.z;
    to.normal[0] = n.x;
    to.normal[1] = n.y;
    to.normal[2] = n.z;
}

} // namespace

bool placeAttachedVertices(std::span<const EngineVertex> in, const Matrix& attachMatrix, std::span<SkinVertex> out)
{
    if (out.size() < in.size()) return false;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const SkinVertex& source = in[i].bindVertex;
        SkinVertex& target = out[i];
        transformPositionAndNormal(source, attachMatrix, target);
        target.u = source.u;
        target.v = source.v;
    }
    return true;
}

bool bindVerticesToHand(std::span<EngineVertex> vertices, const Matrix& handMatrix)
{
    Matrix toHand;
    const bool invertible = matrixInverse(handMatrix, toHand);
    for (EngineVertex& v : vertices) {
        const SkinVertex& rest = v.restVertex;
        SkinVertex bound = rest;   // u, v, weights and bone numbers as at rest
        transformPositionAndNormal(rest, toHand, bound);
        v.bindVertex = bound;
    }
    return invertible;
}

VESKAR_SKINNING_CLONES bool skinTriangles(std::span<const SmdTriangle> triangles, std::span<const SmdVertex> bindVertices, std::span<const BoneLink> linkPool,
                   std::span<const SkeletonNode> nodes, std::span<SmdVertex> out)
{
    if (out.size() / 3 < triangles.size() || bindVertices.size() / 3 < triangles.size()) return false;
    bool valid = true;
    const MatrixTable<SkeletonNode> matrices(nodes);
    for (std::size_t t = 0; t < triangles.size(); ++t) {
        const SmdTriangle& triangle = triangles[t];
        for (int c = 0; c < 3; ++c) {
            const SmdVertex& source = bindVertices[3 * t + static_cast<std::size_t>(c)];
            SmdVertex& target = out[3 * t + static_cast<std::size_t>(c)];
            int count = clampLinkCount(triangle.linkCount[c], valid);
            const std::size_t start = triangle.linkStart[c];
            if (start > linkPool.size() || static_cast<std::size_t>(count) > linkPool.size() - start) {
                valid = false;
                count = 0;
            }
            const BoneLink* links = linkPool.data() + (count > 0 ? start : 0);
            const auto linkAt = [links](int j) { return Link{links[j].bone, links[j].weight}; };
            Float4 position, normal;
            valid &= skinPoint(source.position, source.normal, count, linkAt, matrices, position, normal);
            storeSkinned(target, position, normal, source);
        }
    }
    return valid;
}

} // namespace veskar
