#pragma once
// DirectDraw Surface files (.dds), as DirectX pipelines ship textures: BC1,
// BC2 and BC3 blocks (DXT1, DXT3, DXT5, also under the DX10 header) and
// uncompressed 16-, 24- and 32-bit RGB with or without alpha, as the
// documented header lays them out. Flat textures only: cube maps, volumes and
// arrays are refused. Every count and offset is checked against the file.

#include "base/BlockCompression.h"

#include <cstdint>
#include <span>
#include <string>

namespace veskar {

struct DdsImage {
    int width = 0;
    int height = 0;
    bool compressed = false;
    BlockFormat blockFormat = BlockFormat::Bc1;   // when compressed
    // When not compressed: bits a pixel (16, 24 or 32, little-endian) and the
    // bits of red, green, blue and alpha in it; alpha 0 when it has none.
    int bitsPerPixel = 0;
    std::uint32_t masks[4] = {0, 0, 0, 0};
    // Mip levels the file holds whole, level 0 (width x height) first, each
    // next one half the size; always 1 when not compressed.
    int levels = 1;
    std::span<const std::uint8_t> data;   // the bytes of those levels, in the file
};

// Whether the bytes start as a DDS file does.
bool looksLikeDds(std::span<const std::uint8_t> file);

// Reads the header and finds the levels; false with a reason for a file that
// is no DDS, a format not read here, a size beyond checkImageSize's limits, or
// a first level the file does not hold whole. data points into file.
bool readDds(std::span<const std::uint8_t> file, DdsImage& out, std::string& reason);

// Bytes of one level of that image's format.
std::uint64_t ddsLevelBytes(const DdsImage& image, int width, int height);

// Level 0 as RGBA rows top to bottom: width * height * 4 bytes into rgba.
void decodeDds(const DdsImage& image, std::uint8_t* rgba);

} // namespace veskar
