#include "base/ImageDecoding.h"

#include "base/DdsFile.h"
#include "base/ImageLimits.h"

#include <stb/stb_image.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace veskar {

namespace {

bool startsWith(std::span<const std::uint8_t> bytes, std::initializer_list<std::uint8_t> magic)
{
    return bytes.size() >= magic.size() && std::equal(magic.begin(), magic.end(), bytes.begin());
}

std::string noMemory(int width, int height)
{
    return "not enough memory to decode its " + std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

bool decodeDdsFile(std::span<const std::uint8_t> file, DecodedImage& out, std::string& reason)
{
    DdsImage dds;
    if (!readDds(file, dds, reason)) return false;
    out.width = dds.width;
    out.height = dds.height;
    out.pixels = {static_cast<std::uint8_t*>(std::malloc(out.byteCount())), [](void* p) { std::free(p); }};
    if (!out.pixels) {
        reason = noMemory(out.width, out.height);
        return false;
    }
    decodeDds(dds, out.pixels.get());
    const bool alpha = dds.compressed ? dds.blockFormat != BlockFormat::Bc1 : dds.masks[3] != 0;
    out.channels = alpha ? 4 : 3;
    // BC1 marks transparent texels block by block; the picture has alpha when one does.
    const auto rgba = out.rgba();
    for (std::size_t i = 3; !alpha && dds.compressed && i < rgba.size() && out.channels == 3; i += 4)
        if (rgba[i] != 255) out.channels = 4;
    return true;
}

std::string stbReason(const char* what)
{
    const char* why = stbi_failure_reason();
    return std::string(what) + (why && *why ? std::string(": ") + why : std::string());
}

bool decodeStbFile(std::span<const std::uint8_t> file, DecodedImage& out, std::string& reason)
{
    if (file.size() > static_cast<std::size_t>(INT_MAX)) {
        reason = "too large a file to decode";
        return false;
    }
    const auto* bytes = file.data();
    const int size = static_cast<int>(file.size());
    int width = 0, height = 0, channels = 0;
    // The header alone first: what the pixels would take is known before any is decoded.
    if (!stbi_info_from_memory(bytes, size, &width, &height, &channels)) {
        reason = stbReason("not an image that can be read");
        return false;
    }
    if (!checkImageSize(width, height, reason)) return false;
    out.pixels = {stbi_load_from_memory(bytes, size, &width, &height, &channels, 4), [](void* p) { stbi_image_free(p); }};
    if (!out.pixels) {
        const char* why = stbi_failure_reason();
        reason = why && std::string_view(why) == "Out of memory" ? noMemory(width, height) : stbReason("the image does not decode");
        return false;
    }
    out.width = width;
    out.height = height;
    out.channels = channels;
    return true;
}

} // namespace

ImageFileFormat imageFileFormat(std::span<const std::uint8_t> file)
{
    if (startsWith(file, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) return ImageFileFormat::Png;
    if (startsWith(file, {0xFF, 0xD8, 0xFF})) return ImageFileFormat::Jpeg;
    if (looksLikeDds(file)) return ImageFileFormat::Dds;
    return ImageFileFormat::Other;
}

bool decodeImage(std::span<const std::uint8_t> file, DecodedImage& out, std::string& reason)
{
    out = DecodedImage{};
    const bool decoded = imageFileFormat(file) == ImageFileFormat::Dds ? decodeDdsFile(file, out, reason) : decodeStbFile(file, out, reason);
    if (!decoded) out = DecodedImage{};
    return decoded;
}

} // namespace veskar
