#pragma once
// A glTF character to SMD, for editing: its skinned mesh as an SMD reference
// and each animation as an SMD animation beside it (REFERENCE_ANIMATION.smd),
// welded and sampled as the ref and ani commands take them, so the SMD
// converts to the mRef and mAni those commands write from the glTF.

#include "gltf/GltfConvert.h"
#include "import/Diagnostic.h"

#include <string>
#include <vector>

namespace veskar {

// What converting a glTF source to SMD writes and reads besides itself, known
// from its JSON alone.
struct GltfSmdPlan {
    std::vector<std::string> outputs;   // the reference's, then one an animation in the file's order
    std::vector<std::string> sources;   // its .bin and image files
    Diagnostic refusal;
};
// reference: the reference's SMD; empty for the one beside path.
GltfSmdPlan planGltfSmd(const std::string& path, const std::string& reference);

// Writes each output of plan whose refusal (same place) is empty. "wrote"
// lines go to console; refusals and what was changed on the way to errors,
// a line each. True when every output was written.
bool exportGltfSmd(const std::string& path, const GltfConvertOptions& options, const GltfSmdPlan& plan, const std::vector<std::string>& refusals,
                   std::string& console, std::string& errors);

} // namespace veskar
