#include "base/EmbeddedImage.h"
#include "base/Utf8Path.h"

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>

namespace veskar {

namespace {

bool startsWith(const std::vector<std::uint8_t>& bytes, std::initializer_list<std::uint8_t> magic)
{
    return bytes.size() >= magic.size() && std::equal(magic.begin(), magic.end(), bytes.begin());
}

bool readFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& reason, std::uint64_t maxBytes)
{
    std::error_code ec;
    const std::filesystem::path name = pathFromUtf8(path);
    if (!std::filesystem::is_regular_file(name, ec)) {
        reason = ec ? ec.message() : "not a regular file";
        return false;
    }
    const std::uint64_t size = std::filesystem::file_size(name, ec);
    if (ec) {
        reason = ec.message();
        return false;
    }
    if (size > maxBytes) {
        reason = "larger than " + std::to_string(maxBytes >> 20) + " MiB";
        return false;
    }
    std::ifstream file(name, std::ios::binary);
    if (!file) {
        reason = std::strerror(errno);
        return false;
    }
    bytes.resize(static_cast<std::size_t>(size));
    if (size > 0 && !file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) {
        reason = "cannot read it whole";
        return false;
    }
    return true;
}

void appendBytes(void* context, void* data, int size)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(context);
    const auto* p = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), p, p + size);
}

} // namespace

bool loadEmbeddedImage(const std::string& path, EmbeddedImage& out, std::string& reason, std::uint64_t maxBytes)
{
    out = EmbeddedImage{};
    std::vector<std::uint8_t> file;
    if (!readFile(path, file, reason, maxBytes)) return false;
    if (file.size() > static_cast<std::size_t>(INT32_MAX)) {
        reason = "too large to decode";
        return false;
    }
    int width = 0, height = 0, channels = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> pixels(stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &width, &height, &channels, 4),
                                                     &stbi_image_free);
    const bool png = startsWith(file, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
    const bool jpeg = startsWith(file, {0xFF, 0xD8, 0xFF});
    if (!pixels) {
        // A PNG or JPEG stb cannot decode may still be one others can; it goes as it is.
        if (png || jpeg) {
            out.mimeType = png ? "image/png" : "image/jpeg";
            out.bytes = std::move(file);
            return true;
        }
        reason = std::string("not an image that can be read: ") + stbi_failure_reason();
        return false;
    }
    out.width = width;
    out.height = height;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    for (std::size_t i = 0; i < count && !out.hasTransparency; ++i) out.hasTransparency = pixels.get()[4 * i + 3] < 128;
    if (png || jpeg) {
        out.mimeType = png ? "image/png" : "image/jpeg";
        out.bytes = std::move(file);
        return true;
    }
    // Keep only the channels the picture has: an opaque BMP stays RGB.
    const int keep = channels == 1 || channels == 3 ? 3 : 4;
    std::vector<std::uint8_t> packed;
    const stbi_uc* source = pixels.get();
    if (keep == 3) {
        packed.resize(3 * count);
        for (std::size_t i = 0; i < count; ++i) std::memcpy(&packed[3 * i], source + 4 * i, 3);
        source = packed.data();
    }
    if (!stbi_write_png_to_func(&appendBytes, &out.bytes, width, height, keep, source, width * keep)) {
        reason = "cannot encode it as PNG";
        return false;
    }
    out.mimeType = "image/png";
    out.converted = true;
    return true;
}

} // namespace veskar
