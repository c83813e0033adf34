#pragma once
// A GltfScene as the bytes of a binary glTF 2.0 file (.glb): the JSON chunk
// and one binary chunk holding every array and image.

#include "gltf/GltfScene.h"

#include <string>

namespace veskar {

// False with a reason when the scene cannot be written (a buffer beyond what
// a .glb can address, or a scene that breaks its own indices).
bool writeGlb(const GltfScene& scene, const std::string& generator, std::string& bytes, std::string& reason);

} // namespace veskar
