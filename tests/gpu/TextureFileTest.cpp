// Texture names come from models made on Windows: '\' separators and whatever
// case the artist typed. The files themselves are the usual image formats.

#include "base/EmbeddedImage.h"
#include "gpu/MemoryDevice.h"
#include "gpu/TextureFile.h"
#include "system/TexturePath.h"

#include "DdsTestFiles.h"
#include "TestSupport.h"

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace veskar {
namespace {

namespace fs = std::filesystem;
using test::sameFile;
using test::TempDir;
using test::WorkingDirectory;
using test::writeText;


constexpr int kW = 4, kH = 3;

// Each pixel distinct, so a flipped or shifted image is noticed.
std::vector<std::uint8_t> testPixels(int channels)
{
    std::vector<std::uint8_t> p(static_cast<std::size_t>(kW * kH * channels));
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            std::uint8_t* px = &p[static_cast<std::size_t>((y * kW + x) * channels)];
            px[0] = static_cast<std::uint8_t>(40 * x + 10);
            px[1] = static_cast<std::uint8_t>(70 * y + 5);
            px[2] = static_cast<std::uint8_t>(200 - 30 * x - 20 * y);
            if (channels == 4) px[3] = static_cast<std::uint8_t>(255 - 50 * y);
        }
    return p;
}

void expectPixel(const Texture& t, int x, int y, int r, int g, int b, int a, int tolerance = 0)
{
    const std::uint8_t* px = &t.rgba[static_cast<std::size_t>((y * t.width + x) * 4)];
    EXPECT_NEAR(px[0], r, tolerance) << "red at " << x << "," << y;
    EXPECT_NEAR(px[1], g, tolerance) << "green at " << x << "," << y;
    EXPECT_NEAR(px[2], b, tolerance) << "blue at " << x << "," << y;
    EXPECT_NEAR(px[3], a, tolerance) << "alpha at " << x << "," << y;
}

TEST(TextureFileTest, LoadsEachImageFormatTopRowFirst)
{
    TempDir dir;
    const auto rgba = testPixels(4);
    const auto rgb = testPixels(3);
    ASSERT_NE(stbi_write_png(dir.file("a.png").c_str(), kW, kH, 4, rgba.data(), kW * 4), 0);
    ASSERT_NE(stbi_write_bmp(dir.file("a.bmp").c_str(), kW, kH, 3, rgb.data()), 0);
    ASSERT_NE(stbi_write_tga(dir.file("a.tga").c_str(), kW, kH, 4, rgba.data()), 0);
    // DDS as Direct3D writes it uncompressed: BGRA bytes, and BGR.
    std::vector<std::uint8_t> bgra(rgba), bgr(rgb);
    for (std::size_t i = 0; i < bgra.size(); i += 4) std::swap(bgra[i], bgra[i + 2]);
    for (std::size_t i = 0; i < bgr.size(); i += 3) std::swap(bgr[i], bgr[i + 2]);
    writeText(dir.file("a.dds"), test::ddsFile(test::rgbHeader(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, kW, kH), bgra));
    writeText(dir.file("b.dds"), test::ddsFile(test::rgbHeader(24, 0xFF0000, 0xFF00, 0xFF, 0, kW, kH), bgr));

    MemoryDevice device;
    for (const char* name : {"a.png", "a.bmp", "a.tga", "a.dds", "b.dds"}) {
        SCOPED_TRACE(name);
        const bool hasAlpha = std::string(name) != "a.bmp" && std::string(name) != "b.dds";
        Texture* tex = nullptr;
        ASSERT_EQ(createTextureFromFile(&device, dir.file(name).c_str(), &tex), kOk);
        ASSERT_NE(tex, nullptr);
        EXPECT_EQ(tex->width, kW);
        EXPECT_EQ(tex->height, kH);
        ASSERT_EQ(tex->rgba.size(), static_cast<std::size_t>(kW * kH * 4));
        EXPECT_EQ(tex->sourcePath, dir.file(name));
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) expectPixel(*tex, x, y, 40 * x + 10, 70 * y + 5, 200 - 30 * x - 20 * y, hasAlpha ? 255 - 50 * y : 255);
        tex->release();
    }

    // JPEG is lossy: one flat colour over whole blocks survives closely.
    std::vector<std::uint8_t> flat(16 * 16 * 3);
    for (std::size_t i = 0; i < flat.size(); i += 3) {
        flat[i] = 200;
        flat[i + 1] = 100;
        flat[i + 2] = 30;
    }
    ASSERT_NE(stbi_write_jpg(dir.file("a.jpg").c_str(), 16, 16, 3, flat.data(), 95), 0);
    Texture* jpg = nullptr;
    ASSERT_EQ(createTextureFromFile(&device, dir.file("a.jpg").c_str(), &jpg), kOk);
    EXPECT_EQ(jpg->width, 16);
    EXPECT_EQ(jpg->height, 16);
    expectPixel(*jpg, 0, 0, 200, 100, 30, 255, 6);
    expectPixel(*jpg, 15, 15, 200, 100, 30, 255, 6);
    jpg->release();
    EXPECT_EQ(device.liveObjects(), 0);
}

// BC1 to BC3 reach a device with S3TC as the file's blocks and mip levels;
// any other device gets the pixels.
TEST(TextureFileTest, DdsBlocksGoToTheDeviceAsBlocksWhereItDrawsThem)
{
    TempDir dir;
    // 8 x 4, two blocks: red, then green; a 4 x 2 level of one blue block.
    std::vector<std::uint8_t> blocks = test::solidBc1(0xF800);
    for (std::uint16_t colour : {0x07E0, 0x001F}) {
        const auto block = test::solidBc1(colour);
        blocks.insert(blocks.end(), block.begin(), block.end());
    }
    auto header = test::blockHeader("DXT1", 8, 4);
    header.mipCount = 2;
    writeText(dir.file("a.dds"), test::ddsFile(header, blocks));
    for (const bool s3tc : {true, false}) {
        SCOPED_TRACE(s3tc ? "S3TC" : "no S3TC");
        MemoryDevice device;
        device.s3tc = s3tc;
        Texture* tex = nullptr;
        ASSERT_EQ(createTextureFromFile(&device, dir.file("a.dds").c_str(), &tex), kOk);
        EXPECT_EQ(tex->width, 8);
        EXPECT_EQ(tex->height, 4);
        if (s3tc) {
            EXPECT_EQ(tex->blocks.levels, 2);
            EXPECT_EQ(tex->blocks.bytes, blocks);
            EXPECT_TRUE(tex->rgba.empty());
        } else {
            EXPECT_EQ(tex->blocks.levels, 0);
            ASSERT_EQ(tex->rgba.size(), 8u * 4 * 4);
            expectPixel(*tex, 0, 0, 255, 0, 0, 255);
            expectPixel(*tex, 7, 3, 0, 255, 0, 255);
            // Blocks handed to it straight are decoded too.
            Texture* direct = nullptr;
            ASSERT_EQ(device.createBlockTexture(8, 4, BlockFormat::Bc1, 2, blocks, &direct), kOk);
            EXPECT_EQ(direct->rgba, tex->rgba);
            direct->release();
        }
        // A size the blocks do not fill is refused.
        Texture* wrong = nullptr;
        EXPECT_EQ(device.createBlockTexture(8, 8, BlockFormat::Bc1, 2, blocks, &wrong), kInvalidCall);
        EXPECT_EQ(wrong, nullptr);
        tex->release();
        EXPECT_EQ(device.liveObjects(), 0);
    }
}

TEST(TextureFileTest, WindowsStyleNamesFindTheFileIgnoringCase)
{
    TempDir dir;
    fs::create_directories(dir.path() / "Models" / "sub");
    const auto pixels = testPixels(4);
    const std::string onDisk = dir.file("Models/sub/tex.png");
    ASSERT_NE(stbi_write_png(onDisk.c_str(), kW, kH, 4, pixels.data(), kW * 4), 0);
    const std::string root = utf8FromPath(dir.path());
    // Windows finds the file under any case by itself; Linux needs the walk.
    // Either way the name must reach the file on disk.
    const auto reaches = [&onDisk](const std::string& resolved) { return sameFile(resolved, onDisk); };

    // An exact name is returned as it is.
    EXPECT_EQ(resolveTexturePath(onDisk), onDisk);
    EXPECT_EQ(resolveTexturePath(root + "\\Models\\sub\\tex.png"), onDisk);
    // Folder and file in another case, with either separator.
    EXPECT_TRUE(reaches(resolveTexturePath(root + "\\MODELS\\Sub\\Tex.PNG")));
    EXPECT_TRUE(reaches(resolveTexturePath(root + "/models/SUB/TEX.png")));
    // Nothing matches: the name comes back made portable.
    EXPECT_EQ(resolveTexturePath(root + "\\Models\\sub\\other.png"), root + "/Models/sub/other.png");
    EXPECT_EQ(resolveTexturePath(root + "\\Nowhere\\tex.png"), root + "/Nowhere/tex.png");

    MemoryDevice device;
    Texture* tex = nullptr;
    ASSERT_EQ(createTextureFromFile(&device, (root + "\\models\\SUB\\Tex.PNG").c_str(), &tex), kOk);
    EXPECT_TRUE(reaches(tex->sourcePath)) << tex->sourcePath;
    EXPECT_EQ(tex->width, kW);
    tex->release();

    // Names relative to the working folder, as a model in the current folder gives them.
    {
        WorkingDirectory here(dir.path() / "Models");
        EXPECT_TRUE(reaches(resolveTexturePath("sub\\Tex.PNG")));
        EXPECT_TRUE(reaches(resolveTexturePath("SUB\\tex.png")));
        EXPECT_EQ(resolveTexturePath("sub/tex.png"), "sub/tex.png");
        EXPECT_TRUE(reaches(resolveTexturePath("..\\models\\sub\\TEX.png")));
        ASSERT_EQ(createTextureFromFile(&device, "Sub\\TEX.png", &tex), kOk);
        EXPECT_TRUE(reaches(tex->sourcePath)) << tex->sourcePath;
        tex->release();
    }
    EXPECT_EQ(device.liveObjects(), 0);
}

TEST(TextureFileTest, MissingOrUnreadableFilesCreateNothing)
{
    TempDir dir;
    MemoryDevice device;
    Texture* tex = reinterpret_cast<Texture*>(1);
    EXPECT_TRUE(failed(createTextureFromFile(&device, dir.file("missing.png").c_str(), &tex)));
    EXPECT_EQ(tex, nullptr);

    writeText(dir.file("fake.png"), "this is a text file, not a picture\n");
    tex = reinterpret_cast<Texture*>(1);
    EXPECT_TRUE(failed(createTextureFromFile(&device, dir.file("fake.png").c_str(), &tex)));
    EXPECT_EQ(tex, nullptr);

    writeText(dir.file("empty.bmp"), "");
    EXPECT_TRUE(failed(createTextureFromFile(&device, dir.file("empty.bmp").c_str(), &tex)));
    EXPECT_EQ(tex, nullptr);

    // Why a file that is there is not used is said; a missing one has no reason.
    writeText(dir.file("bomb.dds"), test::ddsFile(test::blockHeader("DXT1", 16000, 16000), test::solidBc1(0)));
    std::string reason;
    EXPECT_TRUE(failed(createTextureFromFile(&device, dir.file("bomb.dds").c_str(), &tex, &reason)));
    EXPECT_NE(reason.find("16000 x 16000 pixels: 977 MiB decoded"), std::string::npos) << reason;
    EXPECT_TRUE(failed(createTextureFromFile(&device, dir.file("missing.png").c_str(), &tex, &reason)));
    EXPECT_EQ(reason, "");

    // A folder with an image's name is not an image.
    fs::create_directories(dir.path() / "folder.png");
    EXPECT_TRUE(failed(createTextureFromFile(&device, dir.file("folder.png").c_str(), &tex)));
    EXPECT_EQ(tex, nullptr);

    EXPECT_EQ(createTextureFromFile(nullptr, dir.file("fake.png").c_str(), &tex), kInvalidCall);
    EXPECT_EQ(createTextureFromFile(&device, nullptr, &tex), kInvalidCall);
    EXPECT_EQ(createTextureFromFile(&device, dir.file("fake.png").c_str(), nullptr), kInvalidCall);
    EXPECT_EQ(device.liveObjects(), 0);
}

// glTF readers take PNG and JPEG: those travel as they are, the rest as PNG
// with the same pixels; the viewer's alpha test is kept where it drops texels.
TEST(TextureFileTest, EmbeddedImagesArePngOrJpegWithTheSamePixels)
{
    TempDir dir;
    auto rgba = testPixels(4);
    const auto rgb = testPixels(3);
    ASSERT_NE(stbi_write_png(dir.file("a.png").c_str(), kW, kH, 4, rgba.data(), kW * 4), 0);
    ASSERT_NE(stbi_write_bmp(dir.file("a.bmp").c_str(), kW, kH, 3, rgb.data()), 0);
    ASSERT_NE(stbi_write_jpg(dir.file("a.jpg").c_str(), kW, kH, 3, rgb.data(), 90), 0);
    rgba[3] = 127;   // one texel the alpha test drops
    ASSERT_NE(stbi_write_tga(dir.file("cut.tga").c_str(), kW, kH, 4, rgba.data()), 0);
    writeText(dir.file("fake.bmp"), "not a picture\n");

    struct Row {
        const char* file;
        const char* mimeType;
        bool converted, transparent;
        int channels;   // of the pixels to compare, 0: none (lossy)
    };
    const Row rows[] = {
        {"a.png", "image/png", false, false, 0},
        {"a.jpg", "image/jpeg", false, false, 0},
        {"a.bmp", "image/png", true, false, 3},
        {"cut.tga", "image/png", true, true, 4},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        EmbeddedImage image;
        std::string reason;
        ASSERT_TRUE(loadEmbeddedImage(dir.file(row.file), image, reason)) << reason;
        EXPECT_EQ(image.mimeType, row.mimeType);
        EXPECT_EQ(image.converted, row.converted);
        EXPECT_EQ(image.hasTransparency, row.transparent);
        EXPECT_EQ(image.width, kW);
        EXPECT_EQ(image.height, kH);
        if (!row.converted) {
            const std::string original = test::readText(dir.file(row.file));
            EXPECT_EQ(std::string(image.bytes.begin(), image.bytes.end()), original);
            continue;
        }
        int w = 0, h = 0, n = 0;
        stbi_uc* back = stbi_load_from_memory(image.bytes.data(), static_cast<int>(image.bytes.size()), &w, &h, &n, 0);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(n, row.channels);
        const auto& source = row.channels == 4 ? rgba : rgb;
        EXPECT_TRUE(std::equal(source.begin(), source.end(), back));
        stbi_image_free(back);
    }
    EmbeddedImage image;
    std::string reason;
    // A DDS of BC3 blocks: PNG with its alpha.
    writeText(dir.file("a.dds"), test::ddsFile(test::blockHeader("DXT5", 4, 4), {0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}));
    ASSERT_TRUE(loadEmbeddedImage(dir.file("a.dds"), image, reason)) << reason;
    EXPECT_EQ(image.mimeType, "image/png");
    EXPECT_TRUE(image.hasTransparency);
    // A PNG or JPEG travels as it is only when it decodes.
    const std::string png = test::readText(dir.file("a.png"));
    writeText(dir.file("cut.png"), png.substr(0, png.size() - 20));
    writeText(dir.file("head.jpg"), std::string("\xFF\xD8\xFF\xE0") + std::string(100, 'x'));
    for (const char* broken : {"cut.png", "head.jpg"}) {
        EXPECT_FALSE(loadEmbeddedImage(dir.file(broken), image, reason)) << broken;
        EXPECT_TRUE(image.bytes.empty());
    }
    EXPECT_FALSE(loadEmbeddedImage(dir.file("fake.bmp"), image, reason));
    EXPECT_FALSE(loadEmbeddedImage(dir.file("missing.png"), image, reason));
    EXPECT_FALSE(loadEmbeddedImage(dir.file("a.png"), image, reason, 16));
}

} // namespace
} // namespace veskar
