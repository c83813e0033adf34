// SMD model drawing on the in-memory device: playback within a frame range,
// refused ranges, triangles drawn one by one with their textures, and an
// animation with fewer nodes than the mesh.

#include "RenderTestSupport.h"

#include "render/SmdModelDrawing.h"

namespace veskar {
namespace {

using test::matrixNear;
using test::translation;
using test::vectorNear;
using test::vertexAt;

// Two nodes and three triangles (materials 0, 1, 0). Every corner sits at
// (1, 2, 3); triangle 2's corners follow node 1, the others node 0.
class SmdDrawTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(model.effect, nullptr);
        SmdMesh& mesh = model.meshes[0];
        ASSERT_TRUE(mesh.allocateNodes(2));
        mesh.nodes[1].worldMatrix = translation(0, 100, 0);
        ASSERT_TRUE(mesh.allocateTriangles(3));
        mesh.linkPool = {{0, 1.0f}, {1, 1.0f}};
        mesh.bindVertices.assign(9, SmdVertex{});
        for (int t = 0; t < 3; ++t) {
            SmdTriangle& tri = mesh.triangles[static_cast<std::size_t>(t)];
            tri.material = t == 1 ? 1 : 0;
            for (int c = 0; c < 3; ++c) {
                mesh.bindVertices[static_cast<std::size_t>(3 * t + c)].position[0] = 1;
                mesh.bindVertices[static_cast<std::size_t>(3 * t + c)].position[1] = 2;
                mesh.bindVertices[static_cast<std::size_t>(3 * t + c)].position[2] = 3;
                mesh.bindVertices[static_cast<std::size_t>(3 * t + c)].normal[2] = 1;
                tri.linkCount[c] = 1;
                tri.linkStart[c] = t == 2 ? 1 : 0;
            }
        }
        const std::uint8_t red[4] = {255, 0, 0, 255}, green[4] = {0, 255, 0, 255};
        SmdMeshObjects& objects = model.meshObjects[0];
        objects.textures.assign(2, nullptr);
        ASSERT_EQ(device.createTexture(1, 1, red, &objects.textures[0]), kOk);
        ASSERT_EQ(device.createTexture(1, 1, green, &objects.textures[1]), kOk);
        mesh.textureCount = 2;
        ASSERT_EQ(device.createVertexBuffer(static_cast<std::uint32_t>(mesh.triangleCount) * 96u, 0, 0, Pool::Default, &objects.vertexBuffer), kOk);
        model.meshCount = 1;
        model.hasMesh = true;
    }

    // Animation slot 0: key f puts node 0 at x = 10 f (and node 1, if the
    // animation has it, at y = 10 f).
    void animate(int frames, int nodes = 2)
    {
        SmdAnimation& a = model.animations[0];
        ASSERT_TRUE(a.allocate(frames, nodes));
        for (int f = 0; f < frames; ++f) {
            a.frame(f)[0].worldMatrix = translation(10.0f * static_cast<float>(f), 0, 0);
            if (nodes > 1) a.frame(f)[1].worldMatrix = translation(0, 10.0f * static_cast<float>(f), 0);
        }
        model.animationCount = 1;
        model.hasAnimation = true;
    }

    float play(int first, int limit, int index = 0, float step = 0.5f)
    {
        EXPECT_TRUE(drawSmdModel(model, kFillSolid, first, limit, step, index, true));
        return model.meshes[0].nodes[0].worldMatrix.m[3][0];
    }

    MemoryDevice device;
    SmdModel model{&device};
};

TEST_F(SmdDrawTest, FrameZeroIsHeldTwoFramesAKeyAndTheLastKeyBlendsBackToTheFirst)
{
    animate(4);
    EXPECT_FLOAT_EQ(play(0, 4, 0, 0.0f), 0);   // the first frame of a run steps 0
    const float expected[] = {0, 10, 15, 20, 25, 30, 15, 0, 5};
    for (float x : expected) EXPECT_FLOAT_EQ(play(0, 4), x);
    EXPECT_EQ(model.currentAnimation, 0);
    // Corners are skinned from the pose just blended.
    EXPECT_TRUE(vectorNear(vertexAt<SmdVertex>(model.meshObjects[0].vertexBuffer, 0)->position, 1 + 5, 2, 3));
    EXPECT_TRUE(vectorNear(vertexAt<SmdVertex>(model.meshObjects[0].vertexBuffer, 6)->position, 1, 2 + 5, 3));
}

TEST_F(SmdDrawTest, PlaybackLoopsWithinTheGivenRange)
{
    animate(4);
    // Raised to key 1, blending towards the key 0 loading left as next.
    const float expected[] = {5, 20, 15, 10, 15, 20};
    for (float x : expected) EXPECT_FLOAT_EQ(play(1, 3), x);
    EXPECT_GE(model.animations[0].currentFrame, 1);
    EXPECT_LT(model.animations[0].currentFrame, 3);
}

TEST_F(SmdDrawTest, RangesThatCannotBePlayedDrawNothingAndCloseTheEffect)
{
    animate(4);
    const struct {
        int first, limit, index;
    } bad[] = {{0, 5, 0}, {4, 4, 0}, {-1, 4, 0}, {0, -1, 0}, {2, 2, 0}, {3, 1, 0}, {0, 4, 32}};
    for (const auto& r : bad) {
        device.draws.clear();
        EXPECT_FALSE(drawSmdModel(model, kFillSolid, r.first, r.limit, 0.5f, r.index, true)) << r.first << ".." << r.limit;
        EXPECT_TRUE(device.draws.empty());
        EXPECT_FALSE(model.effect->inBegin);
        EXPECT_FALSE(model.effect->inPass);
    }
    // A refused range may already have raised the current key to its start.
    model.animations[0].currentFrame = 0;
    EXPECT_FALSE(drawSmdModel(model, kFillSolid, 2, 9, 0.5f, 0, true));
    EXPECT_EQ(model.animations[0].currentFrame, 2);

    // Without frames there is nothing to play.
    model.animations[0].release();
    model.animations[0].frameCount = 0;
    EXPECT_FALSE(drawSmdModel(model, kFillSolid, 0, 0, 0.5f, 0, true));
}

TEST_F(SmdDrawTest, MinusOneKeepsThePoseAndStillDraws)
{
    animate(4);
    for (int i = 0; i < 3; ++i) play(0, 4);   // 0, 10, 15
    const SmdAnimation& a = model.animations[0];
    const float blend = a.blend;
    device.draws.clear();
    EXPECT_FLOAT_EQ(play(0, 0, -1), 15.0f);
    EXPECT_FLOAT_EQ(play(0, 0, -1), 15.0f);
    EXPECT_EQ(a.blend, blend);
    EXPECT_EQ(device.draws.size(), 6u);
}

TEST_F(SmdDrawTest, EachTriangleIsItsOwnDrawWithItsOwnTexture)
{
    const int commits = device.effectApplications;
    EXPECT_TRUE(drawSmdModel(model, kFillWireframe, 0, 0, 0.5f, -1, true));
    ASSERT_EQ(device.draws.size(), 3u);
    for (std::uint32_t t = 0; t < 3; ++t) {
        const RecordedDraw& d = device.draws[t];
        EXPECT_FALSE(d.indexed);
        EXPECT_EQ(d.startVertex, 3 * t);
        EXPECT_EQ(d.primitiveCount, 1u);
        EXPECT_EQ(d.fvf, 0x112u);
        EXPECT_EQ(d.fillMode, kFillWireframe);
        EXPECT_EQ(d.stream, model.meshObjects[0].vertexBuffer);
    }
    // The pass began with one commit and every triangle committed its texture.
    EXPECT_EQ(device.effectApplications - commits, 1 + 3);
    EXPECT_EQ(model.effect->parameter("DiffuseMap")->texture, model.meshObjects[0].textures[0]);
    // Blending is left on after an SMD draw.
    EXPECT_EQ(device.renderState(RenderState::AlphaBlendEnable), 1u);
    EXPECT_EQ(device.renderState(RenderState::AlphaTestEnable), 1u);
    EXPECT_EQ(device.renderState(RenderState::AlphaRef), 0x80u);

    // Untextured: stage 0 is emptied before every triangle, nothing committed.
    device.draws.clear();
    device.setTexture(0, model.meshObjects[0].textures[1]);
    const int before = device.effectApplications;
    EXPECT_TRUE(drawSmdModel(model, kFillSolid, 0, 0, 0.5f, -1, false));
    ASSERT_EQ(device.draws.size(), 3u);
    for (const RecordedDraw& d : device.draws) EXPECT_EQ(d.texture, nullptr);
    EXPECT_EQ(device.effectApplications - before, 1);
}

TEST_F(SmdDrawTest, TheWorldIsIdentityAfterTheDrawButTheEffectSawTheOldOne)
{
    const Matrix world = translation(5, 6, 7);
    device.setTransform(TransformType::World, world);
    EXPECT_TRUE(drawSmdModel(model, kFillSolid, 0, 0, 0.5f, -1, true));
    Matrix after;
    device.getTransform(TransformType::World, &after);
    EXPECT_TRUE(matrixNear(matrixIdentity(), after, 0));
    Matrix view;
    device.getTransform(TransformType::View, &view);
    EXPECT_TRUE(matrixNear(matrixMultiply(world, view), test::parameterMatrix(*model.effect, "matWorldView"), 0));
    for (const RecordedDraw& d : device.draws) EXPECT_TRUE(matrixNear(matrixIdentity(), d.world, 0));
}

TEST_F(SmdDrawTest, AnAnimationWithFewerNodesPosesOnlyTheNodesItHas)
{
    animate(3, 1);
    for (int i = 0; i < 2; ++i) play(0, 3);   // 0, 10
    EXPECT_FLOAT_EQ(model.meshes[0].nodes[0].worldMatrix.m[3][0], 10.0f);
    EXPECT_TRUE(matrixNear(translation(0, 100, 0), model.meshes[0].nodes[1].worldMatrix, 0));
    EXPECT_TRUE(vectorNear(vertexAt<SmdVertex>(model.meshObjects[0].vertexBuffer, 6)->position, 1, 102, 3));
    EXPECT_TRUE(vectorNear(vertexAt<SmdVertex>(model.meshObjects[0].vertexBuffer, 0)->position, 11, 2, 3));
}

TEST_F(SmdDrawTest, KeysLeftPastTheRangeAreBroughtBackBeforeTheyIndexFrames)
{
    animate(4);
    SmdAnimation& a = model.animations[0];
    a.currentFrame = 50;
    a.nextFrame = 77;
    a.blend = 0.25f;
    EXPECT_FLOAT_EQ(play(0, 4), 7.5f);   // key 0 towards key 1
    a.currentFrame = 2;
    a.nextFrame = -4;
    a.blend = 0.0f;
    EXPECT_FLOAT_EQ(play(0, 4), 25.0f);
    EXPECT_EQ(a.nextFrame, 3);
}

TEST_F(SmdDrawTest, AModelWithoutAnEffectDrawsNothing)
{
    Effect* effect = model.effect;
    model.effect = nullptr;
    animate(2);
    EXPECT_TRUE(drawSmdModel(model, kFillSolid, 0, 2, 0.5f, 0, true));
    EXPECT_TRUE(device.draws.empty());
    EXPECT_EQ(model.animations[0].blend, 0.0f);
    model.effect = effect;
}

} // namespace
} // namespace veskar
