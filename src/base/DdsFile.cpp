#include "base/DdsFile.h"

#include "base/ImageLimits.h"

#include <algorithm>
#include <bit>

namespace veskar {

namespace {

constexpr std::size_t kHeaderBytes = 4 + 124;   // "DDS " and the header
constexpr std::size_t kDx10Bytes = 20;

// Header fields, by their offset from the start of the file.
constexpr std::size_t kHeight = 12, kWidth = 16, kDepth = 24, kMipCount = 28, kFormatFlags = 80, kFourCc = 84, kBitCount = 88,
                      kMasks = 92, kCaps2 = 112;
constexpr std::uint32_t kFlagAlphaPixels = 0x1, kFlagFourCc = 0x4, kFlagRgb = 0x40;
constexpr std::uint32_t kCaps2CubeMap = 0x200, kCaps2Volume = 0x200000;
// The DX10 header's fields, from its start.
constexpr std::size_t kDxgiFormat = 0, kDimension = 4, kMiscFlag = 8, kArraySize = 12;
constexpr std::uint32_t kDimensionTexture2d = 3, kMiscTextureCube = 0x4;

std::uint32_t read32(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 | static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

constexpr std::uint32_t fourCc(const char (&code)[5])
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) | static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 16 | static_cast<std::uint32_t>(static_cast<unsigned char>(code[3])) << 24;
}

std::string fourCcText(std::uint32_t code)
{
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>((code >> (8 * i)) & 0xFF);
        text += c >= 0x20 && c < 0x7F ? c : '?';
    }
    return text;
}

bool unsupported(const std::string& what, std::string& reason)
{
    reason = "a DDS file of " + what + "; BC1, BC2, BC3 (DXT1, DXT3, DXT5) and 16-, 24- and 32-bit RGB are read";
    return false;
}

bool takeMasks(DdsImage& out, std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a)
{
    out.bitsPerPixel = 32;
    out.masks[0] = r;
    out.masks[1] = g;
    out.masks[2] = b;
    out.masks[3] = a;
    return true;
}

// The DXGI formats of the DX10 header that are the same pixels as the old header's.
bool takeDxgiFormat(std::uint32_t format, DdsImage& out, std::string& reason)
{
    out.compressed = false;
    switch (format) {
    case 70: case 71: case 72: out.compressed = true; out.blockFormat = BlockFormat::Bc1; return true;
    case 73: case 74: case 75: out.compressed = true; out.blockFormat = BlockFormat::Bc2; return true;
    case 76: case 77: case 78: out.compressed = true; out.blockFormat = BlockFormat::Bc3; return true;
    case 27: case 28: case 29: return takeMasks(out, 0xFF, 0xFF00, 0xFF0000, 0xFF000000);          // R8G8B8A8
    case 87: case 90: case 91: return takeMasks(out, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);          // B8G8R8A8
    case 88: case 92: case 93: return takeMasks(out, 0xFF0000, 0xFF00, 0xFF, 0);                   // B8G8R8X8
    default: return unsupported("DXGI format " + std::to_string(format), reason);
    }
}

// A mask must be one run of bits within the pixel.
bool maskFits(std::uint32_t mask, int bits)
{
    if (mask == 0) return true;
    if (bits < 32 && (mask >> bits) != 0) return false;
    const std::uint32_t run = mask >> std::countr_zero(mask);
    return (run & (run + 1)) == 0;
}

bool takeOldFormat(std::span<const std::uint8_t> file, DdsImage& out, std::string& reason)
{
    const std::uint32_t flags = read32(file, kFormatFlags);
    if (flags & kFlagFourCc) {
        const std::uint32_t code = read32(file, kFourCc);
        out.compressed = true;
        if (code == fourCc("DXT1")) out.blockFormat = BlockFormat::Bc1;
        else if (code == fourCc("DXT3")) out.blockFormat = BlockFormat::Bc2;
        else if (code == fourCc("DXT5")) out.blockFormat = BlockFormat::Bc3;
        else return unsupported("format " + fourCcText(code), reason);
        return true;
    }
    if (!(flags & kFlagRgb)) return unsupported("a pixel format without RGB", reason);
    out.bitsPerPixel = static_cast<int>(read32(file, kBitCount));
    if (out.bitsPerPixel != 16 && out.bitsPerPixel != 24 && out.bitsPerPixel != 32)
        return unsupported(std::to_string(out.bitsPerPixel) + "-bit pixels", reason);
    for (int c = 0; c < 4; ++c) out.masks[c] = read32(file, kMasks + 4 * static_cast<std::size_t>(c));
    if (!(flags & kFlagAlphaPixels)) out.masks[3] = 0;
    for (std::uint32_t mask : out.masks)
        if (!maskFits(mask, out.bitsPerPixel)) return unsupported("colour masks that are not runs of bits within the pixel", reason);
    return true;
}

// Levels the file claims, at most a full chain down to 1 x 1.
int claimedLevels(std::span<const std::uint8_t> file, const DdsImage& image)
{
    const int chain = std::bit_width(static_cast<std::uint32_t>(std::max(image.width, image.height)));
    const std::uint32_t count = read32(file, kMipCount);
    return image.compressed ? std::clamp(static_cast<int>(std::min<std::uint32_t>(count, 32)), 1, chain) : 1;
}

} // namespace

bool looksLikeDds(std::span<const std::uint8_t> file) { return file.size() >= 4 && read32(file, 0) == fourCc("DDS "); }

std::uint64_t ddsLevelBytes(const DdsImage& image, int width, int height)
{
    if (image.compressed) return blockImageBytes(image.blockFormat, width, height);
    const std::uint64_t pitch = (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(image.bitsPerPixel) + 7) / 8;
    return pitch * static_cast<std::uint64_t>(height);
}

bool readDds(std::span<const std::uint8_t> file, DdsImage& out, std::string& reason)
{
    out = DdsImage{};
    if (!looksLikeDds(file)) {
        reason = "not a DDS file";
        return false;
    }
    if (file.size() < kHeaderBytes) {
        reason = "the DDS header is cut short (" + std::to_string(file.size()) + " bytes)";
        return false;
    }
    const std::uint32_t caps2 = read32(file, kCaps2);
    if (caps2 & kCaps2CubeMap) return unsupported("a cube map", reason);
    if ((caps2 & kCaps2Volume) && read32(file, kDepth) > 1) return unsupported("a volume", reason);
    std::size_t offset = kHeaderBytes;
    if ((read32(file, kFormatFlags) & kFlagFourCc) && read32(file, kFourCc) == fourCc("DX10")) {
        if (file.size() < kHeaderBytes + kDx10Bytes) {
            reason = "the DDS header is cut short (" + std::to_string(file.size()) + " bytes)";
            return false;
        }
        const auto dx10 = file.subspan(kHeaderBytes);
        if (read32(dx10, kDimension) != kDimensionTexture2d || (read32(dx10, kMiscFlag) & kMiscTextureCube) || read32(dx10, kArraySize) > 1)
            return unsupported("anything but one flat texture", reason);
        if (!takeDxgiFormat(read32(dx10, kDxgiFormat), out, reason)) return false;
        offset += kDx10Bytes;
    } else if (!takeOldFormat(file, out, reason)) {
        return false;
    }
    const std::uint32_t width = read32(file, kWidth), height = read32(file, kHeight);
    if (!checkImageSize(width, height, reason)) return false;
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);

    const std::uint64_t available = file.size() - offset;
    std::uint64_t used = 0;
    const int claimed = claimedLevels(file, out);
    out.levels = 0;
    for (int level = 0; level < claimed; ++level) {
        const std::uint64_t bytes = ddsLevelBytes(out, std::max(out.width >> level, 1), std::max(out.height >> level, 1));
        if (bytes > available - used) break;
        used += bytes;
        ++out.levels;
    }
    if (out.levels == 0) {
        reason = "the DDS file ends within its pixels: " + std::to_string(ddsLevelBytes(out, out.width, out.height)) + " bytes needed, " +
                 std::to_string(available) + " held";
        return false;
    }
    out.data = file.subspan(offset, static_cast<std::size_t>(used));
    return true;
}

namespace {

// One channel of an uncompressed pixel, scaled to 8 bits.
std::uint8_t channel(std::uint32_t pixel, std::uint32_t mask, std::uint8_t absent)
{
    if (mask == 0) return absent;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const std::uint32_t value = (pixel & mask) >> shift;
    if (bits >= 8) return static_cast<std::uint8_t>(value >> (bits - 8));
    const std::uint32_t top = (1u << bits) - 1;
    return static_cast<std::uint8_t>((value * 255 + top / 2) / top);
}

void decodeUncompressed(const DdsImage& image, std::uint8_t* rgba)
{
    const std::size_t bytesPerPixel = static_cast<std::size_t>(image.bitsPerPixel / 8);
    const std::size_t pitch = static_cast<std::size_t>(image.width) * bytesPerPixel;
    for (std::size_t y = 0; y < static_cast<std::size_t>(image.height); ++y) {
        const std::uint8_t* row = image.data.data() + y * pitch;
        for (std::size_t x = 0; x < static_cast<std::size_t>(image.width); ++x, rgba += 4) {
            std::uint32_t pixel = 0;
            for (std::size_t b = 0; b < bytesPerPixel; ++b) pixel |= static_cast<std::uint32_t>(row[x * bytesPerPixel + b]) << (8 * b);
            for (int c = 0; c < 3; ++c) rgba[c] = channel(pixel, image.masks[c], 0);
            rgba[3] = channel(pixel, image.masks[3], 255);
        }
    }
}

} // namespace

void decodeDds(const DdsImage& image, std::uint8_t* rgba)
{
    if (image.compressed) decodeBlocks(image.blockFormat, image.width, image.height, image.data.data(), rgba);
    else decodeUncompressed(image, rgba);
}

} // namespace veskar
