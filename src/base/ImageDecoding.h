#pragma once
// Texture files to pixels, whatever their format: PNG, JPEG, BMP, TGA and the
// others stb_image reads, and DDS (base/DdsFile.h). The size a file declares
// is weighed before anything is decoded (base/ImageLimits.h).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace veskar {

enum class ImageFileFormat { Png, Jpeg, Dds, Other };

// What the first bytes say; Other for everything stb_image is left to tell.
ImageFileFormat imageFileFormat(std::span<const std::uint8_t> file);

struct DecodedImage {
    int width = 0;
    int height = 0;
    // Channels the file holds: 1 grey, 2 grey and alpha, 3 RGB, 4 RGBA.
    int channels = 0;
    // width * height * 4 bytes, rows top to bottom, kept in the decoder's own
    // allocation: a large picture is held once, not copied.
    std::unique_ptr<std::uint8_t, void (*)(void*)> pixels{nullptr, [](void*) {}};

    std::size_t byteCount() const { return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4; }
    std::span<const std::uint8_t> rgba() const { return {pixels.get(), pixels ? byteCount() : 0}; }
};

// False with a reason for a file that is no image read here, declares a size
// beyond the limits, or does not decode whole (cut short, broken, or more
// than the memory free at the time: that says so too).
bool decodeImage(std::span<const std::uint8_t> file, DecodedImage& out, std::string& reason);

} // namespace veskar
