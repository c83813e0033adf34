// The two rules every welded vertex keeps to: links of weight 0 are dropped,
// and two corners are one vertex only when every number they hold is equal.

#include "mref/EngineVertex.h"

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

} // namespace veskar
