#pragma once
// Pictures as PNG bytes in memory, for a caller that writes them to a file
// its own way (atomically).

#include <cstdint>
#include <string>

namespace veskar {

// rgba: width * height * 4 bytes, rows top to bottom. False when the picture
// is empty or cannot be encoded.
bool encodePng(const std::uint8_t* rgba, int width, int height, std::string& out);

} // namespace veskar
