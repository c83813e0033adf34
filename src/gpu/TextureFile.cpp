#include "gpu/TextureFile.h"

#include "base/DdsFile.h"
#include "base/ImageDecoding.h"
#include "base/Utf8Path.h"
#include "gpu/Device.h"
#include "system/InputFile.h"
#include "system/TexturePath.h"

#include <filesystem>
#include <span>
#include <system_error>

namespace veskar {

namespace fs = std::filesystem;

namespace {

Result refuse(std::string* reason, const std::string& why)
{
    if (reason) *reason = why;
    return kFail;
}

Result noteFailure(Result r, std::string* reason)
{
    if (failed(r) && reason && reason->empty()) *reason = r == kOutOfMemory ? "not enough memory for the texture" : "the device refused the texture";
    return r;
}

// Blocks the device draws as they are stay blocks: a quarter of the memory
// of their pixels or less, and the file's own mip levels.
bool blocksForDevice(Device& device, std::span<const std::uint8_t> file, DdsImage& image)
{
    std::string ignored;
    return imageFileFormat(file) == ImageFileFormat::Dds && readDds(file, image, ignored) && image.compressed && device.drawsBlocks(image.blockFormat);
}

} // namespace

Result createTextureFromFile(Device* device, const char* path, Texture** out, std::string* reason)
{
    if (!out) return kInvalidCall;
    *out = nullptr;
    if (reason) reason->clear();
    if (!device || !path) return kInvalidCall;
    const std::string resolved = resolveTexturePath(path);
    std::error_code ec;
    if (!fs::is_regular_file(pathFromUtf8(resolved), ec)) return kFail;
    // Read as every model file is: a regular file, and known to have been read.
    std::string bytes, why;
    if (!readWholeFile(resolved, bytes, why)) return refuse(reason, why);
    const std::span<const std::uint8_t> file(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    Result r = kFail;
    if (DdsImage dds; blocksForDevice(*device, file, dds)) {
        r = device->createBlockTexture(dds.width, dds.height, dds.blockFormat, dds.levels, dds.data, out);
    } else {
        DecodedImage image;
        if (!decodeImage(file, image, why)) return refuse(reason, why);
        bytes = {};
        r = device->createTexture(image.width, image.height, image.pixels.get(), out);
    }
    if (!failed(r)) (*out)->sourcePath = resolved;
    return noteFailure(r, reason);
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

std::string textureConsoleLine(const std::string& path, bool loaded, const std::string& reason)
{
    if (loaded) return "[Texture] " + path;
    if (reason.empty()) return "[Texture] not found: " + path;
    return "[Texture] refused: " + path + ": " + reason;
}

} // namespace veskar
