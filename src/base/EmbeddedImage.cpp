#include "base/EmbeddedImage.h"

#include "base/ImageDecoding.h"
#include "base/Utf8Path.h"

#include <stb/stb_image_write.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <system_error>

namespace veskar {

namespace {

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

// stb calls back from C: a failed allocation is kept, not thrown through it.
struct PngSink {
    std::vector<std::uint8_t>& bytes;
    bool failed = false;
};

void appendBytes(void* context, void* data, int size)
{
    auto* sink = static_cast<PngSink*>(context);
    const auto* p = static_cast<const std::uint8_t*>(data);
    if (sink->failed || size < 0) return;
    try {
        sink->bytes.insert(sink->bytes.end(), p, p + size);
    } catch (const std::bad_alloc&) {
        sink->failed = true;
    }
}

} // namespace

bool loadEmbeddedImage(const std::string& path, EmbeddedImage& out, std::string& reason, std::uint64_t maxBytes)
{
    out = EmbeddedImage{};
    std::vector<std::uint8_t> file;
    if (!readFile(path, file, reason, maxBytes)) return false;
    // Every image is decoded, even one that travels as it is: a file that
    // does not decode here would not in the reader either.
    DecodedImage decoded;
    if (!decodeImage(file, decoded, reason)) return false;
    out.width = decoded.width;
    out.height = decoded.height;
    const auto rgba = decoded.rgba();
    for (std::size_t i = 3; i < rgba.size() && !out.hasTransparency; i += 4) out.hasTransparency = rgba[i] < 128;
    const ImageFileFormat format = imageFileFormat(file);
    if (format == ImageFileFormat::Png || format == ImageFileFormat::Jpeg) {
        out.mimeType = format == ImageFileFormat::Png ? "image/png" : "image/jpeg";
        out.bytes = std::move(file);
        return true;
    }
    file = {};
    // Keep only the channels the picture has: an opaque BMP stays RGB.
    const int keep = decoded.channels == 1 || decoded.channels == 3 ? 3 : 4;
    const std::size_t count = rgba.size() / 4;
    std::vector<std::uint8_t> packed;
    const std::uint8_t* source = rgba.data();
    if (keep == 3) {
        try {
            packed.resize(3 * count);
        } catch (const std::bad_alloc&) {
            reason = "not enough memory to convert it to PNG";
            return false;
        }
        for (std::size_t i = 0; i < count; ++i) std::memcpy(&packed[3 * i], source + 4 * i, 3);
        source = packed.data();
    }
    PngSink sink{out.bytes};
    if (!stbi_write_png_to_func(&appendBytes, &sink, decoded.width, decoded.height, keep, source, decoded.width * keep) || sink.failed) {
        reason = sink.failed ? "not enough memory to convert it to PNG" : "cannot encode it as PNG";
        out.bytes.clear();
        return false;
    }
    out.mimeType = "image/png";
    out.converted = true;
    return true;
}

} // namespace veskar
