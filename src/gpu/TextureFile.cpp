#include "gpu/TextureFile.h"

#include "gpu/Device.h"
#include "system/InputFile.h"
#include "base/Utf8Path.h"
#include "system/TexturePath.h"

#include <stb/stb_image.h>

#include <filesystem>
#include <limits>
#include <system_error>

namespace veskar {

namespace fs = std::filesystem;

Result createTextureFromFile(Device* device, const char* path, Texture** out)
{
    if (!out) return kInvalidCall;
    *out = nullptr;
    if (!device || !path) return kInvalidCall;
    const std::string resolved = resolveTexturePath(path);
    std::error_code ec;
    if (!fs::is_regular_file(pathFromUtf8(resolved), ec)) return kFail;
    // Read as every model file is: a regular file, and known to have been read.
    std::string bytes, reason;
    if (!readWholeFile(resolved, bytes, reason) || bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return kFail;
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()), static_cast<int>(bytes.size()), &width, &height, &channels, 4);
    if (!pixels) return kFail;
    const Result r = device->createTexture(width, height, pixels, out);
    stbi_image_free(pixels);
    if (!failed(r)) (*out)->sourcePath = resolved;
    return r;
}

Result createStandInTexture(Device* device, Texture** out)
{
    if (!out) return kInvalidCall;
    *out = nullptr;
    if (!device) return kInvalidCall;
    // Light enough that shading reads clearly, short of white so highlights
    // still show.
    const std::uint8_t grey[4] = {200, 200, 200, 255};
    return device->createTexture(1, 1, grey, out);
}

} // namespace veskar
