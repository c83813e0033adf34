#pragma once
// A character as a glTF 2.0 file holds it, already in glTF's axes and units:
// the skeleton's joints with their bind pose, one primitive per material, the
// images and the animations. Plain arrays, nothing of any glTF library: the
// builder fills it and the writer only serialises it.

#include <cstdint>
#include <string>
#include <vector>

namespace veskar {

// One node of the skeleton; joint i is node i of the reference.
struct GltfJoint {
    std::string name;
    std::int32_t parent = -1;
    float translation[3] = {0, 0, 0};
    float rotation[4] = {0, 0, 0, 1};   // unit quaternion x, y, z, w
};

// Four influences a vertex: JOINTS_0 and WEIGHTS_0.
constexpr int kGltfInfluences = 4;

struct GltfPrimitive {
    std::int32_t material = 0;
    std::vector<float> positions;         // x y z a vertex
    std::vector<float> normals;           // x y z, unit length
    std::vector<float> texcoords;         // u v, v = 0 at the image's top row
    std::vector<std::uint16_t> joints;    // four a vertex
    std::vector<float> weights;           // four a vertex, summing to 1
    std::vector<std::uint32_t> indices;   // three a triangle
    float minimum[3] = {0, 0, 0};         // of positions, exactly
    float maximum[3] = {0, 0, 0};

    std::size_t vertexCount() const { return positions.size() / 3; }
};

struct GltfImage {
    std::string name;
    std::string mimeType;   // image/png or image/jpeg
    std::vector<std::uint8_t> bytes;
};

struct GltfMaterial {
    std::string name;
    std::int32_t image = -1;   // -1: untextured
    bool alphaMask = false;    // the image has pixels the viewer's alpha test drops
};

// The keys of one joint: a translation and a rotation at every key time.
struct GltfChannel {
    std::int32_t joint = 0;
    std::vector<float> translations;   // x y z a key
    std::vector<float> rotations;      // x y z w a key
};

struct GltfAnimation {
    std::string name;
    std::vector<float> times;   // seconds, increasing
    std::vector<GltfChannel> channels;
};

struct GltfScene {
    std::string name;               // of the reference; names the mesh and, when needed, the skeleton's common root
    std::vector<GltfJoint> joints;
    // Parent of the skeleton's roots when there are several (glTF wants one
    // common root for a skin's joints).
    bool commonRoot = false;
    std::vector<float> inverseBindMatrices;   // 16 a joint, column-major
    std::vector<GltfImage> images;
    std::vector<GltfMaterial> materials;
    std::vector<GltfPrimitive> primitives;
    std::vector<GltfAnimation> animations;
};

} // namespace veskar
