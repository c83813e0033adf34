// Pixels through the headless GL context: a model converted from a tiny SMD
// file and drawn through Shaders/Phong.fx, wireframe against solid, playback
// moving it, an SMD model with a texture per triangle, and a model whose
// effect is missing while the rest of the frame still draws. Skipped where
// the machine has no surfaceless EGL.

#include "RenderTestSupport.h"

#include "TestSupport.h"
#include "convert/FormatConverter.h"
#include "HeadlessGlTest.h"
#include "render/EngineModelDrawing.h"
#include "render/GraphicsContext.h"
#include "render/SmdModelDrawing.h"

#include <stb/stb_image_write.h>

#include <filesystem>
#include <functional>
#include <memory>

namespace veskar {
namespace {

namespace fs = std::filesystem;
using test::Capture;
using test::TempDir;

constexpr int kSize = 64;

// A 120 x 120 square in the viewer's XY plane facing the camera: the file's
// (x, 0, z) is the viewer's (-x, z, 0). Both triangles follow the one bone.
std::string squareSmd(const char* firstMaterial, const char* secondMaterial)
{
    return std::string("version 1\nnodes\n0 \"Bip01\" -1\nend\nskeleton\ntime 0\n0 0 0 0 0 0 0\nend\ntriangles\n") + firstMaterial +
           "\n"
           "0 -60 0 -60 0 -1 0 0 0 1 0 1\n0 60 0 -60 0 -1 0 1 0 1 0 1\n0 60 0 60 0 -1 0 1 1 1 0 1\n" +
           secondMaterial +
           "\n"
           "0 -60 0 -60 0 -1 0 0 0 1 0 1\n0 60 0 60 0 -1 0 1 1 1 0 1\n0 -60 0 60 0 -1 0 0 1 1 0 1\nend\n";
}

// The bone stands still in key 0 and 30 units along the file's x in key 1.
const char* const kWalk = "version 1\nnodes\n0 \"Bip01\" -1\nend\nskeleton\ntime 0\n0 0 0 0 0 0 0\ntime 1\n0 30 0 0 0 0 0\nend\n";

// 8 x 8 pixels: the left half one colour, the right half another.
void writeTexture(const std::string& path, std::uint32_t leftRgb, std::uint32_t rightRgb)
{
    std::vector<std::uint8_t> rgba(8 * 8 * 4);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const std::uint32_t c = x < 4 ? leftRgb : rightRgb;
            std::uint8_t* p = &rgba[static_cast<std::size_t>(y * 8 + x) * 4];
            p[0] = static_cast<std::uint8_t>(c >> 16);
            p[1] = static_cast<std::uint8_t>(c >> 8);
            p[2] = static_cast<std::uint8_t>(c);
            p[3] = 255;
        }
    ASSERT_NE(stbi_write_png(path.c_str(), 8, 8, 4, rgba.data(), 8 * 4), 0);
}

struct Pixel {
    int r, g, b;
};

struct Frame {
    std::vector<std::uint8_t> rgba;
    Pixel at(int x, int y) const
    {
        const std::size_t i = static_cast<std::size_t>(y * kSize + x) * 4;
        return {rgba[i], rgba[i + 1], rgba[i + 2]};
    }
    int count(const std::function<bool(Pixel)>& match, int y0 = 0, int y1 = kSize) const
    {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = 0; x < kSize; ++x) n += match(at(x, y)) ? 1 : 0;
        return n;
    }
    // Mean x of the pixels that are not black.
    double centreX() const
    {
        double sum = 0;
        int n = 0;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                const Pixel p = at(x, y);
                if (p.r + p.g + p.b > 30) {
                    sum += x;
                    ++n;
                }
            }
        return n ? sum / n : -1.0;
    }
};

bool red(Pixel p) { return p.r > 150 && p.g < 80 && p.b < 80; }
bool green(Pixel p) { return p.g > 150 && p.r < 80 && p.b < 80; }
bool blue(Pixel p) { return p.b > 150 && p.r < 80 && p.g < 80; }
bool lit(Pixel p) { return p.r + p.g + p.b > 30; }

class RenderPixelTest : public test::HeadlessGlTest {
protected:
    void SetUp() override
    {
        HeadlessGlTest::SetUp();
        if (!ready()) return;
        ASSERT_EQ(graphics_.create(device_.get(), kSize, kSize, 12), kOk) << graphics_.failure;
        graphics_.setTextColour(0.0f, 1.0f, 1.0f, 1.0f);

        writeTexture(dir_.file("checker.png"), 0xFF0000, 0x0000FF);
        writeTexture(dir_.file("red.png"), 0xFF0000, 0xFF0000);
        writeTexture(dir_.file("green.png"), 0x00FF00, 0x00FF00);
        test::writeText(dir_.file("hero.smd"), squareSmd("checker.png", "checker.png"));
        test::writeText(dir_.file("walk.smd"), kWalk);
        FormatConverter converter;
        ASSERT_TRUE(converter.convertReference(dir_.file("hero.smd"))) << converter.diagnostic.text();
        ASSERT_TRUE(converter.convertAnimation(dir_.file("walk.smd"))) << converter.diagnostic.text();
    }

    void TearDown() override
    {
        graphics_.release();
        device_.reset();
    }

    template <typename DrawModels>
    Frame render(DrawModels draw)
    {
        device_->clear(kClearTarget | kClearZBuffer, 0xFF000000, 1.0f, 0);
        device_->beginScene();
        draw();
        device_->endScene();
        return {context_->readPixels()};
    }

    Capture capture_;
    TempDir dir_;
    GraphicsContext graphics_;
};

TEST_F(RenderPixelTest, AConvertedModelShowsItsTextureThroughTheEffect)
{
    EngineModel model(device_.get());
    ASSERT_NE(model.effect, nullptr) << (capture_.shell.boxes.empty() ? "" : capture_.shell.boxes[0].text);
    ASSERT_TRUE(model.loadReference(dir_.file("hero.mRef"))) << model.diagnostic.text();
    ASSERT_NE(model.meshObjects[0].texture, nullptr);

    const Frame solid = render([&] { drawEngineModel(model, DrawMode::Still, kFillSolid, 0.5f, nullptr); });
    EXPECT_GT(solid.count(red), 100);
    EXPECT_GT(solid.count(blue), 100);
    EXPECT_TRUE(lit(solid.at(kSize / 2, kSize / 2)));
    EXPECT_FALSE(lit(solid.at(1, 1)));   // the square does not reach the corners

    const Frame wire = render([&] { drawEngineModel(model, DrawMode::Still, kFillWireframe, 0.5f, nullptr); });
    const int solidPixels = solid.count(lit), wirePixels = wire.count(lit);
    EXPECT_GT(wirePixels, 20);
    EXPECT_LT(wirePixels, solidPixels / 2);
}

TEST_F(RenderPixelTest, PlayingTheAnimationMovesTheSkinnedModel)
{
    EngineModel model(device_.get());
    ASSERT_TRUE(model.loadReference(dir_.file("hero.mRef"))) << model.diagnostic.text();
    ASSERT_TRUE(model.loadAnimation(dir_.file("walk.mAni"))) << model.diagnostic.text();
    const auto play = [&](float step) { return render([&] { drawEngineModel(model, DrawMode::Play, kFillSolid, step, nullptr); }); };
    const Frame key0 = play(0.0f);
    const Frame key1 = play(1.0f);
    EXPECT_GT(key0.count(red), 50);
    EXPECT_GT(key1.count(blue), 50);
    // 30 units along the file's x is 30 units to the viewer's left: about 7 pixels here.
    EXPECT_LT(key1.centreX(), key0.centreX() - 4.0);
}

TEST_F(RenderPixelTest, AnSmdModelDrawsEachTriangleWithItsOwnTexture)
{
    test::writeText(dir_.file("two.smd"), squareSmd("red.png", "green.png"));
    SmdModel model(device_.get());
    ASSERT_TRUE(model.loadReference(dir_.file("two.smd"))) << model.diagnostic.text();
    const Frame textured = render([&] { drawSmdModel(model, kFillSolid, 0, 0, 0.5f, -1, true); });
    EXPECT_GT(textured.count(red), 100);
    EXPECT_GT(textured.count(green), 100);

    const Frame plain = render([&] { drawSmdModel(model, kFillSolid, 0, 0, 0.5f, -1, false); });
    EXPECT_EQ(plain.count(red), 0);
    EXPECT_EQ(plain.count(green), 0);
}

TEST_F(RenderPixelTest, WithoutTheEffectFileAModelIsNotShownButTheRestOfTheFrameIs)
{
    // The effect is looked for from the working folder, which has no Shaders/ here.
    const fs::path home = fs::current_path();
    struct Back {
        fs::path to;
        ~Back() { fs::current_path(to); }
    } back{home};
    fs::current_path(dir_.path());
    EngineModel model(device_.get());
    fs::current_path(home);
    EXPECT_EQ(model.effect, nullptr);
    ASSERT_EQ(capture_.shell.boxes.size(), 1u);
    EXPECT_EQ(capture_.shell.boxes[0].caption, "ERROR");
    ASSERT_TRUE(model.loadReference(dir_.file("hero.mRef")));

    struct ColourVertex {
        float x, y, z;
        std::uint32_t colour;
    };
    const ColourVertex marker[3] = {{-100, -100, 0, 0xFF00FF00}, {-40, -100, 0, 0xFF00FF00}, {-100, -40, 0, 0xFF00FF00}};
    const Frame frame = render([&] {
        drawEngineModel(model, DrawMode::Still, kFillSolid, 0.5f, nullptr);
        device_->setTexture(0, nullptr);
        device_->setRenderState(RenderState::AlphaBlendEnable, 0);
        device_->setFVF(fvf::kXyz | fvf::kDiffuse);
        device_->drawPrimitiveUP(PrimitiveType::TriangleList, 1, marker, sizeof(ColourVertex));
        graphics_.drawText("Veskar", 1, 1);
    });
    EXPECT_EQ(frame.count(red), 0);
    EXPECT_EQ(frame.count(blue), 0);
    EXPECT_GT(frame.count(green), 50);
    EXPECT_GT(frame.count([](Pixel p) { return p.g > 100 && p.b > 100 && p.r < 80; }, 0, 14), 5);
}

} // namespace
} // namespace veskar
