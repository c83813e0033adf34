#pragma once
// What is drawn over a model's surface as its last draw left it: short lines
// along the normals, the edges of its triangles (wireframe over solid), and
// the surface coloured by the weights of one bone, from blue (0) to red (1).
// Built on the CPU from the vertices the draw skinned, in world space, and
// drawn with the device's own program; nothing is kept between frames.

#include "render/EngineModel.h"
#include "render/SmdModel.h"
#include "render/SkeletonLines.h"
#include "base/Math.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace veskar {

class Device;
class Texture;

// One mesh as drawn: vertices that start with a position and a normal (six
// floats), stride bytes apart, and their triangles.
struct DrawnSurface {
    std::span<const std::uint8_t> bytes;
    std::size_t stride = 0;
    std::size_t vertexCount = 0;
    // Empty: every three vertices in order are a triangle (the SMD model's).
    std::span<const TriangleIndices> triangles;
    Matrix world;
};

// One surface for each of a model's meshes, in mesh order (one without a
// buffer has no vertices). An engine model's come from the buffer it was
// last drawn from: the skinned (or placed) copy when skinned, the rest copy
// otherwise. An SMD model's are skinned corner by corner into world space.
void appendSurfaces(const EngineModel& model, bool skinned, const Matrix& world, std::vector<DrawnSurface>& out);
void appendSurfaces(const SmdModel& model, std::vector<DrawnSurface>& out);

// The weight of bone on each vertex of a mesh (an SMD mesh: each corner), in
// the order appendSurfaces gives them; 0 where the bone has no link. Links
// that lie outside the mesh's tables are left out, as skinning leaves them.
void boneWeights(const EngineMesh& mesh, std::int32_t bone, std::vector<float>& out);
void boneWeights(const SmdMesh& mesh, std::int32_t bone, std::vector<float>& out);
// The node of that name (any case) in a node table, or -1.
std::int32_t nodeNamed(std::span<const SkeletonNode> nodes, std::string_view name);

// The heat ramp: blue, cyan, green, yellow, red as the weight goes from 0 to
// 1 (clamped; NaN counts as 0), opaque.
std::uint32_t heatColour(float weight);
// The ramp as a texture of kHeatRampTexels across, one row, so that a weight
// blends across a triangle through every colour between its corners' (as
// vertex colours, blue and red would meet in purple).
constexpr int kHeatRampTexels = 256;
Texture* makeHeatRamp(Device& device);

// A corner of the weights' triangles: position, the shading as a grey, and
// the weight as where on the ramp it reads.
struct HeatVertex {
    float x, y, z;
    std::uint32_t shade;   // ARGB
    float u, v;
};
static_assert(sizeof(HeatVertex) == 24, "XYZ | DIFFUSE | TEX1");

// A line of the given length from every vertex along its normal.
void appendNormalLines(const DrawnSurface& surface, float length, std::uint32_t colour, std::vector<LineVertex>& out);
// Every triangle's three edges (shared edges twice).
void appendEdgeLines(const DrawnSurface& surface, std::uint32_t colour, std::vector<LineVertex>& out);
// Every triangle with its corners at their weights on the ramp (one weight a
// vertex), shaded by how squarely the surface faces towardEye (a unit
// vector).
void appendHeatTriangles(const DrawnSurface& surface, std::span<const float> weights, const Vector3& towardEye, std::vector<HeatVertex>& out);

// Draws lines or triangles of coloured vertices in world space, unlit and
// untextured, hidden where the models are in front of them. nearer pulls
// them a hair towards the eye, so lines on a surface are not lost in it.
void drawColouredLines(Device& device, std::span<const LineVertex> lines, bool nearer);
void drawHeatTriangles(Device& device, std::span<const HeatVertex> corners, Texture* ramp);

} // namespace veskar
