// What the viewer's models hand the device when a file is read: textures (a
// grey stand-in for a missing file), vertex and index buffers, and nothing
// left behind by a refused file.

#include "SampleMRef.h"
#include "TestSupport.h"

#include "gpu/MemoryDevice.h"
#include "render/EngineModel.h"
#include "render/SmdModel.h"

#include <stb/stb_image_write.h>

#include <cstring>

namespace veskar {
namespace {

using test::Capture;

const std::vector<std::uint8_t> kGrey{200, 200, 200, 255};

TEST(SmdModelUpload, WithADeviceMakesTexturesAndAVertexBufferAndMissingTexturesAreGrey)
{
    Capture capture;
    test::TempDir dir;
    const unsigned char pixels[4 * 4] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
    ASSERT_TRUE(stbi_write_png(dir.file("first.png").c_str(), 2, 2, 4, pixels, 8));
    ASSERT_TRUE(stbi_write_png(dir.file("third.png").c_str(), 2, 2, 4, pixels, 8));
    std::string text = "version 1\nnodes\n0 \"root\" -1\nend\nskeleton\ntime 0\n0 0 0 0 0 0 0\nend\ntriangles\n";
    for (const char* material : {"first.png", "second.png", "third.png"})
        text += std::string(material) + "\n0 0 0 0 0 0 1 0 0\n0 1 0 0 0 0 1 1 0\n0 0 1 0 0 0 1 0 1\n";
    test::writeText(dir.file("model.smd"), text + "end\n");
    MemoryDevice device;
    {
        SmdModel model(&device);
        ASSERT_TRUE(model.loadReference(dir.file("model.smd")));
        const SmdMeshObjects& objects = model.meshObjects[0];
        ASSERT_EQ(objects.textures.size(), 3u);
        ASSERT_NE(objects.textures[0], nullptr);
        EXPECT_EQ(objects.textures[0]->width, 2);
        // The missing one stands in light grey; the one after it still loads.
        ASSERT_NE(objects.textures[1], nullptr);
        EXPECT_EQ(objects.textures[1]->rgba, kGrey);
        ASSERT_NE(objects.textures[2], nullptr);
        EXPECT_EQ(objects.textures[2]->width, 2);
        ASSERT_NE(objects.vertexBuffer, nullptr);
        EXPECT_EQ(objects.vertexBuffer->length(), 3u * 96u);
        EXPECT_EQ(capture.console.text, "[Texture] " + dir.file("first.png") + "\n[Texture] not found: " + dir.file("second.png") +
                                            "\n[Texture] " + dir.file("third.png") + "\n");
    }
    EXPECT_EQ(device.liveObjects(), 0);
}

using test::kConvertedMRef;

TEST(EngineModelUpload, BuffersHoldTheDrawableCopiesOnAMemoryDevice)
{
    Capture capture;
    test::TempDir dir;
    test::writeText(dir.file("hero.mRef"), kConvertedMRef);
    MemoryDevice device;
    {
        EngineModel model(&device);
        ASSERT_TRUE(model.loadReference(dir.file("hero.mRef")));
        const EngineMesh& mesh = model.meshes[0];
        const EngineMeshObjects& objects = model.meshObjects[0];
        ASSERT_NE(objects.restBuffer, nullptr);
        ASSERT_NE(objects.bindBuffer, nullptr);
        ASSERT_NE(objects.indexBuffer, nullptr);
        EXPECT_EQ(objects.restBuffer->length(), 4u * 64u);
        EXPECT_EQ(objects.bindBuffer->length(), 4u * 64u);
        EXPECT_EQ(objects.indexBuffer->length(), 2u * 12u);
        EXPECT_EQ(objects.indexBuffer->format, IndexFormat::Index32);
        SkinVertex first;
        std::memcpy(&first, objects.bindBuffer->bytes.data() + 64, sizeof first);
        EXPECT_EQ(first.position[0], mesh.vertices[1].bindVertex.position[0]);
        std::int32_t indices[6];
        std::memcpy(indices, objects.indexBuffer->bytes.data(), sizeof indices);
        EXPECT_EQ(indices[3], 1);
        EXPECT_EQ(indices[5], 3);
        // The texture file does not exist: the mesh is drawn light grey and says so once.
        ASSERT_NE(objects.texture, nullptr);
        EXPECT_EQ(objects.texture->rgba, kGrey);
        EXPECT_NE(capture.console.text.find("[Texture] not found: "), std::string::npos);
        EXPECT_NE(capture.console.text.find("skin.png"), std::string::npos);
    }
    EXPECT_EQ(device.liveObjects(), 0);
}

TEST(EngineModelUpload, ARefusedFileLeavesTheDeviceAsItWas)
{
    Capture capture;
    MemoryDevice device;
    EngineModel model(&device);
    const int objectsBefore = device.liveObjects();
    std::string text = kConvertedMRef;
    text.replace(text.find("index 2"), 7, "index 3");
    EXPECT_FALSE(model.loadReferenceFromMemory(text, "m.mRef"));
    EXPECT_EQ(model.meshCount, 0);
    EXPECT_EQ(device.liveObjects(), objectsBefore);
    ASSERT_EQ(capture.shell.boxes.size(), 1u);
}

} // namespace
} // namespace veskar
