// Engine model drawing on the in-memory device: the animation step, the
// dispatch table, what the effect is handed, the states a draw leaves, and a
// weapon carried by a hand.

#include "RenderTestSupport.h"

#include "TestSupport.h"
#include "render/EngineModelDrawing.h"
#include "render/Playback.h"

#include <filesystem>
#include <limits>
#include <utility>

namespace veskar {
namespace {

using test::buildAnimation;
using test::buildEngineMesh;
using test::engineVertex;
using test::matrixNear;
using test::translation;
using test::vectorNear;
using test::vertexAt;

// A one-bone model with one triangle; key f of its animation stands at x = 10 f.
class EngineDrawTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(model.effect, nullptr) << "Shaders/Phong.fx not found from " << std::filesystem::current_path();
        buildEngineMesh(model, {matrixIdentity()},
                        {engineVertex({1, 2, 3}, {0, 0, 1}, 0, 0, {{0, 1.0f}}), engineVertex({4, 5, 6}, {0, 0, 1}, 1, 0, {{0, 1.0f}}),
                         engineVertex({7, 8, 9}, {0, 0, 1}, 0, 1, {{0, 1.0f}})});
    }

    void animate(int frames)
    {
        std::vector<std::vector<Matrix>> keys;
        for (int f = 0; f < frames; ++f) keys.push_back({translation(10.0f * static_cast<float>(f), 0, 0)});
        buildAnimation(model, keys);
    }

    float paletteX() const { return model.meshes[0].bonePalette[0].m[3][0]; }

    // Draws once in the mode and returns where the pose put the bone.
    float play(DrawMode mode = DrawMode::Play, float step = 0.5f)
    {
        drawEngineModel(model, mode, kFillSolid, step, nullptr);
        return paletteX();
    }

    MemoryDevice device;
    EngineModel model{&device};
};

TEST_F(EngineDrawTest, FrameZeroIsHeldUntilBlendReachesOneThenKeysFollowAndWrap)
{
    animate(4);
    // The step is taken before the pose is blended: the first frame (a step
    // of 0, as the first frame of a run is) shows key 0.
    EXPECT_FLOAT_EQ(play(DrawMode::Play, 0.0f), 0);
    const float expected[] = {0, 10, 15, 20, 25, 30, 15, 0, 5, 10};
    for (float x : expected) EXPECT_FLOAT_EQ(play(), x);
    const EngineAnimation& a = model.animations[0];
    EXPECT_EQ(a.currentFrame, 1);
    EXPECT_EQ(a.nextFrame, 2);
    EXPECT_FLOAT_EQ(a.blend, 0.0f);
    EXPECT_EQ(model.currentAnimation, 0);

    // The skinned buffer follows the palette drawn.
    EXPECT_TRUE(vectorNear(vertexAt<SkinVertex>(model.meshObjects[0].bindBuffer, 0)->position, 1 + 10, 2, 3));
}

TEST_F(EngineDrawTest, StepsKeepTimeExactlyWhateverTheirSize)
{
    animate(5);
    // A long frame advances as many keys as its time holds, and the excess
    // is kept for the next one.
    EXPECT_FLOAT_EQ(play(DrawMode::Play, 2.5f), 25);
    EXPECT_FLOAT_EQ(play(DrawMode::Play, 2.5f), 0);
    EXPECT_FLOAT_EQ(play(DrawMode::Play, 1.0f), 10);
    EXPECT_FLOAT_EQ(play(DrawMode::Play, 7.0f), 30);
    EXPECT_EQ(model.animations[0].currentFrame, 3);
    EXPECT_EQ(model.animations[0].nextFrame, 4);
    // Small steps whose float sum falls a hair short of a whole key still
    // reach it; a negative or non-finite step stands still.
    for (int i = 0; i < 144; ++i) play(DrawMode::Play, 30.0f / 144.0f);
    EXPECT_EQ(model.animations[0].currentFrame, 3);
    EXPECT_NEAR(model.animations[0].blend, 0.0f, 1e-3f);
    for (float odd : {-1.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()})
        EXPECT_NEAR(play(DrawMode::Play, odd), 30.0f, 0.1f);
    // Whole keys back and forth from the current one, wrapping both ways.
    EngineAnimation& a = model.animations[0];
    a.blend = 0.7f;
    for (const auto& [keys, x] : {std::pair{-4, 40.0f}, {1, 0.0f}, {-1, 40.0f}, {12, 10.0f}}) {
        stepKeys(a, keys, 0, a.frameCount);
        EXPECT_FLOAT_EQ(play(DrawMode::Play, 0.0f), x) << keys;
    }
    EXPECT_EQ(a.nextFrame, 2);
}

TEST_F(EngineDrawTest, AOneFrameAnimationPlaysFrameZeroForever)
{
    buildAnimation(model, {{translation(7, 0, 0)}});
    for (int i = 0; i < 6; ++i) EXPECT_FLOAT_EQ(play(), 7.0f);
    EXPECT_EQ(model.animations[0].currentFrame, 0);
    EXPECT_EQ(model.animations[0].nextFrame, 0);
}

TEST_F(EngineDrawTest, StillFreezesThePoseAndPlayResumesWhereItStopped)
{
    animate(4);
    for (int i = 0; i < 4; ++i) play();   // 0, 10, 15, 20
    const EngineAnimation before = [&] {
        EngineAnimation copy;
        copy.blend = model.animations[0].blend;
        copy.currentFrame = model.animations[0].currentFrame;
        copy.nextFrame = model.animations[0].nextFrame;
        return copy;
    }();
    const std::size_t drawsBefore = device.draws.size();
    for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(play(DrawMode::Still), 20.0f);
    EXPECT_EQ(device.draws.size(), drawsBefore + 3);   // still drawn, skinned
    EXPECT_EQ(model.animations[0].blend, before.blend);
    EXPECT_EQ(model.animations[0].currentFrame, before.currentFrame);
    EXPECT_EQ(model.animations[0].nextFrame, before.nextFrame);
    EXPECT_FLOAT_EQ(play(), 25.0f);
}

TEST_F(EngineDrawTest, PlaybackFieldsLeftByALongerAnimationAreWrappedIntoTheNewOne)
{
    animate(4);
    struct Case {
        std::int32_t current, next;
        float blend;
    } cases[] = {{30, 31, 0.5f}, {-5, -3, 0.0f}, {2, 99, 0.5f}, {3, 4, 2.0f}, {4, 0, 0.0f}};
    for (const Case& c : cases) {
        EngineAnimation& a = model.animations[0];
        a.currentFrame = c.current;
        a.nextFrame = c.next;
        a.blend = c.blend;
        const float x = play();
        EXPECT_GE(a.currentFrame, 0);
        EXPECT_LT(a.currentFrame, 4);
        EXPECT_GE(a.nextFrame, 0);
        EXPECT_LT(a.nextFrame, 4);
        EXPECT_GE(x, 0.0f);
        EXPECT_LE(x, 30.0f);
    }
    // A key past the end restarts at 0; a bad next key becomes the one after.
    EngineAnimation& a = model.animations[0];
    a.currentFrame = 30;
    a.nextFrame = 31;
    a.blend = 0.25f;
    EXPECT_FLOAT_EQ(play(), 7.5f);
}

TEST_F(EngineDrawTest, AnAnimationWithoutFramesDrawsNothingAndClosesTheEffect)
{
    model.hasAnimation = true;   // slot 0 was never filled
    model.animations[0].currentFrame = -2;
    EXPECT_TRUE(drawEngineModel(model, DrawMode::Play, kFillSolid, 0.5f, nullptr));
    EXPECT_TRUE(device.draws.empty());
    EXPECT_FALSE(model.effect->inBegin);
    EXPECT_FALSE(model.effect->inPass);
    EXPECT_EQ(model.animations[0].currentFrame, 0);
    EXPECT_FALSE(drawSkinned(model, kFillSolid, 0.5f, 0));
}

TEST_F(EngineDrawTest, TheDispatchTableDecidesWhatIsDrawn)
{
    EngineMeshObjects& objects = model.meshObjects[0];
    const Matrix hand = translation(0, 50, 0);
    struct Row {
        bool hasMesh, hasAnimation;
        DrawMode mode;
        const VertexBuffer* stream;   // null: nothing drawn
    };
    const Row rows[] = {
        {false, true, DrawMode::Still, nullptr},        {false, false, DrawMode::Play, nullptr},
        {false, false, DrawMode::Attached, nullptr},    {true, true, DrawMode::Still, objects.bindBuffer},
        {true, true, DrawMode::Play, objects.bindBuffer},  {true, true, DrawMode::Attached, nullptr},
        {true, false, DrawMode::Still, objects.restBuffer}, {true, false, DrawMode::Play, nullptr},
        {true, false, DrawMode::Attached, objects.bindBuffer}, {true, false, static_cast<DrawMode>(-1), nullptr},
        {true, true, static_cast<DrawMode>(-1), nullptr},
    };
    animate(3);
    for (const Row& row : rows) {
        model.hasMesh = row.hasMesh;
        model.hasAnimation = row.hasAnimation;
        device.draws.clear();
        const std::uint64_t uploads = device.uploadsOf(*objects.bindBuffer);
        const int applications = device.effectApplications;
        EXPECT_TRUE(drawEngineModel(model, row.mode, kFillSolid, 0.5f, &hand));
        SCOPED_TRACE(testing::Message() << "mesh " << row.hasMesh << ", animation " << row.hasAnimation << ", mode "
                                        << static_cast<int>(row.mode));
        EXPECT_GT(device.effectApplications, applications);   // the effect frame runs in every row
        EXPECT_FALSE(model.effect->inBegin);
        if (!row.stream) {
            EXPECT_TRUE(device.draws.empty());
            EXPECT_EQ(device.uploadsOf(*objects.bindBuffer), uploads);
            continue;
        }
        ASSERT_EQ(device.draws.size(), 1u);
        const RecordedDraw& d = device.draws[0];
        EXPECT_EQ(d.stream, row.stream);
        EXPECT_TRUE(d.indexed);
        EXPECT_EQ(d.indices, objects.indexBuffer);
        EXPECT_EQ(d.primitiveCount, 1u);
        EXPECT_EQ(d.fvf, 0x280312u);
        EXPECT_EQ(d.effect, model.effect);
        // Skinned and attached draws rewrite the bind buffer; the rest draw does not.
        EXPECT_EQ(device.uploadsOf(*objects.bindBuffer), uploads + (row.stream == objects.bindBuffer ? 1u : 0u));
    }
    // Attached: placed by the hand matrix.
    EXPECT_TRUE(vectorNear(vertexAt<SkinVertex>(objects.bindBuffer, 1)->position, 4, 55, 6));

    // Attached without a matrix, and a model without an effect, draw nothing.
    model.hasMesh = true;
    model.hasAnimation = false;
    device.draws.clear();
    drawEngineModel(model, DrawMode::Attached, kFillSolid, 0.5f, nullptr);
    EXPECT_TRUE(device.draws.empty());
    Effect* effect = model.effect;
    model.effect = nullptr;
    const int applications = device.effectApplications;
    EXPECT_TRUE(drawEngineModel(model, DrawMode::Still, kFillSolid, 0.5f, nullptr));
    EXPECT_TRUE(device.draws.empty());
    EXPECT_EQ(device.effectApplications, applications);
    model.effect = effect;
}

TEST_F(EngineDrawTest, TheEffectGetsTheDeviceMatricesAndTheFixedVectors)
{
    const Matrix world = matrixMultiply(matrixRotationY(0.4f), translation(3, -2, 7));
    const Matrix view = matrixLookAtLH({10, 20, -300}, {0, 0, 0}, {0, 1, 0});
    const Matrix projection = matrixPerspectiveFovLH(0.785398f, 4.0f / 3.0f, 1.0f, 5000.0f);
    device.setTransform(TransformType::World, world);
    device.setTransform(TransformType::View, view);
    device.setTransform(TransformType::Projection, projection);
    drawEngineModel(model, DrawMode::Still, kFillSolid, 0.5f, nullptr);

    const Effect& e = *model.effect;
    const Matrix worldView = matrixMultiply(world, view);
    EXPECT_TRUE(matrixNear(worldView, test::parameterMatrix(e, "matWorldView"), 1e-3f));
    EXPECT_TRUE(matrixNear(matrixTranspose(matrixInverse(worldView)), test::parameterMatrix(e, "matWorldViewInverseTranspose"), 1e-5f));
    EXPECT_TRUE(matrixNear(matrixMultiply(worldView, projection), test::parameterMatrix(e, "matWorldViewProjection"), 1e-3f));
    const struct {
        const char* name;
        float x, y, z, w;
    } vectors[] = {{"fvEyePosition", 0, 0, 0, 1},
                   {"fvLightPosition", 0, 0, 1, 1},
                   {"fvAmbient", 0.2f, 0.2f, 0.2f, 1},
                   {"fvDiffuse", 1, 1, 1, 1},
                   {"fvSpecular", 0.2f, 0.2f, 0.2f, 1}};
    for (const auto& v : vectors) {
        const float* values = test::parameterValues(e, v.name);
        EXPECT_EQ(values[0], v.x) << v.name;
        EXPECT_EQ(values[1], v.y) << v.name;
        EXPECT_EQ(values[2], v.z) << v.name;
        EXPECT_EQ(values[3], v.w) << v.name;
    }
    EXPECT_EQ(e.parameter("DiffuseMap")->texture, model.meshObjects[0].texture);
    // The engine model leaves the world transform alone.
    Matrix after;
    device.getTransform(TransformType::World, &after);
    EXPECT_TRUE(matrixNear(world, after, 0));
}

TEST_F(EngineDrawTest, ADrawLeavesItsStatesButSwitchesBlendingOff)
{
    device.lightEnable(0, true);
    device.setRenderState(RenderState::CullMode, kCullCCW);
    device.setRenderState(RenderState::ZEnable, 0);
    drawEngineModel(model, DrawMode::Still, kFillWireframe, 0.5f, nullptr);
    ASSERT_EQ(device.draws.size(), 1u);
    EXPECT_EQ(device.draws[0].fillMode, kFillWireframe);
    EXPECT_FALSE(device.lightEnabled(0));
    EXPECT_EQ(device.renderState(RenderState::Lighting), 0u);
    EXPECT_EQ(device.renderState(RenderState::CullMode), kCullNone);
    EXPECT_EQ(device.renderState(RenderState::ZEnable), 1u);
    EXPECT_EQ(device.renderState(RenderState::AlphaBlendEnable), 0u);
    EXPECT_EQ(device.renderState(RenderState::FillMode), kFillWireframe);
    EXPECT_EQ(device.renderState(RenderState::AlphaTestEnable), 1u);
    EXPECT_EQ(device.renderState(RenderState::AlphaRef), 0x80u);
    EXPECT_EQ(device.renderState(RenderState::AlphaFunc), kCmpGreaterEqual);
    EXPECT_EQ(device.renderState(RenderState::SrcBlend), kBlendSrcAlpha);
    EXPECT_EQ(device.renderState(RenderState::DestBlend), kBlendInvSrcAlpha);
    EXPECT_EQ(device.currentFVF(), 0x280312u);

    // The attached path leaves the alpha test as the device has it.
    device.setRenderState(RenderState::AlphaTestEnable, 0);
    const Matrix hand;
    drawEngineModel(model, DrawMode::Attached, kFillSolid, 0.5f, &hand);
    EXPECT_EQ(device.renderState(RenderState::AlphaTestEnable), 0u);
    EXPECT_EQ(device.renderState(RenderState::AlphaBlendEnable), 0u);
}

TEST_F(EngineDrawTest, AWeaponBoundToAHandFollowsThatHandAsItAnimates)
{
    // The carrier: bone 1 is the hand, bound at (5, 10, 0) turned about y.
    EngineModel carrier(&device);
    const Matrix handBind = matrixMultiply(matrixRotationY(0.3f), translation(5, 10, 0));
    buildEngineMesh(carrier, {matrixIdentity(), handBind}, {engineVertex({0, 0, 0}, {0, 0, 1}, 0, 0, {{0, 1.0f}})});
    carrier.meshes[0].handBone = 1;
    const Matrix handKey0 = matrixMultiply(matrixRotationX(0.7f), translation(-3, 2, 8));
    const Matrix handKey1 = translation(20, 0, 0);
    buildAnimation(carrier, {{matrixIdentity(), handKey0}, {matrixIdentity(), handKey1}});

    // The weapon: a grip vertex at the hand's bind position and a tip beyond it.
    const Vector3 tipInHand{0, 0, 40};
    const Vector3 tip = transformPoint(tipInHand, handBind);
    EngineModel weapon(&device);
    buildEngineMesh(weapon, {matrixIdentity()},
                    {engineVertex({5, 10, 0}, {0, 0, 1}, 0, 0, {{0, 1.0f}}), engineVertex(tip, {0, 0, 1}, 0, 0, {{0, 1.0f}}),
                     engineVertex(tip, {0, 0, 1}, 0, 0, {{0, 1.0f}})});
    EXPECT_TRUE(bindToHand(weapon, carrier.meshes[0].nodes[static_cast<std::size_t>(carrier.meshes[0].handBone)].worldMatrix));

    drawEngineModel(carrier, DrawMode::Play, kFillSolid, 0.0f, nullptr);
    const Matrix& hand = carrier.meshes[0].bonePalette[1];
    EXPECT_TRUE(matrixNear(handKey0, hand));
    drawEngineModel(weapon, DrawMode::Attached, kFillSolid, 0.5f, &hand);
    EXPECT_TRUE(vectorNear(vertexAt<SkinVertex>(weapon.meshObjects[0].bindBuffer, 0)->position, -3, 2, 8));
    const Vector3 tipNow = transformPoint(tipInHand, handKey0);
    EXPECT_TRUE(vectorNear(vertexAt<SkinVertex>(weapon.meshObjects[0].bindBuffer, 1)->position, tipNow.x, tipNow.y, tipNow.z));

    for (int i = 0; i < 2; ++i) drawEngineModel(carrier, DrawMode::Play, kFillSolid, 0.5f, nullptr);   // on to key 1
    EXPECT_TRUE(matrixNear(handKey1, hand));
    drawEngineModel(weapon, DrawMode::Attached, kFillSolid, 0.5f, &hand);
    EXPECT_TRUE(vectorNear(vertexAt<SkinVertex>(weapon.meshObjects[0].bindBuffer, 0)->position, 20, 0, 0));
}

} // namespace
} // namespace veskar
