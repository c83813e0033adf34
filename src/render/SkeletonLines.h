#pragma once
// The bones of a model drawn as lines over it: a line from every node to its
// parent in the pose drawn, with crosses at the root and at the hand, so an
// artist sees the skeleton the mesh follows.

#include "render/EngineModel.h"
#include "render/SmdModel.h"
#include "render/LineVertex.h"
#include "base/Math.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace veskar {

class Device;

// Colours that read on the dark teal background and on the models.
constexpr std::uint32_t kBoneColour = 0xFFFFFF00;   // yellow
constexpr std::uint32_t kRootColour = 0xFFFF00FF;   // magenta
constexpr std::uint32_t kHandColour = 0xFFFF8000;   // orange

// Appends the lines of one skeleton: joints at the translation rows of the
// pose matrices (one a node, in the nodes' order) carried by world; a cross
// at the root (rootNodeOf) and at the hand (handNodeOf) a few hundredths of
// the skeleton's size across. Nodes without a pose matrix are left out.
void appendSkeleton(std::span<const SkeletonNode> nodes, std::span<const Matrix> pose, const Matrix& world, std::vector<LineVertex>& out);
// The engine model's first mesh in its current palette; the SMD model's first
// mesh in its nodes' current world matrices.
void appendSkeleton(const EngineModel& model, const Matrix& world, std::vector<LineVertex>& out);
void appendSkeleton(const SmdModel& model, std::vector<LineVertex>& out);

// A joint where the pose drawn has it, with its bone's name (valid while the
// model is).
struct Joint {
    Vector3 position;
    std::string_view name;
};
// The joints of the same skeletons appendSkeleton draws, in node order.
void appendJoints(const EngineModel& model, const Matrix& world, std::vector<Joint>& out);
void appendJoints(const SmdModel& model, std::vector<Joint>& out);

// Draws the lines over everything drawn so far (no depth test), unlit and
// untextured, with the identity as world; depth testing and lighting are
// switched back on afterwards.
void drawLinesOnTop(Device& device, std::span<const LineVertex> lines);

} // namespace veskar
