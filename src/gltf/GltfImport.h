#pragma once
// A glTF 2.0 file (.glb, or .gltf with its .bin and image files) read into the
// records the SMD readers fill, so that welding, the mRef and mAni writers and
// the viewer take it as they take an SMD reference and its animations.
//
// What the export does is undone: glTF's (x, y, z) is the exporter's
// (x, -z, y), lengths are divided by the scale the export multiplied them by,
// and a joint's rotation comes back as the three angles of a skeleton line.
// The skin's joints become the nodes, in the skin's order; JOINTS_n and
// WEIGHTS_n become each corner's links. A mesh without a skin follows its
// node rigidly. A refusal names the file and the JSON place of what is wrong
// ("/meshes/0/primitives/1/attributes/JOINTS_0: index 70 beyond 64 joints").

#include "import/AnimationKeys.h"
#include "import/Diagnostic.h"
#include "import/SmdRecords.h"

#include <cstdint>
#include <string>
#include <vector>

namespace veskar {

struct GltfReadOptions {
    float scale = 1.0f;   // lengths are divided by it, as the export multiplies them
    double fps = 30.0;    // animations are sampled at this many keys a second
    bool readAnimations = true;
};

// One glTF animation sampled into keys on the model's nodes, in their order
// (the keys' names and parents are the model's).
struct GltfAnimationRead {
    std::string name;     // the animation's own name; empty when it has none
    std::int32_t index = 0;   // its place in the file's animations
    AnimationKeys keys;
};

// What the file holds, for the info command.
struct GltfSummary {
    bool binary = false;
    std::int32_t nodes = 0;
    std::int32_t skins = 0;
    std::int32_t meshes = 0;
    std::int32_t primitives = 0;
    std::int32_t images = 0;
    std::int32_t animations = 0;
};

struct GltfRead {
    bool ok = false;
    // Why the file was refused: the file, and in what the JSON place first.
    Diagnostic diagnostic;
    std::vector<GltfAnimationRead> animations;
    // Every file read besides the one named: .bin files and images.
    std::vector<std::string> sources;
    // What was left out or changed on the way, one line each, the file first.
    std::vector<std::string> notes;
    GltfSummary summary;
};

// Reads path into the next mesh slot of records as a reference's read fills
// it: the nodes posed (world matrices turned by the axis change), the
// triangles with their links in the link pool, the material names, the
// counts; with records.buildPoseMatrices the bind vertices too. Animations
// come as keys (see gltfAnimationToSlot for the viewer's frame tables).
GltfRead readGltf(const std::string& path, const GltfReadOptions& options, SmdModelRecords& records);

// Keys into the records' next animation slot as an SMD animation's read puts
// them there: local and world matrices, turned by the axis change. False when
// the slots are full or there is no memory; the diagnostic then says so.
bool gltfAnimationToSlot(const GltfAnimationRead& animation, const std::string& file, SmdModelRecords& records);

// Whether a file holds glTF, by its first bytes: "glTF" (binary) or a JSON
// object. SMD and the engine formats start with a word.
bool isGltfFile(const std::string& path);

} // namespace veskar
