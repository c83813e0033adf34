#include "gltf/GltfTextures.h"

#include "gltf/GltfTextureFiles.h"

#include "base/EmbeddedImage.h"
#include "base/Utf8Path.h"

#include <algorithm>
#include <map>

namespace veskar {

namespace {

// Texture names come from Windows: '\' separates folders.
std::string portableName(const std::string& name)
{
    std::string portable = name;
    std::replace(portable.begin(), portable.end(), '\\', '/');
    return portable;
}

std::string fileNameOf(const std::string& portable)
{
    const auto slash = portable.find_last_of('/');
    return slash == std::string::npos ? portable : portable.substr(slash + 1);
}

} // namespace

bool textureOutsideModelFolder(const std::string& name)
{
    const std::filesystem::path normal = pathFromUtf8(portableName(name)).lexically_normal();
    return !normal.empty() && *normal.begin() == "..";
}

void attachGltfTextures(const std::string& reference, const std::string& folder, std::span<const std::string> materialNames, GltfScene& scene,
                        std::vector<std::string>& notes)
{
    // Each file once, however many materials name it; -1: it could not be used.
    struct Known {
        std::int32_t image;
        bool alphaMask;
    };
    std::map<std::string, Known> known;
    for (const std::string& name : materialNames) {
        GltfMaterial material;
        material.name = name;
        if (name.empty()) {
            notes.push_back(reference + ": a material without a name is left untextured");
            scene.materials.push_back(std::move(material));
            continue;
        }
        const std::string path = gltfTexturePath(folder, name);
        auto found = known.find(path);
        if (found == known.end()) {
            Known image{-1, false};
            EmbeddedImage embedded;
            std::string reason;
            if (loadEmbeddedImage(path, embedded, reason)) {
                image = {static_cast<std::int32_t>(scene.images.size()), embedded.hasTransparency};
                scene.images.push_back({fileNameOf(portableName(name)), embedded.mimeType, std::move(embedded.bytes)});
                if (textureOutsideModelFolder(name))
                    notes.push_back(reference + ": texture " + portableName(name) + " is outside the model's folder");
            } else {
                notes.push_back(reference + ": texture \"" + name + "\" (" + path + "): " + reason + "; its material is left untextured");
            }
            found = known.emplace(path, image).first;
        }
        material.image = found->second.image;
        material.alphaMask = found->second.alphaMask;
        scene.materials.push_back(std::move(material));
    }
}

} // namespace veskar
