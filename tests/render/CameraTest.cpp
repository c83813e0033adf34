// The view camera's moves and turns in both modes, and the view matrix it
// builds from axes that have drifted.

#include "RenderTestSupport.h"

#include "render/CameraMoves.h"
#include "render/GraphicsContext.h"
#include "render/ModelBounds.h"
#include "render/ViewCamera.h"

#include <cmath>
#include <utility>
#include <vector>

namespace veskar {
namespace {

using test::vectorNear;

const float* v(const Vector3& a) { return &a.x; }

float length(const Vector3& a) { return std::sqrt(vec3Dot(a, a)); }

// A camera tilted up and turned a little, so every axis has all three
// components.
ViewCamera tiltedCamera(CameraMode mode)
{
    ViewCamera c;
    c.setMode(mode);
    c.setPosition({1.0f, 2.0f, 3.0f});
    c.yaw(0.4f);
    c.pitch(-0.5f);
    return c;
}

TEST(ViewCamera, MovesFollowTheTableInGroundMode)
{
    ViewCamera c = tiltedCamera(CameraMode::Ground);
    ASSERT_GT(std::fabs(c.look.y), 0.1f);
    const Vector3 look = c.look, right = c.right;

    c.walk(10.0f);
    EXPECT_TRUE(vectorNear(v(c.position), 1.0f + 10.0f * look.x, 2.0f, 3.0f + 10.0f * look.z));
    c.setPosition({1.0f, 2.0f, 3.0f});
    c.strafe(-4.0f);
    EXPECT_TRUE(vectorNear(v(c.position), 1.0f - 4.0f * right.x, 2.0f, 3.0f - 4.0f * right.z));
    c.setPosition({1.0f, 2.0f, 3.0f});
    c.fly(5.0f);
    EXPECT_TRUE(vectorNear(v(c.position), 1.0f, 7.0f, 3.0f));
}

TEST(ViewCamera, MovesFollowTheAxesInFreeMode)
{
    ViewCamera c = tiltedCamera(CameraMode::Free);
    const Vector3 look = c.look, right = c.right, up = c.up;
    c.walk(10.0f);
    EXPECT_TRUE(vectorNear(v(c.position), 1.0f + 10.0f * look.x, 2.0f + 10.0f * look.y, 3.0f + 10.0f * look.z));
    c.setPosition({1.0f, 2.0f, 3.0f});
    c.strafe(-4.0f);
    EXPECT_TRUE(vectorNear(v(c.position), 1.0f - 4.0f * right.x, 2.0f - 4.0f * right.y, 3.0f - 4.0f * right.z));
    c.setPosition({1.0f, 2.0f, 3.0f});
    c.fly(5.0f);
    EXPECT_TRUE(vectorNear(v(c.position), 1.0f + 5.0f * up.x, 2.0f + 5.0f * up.y, 3.0f + 5.0f * up.z));
}

TEST(ViewCamera, PitchTurnsUpAndLookAboutRight)
{
    for (CameraMode mode : {CameraMode::Ground, CameraMode::Free}) {
        ViewCamera c;
        c.setMode(mode);
        c.pitch(0.5f);
        EXPECT_TRUE(vectorNear(v(c.right), 1, 0, 0));
        // Rotating about +x by a turns +z towards -y (row-vector convention).
        EXPECT_TRUE(vectorNear(v(c.look), 0, -std::sin(0.5f), std::cos(0.5f)));
        EXPECT_TRUE(vectorNear(v(c.up), 0, std::cos(0.5f), std::sin(0.5f)));
    }
}

TEST(ViewCamera, RollDoesNothingOnTheGroundAndTurnsRightAndUpInFreeMode)
{
    ViewCamera ground = tiltedCamera(CameraMode::Ground);
    const ViewCamera before = ground;
    ground.roll(0.7f);
    EXPECT_TRUE(vectorNear(v(ground.right), before.right.x, before.right.y, before.right.z, 0.0f));
    EXPECT_TRUE(vectorNear(v(ground.up), before.up.x, before.up.y, before.up.z, 0.0f));
    EXPECT_TRUE(vectorNear(v(ground.look), before.look.x, before.look.y, before.look.z, 0.0f));

    ViewCamera free;
    free.roll(0.3f);
    EXPECT_TRUE(vectorNear(v(free.look), 0, 0, 1));
    EXPECT_TRUE(vectorNear(v(free.right), std::cos(0.3f), std::sin(0.3f), 0));
    EXPECT_TRUE(vectorNear(v(free.up), -std::sin(0.3f), std::cos(0.3f), 0));
}

TEST(ViewCamera, YawTurnsAboutWorldYEvenAfterARoll)
{
    for (CameraMode mode : {CameraMode::Ground, CameraMode::Free}) {
        ViewCamera c;
        c.setMode(CameraMode::Free);
        c.roll(0.6f);       // right now leans out of the horizontal plane
        c.pitch(0.2f);
        c.setMode(mode);
        const Vector3 right = c.right, look = c.look, up = c.up;
        ASSERT_GT(std::fabs(right.y), 0.1f);
        c.yaw(0.9f);
        const Matrix turn = matrixRotationY(0.9f);
        const Vector3 r = vec3TransformCoord(right, turn), l = vec3TransformCoord(look, turn);
        EXPECT_TRUE(vectorNear(v(c.right), r.x, r.y, r.z));
        EXPECT_TRUE(vectorNear(v(c.look), l.x, l.y, l.z));
        // Turning about world Y keeps every height; about up it would not.
        EXPECT_NEAR(c.right.y, right.y, 1e-6f);
        EXPECT_NEAR(c.look.y, look.y, 1e-6f);
        EXPECT_TRUE(vectorNear(v(c.up), up.x, up.y, up.z, 0.0f));
    }
}

TEST(ViewCamera, ViewMatrixRowsHoldTheAxesAndTheNegatedProjectedPosition)
{
    ViewCamera c = tiltedCamera(CameraMode::Free);
    c.setPosition({10.0f, -20.0f, 30.0f});
    Matrix view;
    c.buildViewMatrix(view);
    const Vector3 r = c.right, u = c.up, l = c.look;
    const float expected[4][4] = {{r.x, u.x, l.x, 0},
                                  {r.y, u.y, l.y, 0},
                                  {r.z, u.z, l.z, 0},
                                  {-vec3Dot(c.position, r), -vec3Dot(c.position, u), -vec3Dot(c.position, l), 1}};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_FLOAT_EQ(view.m[i][j], expected[i][j]) << i << "," << j;
    // The camera's own position lands at the view-space origin.
    const Vector3 origin = transformPoint(c.position, view);
    EXPECT_TRUE(vectorNear(&origin.x, 0, 0, 0, 1e-4f));
}

TEST(ViewCamera, ViewMatrixRepairsDriftedAxesAndKeepsTheRepair)
{
    ViewCamera c;
    c.look = {0.0f, 0.0f, 2.0f};
    c.right = {1.0f, 0.2f, 0.1f};
    c.up = {5.0f, 5.0f, 5.0f};   // ignored: rebuilt from look and right
    Matrix view;
    c.buildViewMatrix(view);
    EXPECT_NEAR(length(c.look), 1.0f, 1e-6f);
    EXPECT_NEAR(length(c.up), 1.0f, 1e-6f);
    EXPECT_NEAR(length(c.right), 1.0f, 1e-6f);
    EXPECT_NEAR(vec3Dot(c.look, c.up), 0.0f, 1e-6f);
    EXPECT_NEAR(vec3Dot(c.look, c.right), 0.0f, 1e-6f);
    EXPECT_NEAR(vec3Dot(c.up, c.right), 0.0f, 1e-6f);
    EXPECT_TRUE(vectorNear(v(c.look), 0, 0, 1));
    // look x right keeps the repaired up on the side up was meant to be.
    EXPECT_GT(c.up.y, 0.9f);
    EXPECT_FLOAT_EQ(view.m[0][0], c.right.x);
    EXPECT_FLOAT_EQ(view.m[1][1], c.up.y);

    // Many small turns leave the axes orthonormal after each rebuild.
    ViewCamera spun;
    for (int i = 0; i < 5000; ++i) {
        spun.pitch(0.013f);
        spun.yaw(0.021f);
        spun.roll(0.007f);
        if (i % 100 == 99) spun.buildViewMatrix(view);
    }
    spun.buildViewMatrix(view);
    EXPECT_NEAR(vec3Dot(spun.up, spun.right), 0.0f, 1e-5f);
    EXPECT_NEAR(length(spun.right), 1.0f, 1e-5f);
}

TEST(CameraMoves, OrbitStopsShortOfThePolesAndTheWheelStaysBetweenItsLimits)
{
    ViewCamera c;
    resetCamera(c);
    const Vector3 centre{0.0f, 0.0f, 0.0f};
    // Dragging far down lifts the camera until it looks nearly straight down,
    // not over the top: the picture would turn upside down.
    for (int i = 0; i < 40; ++i) orbitCamera(c, centre, 0.0f, 0.2f);
    Matrix view;
    c.buildViewMatrix(view);
    EXPECT_LT(c.look.y, -0.98f);
    EXPECT_GT(c.up.z, 0.0f);   // the top of the picture still points away
    EXPECT_GT(c.position.y, 290.0f);
    EXPECT_NEAR(length(c.position), 300.0f, 0.01f);
    for (const auto& [factor, distance] : {std::pair{1e-6f, 2.0f}, {1e9f, 4000.0f}, {0.0f, 4000.0f}, {-3.0f, 4000.0f}}) {
        dollyCamera(c, centre, factor);
        EXPECT_NEAR(length(c.position), distance, distance * 1e-4f) << factor;
    }
    // An empty box leaves the camera where it is.
    const Vector3 before = c.position;
    frameCamera(c, Bounds{}, kFieldOfView, 4.0f / 3.0f);
    EXPECT_TRUE(vectorNear(v(c.position), before.x, before.y, before.z));
}

TEST(Framing, LargeModelsSampleTheirAnimationsKeysEvenlyFirstAndLastAmongThem)
{
    using Keys = std::vector<std::int32_t>;
    EXPECT_EQ(sampledKeys(4, 1000), (Keys{0, 1, 2, 3}));
    EXPECT_EQ(sampledKeys(1000, std::size_t{1} << 20), (Keys{0, 333, 666, 999}));
    EXPECT_EQ(sampledKeys(100, std::size_t{1} << 30), (Keys{0, 99}));
    EXPECT_EQ(sampledKeys(1, std::size_t{1} << 30), (Keys{0}));
    EXPECT_TRUE(sampledKeys(0, 10).empty());
}

} // namespace
} // namespace veskar
