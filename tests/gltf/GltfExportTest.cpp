// The glTF export's arithmetic against the viewer's own matrices: what a
// bone's angles mean, where the axes go, what the inverse bind matrices undo,
// how sixteen links become four, and how the mesh splits by material. The
// file as a whole is checked by the Khronos validator, three.js and assimp
// (tests/gltf/checks).

#include "gltf/GlbWriter.h"
#include "gltf/GltfSceneBuilder.h"
#include "gltf/GltfTextForm.h"
#include "gltf/GltfTextures.h"
#include "import/Skeleton.h"
#include "base/Math.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstring>

namespace veskar {
namespace {

// q * (0, v) * conj(q), the rotation glTF readers apply.
void rotate(const double q[4], const double v[3], double out[3])
{
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    const double t[3] = {2 * (y * v[2] - z * v[1]), 2 * (z * v[0] - x * v[2]), 2 * (x * v[1] - y * v[0])};
    out[0] = v[0] + w * t[0] + (y * t[2] - z * t[1]);
    out[1] = v[1] + w * t[1] + (z * t[0] - x * t[2]);
    out[2] = v[2] + w * t[2] + (x * t[1] - y * t[0]);
}

void toGltf(const Vector3& p, double out[3])
{
    const float f[3] = {p.x, p.y, p.z};
    float g[3];
    gltfPoint(f, 1.0f, g);
    for (int i = 0; i < 3; ++i) out[i] = g[i];
}

TEST(GltfExportTest, RotationsTurnPointsAsTheViewersMatricesDo)
{
    const float angles[][3] = {
        {0.5f, 0, 0}, {0, 0.5f, 0}, {0, 0, 0.5f},   // each axis alone: the sign of each
        {0.3f, -1.2f, 2.0f},                         // the order X, then Y, then Z
        {1.5707964f, 1.5707964f, 0},                 // gimbal lock
        {-3.0f, 4.0f, 6.5f},                         // beyond a half turn
    };
    const Vector3 points[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0.3f, -2.0f, 5.0f}};
    for (const auto& a : angles) {
        SCOPED_TRACE(testing::Message() << a[0] << " " << a[1] << " " << a[2]);
        double q[4];
        gltfRotation(a[0], a[1], a[2], q);
        EXPECT_NEAR(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3], 1.0, 1e-12);
        const Matrix local = boneLocalMatrix(0, 0, 0, a[0], a[1], a[2]);
        for (const Vector3& p : points) {
            double expected[3], before[3], got[3];
            toGltf(transformPoint(p, local), expected);
            toGltf(p, before);
            rotate(q, before, got);
            for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], expected[i], 1e-5);
        }
    }
    // Z up becomes Y up: (x, y, z) -> (x, z, -y), and --scale scales it.
    const float p[3] = {1, 2, 3};
    float g[3];
    gltfPoint(p, 0.5f, g);
    EXPECT_FLOAT_EQ(g[0], 0.5f);
    EXPECT_FLOAT_EQ(g[1], 1.5f);
    EXPECT_FLOAT_EQ(g[2], -1.0f);
}

TEST(GltfExportTest, InverseBindMatricesUndoTheBindPoseOfEveryJoint)
{
    // A chain listed child first, and a second root: parents need not come first.
    std::vector<SkeletonNode> nodes(4);
    nodes[0].parent = 2;
    nodes[0].setPose(0, 0, 12, 0.2f, 0, 0.1f);
    nodes[1].parent = -1;
    nodes[1].setPose(5, -3, 40, 0, 0.4f, 1.0f);
    nodes[2].parent = 1;
    nodes[2].setPose(10, 2, -1, -0.7f, 0.2f, 0);
    nodes[3].parent = -1;
    nodes[3].setPose(-8, 0, 1, 0, 0, -2.5f);
    for (std::size_t i = 0; i < nodes.size(); ++i) nodes[i].name = "bone" + std::to_string(i);
    std::int32_t bad = 0;
    ASSERT_TRUE(composeWorldMatrices(nodes, bad));

    const float scale = 0.0254f;
    GltfScene scene;
    std::string reason;
    ASSERT_TRUE(buildGltfSkeleton(nodes, scale, scene, reason)) << reason;
    EXPECT_TRUE(scene.commonRoot);
    ASSERT_EQ(scene.inverseBindMatrices.size(), 16u * nodes.size());
    // A point in a bone's space, carried to the model by the viewer's bind
    // matrix and into glTF's axes, comes back by the inverse bind matrix.
    const Vector3 local{1.5f, -2.0f, 0.25f};
    for (std::size_t j = 0; j < nodes.size(); ++j) {
        SCOPED_TRACE(j);
        const float* m = &scene.inverseBindMatrices[16 * j];
        EXPECT_EQ(m[3], 0.0f);
        EXPECT_EQ(m[7], 0.0f);
        EXPECT_EQ(m[11], 0.0f);
        EXPECT_EQ(m[15], 1.0f);
        double world[3], bone[3];
        toGltf(transformPoint(local, nodes[j].worldMatrix), world);
        for (double& c : world) c *= scale;
        for (int r = 0; r < 3; ++r) bone[r] = m[r] * world[0] + m[4 + r] * world[1] + m[8 + r] * world[2] + m[12 + r];
        double expected[3];
        toGltf(local, expected);
        for (int r = 0; r < 3; ++r) EXPECT_NEAR(bone[r], expected[r] * scale, 1e-5);
    }

    nodes[2].rotation[1] = NAN;
    EXPECT_FALSE(buildGltfSkeleton(nodes, 1.0f, scene, reason));
    EXPECT_NE(reason.find("node 2"), std::string::npos) << reason;
}

struct InfluenceRow {
    const char* what;
    std::vector<std::pair<int, float>> links;
    std::vector<std::pair<int, float>> expected;   // joint and weight, heaviest first
    bool lost, renormalised, givenParent;
    int dropped;
};

TEST(GltfExportTest, LinksBecomeFourWeightsSummingToOne)
{
    const InfluenceRow rows[] = {
        {"one bone", {{3, 1.0f}}, {{3, 1.0f}}, false, false, false, 0},
        {"thirds written with six decimals", {{1, 0.333333f}, {2, 0.333333f}, {4, 0.333333f}}, {{1, 1 / 3.f}, {2, 1 / 3.f}, {4, 1 / 3.f}}, false, false, false, 0},
        {"five links keep the four heaviest",
         {{0, 0.1f}, {1, 0.3f}, {2, 0.2f}, {3, 0.25f}, {4, 0.15f}},
         {{1, 0.3f / 0.9f}, {3, 0.25f / 0.9f}, {2, 0.2f / 0.9f}, {4, 0.15f / 0.9f}},
         true, false, false, 0},
        {"one bone twice counts once", {{5, 0.25f}, {6, 0.5f}, {5, 0.25f}}, {{5, 0.5f}, {6, 0.5f}}, false, false, false, 0},
        {"a sum of one half", {{1, 0.25f}, {2, 0.25f}}, {{1, 0.5f}, {2, 0.5f}}, false, true, false, 0},
        {"a negative weight is left out", {{1, 1.0f}, {2, -0.5f}}, {{1, 1.0f}}, false, false, false, 1},
        {"no weight at all goes to the parent bone", {{1, 0.0f}, {2, -0.0f}}, {{7, 1.0f}}, false, false, true, 0},
    };
    for (const InfluenceRow& row : rows) {
        SCOPED_TRACE(row.what);
        EngineVertex v;
        v.parentBone = 7;
        v.linkCount = static_cast<std::int32_t>(row.links.size());
        for (std::size_t k = 0; k < row.links.size(); ++k) {
            v.links.bone[k] = row.links[k].first;
            v.links.weight[k] = row.links[k].second;
        }
        const GltfInfluences got = gltfInfluences(v);
        EXPECT_EQ(got.lostLinks, row.lost);
        EXPECT_EQ(got.renormalised, row.renormalised);
        EXPECT_EQ(got.givenParent, row.givenParent);
        EXPECT_EQ(got.droppedLinks, row.dropped);
        float sum = 0;
        for (int k = 0; k < kGltfInfluences; ++k) {
            sum += got.weights[k];
            if (k < static_cast<int>(row.expected.size())) {
                EXPECT_EQ(got.joints[k], row.expected[static_cast<std::size_t>(k)].first) << k;
                EXPECT_NEAR(got.weights[k], row.expected[static_cast<std::size_t>(k)].second, 1e-6) << k;
            } else {
                // Unused slots: joint 0 with weight 0, as glTF asks.
                EXPECT_EQ(got.joints[k], 0) << k;
                EXPECT_EQ(got.weights[k], 0.0f) << k;
            }
        }
        EXPECT_NEAR(sum, 1.0f, 1e-7);
    }
}

EngineVertex meshVertex(float x, float y, float z, float nz, float u, float v)
{
    EngineVertex e;
    e.restVertex.position[0] = x;
    e.restVertex.position[1] = y;
    e.restVertex.position[2] = z;
    e.restVertex.normal[2] = nz;
    e.restVertex.u = u;
    e.restVertex.v = v;
    e.linkCount = 1;
    e.links.bone[0] = 0;
    e.links.weight[0] = 1.0f;
    return e;
}

TEST(GltfExportTest, EachMaterialGetsItsOwnVerticesInOrderOfUse)
{
    // Vertex 2 is shared by a triangle of each material; vertex 4 has no normal.
    const std::vector<EngineVertex> vertices = {meshVertex(0, 0, 0, 1, 0, 0), meshVertex(1, 0, 0, 1, 1, 0), meshVertex(0, 1, 0, 1, 0, 0.25f),
                                                meshVertex(5, 5, 2, 1, 1, 1), meshVertex(0, 1, -3, 0, 0.5f, 0.5f)};
    const std::vector<TriangleIndices> triangles = {{0, 1, 2}, {3, 2, 4}, {2, 1, 0}};
    const std::vector<std::int32_t> materials = {1, 0, 1};
    GltfScene scene;
    scene.materials.resize(2);
    GltfMeshReport report;
    std::string reason;
    ASSERT_TRUE(buildGltfPrimitives({vertices, triangles, materials}, 2.0f, scene, report, reason)) << reason;
    ASSERT_EQ(scene.primitives.size(), 2u);
    const GltfPrimitive& first = scene.primitives[0];
    const GltfPrimitive& second = scene.primitives[1];
    EXPECT_EQ(first.material, 0);
    EXPECT_EQ(first.indices, (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_EQ(second.indices, (std::vector<std::uint32_t>{0, 1, 2, 2, 1, 0}));
    ASSERT_EQ(first.vertexCount(), 3u);
    // The shared vertex, scaled and turned: (0, 1, 0) -> (0, 0, -2).
    EXPECT_EQ(std::vector<float>(first.positions.begin() + 3, first.positions.begin() + 6), (std::vector<float>{0, 0, -2}));
    EXPECT_EQ(first.texcoords[3], 0.25f);
    EXPECT_EQ(std::vector<float>(first.minimum, first.minimum + 3), (std::vector<float>{0, -6, -10}));
    EXPECT_EQ(std::vector<float>(first.maximum, first.maximum + 3), (std::vector<float>{10, 4, -2}));
    // The normal of zero length is its triangle's, of unit length.
    EXPECT_EQ(report.normalsReplaced, 1);
    const float* n = &first.normals[6];
    EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-6);

    // Indices stay 16-bit up to 65535 vertices a primitive (65535 itself
    // would be the restart marker), then become 32-bit.
    for (const std::size_t count : {65535u, 65536u}) {
        GltfScene big;
        big.name = "head\xB0\xA1";   // "head" and a Hangul syllable in CP949, as Korean exporters write names
        big.materials.resize(1);
        GltfPrimitive p;
        p.positions.assign(3 * count, 0.0f);
        p.normals.assign(3 * count, 0.0f);
        p.texcoords.assign(2 * count, 0.0f);
        p.joints.assign(4 * count, 0);
        p.weights.assign(4 * count, 0.0f);
        p.indices = {0, static_cast<std::uint32_t>(count - 1), 1};
        big.primitives.push_back(p);
        big.joints.resize(1);
        big.inverseBindMatrices.assign(16, 0.0f);
        std::string bytes;
        ASSERT_TRUE(writeGlb(big, "test", bytes, reason)) << reason;
        std::uint32_t jsonLength = 0;
        std::memcpy(&jsonLength, bytes.data() + 12, 4);
        const auto json = nlohmann::json::parse(bytes.substr(20, jsonLength));
        const int indices = json["meshes"][0]["primitives"][0]["indices"];
        EXPECT_EQ(json["accessors"][indices]["componentType"], count == 65535u ? 5123 : 5125) << count;
        // glTF's JSON is UTF-8: what is not becomes U+FFFD.
        EXPECT_EQ(json["meshes"][0]["name"], "head\uFFFD\uFFFD");
    }
}

TEST(GltfExportTest, AnimationsFollowJointNamesAndTakeTheShortWay)
{
    std::vector<SkeletonNode> joints(3);
    joints[0].name = "Bip01";
    joints[1].name = "Bip01 Spine";
    joints[1].parent = 0;
    joints[2].name = "Bip01 Tail";
    joints[2].parent = 0;
    SkeletonAnimation walk;
    ASSERT_TRUE(walk.allocate(3, 3));
    const char* names[] = {"bip01 spine", "Prop", "Bip01"};
    for (std::int32_t f = 0; f < 3; ++f) {
        auto frame = walk.frame(f);
        for (int n = 0; n < 3; ++n) frame[static_cast<std::size_t>(n)].name = names[n];
        // Exporters keep angles within a half turn: 3.0, 3.1, then -3.1 about
        // Z, a small step that flips the quaternion's sign unless kept apart.
        frame[0].rotation[2] = f < 2 ? 3.0f + 0.1f * static_cast<float>(f) : -3.1f;
        frame[2].position[0] = static_cast<float>(f);
    }
    GltfScene scene;
    NodeNameMatch match;
    std::string reason;
    ASSERT_TRUE(buildGltfAnimation(joints, "walk", walk, 30.0, 1.0f, scene, match, reason)) << reason;
    EXPECT_EQ(match.unmatchedAnimationNodes, std::vector<std::int32_t>{1});
    EXPECT_EQ(match.unmatchedModelNodes, std::vector<std::int32_t>{2});
    ASSERT_EQ(scene.animations.size(), 1u);
    const GltfAnimation& a = scene.animations[0];
    EXPECT_EQ(a.name, "walk");
    EXPECT_EQ(a.times, (std::vector<float>{0.0f, 1 / 30.0f, 2 / 30.0f}));
    ASSERT_EQ(a.channels.size(), 2u);
    EXPECT_EQ(a.channels[0].joint, 0);
    EXPECT_EQ(a.channels[0].translations[3], 1.0f);
    EXPECT_EQ(a.channels[1].joint, 1);
    const std::vector<float>& r = a.channels[1].rotations;
    for (int k = 1; k < 3; ++k) {
        float dot = 0;
        for (int c = 0; c < 4; ++c) dot += r[static_cast<std::size_t>(4 * k + c)] * r[static_cast<std::size_t>(4 * (k - 1) + c)];
        EXPECT_GT(dot, 0.9f) << k;
    }

    // An animation of another skeleton adds nothing.
    for (std::int32_t f = 0; f < 3; ++f)
        for (SkeletonNode& n : walk.frame(f)) n.name = "Other";
    EXPECT_FALSE(buildGltfAnimation(joints, "other", walk, 30.0, 1.0f, scene, match, reason));
    EXPECT_EQ(scene.animations.size(), 1u);
}

// The text form is the binary form's scene: the same JSON but for the
// buffer's uri, and the same buffer, images included, in a file beside it.
TEST(GltfExportTest, TheTextFormHoldsTheBinaryFormsSceneWithItsBufferBeside)
{
    GltfScene scene;
    scene.name = "hero";
    scene.joints.resize(1);
    scene.inverseBindMatrices.assign(16, 0.0f);
    scene.images.push_back({"skin.png", "image/png", {1, 2, 3, 4, 5}});
    scene.materials.push_back({"skin", 0, false});
    GltfPrimitive p;
    p.positions.assign(9, 0.0f);
    p.normals.assign(9, 0.0f);
    p.texcoords.assign(6, 0.0f);
    p.joints.assign(12, 0);
    p.weights.assign(12, 0.25f);
    p.indices = {0, 1, 2};
    scene.primitives.push_back(p);
    std::string glb, json, buffer, reason;
    ASSERT_TRUE(writeGlb(scene, "test", glb, reason)) << reason;
    ASSERT_TRUE(splitGlb(glb, "my hero 영웅.bin", json, buffer, reason)) << reason;

    std::uint32_t jsonLength = 0;
    std::memcpy(&jsonLength, glb.data() + 12, 4);
    auto binary = nlohmann::json::parse(glb.substr(20, jsonLength));
    const auto text = nlohmann::json::parse(json);
    EXPECT_EQ(text["buffers"][0]["uri"], "my%20hero%20%EC%98%81%EC%9B%85.bin");
    binary["buffers"][0]["uri"] = text["buffers"][0]["uri"];
    EXPECT_EQ(text, binary);
    EXPECT_EQ(text["buffers"][0]["byteLength"], buffer.size());
    EXPECT_EQ(buffer, glb.substr(20 + jsonLength + 8));
    EXPECT_TRUE(text["images"][0].contains("bufferView"));
    EXPECT_EQ(json.find("data:"), std::string::npos);
    EXPECT_FALSE(splitGlb(glb.substr(0, glb.size() - 4), "a.bin", json, buffer, reason));

    for (const char* name : {"a.gltf", "out/A.GLTF", "b.glTF"}) EXPECT_TRUE(isGltfTextOutput(name)) << name;
    for (const char* name : {"a.glb", "a.gltf.glb", "gltf", "a.gltf/"}) EXPECT_FALSE(isGltfTextOutput(name)) << name;
    EXPECT_EQ(gltfBufferPath("out/A.GLTF"), "out/A.bin");
}

TEST(GltfExportTest, TexturesOutsideTheModelsFolderAreToldApart)
{
    for (const char* name : {"..\\shared\\skin.png", "../skin.png", "sub\\..\\..\\skin.png"}) EXPECT_TRUE(textureOutsideModelFolder(name)) << name;
    for (const char* name : {"skin.png", "sub\\skin.png", "sub/../skin.png", "./skin.png", "..skin.png"}) EXPECT_FALSE(textureOutsideModelFolder(name)) << name;
}

} // namespace
} // namespace veskar
