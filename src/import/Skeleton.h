#pragma once
// Bones and per-frame bone tables, shared by both model kinds.

#include "base/Math.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace veskar {

struct SkeletonNode {
    std::int32_t parent = -1;
    std::string name;
    Matrix localMatrix;   // RotationX(rx) x RotationY(ry) x RotationZ(rz) x Translation(x, y, z)
    Matrix worldMatrix;   // localMatrix x parent's worldMatrix, then x axisMatrix
    float position[3] = {0, 0, 0};
    float rotation[3] = {0, 0, 0};

    void setPose(float x, float y, float z, float rx, float ry, float rz)
    {
        position[0] = x;
        position[1] = y;
        position[2] = z;
        rotation[0] = rx;
        rotation[1] = ry;
        rotation[2] = rz;
        localMatrix = boneLocalMatrix(x, y, z, rx, ry, rz);
    }
};

// RotationX(-pi/2) x RotationY(pi): (x, y, z) -> (-x, z, y), from the Z-up
// space of the exporter into the viewer's Y-up space.
Matrix makeAxisMatrix();

// World matrices parents first, whatever order the lines came in: a child
// listed before its parent still gets its parent's matrix. False when a parent chain loops or names a node outside the table;
// badNode then holds a node on the bad chain.
bool composeWorldMatrices(std::span<SkeletonNode> nodes, std::int32_t& badNode);

void applyAxis(std::span<SkeletonNode> nodes, const Matrix& axis);

// One animation: a full node table per frame.
class SkeletonAnimation {
public:
    // 0 frames or 0 nodes: false, nothing changed. Otherwise the old tables go
    // and count constructed nodes per frame are made.
    bool allocate(std::int32_t frameCount, std::int32_t nodeCount);
    void release();
    bool hasFrames() const { return !frames_.empty(); }
    // The tables hold frameCount x nodeCount nodes (none after release()).
    bool tablesMatchCounts() const
    {
        return frameCount >= 0 && nodeCount >= 0 && frames_.size() == static_cast<std::size_t>(frameCount) * static_cast<std::size_t>(nodeCount);
    }
    std::span<SkeletonNode> frame(std::int32_t f)
    {
        return {frames_.data() + static_cast<std::size_t>(f) * static_cast<std::size_t>(nodeCount), static_cast<std::size_t>(nodeCount)};
    }
    std::span<const SkeletonNode> frame(std::int32_t f) const
    {
        return {frames_.data() + static_cast<std::size_t>(f) * static_cast<std::size_t>(nodeCount), static_cast<std::size_t>(nodeCount)};
    }
    void applyAxis(const Matrix& axis);

    std::int32_t frameCount = 0;
    std::int32_t nodeCount = 0;
    float blend = 0.0f;
    std::int32_t currentFrame = 0;
    std::int32_t nextFrame = 0;

private:
    std::vector<SkeletonNode> frames_;  // frameCount tables of nodeCount nodes
};

} // namespace veskar
