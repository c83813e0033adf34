#pragma once
// From the system's models to a GltfScene, in glTF's axes and units.
//
// Axes: 3DS MAX exports right-handed with Z up, glTF is right-handed with Y
// up, so a point (x, y, z) becomes (x, z, -y). That is a rotation, so a bone's
// rotation keeps its meaning when its axis is turned the same way, and the
// skinned result is the file's pose turned and scaled as a whole.

#include "mref/EngineVertex.h"
#include "gltf/GltfScene.h"
#include "import/NodeNameMatch.h"
#include "import/Skeleton.h"

#include <cstdint>
#include <span>
#include <string>

namespace veskar {

// (x, y, z) of the exporter's Z-up space as glTF's (x, z, -y), times scale.
void gltfPoint(const float p[3], float scale, float out[3]);

// Every value a finite number, as glTF's readers need every float to be.
bool allFinite(std::span<const float> values);

// The rotation of a skeleton line, RotationX(rx) x RotationY(ry) x
// RotationZ(rz) acting on row vectors as the viewer's matrices do, as a unit
// quaternion (x, y, z, w) in glTF's axes.
void gltfRotation(float rx, float ry, float rz, double out[4]);

// One vertex's links as glTF takes them: the same bone given twice counts
// once with both weights, links whose weight is negative or not a number are
// left out, the four heaviest stay, and their weights are scaled to sum to 1.
// A vertex left without any weight goes wholly to its parent bone.
struct GltfInfluences {
    std::uint16_t joints[kGltfInfluences] = {0, 0, 0, 0};
    float weights[kGltfInfluences] = {0, 0, 0, 0};
    bool lostLinks = false;      // it had more than four bones
    bool renormalised = false;   // its weights did not sum to 1
    bool givenParent = false;    // no usable weight: parent bone, weight 1
    std::int32_t droppedLinks = 0;
};
GltfInfluences gltfInfluences(const EngineVertex& vertex);

// Joints in node order, the bind pose as their transforms, and the inverse
// bind matrices composed from exactly those transforms. False with a reason
// when a skeleton line holds a number that is not finite.
bool buildGltfSkeleton(std::span<const SkeletonNode> nodes, float scale, GltfScene& scene, std::string& reason);

// The welded reference as the builder takes it, from an SMD reference or an mRef.
struct GltfMeshSource {
    std::span<const EngineVertex> vertices;   // restVertex: the file's position, normal, u and 1 - v; the file's links
    std::span<const TriangleIndices> triangles;
    std::span<const std::int32_t> triangleMaterials;   // per triangle, into the scene's materials; empty: all 0
};

// What the mesh lost or had mended on its way, counted over welded vertices.
struct GltfMeshReport {
    std::int32_t verticesLostLinks = 0;
    std::int32_t verticesRenormalised = 0;
    std::int32_t verticesGivenParent = 0;
    std::int32_t droppedLinks = 0;
    std::int32_t normalsReplaced = 0;   // zero-length normals given their triangle's
};

// One primitive per material that has triangles, in material order; each has
// its own vertices, numbered in order of first use. The scene's materials
// must be there already. False with a reason when a position, normal or
// texture coordinate is not a finite number.
bool buildGltfPrimitives(const GltfMeshSource& source, float scale, GltfScene& scene, GltfMeshReport& report, std::string& reason);

// One animation: key k at k / fps for every joint that an animation node of
// the same name drives. False (nothing added) when no node drives a joint or
// a key is not finite; match tells who drove whom either way.
bool buildGltfAnimation(std::span<const SkeletonNode> joints, const std::string& name, const SkeletonAnimation& animation, double fps, float scale,
                        GltfScene& scene, NodeNameMatch& match, std::string& reason);

} // namespace veskar
