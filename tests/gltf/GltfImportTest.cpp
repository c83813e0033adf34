// glTF read back: what the export sends comes back as the SMD it came from
// (the same nodes in the same order, the same welded vertex and triangle
// counts, positions and bone matrices within 1e-4 of the model's size), and
// animation channels are evaluated as glTF defines them.

#include "TestSupport.h"

#include "convert/FormatConverter.h"
#include "gltf/GltfExport.h"
#include "gltf/GltfImport.h"
#include "gltf/GltfSceneBuilder.h"
#include "gltf/GltfTransform.h"
#include "import/AnimationKeys.h"
#include "sample/SampleCharacter.h"
#include "base/Math.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>

namespace veskar {
namespace {

using test::TempDir;

void expectNearMatrix(const Matrix& a, const Matrix& b, double size, const std::string& what)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c) {
            // Rows 0-2 turn, row 3 moves: the move is measured against the model.
            const double bound = r == 3 ? 1e-4 * size : 1e-4;
            ASSERT_NEAR(a.m[r][c], b.m[r][c], bound) << what << " element " << r << "," << c;
        }
}

TEST(GltfImportTest, RotationsComeBackAsTheAnglesOfTheSameTurn)
{
    const float angles[][3] = {{0.5f, 0, 0}, {0, 0.5f, 0}, {0, 0, 0.5f}, {0.3f, -1.2f, 2.0f}, {1.5707964f, 1.5707964f, 0.4f},
                               {0.2f, -1.5707964f, -0.7f}, {-3.0f, 4.0f, 6.5f}};
    for (const auto& a : angles) {
        SCOPED_TRACE(testing::Message() << a[0] << " " << a[1] << " " << a[2]);
        double q[4];
        gltfRotation(a[0], a[1], a[2], q);
        const float p[3] = {1.5f, -2.0f, 3.0f};
        float moved[3];
        gltfPoint(p, 0.0254f, moved);
        const double t[3] = {moved[0], moved[1], moved[2]};
        float line[6];
        skeletonLine(t, q, 0.0254, line);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(line[k], p[k], 1e-5);
        expectNearMatrix(boneLocalMatrix(0, 0, 0, line[3], line[4], line[5]), boneLocalMatrix(0, 0, 0, a[0], a[1], a[2]), 1, "rotation");
    }
}

// Bone world matrices of one frame of keys, in the keys' node order.
std::vector<Matrix> worldOf(const AnimationKeys& keys, std::int32_t frame)
{
    std::vector<SkeletonNode> nodes(static_cast<std::size_t>(keys.nodeCount));
    for (std::int32_t n = 0; n < keys.nodeCount; ++n) {
        const auto k = keys.key(frame, n);
        nodes[static_cast<std::size_t>(n)].parent = keys.parents[static_cast<std::size_t>(n)];
        nodes[static_cast<std::size_t>(n)].setPose(k[0], k[1], k[2], k[3], k[4], k[5]);
    }
    std::int32_t bad = 0;
    EXPECT_TRUE(composeWorldMatrices(nodes, bad));
    std::vector<Matrix> world;
    for (const SkeletonNode& n : nodes) world.push_back(n.worldMatrix);
    return world;
}

using Corner = std::array<float, 8>;

std::vector<Corner> sortedVertices(const FormatConverter& c)
{
    std::vector<Corner> out;
    for (const EngineVertex& v : c.weldedVertices) {
        const SkinVertex& r = v.restVertex;
        out.push_back({r.position[0], r.position[1], r.position[2], r.normal[0], r.normal[1], r.normal[2], r.u, r.v});
    }
    std::sort(out.begin(), out.end());
    return out;
}

// An SMD reference with its animations exported and read back.
void expectRoundTrip(const std::string& reference, const std::vector<std::string>& animations, const TempDir& dir)
{
    SCOPED_TRACE(reference);
    test::Capture quiet;
    FormatConverter source;
    source.smdModel = std::make_unique<SmdModelRecords>();
    ASSERT_EQ(source.smdModel->readReferenceFile(reference), kSmdRead) << source.smdModel->diagnostic.text();
    ASSERT_TRUE(source.weldVertices());
    const GltfExportOutcome exported = exportGltf({reference, animations, dir.file("back.glb"), {}});
    ASSERT_TRUE(exported.written) << (exported.refusals.empty() ? "" : exported.refusals[0]);

    FormatConverter back;
    back.smdModel = std::make_unique<SmdModelRecords>();
    const GltfRead read = readGltf(dir.file("back.glb"), {}, *back.smdModel);
    ASSERT_TRUE(read.ok) << read.diagnostic.text();
    ASSERT_TRUE(back.weldVertices());

    const SmdMesh& a = source.smdModel->meshes[0];
    const SmdMesh& b = back.smdModel->meshes[0];
    ASSERT_EQ(a.nodes.size(), b.nodes.size());
    double size = 1e-6;
    for (const EngineVertex& v : source.weldedVertices)
        for (const float c : v.restVertex.position) size = std::max(size, 2.0 * std::fabs(c));
    for (std::size_t i = 0; i < a.nodes.size(); ++i) {
        EXPECT_EQ(a.nodes[i].name, b.nodes[i].name);
        EXPECT_EQ(a.nodes[i].parent, b.nodes[i].parent);
        expectNearMatrix(a.nodes[i].worldMatrix, b.nodes[i].worldMatrix, size, "bind pose of node " + std::to_string(i));
    }
    ASSERT_EQ(source.weldedCount, back.weldedCount);
    ASSERT_EQ(source.cornerCount, back.cornerCount);
    // The export groups triangles by material, so vertices may come in another order.
    const auto va = sortedVertices(source), vb = sortedVertices(back);
    for (std::size_t i = 0; i < va.size(); ++i)
        for (int c = 0; c < 3; ++c) ASSERT_NEAR(va[i][static_cast<std::size_t>(c)], vb[i][static_cast<std::size_t>(c)], 1e-4 * size) << "vertex " << i;

    ASSERT_EQ(read.animations.size(), animations.size());
    for (std::size_t k = 0; k < animations.size(); ++k) {
        SCOPED_TRACE(animations[k]);
        AnimationKeys keys;
        SmdModelRecords file;
        ASSERT_EQ(file.readAnimationKeysFile(animations[k], keys), kSmdRead) << file.diagnostic.text();
        const AnimationKeys& got = read.animations[k].keys;
        ASSERT_EQ(got.frameCount, keys.frameCount);
        for (std::int32_t f = 0; f < keys.frameCount; ++f) {
            const auto want = worldOf(keys, f), have = worldOf(got, f);
            // Joints the animation has no node for keep their bind pose.
            for (std::size_t n = 0; n < got.names.size(); ++n) {
                const auto at = std::find(keys.names.begin(), keys.names.end(), got.names[n]);
                if (at == keys.names.end()) continue;
                expectNearMatrix(want[static_cast<std::size_t>(at - keys.names.begin())], have[n], size,
                                 "frame " + std::to_string(f) + " node " + got.names[n]);
            }
        }
    }
}

TEST(GltfImportTest, TheSampleCharacterComesBackFromItsExport)
{
    TempDir dir;
    std::vector<std::string> written;
    std::string error;
    ASSERT_TRUE(sample::writeCharacterSet(dir.path().string(), written, error)) << error;
    expectRoundTrip(dir.file("hero.smd"), {dir.file("walk.smd")}, dir);
    expectRoundTrip(dir.file("weapon.smd"), {}, dir);
}

TEST(GltfImportTest, EveryCorpusCharacterComesBackFromItsExport)
{
    VESKAR_REQUIRE_CORPUS();
    const auto c = [](const char* name) { return (test::corpusDir() / name).string(); };
    const std::vector<std::pair<std::string, std::vector<std::string>>> pairs = {
        {c("assimp_holy_grailref.smd"), {}},
        {c("assimp_triangle.smd"), {}},
        {c("bst_cube_goldsource_crlf.smd"), {c("bst_actionfilter_x_axis.smd")}},
        {c("hlu_barney_hd_reference.smd"), {c("hlu_barney_hd_block_gate.smd")}},
        {c("hlu_hgrunt_hd_dc_soldier_reference.smd"), {}},
        {c("hlu_player_template_biped_barney.smd"), {c("hlu_player_idle.smd")}},
        {c("hlu_w_crossbow_hd_reference.smd"), {}},
        {c("kbat_bate_sparse_ids.smd"), {c("kbat_idle.smd")}},
        {c("pathos_motorbike_reference_messy_ids.smd"), {c("pathos_motorbike_idle.smd")}},
        {c("pathos_replica_torso_reference.smd"), {}},
        {c("punt_box_ref.SMD"), {c("punt_idle.SMD")}},
    };
    TempDir dir;
    for (const auto& [reference, animations] : pairs) expectRoundTrip(reference, animations, dir);
}

std::string base64(const std::vector<float>& values)
{
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes(values.size() * 4, '\0');
    std::memcpy(bytes.data(), values.data(), bytes.size());
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const auto b = [&](std::size_t k) { return k < bytes.size() ? static_cast<unsigned char>(bytes[k]) : 0u; };
        const unsigned v = b(i) << 16 | b(i + 1) << 8 | b(i + 2);
        for (std::size_t k = 0; k < 4; ++k) out += i + k <= bytes.size() ? digits[(v >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

TEST(GltfImportTest, StepLinearAndCubicSplineKeysAreSampledAsGltfDefinesThem)
{
    // Three nodes: a stepped rotation and a linear translation on the first,
    // a rotation by a quarter turn about glTF's y on the second, and a cubic
    // translation with an out-tangent on the third. Times 0 and 1, sampled at 4
    // keys a second.
    const float h = std::sqrt(0.5f);
    const std::vector<float> data = {
        0, 1,                                    // 0: times
        0, 0, 0, 1, h, 0, 0, h,                  // 8: a quarter turn about x
        0, 0, 0, 2, 4, 6,                        // 40: translations
        0, 0, 0, 1, 0, h, 0, h,                  // 64: a quarter turn about y
        0, 0, 0, 0, 0, 0, 3, 0, 0,               // 96: in-tangent, value, out-tangent of key 0
        0, 0, 0, 1, 0, 0, 0, 0, 0};              // 132: key 1
    const auto accessor = [](int view, int count, const char* type) { return nlohmann::json{{"bufferView", view}, {"componentType", 5126}, {"count", count}, {"type", type}}; };
    const auto view = [](int offset, int length) { return nlohmann::json{{"buffer", 0}, {"byteOffset", offset}, {"byteLength", length}}; };
    const auto channel = [](int sampler, int node, const char* path) { return nlohmann::json{{"sampler", sampler}, {"target", {{"node", node}, {"path", path}}}}; };
    const auto sampler = [](int output, const char* interpolation) { return nlohmann::json{{"input", 0}, {"output", output}, {"interpolation", interpolation}}; };
    nlohmann::json gltf = {
        {"asset", {{"version", "2.0"}}},
        {"scenes", {{{"nodes", {0, 1, 2}}}}},
        {"nodes", {{{"name", "stepped"}}, {{"name", "turned"}}, {{"name", "cubic"}}}},
        {"buffers", {{{"byteLength", data.size() * 4}, {"uri", "data:application/octet-stream;base64," + base64(data)}}}},
        {"bufferViews", {view(0, 8), view(8, 32), view(40, 24), view(64, 32), view(96, 72)}},
        {"accessors", {accessor(0, 2, "SCALAR"), accessor(1, 2, "VEC4"), accessor(2, 2, "VEC3"), accessor(3, 2, "VEC4"), accessor(4, 6, "VEC3")}},
        {"animations",
         {{{"name", "all"},
           {"samplers", {sampler(1, "STEP"), sampler(2, "LINEAR"), sampler(3, "LINEAR"), sampler(4, "CUBICSPLINE")}},
           {"channels", {channel(0, 0, "rotation"), channel(1, 0, "translation"), channel(2, 1, "rotation"), channel(3, 2, "translation")}}}}},
    };
    TempDir dir;
    test::writeText(dir.file("keys.gltf"), gltf.dump());
    SmdModelRecords model;
    GltfReadOptions options;
    options.fps = 4;
    const GltfRead read = readGltf(dir.file("keys.gltf"), options, model);
    ASSERT_TRUE(read.ok) << read.diagnostic.text();
    ASSERT_EQ(read.animations.size(), 1u);
    const AnimationKeys& keys = read.animations[0].keys;
    ASSERT_EQ(keys.frameCount, 5);
    const auto near = [&](std::int32_t frame, std::int32_t node, std::array<float, 6> want) {
        SCOPED_TRACE(testing::Message() << "key " << frame << " of node " << node);
        const auto k = keys.key(frame, node);
        for (std::size_t i = 0; i < 6; ++i) EXPECT_NEAR(k[i], want[i], 1e-5) << "value " << i;
    };
    const float quarter = 1.5707964f;
    // glTF's (x, y, z) is the exporter's (x, -z, y).
    near(1, 0, {0.5f, -1.5f, 1.0f, 0, 0, 0});
    near(2, 0, {1.0f, -3.0f, 2.0f, 0, 0, 0});   // the step holds the first key until the second
    near(4, 0, {2.0f, -6.0f, 4.0f, quarter, 0, 0});
    near(2, 1, {0, 0, 0, 0, 0, quarter / 2});   // halfway round glTF's y, the exporter's z
    // Hermite at s = 1/2: v0/2 + span/8 * out0 + v1/2 - span/8 * in1.
    near(2, 2, {0.875f, 0, 0, 0, 0, 0});
    near(4, 2, {1.0f, 0, 0, 0, 0, 0});
}

TEST(GltfImportTest, TestFilesOfAnotherImporterRead)
{
    const std::string folder = "/usr/share/assimp/models/glTF2/";
    if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "assimp-testmodels not installed; case skipped";
    test::Capture quiet;
    // The skin's inverse bind matrices stand half a unit to the side of its
    // joints: the mesh is where the joints put it, as every glTF viewer shows it.
    SmdModelRecords skin;
    const GltfRead read = readGltf(folder + "simple_skin/simple_skin.gltf", {}, skin);
    ASSERT_TRUE(read.ok) << read.diagnostic.text();
    EXPECT_EQ(skin.meshes[0].nodeCount, 2);
    EXPECT_FLOAT_EQ(skin.meshes[0].triangles[0].vertices[0].position[0], -0.5f);
    ASSERT_EQ(read.animations.size(), 1u);
    EXPECT_EQ(read.animations[0].keys.frameCount, 166);   // 5.5 s at 30 keys a second
    // A mesh without a skin follows its node, turned by the node's matrix.
    for (const char* box : {"BoxTextured-glTF/BoxTextured.gltf", "BoxTextured-glTF-Embedded/BoxTextured.gltf", "BoxTextured-glTF-Binary/BoxTextured.glb"}) {
        SCOPED_TRACE(box);
        SmdModelRecords model;
        const GltfRead r = readGltf(folder + box, {}, model);
        ASSERT_TRUE(r.ok) << r.diagnostic.text();
        EXPECT_EQ(model.triangleCount, 12);
        EXPECT_EQ(model.meshes[0].nodeCount, 2);
    }
}

} // namespace
} // namespace veskar
