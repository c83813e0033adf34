#pragma once
// A vertex of the coloured lines drawn without light: the grid, the bones,
// the surface overlays.

#include <cstdint>

namespace veskar {

struct LineVertex {
    float x, y, z;
    std::uint32_t colour;  // ARGB
};
static_assert(sizeof(LineVertex) == 16, "XYZ | DIFFUSE");

} // namespace veskar
