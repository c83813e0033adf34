#include "render/SkinningJobs.h"

#include <algorithm>
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

// The weighted sum for one vertex. Scaling a matrix by w and transforming by
// it equals w times the transformed point (every term, the translation row
// included, carries w once), so the point is transformed by the bone and
// then weighted: no per-link matrix copy, the same value within rounding.
// The fourth lane is the matrices' fourth column, computed and dropped.
// The first link alone gives the normal. Links naming no matrix are left out.
template <typename LinkAt, typename MatrixOf>
inline bool skinPoint(const float* p, const float* n, int count, LinkAt linkAt, MatrixOf matrixOf, std::uint32_t matrixCount,
                      float* outPosition, float* outNormal)
{
    bool valid = true;
    Float4 position = splat(0.0f);
    Float4 normal = splat(0.0f);
    if (count > 0) {
        const Float4 px = splat(p[0]), py = splat(p[1]), pz = splat(p[2]);
        const auto first = linkAt(0);
        if (static_cast<std::uint32_t>(first.bone) < matrixCount) {
            const Matrix& m = matrixOf(first.bone);
            const Float4 r0 = loadRow(m, 0), r1 = loadRow(m, 1), r2 = loadRow(m, 2), r3 = loadRow(m, 3);
            const Float4 w = splat(first.weight);
            position = w * (px * r0 + py * r1 + pz * r2 + r3);
            normal = w * (splat(n[0]) * r0 + splat(n[1]) * r1 + splat(n[2]) * r2);
        } else {
            valid = false;
        }
        for (int j = 1; j < count; ++j) {
            const auto link = linkAt(j);
            if (static_cast<std::uint32_t>(link.bone) >= matrixCount) {
                valid = false;
                continue;
            }
            const Matrix& m = matrixOf(link.bone);
            position += splat(link.weight) * (px * loadRow(m, 0) + py * loadRow(m, 1) + pz * loadRow(m, 2) + loadRow(m, 3));
        }
    }
    outPosition[0] = position[0];
    outPosition[1] = position[1];
    outPosition[2] = position[2];
    outNormal[0] = normal[0];
    outNormal[1] = normal[1];
    outNormal[2] = normal[2];
    return valid;
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

bool skinVertices(std::span<const EngineVertex> in, std::span<const Matrix> palette, std::span<SkinVertex> out)
{
    if (out.size() < in.size()) return false;
    bool valid = true;
    const Matrix* matrices = palette.data();
    const auto matrixCount = static_cast<std::uint32_t>(std::min<std::size_t>(palette.size(), UINT32_MAX));
    const auto matrixOf = [matrices](std::int32_t bone) -> const Matrix& { return matrices[bone]; };
    for (std::size_t i = 0; i < in.size(); ++i) {
        const EngineVertex& v = in[i];
        const SkinVertex& source = v.bindVertex;
        SkinVertex& target = out[i];
        const int count = clampLinkCount(v.linkCount, valid);
        const BoneLinks& links = v.links;
        const auto linkAt = [&links](int j) { return Link{links.bone[j], links.weight[j]}; };
        valid &= skinPoint(source.position, source.normal, count, linkAt, matrixOf, matrixCount, target.position, target.normal);
        target.u = source.u;
        target.v = source.v;
    }
    return valid;
}

bool skinStream(std::span<const SkinSource> in, std::span<const BoneLink> links, std::span<const Matrix> palette, std::span<SkinVertex> out)
{
    if (out.size() < in.size()) return false;
    bool valid = true;
    const Matrix* matrices = palette.data();
    const auto matrixCount = static_cast<std::uint32_t>(std::min<std::size_t>(palette.size(), UINT32_MAX));
    const auto matrixOf = [matrices](std::int32_t bone) -> const Matrix& { return matrices[bone]; };
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
        valid &= skinPoint(source.position, source.normal, count, linkAt, matrixOf, matrixCount, target.position, target.normal);
        target.u = source.u;
        target.v = source.v;
    }
    return valid;
}

bool placeAttachedVertices(std::span<const EngineVertex> in, const Matrix& attachMatrix, std::span<SkinVertex> out)
{
    if (out.size() < in.size()) return false;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const SkinVertex& source = in[i].bindVertex;
        SkinVertex& target = out[i];
        const Vector3 p = transformPoint({source.position[0], source.position[1], source.position[2]}, attachMatrix);
        const Vector3 n = vec3TransformNormal({source.normal[0], source.normal[1], source.normal[2]}, attachMatrix);
        target.position[0] = p.x;
        target.position[1] = p.y;
        target.position[2] = p.z;
        target.normal[0] = n.x;
        target.normal[1] = n.y;
        target.normal[2] = n.z;
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
        const Vector3 p = transformPoint({rest.position[0], rest.position[1], rest.position[2]}, toHand);
        const Vector3 n = vec3TransformNormal({rest.normal[0], rest.normal[1], rest.normal[2]}, toHand);
        bound.position[0] = p.x;
        bound.position[1] = p.y;
        bound.position[2] = p.z;
        bound.normal[0] = n.x;
        bound.normal[1] = n.y;
        bound.normal[2] = n.z;
        v.bindVertex = bound;
    }
    return invertible;
}

bool skinTriangles(std::span<const SmdTriangle> triangles, std::span<const SmdVertex> bindVertices, std::span<const BoneLink> linkPool,
                   std::span<const SkeletonNode> nodes, std::span<SmdVertex> out)
{
    if (out.size() / 3 < triangles.size() || bindVertices.size() / 3 < triangles.size()) return false;
    bool valid = true;
    const SkeletonNode* table = nodes.data();
    const auto matrixCount = static_cast<std::uint32_t>(std::min<std::size_t>(nodes.size(), UINT32_MAX));
    const auto matrixOf = [table](std::int32_t bone) -> const Matrix& { return table[bone].worldMatrix; };
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
            valid &= skinPoint(source.position, source.normal, count, linkAt, matrixOf, matrixCount, target.position, target.normal);
            target.u = source.u;
            target.v = source.v;
        }
    }
    return valid;
}

} // namespace veskar
