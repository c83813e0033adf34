#include "platform/TextureFile.h"

#include "platform/Device.h"
#include "platform/InputFile.h"
#include "platform/Utf8Path.h"

#include <stb/stb_image.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <limits>
#include <system_error>

namespace veskar {

namespace fs = std::filesystem;

namespace {

bool equalsIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

std::string resolveTexturePath(const std::string& path)
{
    std::string portable = path;
    std::replace(portable.begin(), portable.end(), '\\', '/');
    std::error_code ec;
    if (fs::is_regular_file(pathFromUtf8(portable), ec)) return portable;

    // Walk the path component by component, matching each ignoring case.
    const fs::path p = pathFromUtf8(portable);
    fs::path current = p.has_root_path() ? p.root_path() : fs::path(".");
    bool relative = !p.has_root_path();
    for (const auto& part : p.relative_path()) {
        const std::string name = utf8FromPath(part);
        if (name.empty() || name == ".") continue;
        fs::path candidate = current / part;
        if (name == ".." || fs::exists(candidate, ec)) {
            current = candidate;
            continue;
        }
        bool found = false;
        for (fs::directory_iterator it(current, ec), end; !ec && it != end; it.increment(ec)) {
            if (equalsIgnoringCase(utf8FromPath(it->path().filename()), name)) {
                current = it->path();
                found = true;
                break;
            }
        }
        if (!found) return portable;
    }
    std::string result = utf8FromPath(current);
    if (relative && result.rfind("./", 0) == 0 && portable.rfind("./", 0) != 0) result = result.substr(2);
    return result;
}

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
