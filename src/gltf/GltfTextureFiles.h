#pragma once
// Where the export looks for a reference's textures. A run's outputs are
// weighed against these files before anything is written, as against its
// models: a texture is a source like any other.

#include <string>
#include <vector>

namespace veskar {

// A material's texture as the viewer finds it: in the reference's folder,
// '\' as a separator, names in any case.
std::string gltfTexturePath(const std::string& folder, const std::string& materialName);

// The texture of every named material of a reference (SMD or mRef), each
// once, whether the file is there or not: an output must not take the place
// of a texture the model names. Read from the reference's lines without
// holding it; empty when it cannot be read.
std::vector<std::string> gltfTextureFiles(const std::string& reference);

} // namespace veskar
