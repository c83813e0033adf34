#pragma once
// The textures of a character's materials, made ready to embed in its glTF
// file: found as the viewer finds them, decoded, and embedded as PNG or JPEG.

#include "gltf/GltfScene.h"

#include <span>
#include <string>
#include <vector>

namespace veskar {

// One material a name, with its image where the texture the name names is
// found and decodes; otherwise the material is left untextured with a note.
// folder: the reference's folder, which names are relative to. A texture from
// outside that folder is embedded and noted once; images are named by their
// file name alone.
void attachGltfTextures(const std::string& reference, const std::string& folder, std::span<const std::string> materialNames, GltfScene& scene,
                        std::vector<std::string>& notes);

// Whether a texture name leads out of the model's folder ("..\shared\skin.png").
bool textureOutsideModelFolder(const std::string& name);

} // namespace veskar
