#pragma once
// The convert commands on a glTF source: ref writes one mRef of its meshes
// and skeleton beside it, ani one mAni of each of its animations
// (NAME_ANIMATION.mAni beside it), info says what it holds. Outputs go
// through the atomic writer; the collision check is the caller's, made
// beforehand from the plan.

#include "gltf/GltfImport.h"
#include "import/Diagnostic.h"

#include <string>
#include <vector>

namespace veskar {

class FormatConverter;

struct GltfConvertOptions {
    float scale = 1.0f;   // lengths are divided by it
    double fps = 30.0;    // keys a second of an animation
};

// Reads a glTF source into fresh SMD records of the converter's own (without
// the pose matrices only drawing needs), its animations when asked.
GltfRead readGltfForConverter(const std::string& path, const GltfConvertOptions& options, bool animations, FormatConverter& converter);

// What converting a glTF source writes and what it reads besides itself,
// known from its JSON alone, so that every output can be weighed against
// every source before anything is written.
struct GltfPlan {
    std::vector<std::string> outputs;   // ref: the mRef; ani: one mAni an animation, in the file's order
    std::vector<std::string> sources;   // its .bin and image files
    Diagnostic refusal;                 // why it cannot be converted, found already
};
GltfPlan planGltfConversion(const std::string& path, bool animations);

// Converts a glTF source as command ("ref" or "ani") says, writing each
// output of plan whose collision (same place in collisions) is empty.
// Progress lines, "wrote" lines included, go to the console log; refusals,
// warnings and what was left out go to errors, a line each. True when every
// output was written.
bool convertGltf(const std::string& command, const std::string& path, const GltfConvertOptions& options, const GltfPlan& plan,
                 const std::vector<std::string>& collisions, std::string& errors);

// What info prints for a glTF file; false with errors holding the refusal.
bool describeGltf(const std::string& path, const GltfConvertOptions& options, std::string& text, std::string& errors);

} // namespace veskar
