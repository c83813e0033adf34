#pragma once
// The steps of reading a glTF file into the SMD records (see GltfImport.h):
// the node hierarchy, the nodes that become the skeleton, the meshes and the
// animations. Each refuses with a JSON place (GltfSchemaFault).

#include "gltf/GltfImport.h"
#include "gltf/GltfSchema.h"
#include "gltf/GltfTransform.h"
#include "gltf/TinyGltf.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace veskar {

// Most triangles and most animation keys (frames times nodes) a file may
// give: far beyond a real character, and they bound the memory a small
// file can ask for.
// Keys are counted on every node of the file, since each is posed for each key.
constexpr std::size_t kGltfMostTriangles = 1u << 22;
constexpr std::size_t kGltfMostVertices = 1u << 24;
constexpr std::size_t kGltfMostPrimitives = 1u << 16;
constexpr std::size_t kGltfMostKeys = 1u << 22;
constexpr std::size_t kGltfMostKeyValues = 1u << 24;

struct GltfHierarchy {
    std::vector<std::int32_t> parent;   // -1 for a root
    std::vector<Trs> rest;              // each node's own transform
    std::vector<std::int32_t> order;    // parents before their children
    std::vector<bool> inScene;          // under the scene that is read
};

// Parents from the children lists (one parent each, no loops), the rest
// transforms (finite, with a rotation), and the scene: the file's default,
// else its first, else every node.
GltfSchemaFault readHierarchy(const tinygltf::Model& model, GltfHierarchy& hierarchy);

// Every node's world transform from the given own transforms.
std::vector<Transform> worldTransforms(const GltfHierarchy& hierarchy, std::span<const Trs> locals);

// The nodes that become the skeleton: the joints of the skins the scene's
// meshes use, in the skins' order, then every mesh node without a skin that
// has no joint above it, parents first; a file without a skin keeps every
// node of the scene, parents first.
struct GltfSkeleton {
    std::vector<std::int32_t> node;      // the glTF node of each skeleton node
    std::vector<std::int32_t> parent;    // the nearest skeleton node above it
    std::vector<std::int32_t> boneOf;    // the skeleton node of each glTF node, or -1
    std::vector<std::int32_t> above;     // the skeleton node at or nearest above each glTF node, or -1
    std::vector<std::string> names;
};
GltfSchemaFault chooseSkeleton(const tinygltf::Model& model, const GltfHierarchy& hierarchy, GltfSkeleton& skeleton);

// Six numbers a skeleton node (a skeleton line) for the given own transforms
// and the world transforms made of them. A node whose parent is its skeleton
// parent takes its own translation and rotation as they are; any other the
// part of its world transform that its skeleton parent's does not hold.
// Scale is not kept: a skeleton line has none.
void poseSkeleton(const GltfHierarchy& hierarchy, const GltfSkeleton& skeleton, std::span<const Trs> locals, std::span<const Transform> world,
                  double scale, float* out);

// A name as the engine formats can hold it: a node line quotes it and a
// texture line ends at the line's end, so quotes and control characters
// become '_'.
std::string recordName(const std::string& name);

// The texture file a material names: its base colour image's file, else the
// image's name, else the material's name; "" for none.
std::string materialTextureName(const tinygltf::Model& model, int material);

// What was left out on the way, counted for one line each.
struct GltfLeftOut {
    std::int32_t morphTargets = 0;
    std::int32_t pointsOrLines = 0;
    std::int32_t withoutPosition = 0;
    std::int32_t scaleChannels = 0;
    std::int32_t weightChannels = 0;
    std::int32_t otherChannels = 0;
};

// The scene's meshes into the mesh's triangles and link pool, the vertices
// in the exporter's axes; materialNames gets each material's texture name
// once, in order of first use.
GltfSchemaFault readGltfMeshes(const tinygltf::Model& model, const GltfHierarchy& hierarchy, const GltfSkeleton& skeleton, double scale, SmdMesh& mesh,
                               std::vector<std::string>& materialNames, GltfLeftOut& leftOut);

// What the animations of one file may still take: many small ones must not
// add up to more than one large one may.
struct GltfKeyBudget {
    std::size_t keys = kGltfMostKeys;             // sampled, counted on every node of the file
    std::size_t keyValues = kGltfMostKeyValues;   // read from the file's channels
};

// One animation sampled at fps keys a second into keys on the skeleton.
GltfSchemaFault sampleGltfAnimation(const tinygltf::Model& model, int index, const GltfHierarchy& hierarchy, const GltfSkeleton& skeleton,
                                    const GltfReadOptions& options, GltfKeyBudget& budget, GltfAnimationRead& out, GltfLeftOut& leftOut);

} // namespace veskar
