#include "base/ImageLimits.h"

namespace veskar {

bool checkImageSize(std::int64_t width, std::int64_t height, std::string& reason)
{
    const std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
    if (width <= 0 || height <= 0) {
        reason = size + ": an empty picture";
        return false;
    }
    if (width > kMaxImageSide || height > kMaxImageSide) {
        reason = size + ": larger than " + std::to_string(kMaxImageSide) + " on a side, more than a graphics card takes";
        return false;
    }
    const std::uint64_t bytes = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * 4;
    if (bytes > kMaxImageBytes) {
        reason = size + ": " + std::to_string((bytes + (1u << 20) - 1) >> 20) + " MiB decoded, more than the " + std::to_string(kMaxImageBytes >> 20) +
                 " MiB a texture may take";
        return false;
    }
    return true;
}

} // namespace veskar
