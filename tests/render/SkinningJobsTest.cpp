// The blending and skinning jobs against hand-computed values and against the
// literal formula (a matrix scaled per link), and their answers to bad input.

#include "RenderTestSupport.h"

#include "render/SkinningJobs.h"

#include <cstring>
#include <random>

namespace veskar {
namespace {

using test::engineVertex;
using test::matrixNear;
using test::translation;
using test::vectorNear;

// RotationZ(90 degrees) then up 5 along z: (x, y, z) -> (-y, x, z + 5).
Matrix turnAndLift()
{
    Matrix m = matrixRotationZ(1.5707964f);
    m.m[3][2] = 5.0f;
    return m;
}

Matrix scaled(const Matrix& m, float w)
{
    Matrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r.m[i][j] = m.m[i][j] * w;
    return r;
}

TEST(BlendJobs, BlendIsLinearEntryByEntryAndCoversOnlyCommonNodes)
{
    std::vector<SkeletonNode> from(3), to(3);
    for (int k = 0; k < 3; ++k) {
        from[k].worldMatrix = matrixRotationY(0.3f * static_cast<float>(k));
        to[k].worldMatrix = matrixMultiply(matrixRotationX(1.0f), matrixTranslation(4.0f, static_cast<float>(k), -2.0f));
        to[k].worldMatrix.m[3][3] = 3.0f;   // every entry is blended, even this one
    }
    std::vector<Matrix> out(3);
    EXPECT_TRUE(blendPalette(from, to, 0.25f, out));
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
                EXPECT_FLOAT_EQ(out[k].m[i][j], 0.25f * to[k].worldMatrix.m[i][j] + 0.75f * from[k].worldMatrix.m[i][j]);

    // More palette entries than keys: the extra one keeps its matrix.
    std::vector<Matrix> longer(4, translation(9, 9, 9));
    EXPECT_FALSE(blendPalette(from, to, 1.0f, longer));
    EXPECT_TRUE(matrixNear(to[2].worldMatrix, longer[2], 0));
    EXPECT_TRUE(matrixNear(translation(9, 9, 9), longer[3], 0));

    // Keys of different sizes: only what both have is written.
    std::vector<Matrix> two(2);
    EXPECT_FALSE(blendPalette(std::span(from).first(2), to, 0.0f, two));
    EXPECT_TRUE(matrixNear(from[1].worldMatrix, two[1], 0));

    // The node-table form writes worldMatrix and nothing else.
    std::vector<SkeletonNode> pose(2);
    pose[1].name = "kept";
    pose[1].localMatrix = translation(1, 2, 3);
    EXPECT_TRUE(blendPose(from, to, 0.5f, pose));
    EXPECT_EQ(pose[1].name, "kept");
    EXPECT_TRUE(matrixNear(translation(1, 2, 3), pose[1].localMatrix, 0));
    EXPECT_FLOAT_EQ(pose[1].worldMatrix.m[3][0], 0.5f * 4.0f);
}

TEST(SkinVertices, TwoWeightedLinksAgainstHandComputedValues)
{
    const std::vector<Matrix> palette = {translation(10, 0, 0), turnAndLift()};
    // P (1, 2, 3): bone 0 gives (11, 2, 3), bone 1 gives (-2, 1, 8).
    std::vector<EngineVertex> in = {
        engineVertex({1, 2, 3}, {0, 0, 1}, 0.25f, 0.75f, {{0, 0.25f}, {1, 0.75f}}),
        engineVertex({1, 2, 3}, {1, 0, 0}, 0.5f, 0.5f, {{1, 0.75f}, {0, 0.25f}}),
    };
    std::vector<SkinVertex> out(2);
    ASSERT_TRUE(skinVertices(in, palette, out));
    EXPECT_TRUE(vectorNear(out[0].position, 1.25f, 1.25f, 6.75f));
    EXPECT_TRUE(vectorNear(out[1].position, 1.25f, 1.25f, 6.75f));
    // The normal comes from the first link alone, scaled by its weight and
    // not renormalised.
    EXPECT_TRUE(vectorNear(out[0].normal, 0, 0, 0.25f));
    EXPECT_TRUE(vectorNear(out[1].normal, 0, 0.75f, 0));
    EXPECT_EQ(out[0].u, 0.25f);
    EXPECT_EQ(out[0].v, 0.75f);
}

TEST(SkinVertices, AVertexWithoutLinksGoesToTheOriginAndBytesPastUvStay)
{
    const std::vector<Matrix> palette = {translation(10, 20, 30)};
    std::vector<EngineVertex> in = {engineVertex({5, 6, 7}, {0, 1, 0}, 0.1f, 0.2f, {}),
                                    engineVertex({5, 6, 7}, {0, 1, 0}, 0.3f, 0.4f, {{0, 1.0f}})};
    std::vector<SkinVertex> out(2);
    std::memset(static_cast<void*>(out.data()), 0xAB, out.size() * sizeof(SkinVertex));
    ASSERT_TRUE(skinVertices(in, palette, out));
    EXPECT_TRUE(vectorNear(out[0].position, 0, 0, 0, 0));
    EXPECT_TRUE(vectorNear(out[0].normal, 0, 0, 0, 0));
    EXPECT_EQ(out[0].u, 0.1f);
    EXPECT_TRUE(vectorNear(out[1].position, 15, 26, 37));
    for (const SkinVertex& v : out) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(&v);
        for (int b = 32; b < 64; ++b) ASSERT_EQ(bytes[b], 0xAB) << "byte " << b;
    }
}

TEST(SkinVertices, MatchesTheLiteralScaledMatrixFormulaForUpToSixteenLinks)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> value(-2.0f, 2.0f);
    std::vector<Matrix> palette(12);
    for (Matrix& m : palette) {
        m = matrixMultiply(matrixRotationAxis({value(rng), value(rng), value(rng) + 3.0f}, value(rng)),
                           translation(50 * value(rng), 50 * value(rng), 50 * value(rng)));
        m.m[0][3] = value(rng);   // column 4 plays no part in TransformPoint
    }
    std::vector<EngineVertex> in(200);
    for (std::size_t i = 0; i < in.size(); ++i) {
        EngineVertex& v = in[i];
        v = engineVertex({30 * value(rng), 30 * value(rng), 30 * value(rng)}, {value(rng), value(rng), value(rng)}, 0, 0, {});
        v.linkCount = static_cast<std::int32_t>(i % 17);
        for (int j = 0; j < v.linkCount; ++j) {
            v.links.bone[j] = static_cast<std::int32_t>(rng() % palette.size());
            v.links.weight[j] = (value(rng) + 2.0f) / 4.0f;
        }
    }
    std::vector<SkinVertex> out(in.size());
    ASSERT_TRUE(skinVertices(in, palette, out));
    // The packed stream a frame uses gives the same bytes.
    std::vector<SkinSource> sources;
    std::vector<BoneLink> links;
    buildSkinStream(in, sources, links);
    std::vector<SkinVertex> streamed(in.size());
    ASSERT_TRUE(skinStream(sources, links, palette, streamed));
    for (std::size_t i = 0; i < in.size(); ++i) {
        EXPECT_EQ(std::memcmp(streamed[i].position, out[i].position, 32), 0) << "vertex " << i;
        EXPECT_EQ(streamed[i].weights[0], 0.0f);  // bytes past u and v untouched
    }
    for (std::size_t i = 0; i < in.size(); ++i) {
        const EngineVertex& v = in[i];
        const Vector3 p{v.bindVertex.position[0], v.bindVertex.position[1], v.bindVertex.position[2]};
        const Vector3 n{v.bindVertex.normal[0], v.bindVertex.normal[1], v.bindVertex.normal[2]};
        Vector3 sum;
        for (int j = 0; j < v.linkCount; ++j) {
            const Vector3 t = transformPoint(p, scaled(palette[static_cast<std::size_t>(v.links.bone[j])], v.links.weight[j]));
            sum = {sum.x + t.x, sum.y + t.y, sum.z + t.z};
        }
        Vector3 normal;
        if (v.linkCount > 0) normal = vec3TransformNormal(n, scaled(palette[static_cast<std::size_t>(v.links.bone[0])], v.links.weight[0]));
        EXPECT_TRUE(vectorNear(out[i].position, sum.x, sum.y, sum.z, 1e-3f)) << "vertex " << i;
        EXPECT_TRUE(vectorNear(out[i].normal, normal.x, normal.y, normal.z, 1e-5f)) << "vertex " << i;
    }
}

TEST(SkinVertices, BadInputIsReportedAndNeverReadsPastThePalette)
{
    const std::vector<Matrix> palette = {translation(1, 0, 0), translation(0, 1, 0)};
    std::vector<EngineVertex> in = {engineVertex({0, 0, 0}, {0, 0, 1}, 0, 0, {{0, 0.5f}, {7, 0.5f}}),
                                    engineVertex({0, 0, 0}, {0, 0, 1}, 0, 0, {{-3, 1.0f}, {1, 1.0f}})};
    std::vector<SkinVertex> out(2);
    EXPECT_FALSE(skinVertices(in, palette, out));
    EXPECT_TRUE(vectorNear(out[0].position, 0.5f, 0, 0));   // the bad link is left out
    EXPECT_TRUE(vectorNear(out[1].position, 0, 1, 0));
    EXPECT_TRUE(vectorNear(out[1].normal, 0, 0, 0, 0));     // its first link was the bad one

    in[0] = engineVertex({0, 0, 0}, {0, 0, 1}, 0, 0, {{1, 1.0f}});
    in[0].linkCount = 40;   // more than a block holds: read as 16
    EXPECT_FALSE(skinVertices(std::span(in).first(1), palette, out));
    EXPECT_TRUE(vectorNear(out[0].position, 0, 1, 0));      // the other fifteen slots hold bone 0 weight 0

    std::vector<SkinVertex> shortOut(1);
    shortOut[0].position[0] = 99.0f;
    EXPECT_FALSE(skinVertices(in, palette, shortOut));
    EXPECT_EQ(shortOut[0].position[0], 99.0f);
    EXPECT_TRUE(skinVertices({}, {}, {}));
}

TEST(AttachJobs, AWeaponVertexAtTheHandsBindPositionEndsAtTheHandsCurrentPosition)
{
    const Matrix handBind = matrixMultiply(matrixRotationY(0.3f), translation(5, 10, 0));
    const Matrix handNow = matrixMultiply(matrixRotationX(0.7f), translation(-3, 2, 8));
    const Vector3 offset{0, 0, 4};   // a point four units along the hand's z
    const Vector3 atOffset = transformPoint(offset, handBind);
    std::vector<EngineVertex> weapon = {
        engineVertex({5, 10, 0}, {0, 1, 0}, 0.5f, 0.25f, {{0, 1.0f}}),
        // Links do not matter to a rigid attachment: none and two place alike.
        engineVertex(atOffset, {0, 1, 0}, 0, 0, {}),
        engineVertex(atOffset, {0, 1, 0}, 0, 0, {{0, 0.5f}, {0, 0.5f}}),
    };
    weapon[0].restVertex.weights[0] = 0.75f;
    EXPECT_TRUE(bindVerticesToHand(weapon, handBind));
    EXPECT_EQ(weapon[0].bindVertex.u, 0.5f);
    EXPECT_EQ(weapon[0].bindVertex.weights[0], 0.75f);
    EXPECT_TRUE(vectorNear(weapon[0].bindVertex.position, 0, 0, 0));

    std::vector<SkinVertex> out(3);
    std::memset(static_cast<void*>(out.data()), 0xCD, out.size() * sizeof(SkinVertex));
    EXPECT_TRUE(placeAttachedVertices(weapon, handNow, out));
    EXPECT_TRUE(vectorNear(out[0].position, -3, 2, 8));
    const Vector3 expected = transformPoint(offset, handNow);
    EXPECT_TRUE(vectorNear(out[1].position, expected.x, expected.y, expected.z));
    EXPECT_TRUE(vectorNear(out[2].position, expected.x, expected.y, expected.z));
    const Vector3 normal = vec3TransformNormal(vec3TransformNormal({0, 1, 0}, matrixInverse(handBind)), handNow);
    EXPECT_TRUE(vectorNear(out[0].normal, normal.x, normal.y, normal.z));
    EXPECT_EQ(out[0].u, 0.5f);
    EXPECT_EQ(reinterpret_cast<const std::uint8_t*>(&out[0])[40], 0xCD);

    // A hand matrix with no inverse is reported; vertices stay finite.
    Matrix flat;
    flat.m[2][2] = 0.0f;
    EXPECT_FALSE(bindVerticesToHand(weapon, flat));
    EXPECT_TRUE(vectorNear(weapon[0].bindVertex.position, 5, 10, 0));
}

TEST(SkinTriangles, CornersSkinFromTheLinkPoolIntoThreeVerticesATriangle)
{
    std::vector<SkeletonNode> nodes(2);
    nodes[0].worldMatrix = translation(10, 0, 0);
    nodes[1].worldMatrix = turnAndLift();
    std::vector<BoneLink> pool = {{0, 0.25f}, {1, 0.75f}, {1, 1.0f}};
    std::vector<SmdTriangle> triangles(2);
    std::vector<SmdVertex> bind(6);
    for (std::size_t i = 0; i < bind.size(); ++i) {
        bind[i].position[0] = 1;
        bind[i].position[1] = 2;
        bind[i].position[2] = 3;
        bind[i].normal[2] = 1;
        bind[i].u = static_cast<float>(i % 3);
    }
    triangles[0].linkCount[0] = 2;
    triangles[0].linkStart[0] = 0;
    triangles[0].linkCount[1] = 1;
    triangles[0].linkStart[1] = 2;
    triangles[0].linkCount[2] = 0;
    triangles[1].linkCount[0] = 2;
    triangles[1].linkStart[0] = 2;   // runs past the pool
    triangles[1].linkCount[1] = 1;
    triangles[1].linkStart[1] = 2;
    triangles[1].linkCount[2] = 1;
    triangles[1].linkStart[2] = 2;

    std::vector<SmdVertex> out(6);
    EXPECT_FALSE(skinTriangles(triangles, bind, pool, nodes, out));
    EXPECT_TRUE(vectorNear(out[0].position, 1.25f, 1.25f, 6.75f));
    EXPECT_TRUE(vectorNear(out[0].normal, 0, 0, 0.25f));
    EXPECT_TRUE(vectorNear(out[1].position, -2, 1, 8));
    EXPECT_TRUE(vectorNear(out[2].position, 0, 0, 0, 0));
    EXPECT_EQ(out[2].u, 2.0f);
    EXPECT_TRUE(vectorNear(out[3].position, 0, 0, 0, 0));  // its links lie outside the pool
    EXPECT_TRUE(vectorNear(out[5].position, -2, 1, 8));

    // A node outside the table is left out; a short output writes nothing.
    std::vector<SkeletonNode> oneNode(nodes.begin(), nodes.begin() + 1);
    EXPECT_FALSE(skinTriangles(std::span(triangles).first(1), bind, pool, oneNode, out));
    EXPECT_TRUE(vectorNear(out[0].position, 2.75f, 0.5f, 0.75f));
    std::vector<SmdVertex> shortOut(5);
    EXPECT_FALSE(skinTriangles(triangles, bind, pool, nodes, shortOut));
    EXPECT_EQ(shortOut[0].position[0], 0.0f);
    // Too few bind vertices for the triangles: nothing written either.
    EXPECT_FALSE(skinTriangles(triangles, std::span(bind).first(5), pool, nodes, out = std::vector<SmdVertex>(6)));
    EXPECT_EQ(out[0].position[0], 0.0f);
}

} // namespace
} // namespace veskar
