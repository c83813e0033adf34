#include "mref/EngineVertex.h"

#include <algorithm>

namespace veskar {

void buildSkinStream(std::span<const EngineVertex> vertices, std::vector<SkinSource>& sources, std::vector<BoneLink>& links)
{
    sources.clear();
    links.clear();
    sources.reserve(vertices.size());
    for (const EngineVertex& v : vertices) {
        SkinSource s;
        std::copy(v.bindVertex.position, v.bindVertex.position + 3, s.position);
        std::copy(v.bindVertex.normal, v.bindVertex.normal + 3, s.normal);
        s.u = v.bindVertex.u;
        s.v = v.bindVertex.v;
        s.linkStart = static_cast<std::uint32_t>(links.size());
        s.linkCount = std::clamp(v.linkCount, 0, kMaxLinks);
        for (int k = 0; k < s.linkCount; ++k) links.push_back({v.links.bone[k], v.links.weight[k]});
        sources.push_back(s);
    }
}

} // namespace veskar
