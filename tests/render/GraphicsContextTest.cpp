// The graphics context on the in-memory device: what create leaves on the
// device, the overlay text rectangle and colour, resize and release.

#include "RenderTestSupport.h"

#include "render/GraphicsContext.h"

#include <cmath>

namespace veskar {
namespace {

using test::matrixNear;

class GraphicsContextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const Result r = context.create(&device, 800, 600, 20);
        if (r != kOk && context.failure.find("font") != std::string::npos)
            GTEST_SKIP() << "no overlay font on this machine: " << context.failure;
        ASSERT_EQ(r, kOk) << context.failure;
    }

    MemoryDevice device;
    GraphicsContext context;
};

TEST(GraphicsContextBasics, ConstructionValuesAndTheLightRecord)
{
    GraphicsContext c;
    EXPECT_EQ(c.device, nullptr);
    EXPECT_EQ(c.font, nullptr);
    EXPECT_EQ(c.textColour[0], 1.0f);
    EXPECT_EQ(c.textColour[1], 1.0f);
    EXPECT_EQ(c.textColour[2], 0.0f);
    EXPECT_EQ(c.textColour[3], 1.0f);
    EXPECT_EQ(c.camera.mode, CameraMode::Free);

    const Light& l = c.light;
    EXPECT_EQ(l.type, LightType::Point);
    EXPECT_EQ(l.diffuse.r, 1.0f);
    EXPECT_EQ(l.specular.g, 0.5f);
    EXPECT_EQ(l.ambient.b, 0.1f);
    EXPECT_EQ(l.ambient.a, 1.0f);
    EXPECT_TRUE(test::vectorNear(&l.position.x, 500, 500, -500, 0));
    EXPECT_TRUE(test::vectorNear(&l.direction.x, -0.57735f, -0.57735f, 0.57735f, 1e-5f));
    EXPECT_EQ(l.range, 50000.0f);
    EXPECT_EQ(l.attenuation0, 1.0f);
    EXPECT_EQ(l.attenuation1 + l.attenuation2 + l.falloff + l.theta + l.phi, 0.0f);
}

TEST(GraphicsContextBasics, CreateWithoutADeviceFails)
{
    GraphicsContext c;
    EXPECT_EQ(c.create(nullptr, 800, 600, 20), kFail);
    EXPECT_FALSE(c.failure.empty());
    c.release();
    c.release();
}

TEST_F(GraphicsContextTest, CreateLeavesTheInitialSceneStateOnTheDevice)
{
    EXPECT_EQ(context.device, &device);
    ASSERT_NE(context.font, nullptr);
    EXPECT_EQ(context.font->pixelHeight(), 20);
    EXPECT_EQ(context.width, 800);
    EXPECT_EQ(context.height, 600);
    EXPECT_EQ(context.camera.mode, CameraMode::Free);
    EXPECT_TRUE(test::vectorNear(&context.camera.position.x, 0, 0, -300, 0));

    Matrix view, projection;
    device.getTransform(TransformType::View, &view);
    device.getTransform(TransformType::Projection, &projection);
    Matrix expectedView;
    expectedView.m[3][2] = 300.0f;
    EXPECT_TRUE(matrixNear(expectedView, view, 0));
    EXPECT_TRUE(matrixNear(expectedView, context.viewMatrix, 0));
    const Matrix expectedProjection = matrixPerspectiveFovLH(0.785398f, 800.0f / 600.0f, 1.0f, 5000.0f);
    EXPECT_TRUE(matrixNear(expectedProjection, projection, 0));
    EXPECT_TRUE(matrixNear(expectedProjection, context.projectionMatrix, 0));

    const Viewport& vp = device.viewport();
    EXPECT_EQ(vp.x, 0u);
    EXPECT_EQ(vp.y, 0u);
    EXPECT_EQ(vp.width, 800u);
    EXPECT_EQ(vp.height, 600u);
    EXPECT_EQ(vp.minZ, 0.0f);
    EXPECT_EQ(vp.maxZ, 1.0f);

    EXPECT_EQ(device.renderState(RenderState::SpecularEnable), 1u);
    EXPECT_EQ(device.renderState(RenderState::CullMode), kCullNone);
    EXPECT_EQ(device.renderState(RenderState::ZEnable), 1u);
}

TEST_F(GraphicsContextTest, UpdateViewHandsTheCameraToTheDevice)
{
    context.camera.walk(50.0f);
    context.camera.yaw(0.3f);
    context.updateView();
    Matrix expected, onDevice;
    ViewCamera copy = context.camera;
    copy.buildViewMatrix(expected);
    device.getTransform(TransformType::View, &onDevice);
    EXPECT_TRUE(matrixNear(expected, onDevice, 0));
    EXPECT_TRUE(matrixNear(expected, context.viewMatrix, 0));
}

TEST_F(GraphicsContextTest, ResizeMakesProjectionAndViewportFollowAndSkipsAMinimisedWindow)
{
    context.resize(400, 300);
    Matrix projection;
    device.getTransform(TransformType::Projection, &projection);
    EXPECT_TRUE(matrixNear(matrixPerspectiveFovLH(0.785398f, 4.0f / 3.0f, 1.0f, 5000.0f), projection, 0));
    EXPECT_EQ(device.viewport().width, 400u);
    EXPECT_EQ(device.viewport().height, 300u);

    context.resize(400, 0);
    context.resize(0, 300);
    Matrix after;
    device.getTransform(TransformType::Projection, &after);
    EXPECT_TRUE(matrixNear(projection, after, 0));
    EXPECT_EQ(device.viewport().width, 400u);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_TRUE(std::isfinite(context.projectionMatrix.m[i][j]));
}

TEST_F(GraphicsContextTest, DrawTextRectangleRunsFromTheWindowEdgeByLengthTimesHeight)
{
    context.drawText("FPS: 60.000000", 1, 10);
    EXPECT_EQ(context.textRect.left, 1);
    EXPECT_EQ(context.textRect.top, 10);
    EXPECT_EQ(context.textRect.right, 14 * 20);
    EXPECT_EQ(context.textRect.bottom, 30);
    EXPECT_EQ(device.textDraws, 1);
    ASSERT_FALSE(device.lastTextQuads.empty());
    for (const TextQuad& q : device.lastTextQuads) {
        EXPECT_GE(q.left, 1.0f);
        EXPECT_GE(q.top, 10.0f);
        EXPECT_LE(q.bottom, 30.0f);
    }

    // UTF-8 text counts its bytes, as the length of the stored string.
    context.drawText("[광원]", 1, 50);
    EXPECT_EQ(context.textRect.right, 8 * 20);
}

TEST_F(GraphicsContextTest, TextColourChannelsSaturateAndRound)
{
    context.setTextColour(1.5f, -0.2f, 0.5f, 1.0f);
    context.drawText("x", 1, 10);
    EXPECT_EQ(device.lastTextColour, 0xFFFF0080u);

    context.setTextColour(0.0f, 1.0f, 1.0f, 1.0f);
    context.drawText("x", 1, 10);
    EXPECT_EQ(device.lastTextColour, 0xFF00FFFFu);

    EXPECT_EQ(colourByte(0.5f), 128);
    EXPECT_EQ(colourByte(1.0f), 255);
    EXPECT_EQ(colourByte(0.0f), 0);
    EXPECT_EQ(colourByte(0.001f), 0);      // 0.255 + 0.5 truncates to 0
    EXPECT_EQ(colourByte(0.998f), 254);
    EXPECT_EQ(colourByte(std::nanf("")), 0);
}

TEST_F(GraphicsContextTest, NullTextDrawsNothingAndKeepsTheRectangle)
{
    context.drawText("abc", 5, 70);
    const Rect before = context.textRect;
    const int draws = device.textDraws;
    context.drawText(nullptr, 1, 10);
    EXPECT_EQ(device.textDraws, draws);
    EXPECT_EQ(context.textRect.left, before.left);
    EXPECT_EQ(context.textRect.top, before.top);
    EXPECT_EQ(context.textRect.right, before.right);
    EXPECT_EQ(context.textRect.bottom, before.bottom);
}

TEST_F(GraphicsContextTest, ReleaseTwiceIsHarmlessAndFreesTheFontAtlas)
{
    const int live = device.liveObjects();
    EXPECT_GE(live, 1);
    context.release();
    EXPECT_EQ(context.font, nullptr);
    EXPECT_EQ(context.device, nullptr);
    EXPECT_EQ(device.liveObjects(), live - 1);
    context.release();
    EXPECT_EQ(device.liveObjects(), live - 1);
    context.drawText("after", 1, 10);   // no font: nothing drawn, nothing breaks
}

} // namespace
} // namespace veskar
