#pragma once
// The coordinate axes and the ground grid drawn first in every frame.

#include "render/LineVertex.h"

namespace veskar {

class Device;

class AxisGrid {
public:
    static constexpr int kVertexCount = 172;
    static constexpr int kLineCount = 86;

    ~AxisGrid() { releaseVertices(); }
    // 0, or negative when the vertex array cannot be had.
    int build(Device* device);
    void draw();
    void releaseVertices();

    Device* device = nullptr;
    LineVertex* vertices = nullptr;
};

// The sampler and render states the grid and the root markers draw with.
void setUnlitUntexturedStates(Device& device);

} // namespace veskar
