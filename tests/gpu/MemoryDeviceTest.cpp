// The in-memory device is what the converter runs on and what the model tests
// inspect, so its bookkeeping (buffer bytes, object counts, recorded state) has
// to be trustworthy; the effect file reader is shared with the GL device.

#include "gpu/Effect.h"
#include "gpu/MemoryDevice.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>

namespace veskar {
namespace {

using test::TempDir;
using test::writeText;

const char* const kEffectText =
    "// a small effect\n"                        // 1
    "#technique TShader\n"                       // 2
    "#parameter float4x4 matWorldView\n"         // 3
    "#parameter float4 fvEyePosition\n"          // 4
    "#parameter texture DiffuseMap\n"            // 5
    "\n"                                         // 6
    "#stage vertex\n"                            // 7
    "void main()\n"                              // 8
    "{\n"                                        // 9
    "    gl_Position = vec4(0.0);\n"             // 10
    "}\n"                                        // 11
    "#stage fragment\n"                          // 12
    "out vec4 colour;\n"                         // 13
    "void main() { colour = vec4(1.0); }\n";     // 14

template <typename Buffer>
void checkLocking(const MemoryDevice& device, Buffer* b)
{
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->length(), 64u);

    void* data = nullptr;
    ASSERT_EQ(b->lock(0, 0, &data, 0), kOk);
    std::iota(static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + 64, std::uint8_t{1});
    // A second lock before the unlock would hand out the same bytes twice.
    void* again = nullptr;
    EXPECT_EQ(b->lock(0, 0, &again, 0), kInvalidCall);
    EXPECT_EQ(b->unlock(), kOk);
    EXPECT_EQ(device.uploadsOf(*b), 1u);
    for (std::size_t i = 0; i < 64; ++i) ASSERT_EQ(b->bytes[i], i + 1) << "byte " << i;

    // A partial lock points at its offset, and what is written there stays.
    ASSERT_EQ(b->lock(48, 16, &data, 0), kOk);
    EXPECT_EQ(data, b->bytes.data() + 48);
    std::memset(data, 0xAB, 16);
    EXPECT_EQ(b->unlock(), kOk);
    EXPECT_EQ(device.uploadsOf(*b), 2u);
    EXPECT_EQ(b->bytes[47], 48);
    EXPECT_EQ(b->bytes[48], 0xAB);
    EXPECT_EQ(b->bytes[63], 0xAB);

    EXPECT_EQ(b->lock(48, 17, &data, 0), kInvalidCall);
    EXPECT_EQ(b->lock(65, 0, &data, 0), kInvalidCall);
    EXPECT_EQ(b->lock(0xFFFFFFF0u, 0x20, &data, 0), kInvalidCall);  // offset + size wraps around
    EXPECT_EQ(b->lock(0, 0, nullptr, 0), kInvalidCall);
    // A refused lock leaves the buffer unlocked, so unlock is refused and nothing is sent.
    EXPECT_EQ(b->unlock(), kInvalidCall);
    EXPECT_EQ(device.uploadsOf(*b), 2u);
}

TEST(MemoryDeviceTest, BuffersKeepWhatIsWrittenThroughLocks)
{
    MemoryDevice device;
    VertexBuffer* vb = nullptr;
    ASSERT_EQ(device.createVertexBuffer(64, 0, fvf::kXyz | fvf::kNormal, Pool::Managed, &vb), kOk);
    EXPECT_EQ(vb->fvf, fvf::kXyz | fvf::kNormal);
    EXPECT_EQ(vb->pool, Pool::Managed);
    checkLocking(device, vb);

    IndexBuffer* ib = nullptr;
    ASSERT_EQ(device.createIndexBuffer(64, 0, IndexFormat::Index16, Pool::Default, &ib), kOk);
    EXPECT_EQ(ib->format, IndexFormat::Index16);
    checkLocking(device, ib);

    vb->release();
    ib->release();
    EXPECT_EQ(device.liveObjects(), 0);
}

TEST(MemoryDeviceTest, CreationRefusesEmptyObjectsAndCountsLiveOnes)
{
    TempDir dir;
    writeText(dir.file("e.fx"), kEffectText);
    MemoryDevice device;

    VertexBuffer* vb = reinterpret_cast<VertexBuffer*>(1);
    EXPECT_EQ(device.createVertexBuffer(0, 0, 0, Pool::Default, &vb), kInvalidCall);
    EXPECT_EQ(vb, nullptr);
    IndexBuffer* ib = reinterpret_cast<IndexBuffer*>(1);
    EXPECT_EQ(device.createIndexBuffer(0, 0, IndexFormat::Index32, Pool::Default, &ib), kInvalidCall);
    EXPECT_EQ(ib, nullptr);
    const std::uint8_t pixel[4] = {1, 2, 3, 4};
    Texture* tex = nullptr;
    EXPECT_EQ(device.createTexture(0, 1, pixel, &tex), kInvalidCall);
    EXPECT_EQ(device.createTexture(1, 1, nullptr, &tex), kInvalidCall);
    EXPECT_EQ(tex, nullptr);
    EXPECT_EQ(device.liveObjects(), 0);

    ASSERT_EQ(device.createVertexBuffer(12, 0, 0, Pool::Default, &vb), kOk);
    EXPECT_EQ(device.liveObjects(), 1);
    ASSERT_EQ(device.createIndexBuffer(12, 0, IndexFormat::Index32, Pool::Default, &ib), kOk);
    EXPECT_EQ(device.liveObjects(), 2);
    ASSERT_EQ(device.createTexture(1, 1, pixel, &tex), kOk);
    EXPECT_EQ(tex->rgba, std::vector<std::uint8_t>(pixel, pixel + 4));
    EXPECT_EQ(device.liveObjects(), 3);
    Effect* effect = nullptr;
    ASSERT_EQ(device.createEffectFromFile(dir.file("e.fx").c_str(), &effect, nullptr), kOk);
    EXPECT_EQ(device.liveObjects(), 4);
    Effect* second = nullptr;
    ASSERT_EQ(device.createEffectFromFile(dir.file("e.fx").c_str(), &second, nullptr), kOk);
    EXPECT_NE(second, effect);
    EXPECT_EQ(device.liveObjects(), 5);

    second->release();
    effect->release();
    EXPECT_EQ(device.liveObjects(), 3);
    tex->release();
    ib->release();
    vb->release();
    EXPECT_EQ(device.liveObjects(), 0);
}

TEST(MemoryDeviceTest, StatesReadBackAsSet)
{
    MemoryDevice device;
    // The Direct3D defaults the drawing code relies on.
    EXPECT_EQ(device.renderState(RenderState::FillMode), kFillSolid);
    EXPECT_EQ(device.renderState(RenderState::CullMode), kCullCCW);
    EXPECT_EQ(device.renderState(RenderState::ZEnable), 1u);
    EXPECT_EQ(device.renderState(RenderState::Lighting), 1u);
    EXPECT_EQ(device.renderState(RenderState::AlphaBlendEnable), 0u);

    EXPECT_EQ(device.setRenderState(RenderState::FillMode, kFillWireframe), kOk);
    EXPECT_EQ(device.setRenderState(RenderState::AlphaRef, 0x80), kOk);
    EXPECT_EQ(device.renderState(RenderState::FillMode), kFillWireframe);
    EXPECT_EQ(device.renderState(RenderState::AlphaRef), 0x80u);
    EXPECT_EQ(device.renderState(RenderState::CullMode), kCullCCW);
    EXPECT_EQ(device.setRenderState(static_cast<RenderState>(4096), 1), kInvalidCall);
    EXPECT_EQ(device.renderState(static_cast<RenderState>(4096)), 0u);

    // The three transforms are kept apart.
    const Matrix world = matrixTranslation(1, 2, 3), view = matrixRotationY(0.5f), projection = matrixPerspectiveFovLH(1, 1, 1, 10);
    EXPECT_EQ(device.setTransform(TransformType::World, world), kOk);
    EXPECT_EQ(device.setTransform(TransformType::View, view), kOk);
    EXPECT_EQ(device.setTransform(TransformType::Projection, projection), kOk);
    Matrix got;
    ASSERT_EQ(device.getTransform(TransformType::World, &got), kOk);
    EXPECT_EQ(std::memcmp(&got, &world, sizeof got), 0);
    ASSERT_EQ(device.getTransform(TransformType::View, &got), kOk);
    EXPECT_EQ(std::memcmp(&got, &view, sizeof got), 0);
    ASSERT_EQ(device.getTransform(TransformType::Projection, &got), kOk);
    EXPECT_EQ(std::memcmp(&got, &projection, sizeof got), 0);
    EXPECT_EQ(device.getTransform(TransformType::World, nullptr), kInvalidCall);

    // Sampler states have no reader on the device; only the stage range shows.
    EXPECT_EQ(device.setSamplerState(0, SamplerState::MinFilter, kTexFilterLinear), kOk);
    EXPECT_EQ(device.setSamplerState(7, SamplerState::AddressU, kTexAddressWrap), kOk);
    EXPECT_EQ(device.setSamplerState(8, SamplerState::MinFilter, kTexFilterLinear), kInvalidCall);

    EXPECT_EQ(device.lightEnable(0, true), kOk);
    EXPECT_TRUE(device.lightEnabled(0));
    EXPECT_FALSE(device.lightEnabled(1));
    EXPECT_EQ(device.lightEnable(8, true), kInvalidCall);
    EXPECT_FALSE(device.lightEnabled(8));

    Viewport vp;
    vp.width = 640;
    vp.height = 480;
    EXPECT_EQ(device.setViewport(vp), kOk);
    EXPECT_EQ(device.viewport().width, 640u);
    EXPECT_EQ(device.viewport().height, 480u);

    const std::uint8_t pixel[4] = {};
    Texture* tex = nullptr;
    ASSERT_EQ(device.createTexture(1, 1, pixel, &tex), kOk);
    EXPECT_EQ(device.setTexture(3, tex), kOk);
    EXPECT_EQ(device.texture(3), tex);
    EXPECT_EQ(device.setTexture(8, tex), kInvalidCall);
    // A released texture must not stay bound where a later draw would use it.
    tex->release();
    EXPECT_EQ(device.texture(3), nullptr);
}

TEST(MemoryDeviceTest, DrawsRecordTheStateTheyWereMadeWith)
{
    TempDir dir;
    writeText(dir.file("e.fx"), kEffectText);
    MemoryDevice device;
    VertexBuffer* vb = nullptr;
    ASSERT_EQ(device.createVertexBuffer(32 * 6, 0, 0, Pool::Default, &vb), kOk);   // six 32-byte vertices
    IndexBuffer* ib = nullptr;
    ASSERT_EQ(device.createIndexBuffer(6 * 2, 0, IndexFormat::Index16, Pool::Default, &ib), kOk);  // six 16-bit indices
    const std::uint8_t pixel[4] = {};
    Texture* tex = nullptr;
    ASSERT_EQ(device.createTexture(1, 1, pixel, &tex), kOk);

    const std::uint32_t format = fvf::kXyz | fvf::kNormal | fvf::kTex1;
    // Without a stream there is nothing to draw.
    EXPECT_EQ(device.drawPrimitive(PrimitiveType::TriangleList, 0, 1), kInvalidCall);

    device.setFVF(format);
    device.setStreamSource(0, vb, 0, 32);
    device.setTexture(0, tex);
    device.setRenderState(RenderState::FillMode, kFillWireframe);
    device.setTransform(TransformType::World, matrixTranslation(4, 5, 6));
    ASSERT_EQ(device.drawPrimitive(PrimitiveType::TriangleList, 3, 1), kOk);
    ASSERT_EQ(device.draws.size(), 1u);
    const RecordedDraw& d = device.draws[0];
    EXPECT_FALSE(d.indexed);
    EXPECT_EQ(d.type, PrimitiveType::TriangleList);
    EXPECT_EQ(d.fvf, format);
    EXPECT_EQ(d.fillMode, kFillWireframe);
    EXPECT_EQ(d.texture, tex);
    EXPECT_EQ(d.stream, vb);
    EXPECT_EQ(d.startVertex, 3u);
    EXPECT_EQ(d.primitiveCount, 1u);
    EXPECT_EQ(d.effect, nullptr);
    EXPECT_EQ(d.world.m[3][0], 4.0f);

    // Vertices 4 to 6 do not exist.
    EXPECT_EQ(device.drawPrimitive(PrimitiveType::TriangleList, 4, 1), kInvalidCall);
    EXPECT_EQ(device.drawPrimitive(PrimitiveType::TriangleList, 0, 3), kInvalidCall);
    EXPECT_EQ(device.draws.size(), 1u);

    EXPECT_EQ(device.drawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 6, 0, 1), kInvalidCall);  // no indices set
    device.setIndices(ib);
    device.setRenderState(RenderState::FillMode, kFillSolid);
    ASSERT_EQ(device.drawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 6, 3, 1), kOk);
    ASSERT_EQ(device.draws.size(), 2u);
    EXPECT_TRUE(device.draws[1].indexed);
    EXPECT_EQ(device.draws[1].indices, ib);
    EXPECT_EQ(device.draws[1].startIndex, 3u);
    EXPECT_EQ(device.draws[1].fillMode, kFillSolid);
    // Seven indices from 0, or three from 4, run past the six 16-bit indices.
    EXPECT_EQ(device.drawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 6, 4, 1), kInvalidCall);
    EXPECT_EQ(device.drawIndexedPrimitive(PrimitiveType::LineStrip, 0, 0, 6, 0, 6), kInvalidCall);
    EXPECT_EQ(device.drawIndexedPrimitive(PrimitiveType::TriangleStrip, 0, 0, 6, 0, 4), kOk);
    // The same twelve bytes hold only three 32-bit indices.
    IndexBuffer* ib32 = nullptr;
    ASSERT_EQ(device.createIndexBuffer(6 * 2, 0, IndexFormat::Index32, Pool::Default, &ib32), kOk);
    device.setIndices(ib32);
    EXPECT_EQ(device.drawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 6, 0, 2), kInvalidCall);
    EXPECT_EQ(device.drawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 6, 0, 1), kOk);
    EXPECT_EQ(device.draws.size(), 4u);

    // A draw inside an effect pass names the effect.
    Effect* effect = nullptr;
    ASSERT_EQ(device.createEffectFromFile(dir.file("e.fx").c_str(), &effect, nullptr), kOk);
    ASSERT_EQ(effect->setTechnique(effect->getTechniqueByName("TShader")), kOk);
    std::uint32_t passes = 0;
    ASSERT_EQ(effect->begin(&passes, 0), kOk);
    ASSERT_EQ(effect->beginPass(0), kOk);
    ASSERT_EQ(device.drawPrimitive(PrimitiveType::TriangleList, 0, 2), kOk);
    EXPECT_EQ(device.draws.back().effect, effect);
    effect->endPass();
    effect->end();
    ASSERT_EQ(device.drawPrimitive(PrimitiveType::TriangleList, 0, 2), kOk);
    EXPECT_EQ(device.draws.back().effect, nullptr);

    // User-pointer draws keep a copy of exactly the vertices they used.
    const float lines[2][3] = {{1, 2, 3}, {4, 5, 6}};
    ASSERT_EQ(device.drawPrimitiveUP(PrimitiveType::LineList, 1, lines, sizeof lines[0]), kOk);
    EXPECT_TRUE(device.draws.back().userPointer);
    EXPECT_EQ(device.draws.back().stream, nullptr);
    ASSERT_EQ(device.draws.back().userVertices.size(), sizeof lines);
    EXPECT_EQ(std::memcmp(device.draws.back().userVertices.data(), lines, sizeof lines), 0);
    EXPECT_EQ(device.drawPrimitiveUP(PrimitiveType::LineList, 1, nullptr, 12), kInvalidCall);

    // A released stream or index buffer is no longer drawn from.
    const std::size_t before = device.draws.size();
    vb->release();
    EXPECT_EQ(device.drawPrimitive(PrimitiveType::TriangleList, 0, 1), kInvalidCall);
    ib32->release();
    EXPECT_EQ(device.drawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 3, 0, 1), kInvalidCall);
    EXPECT_EQ(device.draws.size(), before);

    effect->release();
    ib->release();
    tex->release();
    EXPECT_EQ(device.liveObjects(), 0);
}

// kEffectText written to a file and loaded on device; null after a failure.
Effect* loadEffectText(MemoryDevice& device)
{
    TempDir dir;
    writeText(dir.file("e.fx"), kEffectText);
    Effect* effect = nullptr;
    std::string errors;
    EXPECT_EQ(device.createEffectFromFile(dir.file("e.fx").c_str(), &effect, &errors), kOk) << errors;
    return effect;
}

TEST(EffectFileTest, ParametersAreSetByNameAndKind)
{
    MemoryDevice device;
    Effect* effect = loadEffectText(device);
    ASSERT_NE(effect, nullptr);

    const EffectHandle technique = effect->getTechniqueByName("TShader");
    EXPECT_NE(technique, kNullHandle);
    EXPECT_EQ(effect->getTechniqueByName("tshader"), kNullHandle);
    EXPECT_EQ(effect->getTechniqueByName("Other"), kNullHandle);
    EXPECT_EQ(effect->getTechniqueByName(nullptr), kNullHandle);
    EXPECT_EQ(effect->setTechnique(kNullHandle), kInvalidCall);
    EXPECT_EQ(effect->setTechnique(technique + 1), kInvalidCall);
    EXPECT_EQ(effect->setTechnique(technique), kOk);

    const Matrix m = boneLocalMatrix(1, 2, 3, 0.1f, 0.2f, 0.3f);
    EXPECT_EQ(effect->setMatrix("matWorldView", m), kOk);
    const EffectParameter* p = effect->parameter("matWorldView");
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(p->set);
    // Row-major, as the matrix is laid out: the translation is values 12 to 14.
    EXPECT_EQ(std::memcmp(p->values, m.m, sizeof p->values), 0);
    EXPECT_EQ(p->values[12], 1.0f);

    EXPECT_EQ(effect->setVector("fvEyePosition", {1, 2, 3, 4}), kOk);
    const EffectParameter* eye = effect->parameter("fvEyePosition");
    ASSERT_NE(eye, nullptr);
    EXPECT_EQ(eye->values[0], 1.0f);
    EXPECT_EQ(eye->values[3], 4.0f);

    const std::uint8_t pixel[4] = {};
    Texture* tex = nullptr;
    ASSERT_EQ(device.createTexture(1, 1, pixel, &tex), kOk);
    EXPECT_EQ(effect->setTexture("DiffuseMap", tex), kOk);
    EXPECT_EQ(effect->parameter("DiffuseMap")->texture, tex);

    // A value of the wrong kind or for a parameter the file does not declare
    // is refused and changes nothing.
    EXPECT_EQ(effect->setVector("matWorldView", {9, 9, 9, 9}), kInvalidCall);
    EXPECT_EQ(p->values[0], m.m[0][0]);
    EXPECT_EQ(effect->setMatrix("fvEyePosition", m), kInvalidCall);
    EXPECT_EQ(effect->setTexture("matWorldView", tex), kInvalidCall);
    EXPECT_EQ(effect->setMatrix("matWorld", m), kInvalidCall);
    EXPECT_EQ(effect->setMatrix(nullptr, m), kInvalidCall);
    EXPECT_EQ(effect->parameter("matworldview"), nullptr);

    tex->release();
    effect->release();
    EXPECT_EQ(device.liveObjects(), 0);
}

TEST(EffectFileTest, PassesFollowBeginPassCommitEndOrder)
{
    MemoryDevice device;
    Effect* effect = loadEffectText(device);
    ASSERT_NE(effect, nullptr);

    std::uint32_t passes = 0;
    EXPECT_EQ(effect->begin(&passes, 0), kInvalidCall) << "no technique chosen yet";
    ASSERT_EQ(effect->setTechnique(effect->getTechniqueByName("TShader")), kOk);
    EXPECT_EQ(effect->beginPass(0), kInvalidCall) << "pass before begin";
    ASSERT_EQ(effect->begin(&passes, 0), kOk);
    EXPECT_EQ(passes, 1u);
    EXPECT_EQ(effect->begin(&passes, 0), kInvalidCall) << "nested begin";
    EXPECT_EQ(effect->commitChanges(), kInvalidCall) << "commit outside a pass";
    EXPECT_EQ(effect->beginPass(1), kInvalidCall) << "only pass 0 exists";
    EXPECT_EQ(device.effectApplications, 0);

    ASSERT_EQ(effect->beginPass(0), kOk);
    EXPECT_EQ(device.activeEffect(), effect);
    EXPECT_EQ(device.effectApplications, 1);
    EXPECT_EQ(effect->beginPass(0), kInvalidCall) << "nested pass";
    EXPECT_EQ(effect->commitChanges(), kOk);
    EXPECT_EQ(effect->commitChanges(), kOk);
    EXPECT_EQ(device.effectApplications, 3);
    EXPECT_EQ(effect->endPass(), kOk);
    EXPECT_EQ(device.activeEffect(), nullptr);
    EXPECT_EQ(effect->endPass(), kInvalidCall);
    EXPECT_EQ(effect->commitChanges(), kInvalidCall);
    EXPECT_EQ(effect->end(), kOk);
    EXPECT_EQ(effect->end(), kInvalidCall);

    // end closes a pass left open, and the effect can begin again.
    ASSERT_EQ(effect->begin(nullptr, 0), kOk);
    ASSERT_EQ(effect->beginPass(0), kOk);
    EXPECT_EQ(effect->end(), kOk);
    EXPECT_FALSE(effect->inPass);
    EXPECT_EQ(device.activeEffect(), nullptr);
    ASSERT_EQ(effect->begin(nullptr, 0), kOk);
    EXPECT_EQ(effect->end(), kOk);

    // Releasing the effect inside a pass leaves no dangling active effect.
    ASSERT_EQ(effect->begin(nullptr, 0), kOk);
    ASSERT_EQ(effect->beginPass(0), kOk);
    effect->release();
    EXPECT_EQ(device.activeEffect(), nullptr);
    EXPECT_EQ(device.liveObjects(), 0);
}

TEST(EffectFileTest, StagesKeepTheFileLineNumbers)
{
    MemoryDevice device;
    Effect* effect = loadEffectText(device);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->techniques, std::vector<std::string>{"TShader"});
    ASSERT_EQ(effect->parameters.size(), 3u);
    EXPECT_EQ(effect->parameters[0].kind, EffectParameterKind::Matrix);
    EXPECT_EQ(effect->parameters[1].kind, EffectParameterKind::Vector);
    EXPECT_EQ(effect->parameters[2].kind, EffectParameterKind::Texture);
    EXPECT_EQ(effect->vertexFirstLine, 7);
    EXPECT_EQ(effect->fragmentFirstLine, 12);

    // Line k of a stage's text is line firstLine + k - 1 of the file, so
    // compiler messages can be mapped back.
    auto lineOf = [](const std::string& source, const std::string& needle) {
        const auto at = source.find(needle);
        return at == std::string::npos ? -1 : 1 + static_cast<int>(std::count(source.begin(), source.begin() + static_cast<long>(at), '\n'));
    };
    EXPECT_EQ(effect->vertexFirstLine + lineOf(effect->vertexSource, "gl_Position") - 1, 10);
    EXPECT_EQ(effect->fragmentFirstLine + lineOf(effect->fragmentSource, "colour = vec4") - 1, 14);
    EXPECT_EQ(effect->vertexSource.find("out vec4 colour"), std::string::npos);
    EXPECT_EQ(effect->fragmentSource.find("gl_Position"), std::string::npos);
    effect->release();
}

TEST(EffectFileTest, UnreadableOrMalformedFilesFailWithAReason)
{
    TempDir dir;
    MemoryDevice device;
    Effect* effect = reinterpret_cast<Effect*>(1);
    std::string errors;

    const std::string missing = dir.file("absent.fx");
    EXPECT_EQ(device.createEffectFromFile(missing.c_str(), &effect, &errors), kFail);
    EXPECT_EQ(effect, nullptr);
    EXPECT_NE(errors.find(missing), std::string::npos) << errors;

    // A folder opens as a stream on Linux but cannot be read as a file.
    errors.clear();
    EXPECT_TRUE(failed(device.createEffectFromFile(dir.path().string().c_str(), &effect, &errors)));
    EXPECT_EQ(effect, nullptr);
    EXPECT_NE(errors.find(dir.path().string()), std::string::npos) << errors;

    struct Case {
        const char* name;
        std::string text;
        std::string expected;
    };
    const std::string stages = "#stage vertex\nvoid main() {}\n#stage fragment\nvoid main() {}\n";
    const Case cases[] = {
        {"kind.fx", "#technique TShader\n\n#parameter float3 fvThing\n" + stages, "kind.fx:3:"},
        {"stage.fx", "#technique TShader\n#stage geometry\n" + stages, "stage.fx:2:"},
        {"bare.fx", "#technique\n" + stages, "bare.fx:1:"},
        {"noname.fx", "#technique TShader\n#parameter float4x4\n" + stages, "noname.fx:2:"},
        {"glued.fx", "#technique TShader\n#techniqueX\n" + stages, "glued.fx:2:"},
        {"notechnique.fx", stages, "notechnique.fx"},
        {"nofragment.fx", "#technique TShader\n#stage vertex\nvoid main() {}\n", "nofragment.fx"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeText(dir.file(c.name), c.text);
        errors.clear();
        effect = reinterpret_cast<Effect*>(1);
        EXPECT_EQ(device.createEffectFromFile(dir.file(c.name).c_str(), &effect, &errors), kFail);
        EXPECT_EQ(effect, nullptr);
        EXPECT_NE(errors.find(c.expected), std::string::npos) << errors;
    }
    // A directive indented or with CRLF line ends is still a directive.
    writeText(dir.file("crlf.fx"), "  #technique TShader\r\n#parameter float4 fvAmbient\r\n" + stages);
    ASSERT_EQ(device.createEffectFromFile(dir.file("crlf.fx").c_str(), &effect, &errors), kOk) << errors;
    EXPECT_NE(effect->getTechniqueByName("TShader"), kNullHandle);
    EXPECT_EQ(effect->setVector("fvAmbient", {}), kOk);
    effect->release();

    EXPECT_EQ(device.createEffectFromFile(nullptr, &effect, &errors), kInvalidCall);
    EXPECT_EQ(device.liveObjects(), 0);
}

TEST(EffectFileTest, StageWithoutCodeIsRefused)
{
    // A stage declared but holding only blank lines has nothing to compile;
    // the reader should say so rather than hand the backend an empty shader.
    TempDir dir;
    MemoryDevice device;
    const std::string cases[] = {
        "#technique TShader\n#stage vertex\nvoid main() {}\n#stage fragment\n \n\n",
        "#technique TShader\n#stage vertex\n#stage fragment\nvoid main() {}\n",
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(text);
        writeText(dir.file("e.fx"), text);
        Effect* effect = nullptr;
        std::string errors;
        EXPECT_EQ(device.createEffectFromFile(dir.file("e.fx").c_str(), &effect, &errors), kFail);
        EXPECT_NE(errors.find("e.fx"), std::string::npos) << errors;
        if (effect) effect->release();
    }
    EXPECT_EQ(device.liveObjects(), 0);
}

} // namespace
} // namespace veskar
