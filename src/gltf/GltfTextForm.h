#pragma once
// glTF's text form: the JSON in NAME.gltf and the one buffer in NAME.bin
// beside it, which the JSON names by its file name. Made from the binary
// form's bytes, so both forms hold the same scene: the JSON differs only in
// the buffer's uri, and the images stay in the buffer through buffer views.

#include <string>

namespace veskar {

// Whether an output name asks for the text form: it ends in ".gltf", in any case.
bool isGltfTextOutput(const std::string& output);

// The buffer's file beside a .gltf output: NAME.gltf -> NAME.bin.
std::string gltfBufferPath(const std::string& output);

// The .glb's two chunks as the text form's two files, the JSON indented and
// its buffer naming bufferFileName. False with a reason for bytes that are
// no .glb as writeGlb makes them.
bool splitGlb(const std::string& glb, const std::string& bufferFileName, std::string& json, std::string& buffer, std::string& reason);

// Writes what the output asks for: the .glb as it is, or the .gltf with its
// .bin, each whole or not at all. The .bin is put in place first, so a .gltf
// never names a buffer that is not there; when either cannot be created
// neither is written.
bool writeGltfOutput(const std::string& output, const std::string& glb, std::string& reason);

} // namespace veskar
