#pragma once
// The block-compressed texture formats of DirectX pipelines: BC1, BC2 and BC3
// (DXT1, DXT3 and DXT5), each 4 x 4 pixels in 8 or 16 bytes, decoded as their
// documentation lays them out. Graphics cards with S3TC draw the blocks as
// they are; everything else takes the pixels.

#include <cstddef>
#include <cstdint>

namespace veskar {

enum class BlockFormat : std::uint8_t { Bc1, Bc2, Bc3 };

constexpr std::size_t bytesPerBlock(BlockFormat format) { return format == BlockFormat::Bc1 ? 8 : 16; }

// Bytes of a picture of that size in whole blocks (edges round up to 4);
// 0 when a side is not positive.
std::uint64_t blockImageBytes(BlockFormat format, int width, int height);

// The width x height pixels of blockImageBytes(format, width, height) bytes of
// blocks, as RGBA rows top to bottom (width * height * 4 bytes). BC1's
// three-colour blocks make their fourth colour transparent black, as Direct3D
// draws them.
void decodeBlocks(BlockFormat format, int width, int height, const std::uint8_t* blocks, std::uint8_t* rgba);

} // namespace veskar
