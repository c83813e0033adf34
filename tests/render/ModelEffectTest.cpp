// Every model compiles its own copy of ./Shaders/Phong.fx when it is made. A
// missing or broken file must leave a usable model and exactly one error box,
// and effects must never leak or be shared between models.

#include "render/EngineModel.h"
#include "render/ModelEffect.h"
#include "render/SmdModel.h"
#include "gpu/MemoryDevice.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>

namespace veskar {
namespace {

namespace fs = std::filesystem;
using test::Capture;
using test::TempDir;
using test::WorkingDirectory;
using test::writeText;

const char* const kMinimalEffect =
    "#technique TShader\n"
    "#parameter float4x4 matWorldView\n"
    "#parameter texture DiffuseMap\n"
    "#stage vertex\n"
    "void main() { gl_Position = vec4(0.0); }\n"
    "#stage fragment\n"
    "out vec4 colour;\n"
    "void main() { colour = vec4(1.0); }\n";

// Runs in a folder that holds ./Shaders/Phong.fx: the repository's own when the
// tests start beside it, otherwise a minimal one in a temporary folder.
class FolderWithEffect {
public:
    FolderWithEffect()
    {
        if (fs::is_regular_file(kEffectPath)) return;
        dir_.emplace();
        fs::create_directories(dir_->path() / "Shaders");
        writeText((dir_->path() / "Shaders" / "Phong.fx").string(), kMinimalEffect);
        cwd_.emplace(dir_->path());
    }

private:
    std::optional<TempDir> dir_;
    std::optional<WorkingDirectory> cwd_;
};

// A folder without any effect file.
class FolderWithoutEffect {
public:
    FolderWithoutEffect() : cwd_(dir_.path()) {}
    const TempDir& dir() const { return dir_; }

private:
    TempDir dir_;
    WorkingDirectory cwd_;
};

const char* const kSmallReference =
    "version 1\n"
    "nodes\n"
    "0 \"root\" -1\n"
    "end\n"
    "skeleton\n"
    "time 0\n"
    "0 0.000000 0.000000 0.000000 0.000000 0.000000 0.000000\n"
    "end\n"
    "triangles\n"
    "skin.bmp\n"
    "0 0 0 0 0 0 1 0 0\n"
    "0 1 0 0 0 0 1 1 0\n"
    "0 0 1 0 0 0 1 0 1\n"
    "end\n";

TEST(ModelEffectTest, EachModelCompilesTheEffectFromTheWorkingFolder)
{
    FolderWithEffect folder;
    Capture capture;
    MemoryDevice device;
    {
        SmdModel smd(&device);
        ASSERT_NE(smd.effect, nullptr);
        EXPECT_NE(smd.technique, kNullHandle);
        EXPECT_EQ(smd.technique, smd.effect->getTechniqueByName(kTechniqueName));
        EXPECT_EQ(smd.device, &device);
        EXPECT_EQ(smd.effect->path, "./Shaders/Phong.fx");

        EngineModel engine(&device);
        ASSERT_NE(engine.effect, nullptr);
        EXPECT_NE(engine.technique, kNullHandle);
        EXPECT_EQ(device.liveObjects(), 2);
        EXPECT_TRUE(capture.shell.boxes.empty());

        Effect* effect = nullptr;
        EffectHandle technique = kNullHandle;
        EXPECT_EQ(loadEffect(&device, effect, technique), 0);
        ASSERT_NE(effect, nullptr);
        EXPECT_EQ(technique, effect->getTechniqueByName("TShader"));
        effect->release();
    }
    EXPECT_EQ(device.liveObjects(), 0);
}

// A model made without its effect: no effect, no technique, and one "ERROR"
// box whose text holds naming.
void expectNoEffectAndOneBox(const SmdModel& model, const Capture& capture, const std::string& naming)
{
    EXPECT_EQ(model.effect, nullptr);
    EXPECT_EQ(model.technique, kNullHandle);
    ASSERT_EQ(capture.shell.boxes.size(), 1u);
    EXPECT_EQ(capture.shell.boxes[0].caption, "ERROR");
    EXPECT_NE(capture.shell.boxes[0].text.find(naming), std::string::npos) << capture.shell.boxes[0].text;
}

TEST(ModelEffectTest, MissingEffectShowsOneErrorBoxAndLeavesAUsableModel)
{
    FolderWithoutEffect folder;
    Capture capture;
    MemoryDevice device;
    {
        SmdModel smd(&device);
        expectNoEffectAndOneBox(smd, capture, "./Shaders/Phong.fx");

        // The loaders do not need the effect.
        EXPECT_TRUE(smd.loadReferenceFromMemory(kSmallReference, (folder.dir().path() / "hero.smd").string())) << smd.diagnostic.text();
        EXPECT_EQ(smd.meshCount, 1);
        EXPECT_EQ(capture.shell.boxes.size(), 1u);

        // One box per model made.
        EngineModel engine(&device);
        EXPECT_EQ(engine.effect, nullptr);
        EXPECT_EQ(engine.technique, kNullHandle);
        ASSERT_EQ(capture.shell.boxes.size(), 2u);
        EXPECT_EQ(capture.shell.boxes[1].caption, "ERROR");
        EXPECT_EQ(device.liveObjects(), 2) << "only the mesh's vertex buffer and the grey stand-in for its missing texture";
    }
    EXPECT_EQ(device.liveObjects(), 0);
}

TEST(ModelEffectTest, BrokenEffectFileNamesTheLineInItsBox)
{
    TempDir dir;
    fs::create_directories(dir.path() / "Shaders");
    writeText((dir.path() / "Shaders" / "Phong.fx").string(), "#technique TShader\n#parameter float3 fvEyePosition\n");
    WorkingDirectory cwd(dir.path());
    Capture capture;
    MemoryDevice device;
    SmdModel smd(&device);
    expectNoEffectAndOneBox(smd, capture, "./Shaders/Phong.fx:2:");
    EXPECT_EQ(device.liveObjects(), 0);
}

TEST(ModelEffectTest, TwoModelsHoldIndependentEffects)
{
    FolderWithEffect folder;
    Capture capture;
    MemoryDevice device;
    auto first = std::make_unique<SmdModel>(&device);
    auto second = std::make_unique<EngineModel>(&device);
    auto third = std::make_unique<SmdModel>(&device);
    ASSERT_NE(first->effect, nullptr);
    ASSERT_NE(second->effect, nullptr);
    ASSERT_NE(third->effect, nullptr);
    EXPECT_NE(first->effect, second->effect);
    EXPECT_NE(first->effect, third->effect);
    EXPECT_EQ(device.liveObjects(), 3);

    // A value set on one model's effect does not reach the other's.
    ASSERT_EQ(first->effect->setMatrix("matWorldView", matrixTranslation(1, 2, 3)), kOk);
    const EffectParameter* other = third->effect->parameter("matWorldView");
    ASSERT_NE(other, nullptr);
    EXPECT_FALSE(other->set);
    EXPECT_EQ(other->values[12], 0.0f);

    // Destroying one model leaves the others' effects working.
    first.reset();
    EXPECT_EQ(device.liveObjects(), 2);
    ASSERT_EQ(third->effect->setTechnique(third->technique), kOk);
    EXPECT_EQ(third->effect->begin(nullptr, 0), kOk);
    EXPECT_EQ(third->effect->end(), kOk);
    second.reset();
    third.reset();
    EXPECT_EQ(device.liveObjects(), 0);
    EXPECT_TRUE(capture.shell.boxes.empty());
}

TEST(ModelEffectTest, NoDeviceMeansNoEffectAndNoBox)
{
    FolderWithoutEffect folder;
    Capture capture;
    SmdModel smd(nullptr);
    EngineModel engine(nullptr);
    EXPECT_EQ(smd.effect, nullptr);
    EXPECT_EQ(smd.technique, kNullHandle);
    EXPECT_EQ(engine.effect, nullptr);
    EXPECT_EQ(engine.technique, kNullHandle);
    EXPECT_TRUE(capture.shell.boxes.empty());

    Effect* effect = nullptr;
    EffectHandle technique = kNullHandle;
    EXPECT_EQ(loadEffect(nullptr, effect, technique), 0);
    EXPECT_EQ(effect, nullptr);
    EXPECT_EQ(technique, kNullHandle);

    // The converter's path: a device-less model still reads files.
    EXPECT_TRUE(smd.loadReferenceFromMemory(kSmallReference, "hero.smd")) << smd.diagnostic.text();
    EXPECT_TRUE(capture.shell.boxes.empty());
}

TEST(ModelEffectTest, ModelWithoutEffectDestroysCleanly)
{
    FolderWithoutEffect folder;
    Capture capture;
    MemoryDevice device;
    {
        SmdModel smd(&device);
        ASSERT_EQ(smd.effect, nullptr);
        smd.destroy();
        smd.destroy();  // twice, then once more by the destructor
        EXPECT_EQ(smd.effect, nullptr);

        EngineModel engine(&device);
        ASSERT_EQ(engine.effect, nullptr);
        engine.destroy();
    }
    EXPECT_EQ(device.liveObjects(), 0);

    // A model whose effect loaded gives it back on destroy, once.
    {
        FolderWithEffect withEffect;
        SmdModel smd(&device);
        ASSERT_NE(smd.effect, nullptr);
        EXPECT_EQ(device.liveObjects(), 1);
        smd.destroy();
        EXPECT_EQ(smd.effect, nullptr);
        EXPECT_EQ(smd.technique, kNullHandle);
        EXPECT_EQ(device.liveObjects(), 0);
    }
    EXPECT_EQ(device.liveObjects(), 0);
}

} // namespace
} // namespace veskar
