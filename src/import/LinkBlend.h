#pragma once
// A vertex carried through its weighted bone links: the readers move corners
// into their bones' space with it (matrices: the bones' inverse world
// matrices) and back out (the world matrices).

#include "base/Math.h"

#include <cstdint>

namespace veskar {

struct BlendedVertex {
    Vector3 position{};   // the weighted sum of TransformPoint(p, M[bone]); weights as given
    Vector3 normal{};     // turned by the first link's matrix, not weighted
};

// linkAt(k) gives the k-th link's bone and weight; no links give zeros.
template <typename LinkAt>
BlendedVertex blendThroughLinks(const float position[3], const float normal[3], std::int32_t linkCount, LinkAt linkAt,
                                const Matrix* matrices)
{
    const Vector3 p{position[0], position[1], position[2]};
    BlendedVertex out;
    for (std::int32_t k = 0; k < linkCount; ++k) {
        const auto [bone, weight] = linkAt(k);
        const Matrix& m = matrices[static_cast<std::size_t>(bone)];
        const Vector3 q = transformPoint(p, m);
        out.position = {out.position.x + weight * q.x, out.position.y + weight * q.y, out.position.z + weight * q.z};
        if (k == 0) out.normal = vec3TransformNormal({normal[0], normal[1], normal[2]}, m);
    }
    return out;
}

inline void storeBlended(const BlendedVertex& v, float position[3], float normal[3])
{
    position[0] = v.position.x;
    position[1] = v.position.y;
    position[2] = v.position.z;
    normal[0] = v.normal.x;
    normal[1] = v.normal.y;
    normal[2] = v.normal.z;
}

} // namespace veskar
