#pragma once
// Texture files made ready to travel inside another file: PNG and JPEG as
// they are, every other format read here (BMP, TGA, DDS, ...) re-encoded as
// PNG, the two image formats every glTF reader takes. Each is decoded first
// (base/ImageDecoding.h), so a broken file or one declaring too large a
// picture never travels.

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

// False with a reason when the file cannot be read, is no image read here,
// declares a size beyond base/ImageLimits.h's or does not decode. Files above
// maxBytes are refused unread.
bool loadEmbeddedImage(const std::string& path, EmbeddedImage& out, std::string& reason, std::uint64_t maxBytes = 256u << 20);

} // namespace veskar
