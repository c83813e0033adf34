#pragma once
// Texture files made ready to travel inside another file: PNG and JPEG as
// they are, every other format stb_image reads (BMP, TGA, ...) re-encoded as
// PNG, the two image formats every glTF reader takes.

#include <cstdint>
#include <string>
#include <vector>

namespace veskar {

struct EmbeddedImage {
    std::string mimeType;   // "image/png" or "image/jpeg"
    std::vector<std::uint8_t> bytes;
    int width = 0;
    int height = 0;
    bool converted = false;         // re-encoded from another format
    bool hasTransparency = false;   // some pixel's alpha is below half
};

// False with a reason when the file cannot be read or is no image stb_image
// knows. Files above maxBytes are refused unread.
bool loadEmbeddedImage(const std::string& path, EmbeddedImage& out, std::string& reason, std::uint64_t maxBytes = 256u << 20);

} // namespace veskar
