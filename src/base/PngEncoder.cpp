#include "base/PngEncoder.h"

#include <stb/stb_image_write.h>

namespace veskar {

namespace {

void append(void* context, void* data, int size)
{
    if (size > 0) static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

} // namespace

bool encodePng(const std::uint8_t* rgba, int width, int height, std::string& out)
{
    out.clear();
    if (!rgba || width <= 0 || height <= 0) return false;
    return stbi_write_png_to_func(append, &out, width, height, 4, rgba, width * 4) != 0 && !out.empty();
}

} // namespace veskar
