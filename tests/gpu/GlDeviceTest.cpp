// The GL device's drawing without an effect, checked on the pixels it leaves.

#include "GlTestSupport.h"

#include <cstring>

namespace veskar::test {
namespace {

constexpr Rgba kBlack{0, 0, 0, 255};
constexpr Rgba kWhite{255, 255, 255, 255};

class GlDeviceTest : public GlFixture {
protected:
    // Triangle list of XYZ positions in a vertex buffer, drawn with 16-bit indices.
    VertexBuffer* positions(const std::vector<float>& xyz)
    {
        VertexBuffer* vb = nullptr;
        EXPECT_EQ(device_->createVertexBuffer(static_cast<std::uint32_t>(xyz.size() * 4), 0, 0, Pool::Default, &vb), kOk);
        void* data = nullptr;
        EXPECT_EQ(vb->lock(0, 0, &data, 0), kOk);
        std::memcpy(data, xyz.data(), xyz.size() * 4);
        EXPECT_EQ(vb->unlock(), kOk);
        return vb;
    }

    IndexBuffer* indices16(const std::vector<std::uint16_t>& list)
    {
        IndexBuffer* ib = nullptr;
        EXPECT_EQ(device_->createIndexBuffer(static_cast<std::uint32_t>(list.size() * 2), 0, IndexFormat::Index16, Pool::Default, &ib),
                  kOk);
        void* data = nullptr;
        EXPECT_EQ(ib->lock(0, 0, &data, 0), kOk);
        std::memcpy(data, list.data(), list.size() * 2);
        EXPECT_EQ(ib->unlock(), kOk);
        return ib;
    }

    void drawColourTriangles(const std::vector<ColourVertex>& v)
    {
        device_->setFVF(kFvfColour);
        ASSERT_EQ(device_->drawPrimitiveUP(PrimitiveType::TriangleList, static_cast<std::uint32_t>(v.size() / 3), v.data(),
                                           sizeof(ColourVertex)),
                  kOk);
    }

    void drawTexturedQuad(Texture* t, float x0, float y0, float x1, float y1)
    {
        const auto v = quad(x0, y0, x1, y1);
        device_->setTexture(0, t);
        device_->setFVF(kFvfMesh);
        ASSERT_EQ(device_->drawPrimitiveUP(PrimitiveType::TriangleList, 2, v.data(), sizeof(MeshVertex)), kOk);
    }
};

TEST_F(GlDeviceTest, ClearFillsTheViewportWithTheExactColour)
{
    device_->clear(kClearTarget | kClearZBuffer, 0xFF004040, 1.0f, 0);
    Image image = frame();
    EXPECT_EQ(image.countNot({0, 0x40, 0x40, 255}), 0);

    // A viewport near the top left: its rows count from the top, as in Direct3D.
    Viewport vp;
    vp.x = 8;
    vp.y = 4;
    vp.width = 16;
    vp.height = 8;
    device_->setViewport(vp);
    device_->clear(kClearTarget, 0x80FF0000, 1.0f, 0);
    image = frame();
    EXPECT_EQ(image.at(8, 4), (Rgba{255, 0, 0, 128}));
    EXPECT_EQ(image.at(23, 11), (Rgba{255, 0, 0, 128}));
    EXPECT_EQ(image.at(7, 4), (Rgba{0, 0x40, 0x40, 255}));
    EXPECT_EQ(image.at(8, 12), (Rgba{0, 0x40, 0x40, 255}));
    EXPECT_EQ(image.countNot({0, 0x40, 0x40, 255}), 16 * 8);
}

TEST_F(GlDeviceTest, LinesWithoutEffectShowTheirVertexColoursRightSideUp)
{
    // A red line across the upper half and a green one down the left half.
    const ColourVertex lines[] = {
        {-1.0f, 0.5f, 0.5f, 0xFFFF0000}, {1.0f, 0.5f, 0.5f, 0xFFFF0000},
        {-0.5f, -1.0f, 0.5f, 0xFF00FF00}, {-0.5f, 1.0f, 0.5f, 0xFF00FF00},
    };
    device_->setFVF(kFvfColour);
    ASSERT_EQ(device_->drawPrimitiveUP(PrimitiveType::LineList, 2, lines, sizeof(ColourVertex)), kOk);
    const Image image = frame();
    int red = 0, green = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const Rgba c = image.at(x, y);
            if (c == Rgba{255, 0, 0, 255}) {
                ++red;
                EXPECT_TRUE(y == 15 || y == 16) << "red at row " << y;
            } else if (c == Rgba{0, 255, 0, 255}) {
                ++green;
                EXPECT_TRUE(x == 15 || x == 16) << "green at column " << x;
            }
        }
    EXPECT_GE(red, kSize - 2);
    EXPECT_GE(green, kSize - 2);
}

TEST_F(GlDeviceTest, PositionsWithoutColourDrawOpaqueWhiteThroughIndicesAndBaseVertex)
{
    // Two quads; the indices name the first, the base vertex moves them onto
    // the second, in the bottom right quarter.
    VertexBuffer* vb = positions({-1, 1, 0.5f, 0, 1, 0.5f, -1, 0, 0.5f, 0, 0, 0.5f,  //
                                  0, 0, 0.5f, 1, 0, 0.5f, 0, -1, 0.5f, 1, -1, 0.5f});
    IndexBuffer* ib = indices16({0, 1, 2, 1, 3, 2});
    device_->setStreamSource(0, vb, 0, 12);
    device_->setIndices(ib);
    device_->setFVF(fvf::kXyz);
    ASSERT_EQ(device_->drawIndexedPrimitive(PrimitiveType::TriangleList, 4, 0, 4, 0, 2), kOk);
    const Image image = frame();
    EXPECT_EQ(image.countNot(kWhite, 32, 32, 64, 64), 0);
    EXPECT_EQ(image.countNot(kBlack, 0, 0, 64, 32), 0);
    EXPECT_EQ(image.countNot(kBlack, 0, 32, 32, 64), 0);

    // Ranges past the end of a buffer are refused, not drawn.
    EXPECT_EQ(device_->drawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 4, 3, 2), kInvalidCall);
    EXPECT_EQ(device_->drawPrimitive(PrimitiveType::TriangleList, 6, 1), kInvalidCall);
    ib->release();
    vb->release();
    EXPECT_EQ(device_->liveObjects(), 0);
}

TEST_F(GlDeviceTest, CullModesCountWindingAsSeenOnScreen)
{
    // Left: clockwise on screen, right: counter-clockwise.
    const std::vector<ColourVertex> tris = {
        {-1.0f, 0.5f, 0.5f, 0xFFFFFFFF}, {-0.1f, 0.5f, 0.5f, 0xFFFFFFFF}, {-1.0f, -0.5f, 0.5f, 0xFFFFFFFF},
        {0.1f, 0.5f, 0.5f, 0xFFFFFFFF},  {0.1f, -0.5f, 0.5f, 0xFFFFFFFF}, {1.0f, 0.5f, 0.5f, 0xFFFFFFFF},
    };
    const auto covered = [&](std::uint32_t cull) {
        device_->clear(kClearTarget | kClearZBuffer, 0xFF000000, 1.0f, 0);
        device_->setRenderState(RenderState::CullMode, cull);
        drawColourTriangles(tris);
        const Image image = frame();
        return std::make_pair(image.countNot(kBlack, 0, 0, 32, 64) > 0, image.countNot(kBlack, 32, 0, 64, 64) > 0);
    };
    EXPECT_EQ(covered(kCullNone), std::make_pair(true, true));
    EXPECT_EQ(covered(kCullCCW), std::make_pair(true, false));
    EXPECT_EQ(covered(kCullCW), std::make_pair(false, true));
}

TEST_F(GlDeviceTest, WireframeCoversFarFewerPixelsThanSolid)
{
    const std::vector<ColourVertex> tri = {
        {-0.9f, 0.9f, 0.5f, 0xFFFFFFFF}, {0.9f, 0.9f, 0.5f, 0xFFFFFFFF}, {-0.9f, -0.9f, 0.5f, 0xFFFFFFFF}};
    drawColourTriangles(tri);
    const int solid = frame().countNot(kBlack);
    device_->clear(kClearTarget | kClearZBuffer, 0xFF000000, 1.0f, 0);
    device_->setRenderState(RenderState::FillMode, kFillWireframe);
    drawColourTriangles(tri);
    const int wire = frame().countNot(kBlack);
    EXPECT_GT(solid, 1500);
    EXPECT_GT(wire, 100);
    EXPECT_LT(wire * 5, solid);
}

TEST_F(GlDeviceTest, DepthRunsFromZeroToOneAsInDirect3D)
{
    // Cleared to depth 0.5: a quad at z 0.4 passes, one at 0.6 does not, and
    // one at z -0.2 lies before the near plane and is clipped.
    device_->clear(kClearZBuffer, 0, 0.5f, 0);
    const auto band = [](float x0, float x1, float z, std::uint32_t colour) {
        return std::vector<ColourVertex>{{x0, 1, z, colour}, {x1, 1, z, colour}, {x0, -1, z, colour},
                                         {x1, 1, z, colour}, {x1, -1, z, colour}, {x0, -1, z, colour}};
    };
    drawColourTriangles(band(-1.0f, -0.5f, 0.4f, 0xFFFF0000));
    drawColourTriangles(band(-0.5f, 0.0f, 0.6f, 0xFF00FF00));
    drawColourTriangles(band(0.0f, 0.5f, -0.2f, 0xFF0000FF));
    Image image = frame();
    EXPECT_EQ(image.at(8, 32), (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(image.at(24, 32), kBlack);
    EXPECT_EQ(image.at(40, 32), kBlack);

    // With the test off everything shows; with writes off the depth stays.
    device_->setRenderState(RenderState::ZEnable, 0);
    drawColourTriangles(band(-0.5f, 0.0f, 0.6f, 0xFF00FF00));
    device_->setRenderState(RenderState::ZEnable, 1);
    device_->setRenderState(RenderState::ZWriteEnable, 0);
    drawColourTriangles(band(0.5f, 1.0f, 0.1f, 0xFF0000FF));
    device_->setRenderState(RenderState::ZWriteEnable, 1);
    drawColourTriangles(band(0.5f, 1.0f, 0.2f, 0xFFFFFFFF));
    image = frame();
    EXPECT_EQ(image.at(24, 32), (Rgba{0, 255, 0, 255}));
    EXPECT_EQ(image.at(56, 32), kWhite);
}

TEST_F(GlDeviceTest, AlphaBlendingMixesSourceOverDestination)
{
    drawColourTriangles({{-1, 1, 0.5f, 0xFF0000FF}, {1, 1, 0.5f, 0xFF0000FF}, {-1, -1, 0.5f, 0xFF0000FF}});
    device_->setRenderState(RenderState::AlphaBlendEnable, 1);
    device_->setRenderState(RenderState::SrcBlend, kBlendSrcAlpha);
    device_->setRenderState(RenderState::DestBlend, kBlendInvSrcAlpha);
    device_->setRenderState(RenderState::ZEnable, 0);
    drawColourTriangles({{-1, 1, 0.5f, 0x80FF0000}, {1, 1, 0.5f, 0x80FF0000}, {-1, -1, 0.5f, 0x80FF0000}});
    const Rgba c = frame().at(4, 4);
    EXPECT_NEAR(c.r, 128, 1);
    EXPECT_EQ(c.g, 0);
    EXPECT_NEAR(c.b, 127, 1);
}

TEST_F(GlDeviceTest, TexturesSampleTopRowAtVZeroAndModulateTheVertexColour)
{
    Texture* t = quadrantTexture();
    drawTexturedQuad(t, -1, -1, 1, 1);
    expectQuadrants(frame());

    // Stage 0 empty: the vertex colour alone (opaque white for this format).
    device_->clear(kClearTarget | kClearZBuffer, 0xFF000000, 1.0f, 0);
    drawTexturedQuad(nullptr, -1, -1, 1, 1);
    EXPECT_EQ(frame().countNot(kWhite), 0);
    t->release();
    EXPECT_EQ(device_->liveObjects(), 0);
}

// BC1 blocks go to a driver with S3TC as they are (Mesa has it): the same
// quadrants, one 4 x 4 block each, sampled as the decoded texture is.
TEST_F(GlDeviceTest, BlockTexturesDrawAsTheirPixels)
{
    if (!device_->drawsBlocks(BlockFormat::Bc1)) GTEST_SKIP() << "the driver has no GL_EXT_texture_compression_s3tc";
    // Red, green; blue, white: both end points one 5:6:5 colour, every index 0.
    std::vector<std::uint8_t> blocks(32, 0);
    const std::uint16_t colours[] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
    for (std::size_t b = 0; b < 4; ++b)
        for (std::size_t end = 0; end < 2; ++end) {
            blocks[8 * b + 2 * end] = static_cast<std::uint8_t>(colours[b] & 0xFF);
            blocks[8 * b + 2 * end + 1] = static_cast<std::uint8_t>(colours[b] >> 8);
        }
    Texture* t = nullptr;
    ASSERT_EQ(device_->createBlockTexture(8, 8, BlockFormat::Bc1, 1, blocks, &t), kOk);
    EXPECT_TRUE(t->rgba.empty());
    device_->setSamplerState(0, SamplerState::MinFilter, kTexFilterPoint);
    device_->setSamplerState(0, SamplerState::MagFilter, kTexFilterPoint);
    drawTexturedQuad(t, -1, -1, 1, 1);
    expectQuadrants(frame());
    t->release();
    EXPECT_EQ(device_->liveObjects(), 0);
}

TEST_F(GlDeviceTest, AlphaTestGreaterEqualCutsTexelsBelowTheReference)
{
    // Left half alpha 0x7F, right half 0x80.
    Texture* t = quadrantTexture(4, 0x7F, 0x80);
    device_->setRenderState(RenderState::AlphaTestEnable, 1);
    device_->setRenderState(RenderState::AlphaRef, 0x80);
    device_->setRenderState(RenderState::AlphaFunc, kCmpGreaterEqual);
    drawTexturedQuad(t, -1, -1, 1, 1);
    Image image = frame();
    EXPECT_EQ(image.countNot(kBlack, 0, 0, 32, 64), 0);
    EXPECT_EQ(image.at(56, 8), (Rgba{0, 255, 0, 0x80}));

    device_->setRenderState(RenderState::AlphaTestEnable, 0);
    drawTexturedQuad(t, -1, -1, 1, 1);
    image = frame();
    EXPECT_EQ(image.at(8, 8), (Rgba{255, 0, 0, 0x7F}));
    t->release();
}

TEST_F(GlDeviceTest, EveryReleasedResourceLeavesNoLiveObject)
{
    VertexBuffer* vb = positions({0, 0, 0, 1, 0, 0, 0, 1, 0});
    IndexBuffer* ib = indices16({0, 1, 2});
    Texture* t = quadrantTexture();
    // Drawn once, so each has its GL object.
    device_->setStreamSource(0, vb, 0, 12);
    device_->setIndices(ib);
    device_->setTexture(0, t);
    device_->setFVF(fvf::kXyz);
    EXPECT_EQ(device_->drawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 3, 0, 1), kOk);
    EXPECT_EQ(device_->liveObjects(), 3);
    vb->release();
    ib->release();
    t->release();
    EXPECT_EQ(device_->liveObjects(), 0);
    EXPECT_EQ(device_->texture(0), nullptr);
    // Drawing after the releases finds nothing bound and refuses.
    EXPECT_EQ(device_->drawPrimitive(PrimitiveType::TriangleList, 0, 1), kInvalidCall);
}

} // namespace
} // namespace veskar::test
