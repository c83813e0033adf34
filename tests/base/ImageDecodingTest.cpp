// Texture files to pixels: the DDS block formats against their documented
// layout, the DDS header's forms, and the files that must be refused before
// or while they decode (cut short, broken, or declaring too large a picture).

#include "base/BlockCompression.h"
#include "base/DdsFile.h"
#include "base/ImageDecoding.h"

#include "DdsTestFiles.h"

#include <stb/stb_image_write.h>

#include <gtest/gtest.h>

#include <array>

namespace veskar {
namespace {

using test::blockHeader;
using test::ddsFile;
using test::rgbHeader;
using Pixel = std::array<int, 4>;

std::span<const std::uint8_t> bytesOf(const std::string& s) { return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()}; }

Pixel pixelAt(std::span<const std::uint8_t> rgba, int width, int x, int y)
{
    const std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4];
    return {p[0], p[1], p[2], p[3]};
}

TEST(ImageDecodingTest, BlocksDecodeAsTheirDocumentationLaysThemOut)
{
    // The first row of each block: indices 0, 1, 2, 3 (BC3: alpha indices as given).
    struct Row {
        const char* what;
        BlockFormat format;
        std::vector<std::uint8_t> block;
        Pixel row[4];
    };
    const Row rows[] = {
        {"BC1, red above blue: four colours", BlockFormat::Bc1, {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0},
         {{255, 0, 0, 255}, {0, 0, 255, 255}, {170, 0, 85, 255}, {85, 0, 170, 255}}},
        {"BC1, blue below red: three colours and transparent black", BlockFormat::Bc1, {0x1F, 0x00, 0x00, 0xF8, 0xE4, 0, 0, 0},
         {{0, 0, 255, 255}, {255, 0, 0, 255}, {128, 0, 128, 255}, {0, 0, 0, 0}}},
        {"BC2: explicit alpha, always four colours", BlockFormat::Bc2, {0xF0, 0x18, 0, 0, 0, 0, 0, 0, 0x1F, 0x00, 0x00, 0xF8, 0xE4, 0, 0, 0},
         {{0, 0, 255, 0}, {255, 0, 0, 255}, {85, 0, 170, 136}, {170, 0, 85, 17}}},
        {"BC3: eight alphas (indices 0, 1, 2, 7)", BlockFormat::Bc3, {255, 0, 0x88, 0x0E, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0},
         {{255, 255, 255, 255}, {255, 255, 255, 0}, {255, 255, 255, 219}, {255, 255, 255, 36}}},
        {"BC3: six alphas, 0 and 255 (indices 6, 7, 2, 0)", BlockFormat::Bc3, {0, 255, 0xBE, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0},
         {{255, 255, 255, 0}, {255, 255, 255, 255}, {255, 255, 255, 51}, {255, 255, 255, 0}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_EQ(row.block.size(), bytesPerBlock(row.format));
        std::uint8_t rgba[64];
        decodeBlocks(row.format, 4, 4, row.block.data(), rgba);
        for (int x = 0; x < 4; ++x) EXPECT_EQ(pixelAt(rgba, 4, x, 0), row.row[x]) << "pixel " << x;
        // The other rows take index 0.
        EXPECT_EQ(pixelAt(rgba, 4, 3, 3), pixelAt(rgba, 4, 0, 0));
    }
}

TEST(ImageDecodingTest, DdsFilesOfEachFormDecodeTopRowFirst)
{
    struct Row {
        const char* what;
        std::string file;
        int width, height, channels;
        std::vector<Pixel> pixels;   // row by row
    };
    auto dx10 = blockHeader("DX10", 2, 1);
    dx10.dxgiFormat = 28;   // R8G8B8A8
    const auto bc1 = [](std::uint16_t a, std::uint16_t b) {
        auto blocks = test::solidBc1(a);
        const auto second = test::solidBc1(b);
        blocks.insert(blocks.end(), second.begin(), second.end());
        return blocks;
    };
    const Pixel red{255, 0, 0, 255}, green{0, 255, 0, 255};
    const Row rows[] = {
        // 5 x 3 in two blocks: the edges round up, the pixels beyond are dropped.
        {"BC1 5 x 3", ddsFile(blockHeader("DXT1", 5, 3), bc1(0xF800, 0x07E0)), 5, 3, 3,
         {red, red, red, red, green, red, red, red, red, green, red, red, red, red, green}},
        {"24-bit BGR", ddsFile(rgbHeader(24, 0xFF0000, 0xFF00, 0xFF, 0, 2, 2), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}), 2, 2, 3,
         {{3, 2, 1, 255}, {6, 5, 4, 255}, {9, 8, 7, 255}, {12, 11, 10, 255}}},
        {"32-bit ARGB", ddsFile(rgbHeader(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 2, 1), {1, 2, 3, 4, 5, 6, 7, 8}), 2, 1, 4,
         {{3, 2, 1, 4}, {7, 6, 5, 8}}},
        {"32-bit XRGB: no alpha", ddsFile(rgbHeader(32, 0xFF0000, 0xFF00, 0xFF, 0, 1, 1), {1, 2, 3, 4}), 1, 1, 3, {{3, 2, 1, 255}}},
        {"16-bit 5:6:5", ddsFile(rgbHeader(16, 0xF800, 0x07E0, 0x1F, 0, 2, 1), {0xE0, 0x07, 0x10, 0x84}), 2, 1, 3,
         {{0, 255, 0, 255}, {132, 130, 132, 255}}},
        {"DX10 R8G8B8A8", ddsFile(dx10, {1, 2, 3, 4, 5, 6, 7, 8}), 2, 1, 4, {{1, 2, 3, 4}, {5, 6, 7, 8}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        DecodedImage image;
        std::string reason;
        ASSERT_TRUE(decodeImage(bytesOf(row.file), image, reason)) << reason;
        EXPECT_EQ(image.width, row.width);
        EXPECT_EQ(image.height, row.height);
        EXPECT_EQ(image.channels, row.channels);
        for (std::size_t i = 0; i < row.pixels.size(); ++i)
            EXPECT_EQ(pixelAt(image.rgba(), image.width, static_cast<int>(i) % row.width, static_cast<int>(i) / row.width), row.pixels[i]) << "pixel " << i;
    }
}

TEST(ImageDecodingTest, MipLevelsCountOnlyThoseTheFileHoldsWhole)
{
    // 8 x 8 BC1: 32 bytes, then 8 for each of 4 x 4, 2 x 2 and 1 x 1.
    auto header = blockHeader("DXT1", 8, 8);
    header.mipCount = 12;   // more than the chain has
    const std::vector<std::uint8_t> all(56, 0);
    struct Row {
        std::size_t bytes;
        int levels;
    };
    for (const Row row : {Row{56, 4}, Row{55, 3}, Row{32, 1}}) {
        const std::string file = ddsFile(header, {all.begin(), all.begin() + static_cast<std::ptrdiff_t>(row.bytes)});
        DdsImage dds;
        std::string reason;
        ASSERT_TRUE(readDds(bytesOf(file), dds, reason)) << reason;
        EXPECT_EQ(dds.levels, row.levels) << row.bytes << " bytes";
    }
}

std::string pngOf(int width, int height, bool noisy)
{
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    std::uint32_t state = 12345;
    for (std::uint8_t& b : rgba) b = noisy ? static_cast<std::uint8_t>((state = state * 1103515245u + 12345u) >> 24) : 7;
    std::string png;
    stbi_write_png_to_func([](void* out, void* data, int size) { static_cast<std::string*>(out)->append(static_cast<char*>(data), static_cast<std::size_t>(size)); },
                           &png, width, height, 4, rgba.data(), width * 4);
    return png;
}

// A PNG whose header declares a size its data never holds.
std::string pngDeclaring(std::uint32_t width, std::uint32_t height)
{
    std::string png = pngOf(1, 1, false);
    for (int i = 0; i < 4; ++i) {
        png[static_cast<std::size_t>(16 + i)] = static_cast<char>(width >> (24 - 8 * i));
        png[static_cast<std::size_t>(20 + i)] = static_cast<char>(height >> (24 - 8 * i));
    }
    return png;
}

TEST(ImageDecodingTest, BrokenFilesAndTooLargePicturesAreRefusedWithAReason)
{
    const std::string png = pngOf(64, 64, true);
    std::string jpegGarbage = "\xFF\xD8\xFF\xE0";
    for (int i = 0; i < 200; ++i) jpegGarbage += static_cast<char>(i * 37 + 11);
    auto cube = blockHeader("DXT1", 4, 4);
    cube.caps2 = 0x200 | 0xFC00;
    auto array = blockHeader("DX10", 4, 4);
    array.dxgiFormat = 71;
    array.arraySize = 2;
    const std::vector<std::uint8_t> block(8, 0);
    struct Row {
        const char* what;
        std::string file;
        const char* reason;
    };
    const Row rows[] = {
        {"a PNG cut in half", png.substr(0, png.size() / 2), "does not decode"},
        {"the first 30 bytes of a PNG", png.substr(0, 30), ""},
        {"a JPEG header and garbage", jpegGarbage, ""},
        {"a PNG declaring 16000 x 16000", pngDeclaring(16000, 16000), "977 MiB decoded, more than the 256 MiB"},
        {"a PNG declaring 20000 x 1", pngDeclaring(20000, 1), "larger than 16384 on a side"},
        {"DDS: the header cut short", ddsFile(blockHeader("DXT1", 4, 4), {}).substr(0, 100), "header is cut short"},
        {"DDS: the pixels cut short", ddsFile(blockHeader("DXT1", 8, 8), block), "32 bytes needed, 8 held"},
        {"DDS: 16000 x 16000 declared", ddsFile(blockHeader("DXT1", 16000, 16000), block), "MiB decoded"},
        {"DDS: 16385 x 4 declared", ddsFile(blockHeader("DXT1", 16385, 4), block), "larger than 16384 on a side"},
        {"DDS: no pixels", ddsFile(blockHeader("DXT1", 0, 4), block), "an empty picture"},
        {"DDS: a cube map", ddsFile(cube, block), "a cube map"},
        {"DDS: an array of two", ddsFile(array, block), "anything but one flat texture"},
        {"DDS: premultiplied DXT2", ddsFile(blockHeader("DXT2", 4, 4), std::vector<std::uint8_t>(16, 0)), "format DXT2"},
        {"DDS: 8-bit", ddsFile(rgbHeader(8, 0xE0, 0x1C, 0x03, 0, 1, 1), {0}), "8-bit pixels"},
        {"DDS: a mask beyond the pixel", ddsFile(rgbHeader(16, 0xFF0000, 0xFF00, 0xFF, 0, 1, 1), {0, 0}), "masks"},
        {"DDS: a mask in two runs", ddsFile(rgbHeader(32, 0xFF00FF, 0xFF00, 0, 0, 1, 1), {0, 0, 0, 0}), "masks"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        DecodedImage image;
        std::string reason;
        EXPECT_FALSE(decodeImage(bytesOf(row.file), image, reason));
        EXPECT_FALSE(reason.empty());
        EXPECT_NE(reason.find(row.reason), std::string::npos) << reason;
        EXPECT_EQ(image.pixels, nullptr);
    }
}

} // namespace
} // namespace veskar
