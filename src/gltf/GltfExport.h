#pragma once
// A character to one glTF 2.0 file, binary (.glb) or in the text form (.gltf
// with its .bin, gltf/GltfTextForm.h): a reference (SMD or mRef) with its
// skeleton as a skin and every material with its texture, and one glTF
// animation per animation file (SMD or mAni). Files are taken by what they
// hold, not by their names.

#include <string>
#include <vector>

namespace veskar {

struct GltfExportOptions {
    double fps = 30.0;     // key k of an animation plays at k / fps seconds
    float scale = 1.0f;    // lengths are multiplied by it
};

struct GltfExportJob {
    std::string reference;
    std::vector<std::string> animations;
    std::string output;   // empty: beside the reference, its extension replaced by "glb"; NAME.gltf: the text form
    GltfExportOptions options;
};

struct GltfExportOutcome {
    bool written = false;
    std::string outputPath;
    std::string bufferPath;   // the .bin beside a .gltf output; empty for a .glb
    // One entry per refused file: "FILE:LINE: what", then the message it
    // showed, indented. A refused animation is left out of the file; a
    // refused reference leaves no file.
    std::vector<std::string> refusals;
    // What was changed or left out on the way (links beyond four, joints
    // without keys, missing textures), one line each.
    std::vector<std::string> notes;
};

// The default output of a reference: hero.smd -> hero.glb, in the same folder;
// a name without an extension gets ".glb" appended.
std::string defaultGltfOutput(const std::string& reference);

// Reads, builds and writes; the file appears whole or not at all, and never
// in place of one of the job's sources. Progress lines go to the console log.
GltfExportOutcome exportGltf(const GltfExportJob& job);

} // namespace veskar
