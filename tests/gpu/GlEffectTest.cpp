// Effects on the GL device: Shaders/Phong.fx (read from the working
// directory, as the program reads it), parameter upload and compile failures.

#include "GlTestSupport.h"

#include "gpu/Effect.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace veskar::test {
namespace {

constexpr Rgba kBlack{0, 0, 0, 255};

// Vertex of FVF 0x280312: position, normal, uv, weights, bone numbers.
struct SkinVertex {
    float x, y, z, nx, ny, nz, u, v;
    float weights[4];
    float bones[4];
};
static_assert(sizeof(SkinVertex) == 64);

class GlEffectTest : public GlFixture {
protected:
    void SetUp() override
    {
        GlFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        std::string errors;
        ASSERT_EQ(device_->createEffectFromFile("Shaders/Phong.fx", &effect_, &errors), kOk) << errors;
        ASSERT_EQ(effect_->setTechnique(effect_->getTechniqueByName("TShader")), kOk);
    }

    void TearDown() override
    {
        if (effect_) effect_->release();
        if (device_) {
            EXPECT_EQ(device_->liveObjects(), 0);
        }
        GlFixture::TearDown();
    }

    // The parameters the models bind; flat lighting unless told otherwise, so
    // pixels show the texels exactly.
    void bind(const Matrix& world, const Matrix& view, const Matrix& projection, Vector4 ambient = {1, 1, 1, 1},
              Vector4 diffuse = {0, 0, 0, 1}, Vector4 specular = {0, 0, 0, 1})
    {
        const Matrix wv = matrixMultiply(world, view);
        effect_->setMatrix("matWorldView", wv);
        effect_->setMatrix("matWorldViewInverseTranspose", matrixTranspose(matrixInverse(wv)));
        effect_->setMatrix("matWorldViewProjection", matrixMultiply(wv, projection));
        effect_->setVector("fvEyePosition", {0, 0, 0, 1});
        effect_->setVector("fvLightPosition", {0, 0, 1, 1});
        effect_->setVector("fvAmbient", ambient);
        effect_->setVector("fvDiffuse", diffuse);
        effect_->setVector("fvSpecular", specular);
    }

    void drawQuadThroughEffect(Texture* texture, const std::vector<MeshVertex>& v)
    {
        effect_->setTexture("DiffuseMap", texture);
        std::uint32_t passes = 0;
        ASSERT_EQ(effect_->begin(&passes, 0), kOk);
        ASSERT_EQ(effect_->beginPass(0), kOk);
        device_->setFVF(kFvfMesh);
        EXPECT_EQ(device_->drawPrimitiveUP(PrimitiveType::TriangleList, static_cast<std::uint32_t>(v.size() / 3), v.data(),
                                           sizeof(MeshVertex)),
                  kOk);
        effect_->endPass();
        effect_->end();
    }

    Effect* effect_ = nullptr;
};

TEST_F(GlEffectTest, PhongDeclaresTheTechniqueAndTheNineParameters)
{
    EXPECT_NE(effect_->getTechniqueByName("TShader"), kNullHandle);
    for (const char* name : {"matWorldView", "matWorldViewInverseTranspose", "matWorldViewProjection", "fvEyePosition",
                             "fvLightPosition", "fvAmbient", "fvDiffuse", "fvSpecular", "DiffuseMap"})
        EXPECT_NE(effect_->parameter(name), nullptr) << name;
}

TEST_F(GlEffectTest, TexturedTriangleShowsTheTextureColours)
{
    Texture* t = quadrantTexture();
    bind(matrixIdentity(), matrixIdentity(), matrixIdentity());
    drawQuadThroughEffect(t, quad(-1, -1, 1, 1));
    expectQuadrants(frame());
    t->release();
}

TEST_F(GlEffectTest, SkinVerticesReachTheEffectThroughThirtyTwoBitIndices)
{
    Texture* t = quadrantTexture();
    const auto corners = quad(-1, -1, 1, 1);
    VertexBuffer* vb = nullptr;
    ASSERT_EQ(device_->createVertexBuffer(4 * sizeof(SkinVertex), 0, 0, Pool::Default, &vb), kOk);
    void* data = nullptr;
    ASSERT_EQ(vb->lock(0, 0, &data, 0), kOk);
    auto* out = static_cast<SkinVertex*>(data);
    const int pick[4] = {0, 1, 2, 4};  // top left, top right, bottom left, bottom right
    for (int i = 0; i < 4; ++i) {
        const MeshVertex& c = corners[static_cast<std::size_t>(pick[i])];
        out[i] = {c.x, c.y, c.z, c.nx, c.ny, c.nz, c.u, c.v, {1, 0, 0, 0}, {7, 0, 0, 0}};
    }
    ASSERT_EQ(vb->unlock(), kOk);
    IndexBuffer* ib = nullptr;
    ASSERT_EQ(device_->createIndexBuffer(6 * 4, 0, IndexFormat::Index32, Pool::Default, &ib), kOk);
    ASSERT_EQ(ib->lock(0, 0, &data, 0), kOk);
    const std::uint32_t indices[6] = {0, 1, 2, 1, 3, 2};
    std::memcpy(data, indices, sizeof indices);
    ASSERT_EQ(ib->unlock(), kOk);

    bind(matrixIdentity(), matrixIdentity(), matrixIdentity());
    effect_->setTexture("DiffuseMap", t);
    std::uint32_t passes = 0;
    effect_->begin(&passes, 0);
    effect_->beginPass(0);
    device_->setStreamSource(0, vb, 0, sizeof(SkinVertex));
    device_->setFVF(kFvfSkin);
    device_->setIndices(ib);
    EXPECT_EQ(device_->drawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 4, 0, 2), kOk);
    effect_->endPass();
    effect_->end();
    expectQuadrants(frame());
    ib->release();
    vb->release();
    t->release();
}

TEST_F(GlEffectTest, MatricesPlaceThePointsAsDirect3DDoes)
{
    // A small quad five units ahead, moved right and up: through a
    // perspective projection it lands in the top right quarter.
    Texture* t = quadrantTexture();
    const Matrix world = matrixTranslation(1.0f, 1.0f, 5.0f);
    const Matrix projection = matrixPerspectiveFovLH(0.785398f, 1.0f, 1.0f, 100.0f);
    bind(world, matrixIdentity(), projection);
    drawQuadThroughEffect(t, quad(-0.5f, -0.5f, 0.5f, 0.5f, 0.0f));
    const Image image = frame();
    EXPECT_EQ(image.countNot(kBlack, 0, 0, 32, 64), 0);
    EXPECT_EQ(image.countNot(kBlack, 32, 32, 64, 64), 0);
    EXPECT_GT(image.countNot(kBlack, 32, 0, 64, 32), 100);
    t->release();
}

TEST_F(GlEffectTest, FacesTurnedToTheLightAreBrighterThanFacesTurnedAway)
{
    // White texture, the program's lighting values; the light sits one unit
    // in front of the eye, the quad five units ahead.
    const std::uint8_t white[4] = {255, 255, 255, 255};
    Texture* t = nullptr;
    ASSERT_EQ(device_->createTexture(1, 1, white, &t), kOk);
    const Matrix world = matrixMultiply(matrixRotationY(0.3f), matrixTranslation(0.0f, 0.0f, 5.0f));
    const Matrix projection = matrixPerspectiveFovLH(0.785398f, 1.0f, 1.0f, 100.0f);
    bind(world, matrixIdentity(), projection, {0.2f, 0.2f, 0.2f, 1}, {1, 1, 1, 1}, {0.2f, 0.2f, 0.2f, 1});
    drawQuadThroughEffect(t, quad(-1, -1, 1, 1, 0.0f, -1.0f));
    const Rgba lit = frame().at(32, 32);
    device_->clear(kClearTarget | kClearZBuffer, 0xFF000000, 1.0f, 0);
    drawQuadThroughEffect(t, quad(-1, -1, 1, 1, 0.0f, 1.0f));
    const Rgba unlit = frame().at(32, 32);
    EXPECT_GT(lit.r, 240);
    EXPECT_NEAR(unlit.r, 51, 2);  // ambient only
    t->release();
}

TEST_F(GlEffectTest, AlphaTestCutsTexelsBelowTheReference)
{
    Texture* t = quadrantTexture(4, 0x7F, 0x80);
    bind(matrixIdentity(), matrixIdentity(), matrixIdentity());
    device_->setRenderState(RenderState::AlphaTestEnable, 1);
    device_->setRenderState(RenderState::AlphaRef, 0x80);
    device_->setRenderState(RenderState::AlphaFunc, kCmpGreaterEqual);
    drawQuadThroughEffect(t, quad(-1, -1, 1, 1));
    Image image = frame();
    EXPECT_EQ(image.countNot(kBlack, 0, 0, 32, 64), 0);
    EXPECT_EQ(image.at(56, 8), (Rgba{0, 255, 0, 0x80}));

    device_->setRenderState(RenderState::AlphaTestEnable, 0);
    drawQuadThroughEffect(t, quad(-1, -1, 1, 1));
    image = frame();
    EXPECT_EQ(image.at(8, 8), (Rgba{255, 0, 0, 0x7F}));
    t->release();
}

TEST_F(GlEffectTest, AnEmptyStageSamplesOpaqueBlackAndSetTextureAfterCommitWins)
{
    device_->clear(kClearTarget, 0xFF808080, 1.0f, 0);
    bind(matrixIdentity(), matrixIdentity(), matrixIdentity());
    drawQuadThroughEffect(nullptr, quad(-1, -1, 1, 1));
    EXPECT_EQ(frame().countNot(kBlack), 0);

    // The untextured model path: the effect's texture is committed, then the
    // device stage is emptied before the draw.
    Texture* t = quadrantTexture();
    device_->clear(kClearTarget, 0xFF808080, 1.0f, 0);
    effect_->setTexture("DiffuseMap", t);
    std::uint32_t passes = 0;
    effect_->begin(&passes, 0);
    effect_->beginPass(0);
    EXPECT_EQ(device_->texture(0), t);
    device_->setTexture(0, nullptr);
    const auto v = quad(-1, -1, 1, 1);
    device_->setFVF(kFvfMesh);
    device_->drawPrimitiveUP(PrimitiveType::TriangleList, 2, v.data(), sizeof(MeshVertex));
    effect_->endPass();
    effect_->end();
    EXPECT_EQ(frame().countNot(kBlack), 0);
    t->release();
}

class GlEffectFileTest : public GlFixture {
protected:
    std::string write(const std::string& name, const std::string& text)
    {
        const std::filesystem::path path = std::filesystem::temp_directory_path() / name;
        std::ofstream(path) << text;
        written_.push_back(path);
        return path.string();
    }
    void TearDown() override
    {
        for (const auto& p : written_) std::filesystem::remove(p);
        GlFixture::TearDown();
    }
    std::vector<std::filesystem::path> written_;
};

// The error sits on line 10 of the file.
const char* const kBrokenFragment = "#technique TShader\n"
                                    "#parameter float4 fvAmbient\n"
                                    "#stage vertex\n"
                                    "layout(location = 0) in vec3 p;\n"
                                    "void main() { gl_Position = veskarClip(vec4(p, 1.0)); }\n"
                                    "#stage fragment\n"
                                    "uniform vec4 fvAmbient;\n"
                                    "out vec4 c;\n"
                                    "void main() {\n"
                                    "    c = fvAmbient * undeclaredThing;\n"
                                    "}\n";

TEST_F(GlEffectFileTest, ACompileFailureReturnsTheGlslLogWithTheFileLine)
{
    const std::string path = write("veskar-broken.fx", kBrokenFragment);
    Effect* effect = nullptr;
    std::string errors;
    EXPECT_TRUE(failed(device_->createEffectFromFile(path.c_str(), &effect, &errors)));
    EXPECT_EQ(effect, nullptr);
    EXPECT_EQ(device_->liveObjects(), 0);
    EXPECT_NE(errors.find("undeclaredThing"), std::string::npos) << errors;
    EXPECT_NE(errors.find("fragment stage"), std::string::npos) << errors;
    EXPECT_NE(errors.find(":10("), std::string::npos) << errors;
}

TEST_F(GlEffectFileTest, AStageWithItsOwnVersionKeepsItAndItsLineNumbers)
{
    std::string text = kBrokenFragment;
    text.replace(text.find("uniform vec4 fvAmbient;\n"), 0, "#version 330 core\n");
    const std::string path = write("veskar-versioned.fx", text);
    Effect* effect = nullptr;
    std::string errors;
    EXPECT_TRUE(failed(device_->createEffectFromFile(path.c_str(), &effect, &errors)));
    EXPECT_NE(errors.find(":11("), std::string::npos) << errors;

    // Without the error it builds and draws.
    text.replace(text.find(" * undeclaredThing"), std::strlen(" * undeclaredThing"), "");
    const std::string fixedPath = write("veskar-fixed.fx", text);
    ASSERT_EQ(device_->createEffectFromFile(fixedPath.c_str(), &effect, &errors), kOk) << errors;
    effect->setTechnique(1);
    effect->setVector("fvAmbient", {0, 1, 0, 1});
    std::uint32_t passes = 0;
    effect->begin(&passes, 0);
    effect->beginPass(0);
    const ColourVertex tri[3] = {{-1, 1, 0.5f, 0}, {3, 1, 0.5f, 0}, {-1, -3, 0.5f, 0}};
    device_->setFVF(kFvfColour);
    device_->drawPrimitiveUP(PrimitiveType::TriangleList, 1, tri, sizeof(ColourVertex));
    effect->end();
    EXPECT_EQ(frame().countNot({0, 255, 0, 255}), 0);
    effect->release();
    EXPECT_EQ(device_->liveObjects(), 0);
}

TEST_F(GlEffectFileTest, AMissingFileNamesThePath)
{
    Effect* effect = nullptr;
    std::string errors;
    EXPECT_TRUE(failed(device_->createEffectFromFile("no/such/Effect.fx", &effect, &errors)));
    EXPECT_NE(errors.find("no/such/Effect.fx"), std::string::npos);
}

} // namespace
} // namespace veskar::test
