#pragma once
// What a texture may declare before it is decoded. A small file can declare a
// picture of gigabytes (a decompression bomb); the size a file declares is
// weighed first, so whether a texture is taken never depends on the memory
// the machine has at the time.

#include <cstdint>
#include <string>

namespace veskar {

// The largest side graphics cards take.
constexpr std::int64_t kMaxImageSide = 16384;
// Decoded pixels, four bytes each, a texture may take.
constexpr std::uint64_t kMaxImageBytes = std::uint64_t{256} << 20;

// False with a reason when a picture of that size is empty, wider or taller
// than kMaxImageSide, or takes more than kMaxImageBytes decoded.
bool checkImageSize(std::int64_t width, std::int64_t height, std::string& reason);

} // namespace veskar
