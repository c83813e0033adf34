// A whole 800 x 600 frame as the viewer draws one: grid lines from user memory,
// a textured model through Phong.fx both one triangle per draw and indexed,
// a marker cube and overlay text. Reports the frame time; with
// VESKAR_GL_PNG_DIR set it also writes the frame there for a look.

#include "GlTestSupport.h"

#include "gpu/Effect.h"
#include "gpu/TextDrawer.h"

#include <epoxy/gl.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace veskar::test {
namespace {

constexpr int kWidth = 800, kHeight = 600;

std::vector<ColourVertex> gridLines()
{
    std::vector<ColourVertex> v;
    const float e = 10000.0f;
    const std::uint32_t axes[3] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    for (int axis = 0; axis < 3; ++axis) {
        float lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
        lo[axis] = -e;
        hi[axis] = e;
        v.push_back({lo[0], lo[1], lo[2], axes[axis]});
        v.push_back({0, 0, 0, axes[axis]});
        v.push_back({0, 0, 0, axes[axis]});
        v.push_back({hi[0], hi[1], hi[2], axes[axis]});
    }
    for (int i = 0; i < 20; ++i) {
        const float k = 10.0f * static_cast<float>(i + 1);
        const std::uint32_t c = i % 2 == 0 ? 0xFF555555 : 0xFF999999;
        for (const float s : {k, -k}) {
            v.push_back({-200, 0, s, c});
            v.push_back({200, 0, s, c});
        }
        for (const float s : {k, -k}) {
            v.push_back({s, 0, -200, c});
            v.push_back({s, 0, 200, c});
        }
    }
    return v;
}

// A sphere of separate triangles, texture coordinates wrapped around it.
std::vector<MeshVertex> sphere(float radius, float cx, float cy, float cz, int rings, int segments)
{
    const float pi = 3.14159265f;
    const auto point = [&](int r, int s) {
        const float theta = pi * static_cast<float>(r) / static_cast<float>(rings);
        const float phi = 2.0f * pi * static_cast<float>(s) / static_cast<float>(segments);
        const float nx = std::sin(theta) * std::cos(phi), ny = std::cos(theta), nz = std::sin(theta) * std::sin(phi);
        return MeshVertex{cx + radius * nx, cy + radius * ny, cz + radius * nz, nx, ny, nz,
                          static_cast<float>(s) / static_cast<float>(segments), static_cast<float>(r) / static_cast<float>(rings)};
    };
    std::vector<MeshVertex> v;
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            const MeshVertex a = point(r, s), b = point(r, s + 1), c = point(r + 1, s), d = point(r + 1, s + 1);
            v.insert(v.end(), {a, b, c, b, d, c});
        }
    return v;
}

class GlFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        if (!context_.create(kWidth, kHeight, error)) GTEST_SKIP() << "no headless GL: " << error;
        ASSERT_TRUE(device_.initialise(error)) << error;
        device_.setRenderTarget(context_.framebuffer(), kWidth, kHeight);
        Viewport vp;
        vp.width = kWidth;
        vp.height = kHeight;
        device_.setViewport(vp);
        ASSERT_TRUE(text_.create(device_, 20, true, error)) << error;
        std::string errors;
        ASSERT_EQ(device_.createEffectFromFile("Shaders/Phong.fx", &effect_, &errors), kOk) << errors;
        effect_->setTechnique(effect_->getTechniqueByName("TShader"));

        // A checker texture with a transparent hole in the middle.
        std::vector<std::uint8_t> rgba(64 * 64 * 4);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                std::uint8_t* p = &rgba[static_cast<std::size_t>(y * 64 + x) * 4];
                const bool dark = ((x / 8) + (y / 8)) % 2 == 0;
                p[0] = dark ? 200 : 240;
                p[1] = dark ? 80 : 200;
                p[2] = dark ? 40 : 120;
                p[3] = (x >= 24 && x < 40 && y >= 24 && y < 40) ? 0 : 255;
            }
        ASSERT_EQ(device_.createTexture(64, 64, rgba.data(), &texture_), kOk);

        grid_ = gridLines();
        smd_ = sphere(40.0f, -60.0f, 40.0f, 0.0f, 24, 40);
        const std::vector<MeshVertex> engine = sphere(40.0f, 60.0f, 40.0f, 0.0f, 24, 40);
        ASSERT_EQ(device_.createVertexBuffer(static_cast<std::uint32_t>(smd_.size() * sizeof(MeshVertex)), 0, 0, Pool::Default, &smdBuffer_),
                  kOk);
        fill(smdBuffer_, smd_.data(), smd_.size() * sizeof(MeshVertex));
        ASSERT_EQ(device_.createVertexBuffer(static_cast<std::uint32_t>(engine.size() * sizeof(MeshVertex)), 0, 0, Pool::Default,
                                             &engineBuffer_),
                  kOk);
        fill(engineBuffer_, engine.data(), engine.size() * sizeof(MeshVertex));
        std::vector<std::uint32_t> indices(engine.size());
        for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<std::uint32_t>(i);
        ASSERT_EQ(device_.createIndexBuffer(static_cast<std::uint32_t>(indices.size() * 4), 0, IndexFormat::Index32, Pool::Default,
                                            &engineIndices_),
                  kOk);
        void* data = nullptr;
        engineIndices_->lock(0, 0, &data, 0);
        std::memcpy(data, indices.data(), indices.size() * 4);
        engineIndices_->unlock();

        const float cube[] = {-1, 1, -1, 1, 1, -1, -1, -1, -1, 1, -1, -1, 1, 1, -1, 1, 1, 1, 1, -1, -1, 1, -1, 1,
                              1, 1, 1, -1, 1, 1, 1, -1, 1, -1, -1, 1, -1, 1, 1, -1, 1, -1, -1, -1, 1, -1, -1, -1,
                              -1, 1, 1, 1, 1, 1, -1, 1, -1, 1, 1, -1, -1, -1, -1, 1, -1, -1, -1, -1, 1, 1, -1, 1};
        ASSERT_EQ(device_.createVertexBuffer(sizeof cube, 0, 0, Pool::Default, &markerVertices_), kOk);
        fill(markerVertices_, cube, sizeof cube);
        std::uint16_t cubeIndices[36];
        for (int f = 0; f < 6; ++f) {
            const auto b = static_cast<std::uint16_t>(4 * f);
            const std::uint16_t face[6] = {b, static_cast<std::uint16_t>(b + 1), static_cast<std::uint16_t>(b + 2),
                                           static_cast<std::uint16_t>(b + 1), static_cast<std::uint16_t>(b + 3),
                                           static_cast<std::uint16_t>(b + 2)};
            std::memcpy(cubeIndices + 6 * f, face, sizeof face);
        }
        ASSERT_EQ(device_.createIndexBuffer(sizeof cubeIndices, 0, IndexFormat::Index16, Pool::Default, &markerIndices_), kOk);
        fill(markerIndices_, cubeIndices, sizeof cubeIndices);

        device_.setTransform(TransformType::View, matrixLookAtLH({0, 120, -300}, {0, 20, 0}, {0, 1, 0}));
        device_.setTransform(TransformType::Projection, matrixPerspectiveFovLH(0.785398f, 800.0f / 600.0f, 1.0f, 5000.0f));
        device_.setRenderState(RenderState::SpecularEnable, 1);
        for (auto state : {SamplerState::MagFilter, SamplerState::MinFilter, SamplerState::MipFilter})
            device_.setSamplerState(0, state, kTexFilterLinear);
        device_.setRenderState(RenderState::CullMode, kCullNone);
    }

    void TearDown() override
    {
        for (auto* b : {smdBuffer_, engineBuffer_, markerVertices_})
            if (b) b->release();
        for (auto* b : {engineIndices_, markerIndices_})
            if (b) b->release();
        if (texture_) texture_->release();
        if (effect_) effect_->release();
        text_.release();
        EXPECT_EQ(device_.liveObjects(), 0);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "a GL call was refused";
    }

    template <typename Buffer>
    static void fill(Buffer* b, const void* src, std::size_t bytes)
    {
        void* data = nullptr;
        ASSERT_EQ(b->lock(0, 0, &data, 0), kOk);
        std::memcpy(data, src, bytes);
        ASSERT_EQ(b->unlock(), kOk);
    }

    void bindEffect()
    {
        Matrix w, v, p;
        device_.getTransform(TransformType::World, &w);
        device_.getTransform(TransformType::View, &v);
        device_.getTransform(TransformType::Projection, &p);
        const Matrix wv = matrixMultiply(w, v);
        effect_->setMatrix("matWorldView", wv);
        effect_->setMatrix("matWorldViewInverseTranspose", matrixTranspose(matrixInverse(wv)));
        effect_->setMatrix("matWorldViewProjection", matrixMultiply(wv, p));
        effect_->setVector("fvEyePosition", {0, 0, 0, 1});
        effect_->setVector("fvLightPosition", {0, 0, 1, 1});
        effect_->setVector("fvAmbient", {0.2f, 0.2f, 0.2f, 1});
        effect_->setVector("fvDiffuse", {1, 1, 1, 1});
        effect_->setVector("fvSpecular", {0.2f, 0.2f, 0.2f, 1});
    }

    void setModelStates(std::uint32_t fill)
    {
        device_.setRenderState(RenderState::FillMode, fill);
        device_.setRenderState(RenderState::AlphaBlendEnable, 1);
        device_.setRenderState(RenderState::DestBlend, kBlendInvSrcAlpha);
        device_.setRenderState(RenderState::SrcBlend, kBlendSrcAlpha);
        device_.setRenderState(RenderState::AlphaTestEnable, 1);
        device_.setRenderState(RenderState::AlphaRef, 0x80);
        device_.setRenderState(RenderState::AlphaFunc, kCmpGreaterEqual);
    }

    void renderFrame(std::uint32_t engineFill)
    {
        device_.clear(kClearTarget | kClearZBuffer, 0xFF004040, 1.0f, 0);
        device_.beginScene();
        device_.setRenderState(RenderState::Lighting, 0);
        device_.setRenderState(RenderState::AlphaBlendEnable, 0);
        device_.setRenderState(RenderState::AlphaTestEnable, 0);
        device_.setTexture(0, nullptr);
        device_.setFVF(kFvfColour);
        device_.drawPrimitiveUP(PrimitiveType::LineList, static_cast<std::uint32_t>(grid_.size() / 2), grid_.data(), sizeof(ColourVertex));
        device_.setRenderState(RenderState::ZEnable, 1);

        // One draw per triangle, as the SMD model is drawn.
        std::uint32_t passes = 0;
        bindEffect();
        effect_->begin(&passes, 0);
        effect_->beginPass(0);
        device_.setStreamSource(0, smdBuffer_, 0, sizeof(MeshVertex));
        device_.setFVF(kFvfMesh);
        setModelStates(kFillSolid);
        for (std::uint32_t t = 0; t < smd_.size() / 3; ++t) {
            effect_->setTexture("DiffuseMap", texture_);
            effect_->commitChanges();
            device_.drawPrimitive(PrimitiveType::TriangleList, 3 * t, 1);
        }
        effect_->end();

        // One indexed draw, as an engine model is drawn.
        bindEffect();
        effect_->begin(&passes, 0);
        effect_->beginPass(0);
        device_.setStreamSource(0, engineBuffer_, 0, sizeof(MeshVertex));
        setModelStates(engineFill);
        effect_->setTexture("DiffuseMap", texture_);
        effect_->commitChanges();
        device_.setFVF(kFvfMesh);
        device_.setIndices(engineIndices_);
        device_.drawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, static_cast<std::uint32_t>(smd_.size()), 0,
                                     static_cast<std::uint32_t>(smd_.size() / 3));
        device_.setRenderState(RenderState::AlphaBlendEnable, 0);
        effect_->end();

        // A marker cube, unlit and untextured.
        device_.setRenderState(RenderState::AlphaTestEnable, 0);
        device_.setTexture(0, nullptr);
        device_.setTransform(TransformType::World, matrixMultiply(matrixIdentity(), matrixTranslation(0, 100, 0)));
        device_.setStreamSource(0, markerVertices_, 0, 12);
        device_.setFVF(fvf::kXyz);
        device_.setIndices(markerIndices_);
        device_.drawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 24, 0, 12);
        device_.setTransform(TransformType::World, matrixIdentity());

        const char* lines[7] = {"FPS: 12.500000",
                                "[CAMERA]X:0.000000, Y:120.000000, Z:-300.000000",
                                "[광원]X:500.000000, Y:500.000000, Z:-500.000000",
                                "[Camera이동] W/A/S/D [Roll] Q/E [↑↓] R/F",
                                "[Camera회전] 마우스 R 버튼",
                                "[Light이동] [X이동]NUM8/NUM5 [Y이동]NUM4/NUM6 [Z이동]NUM7/NUM9",
                                "[WIRE/SOLID] SPACE BAR"};
        for (int i = 0; i < 7; ++i) {
            const int y = 10 + 20 * i;
            text_.drawText(lines[i], Rect{1, y, static_cast<int>(std::strlen(lines[i])) * 20, y + 20}, 0xFF00FFFF);
        }
        device_.endScene();
        device_.present();
    }

    HeadlessContext context_;
    GlDevice device_;
    TextDrawer text_;
    Effect* effect_ = nullptr;
    Texture* texture_ = nullptr;
    VertexBuffer* smdBuffer_ = nullptr;
    VertexBuffer* engineBuffer_ = nullptr;
    IndexBuffer* engineIndices_ = nullptr;
    VertexBuffer* markerVertices_ = nullptr;
    IndexBuffer* markerIndices_ = nullptr;
    std::vector<ColourVertex> grid_;
    std::vector<MeshVertex> smd_;
};

TEST_F(GlFrameTest, AViewerFrameDrawsEveryPartWhereItBelongs)
{
    renderFrame(kFillSolid);  // warms up shader variants
    glFinish();
    constexpr int kFrames = 5;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kFrames; ++i) {
        renderFrame(i % 2 == 0 ? kFillSolid : kFillWireframe);
        glFinish();
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / kFrames;
    std::printf("800x600 frame (%zu one-triangle draws, %s): %.1f ms\n", smd_.size() / 3, context_.renderer().c_str(), ms);
    RecordProperty("frame_ms", static_cast<int>(ms));

    renderFrame(kFillSolid);
    const Image image{kWidth, kHeight, context_.readPixels()};
    if (const char* dir = std::getenv("VESKAR_GL_PNG_DIR")) {
        std::string error;
        EXPECT_TRUE(context_.writePng(std::string(dir) + "/veskar-frame.png", error)) << error;
    }
    // Overlay text at the top left, in cyan.
    int cyan = 0;
    for (int y = 10; y < 150; ++y)
        for (int x = 1; x < 400; ++x) cyan += image.at(x, y) == Rgba{0, 255, 255, 255};
    EXPECT_GT(cyan, 500);
    // The two models left and right of the middle, lit from the front.
    const Rgba left = image.at(400 - 95, 300 - 70), right = image.at(400 + 95, 300 - 70);
    EXPECT_GT(left.r, 150) << left;
    EXPECT_GT(right.r, 150) << right;
    // The grid below the horizon, the clear colour above the models.
    EXPECT_EQ(image.at(400, 180), (Rgba{0, 0x40, 0x40, 255}));
    int grey = 0;
    for (int x = 0; x < kWidth; ++x)
        for (int y = 420; y < kHeight; ++y) {
            const Rgba c = image.at(x, y);
            grey += (c == Rgba{0x55, 0x55, 0x55, 255} || c == Rgba{0x99, 0x99, 0x99, 255});
        }
    EXPECT_GT(grey, 1000);
}

} // namespace
} // namespace veskar::test
