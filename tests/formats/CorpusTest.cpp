// Every file of the SMD corpus through both convert commands: what converts,
// what is refused and why, and that every output reads back with the counts
// the converter logged.

#include "TestSupport.h"

#include "formats/EngineModel.h"
#include "formats/FormatConverter.h"

#include <map>
#include <regex>

namespace veskar {
namespace {

using test::Capture;
namespace fs = std::filesystem;

// What each command does with each file: "ok", or the first line of the box.
struct Expectation {
    const char* file;
    const char* ref;
    const char* ani;
};

const Expectation kTable[] = {
    {"assimp_holy_grailref.smd", "ok", "Animation 파일이 아닙니다!!"},
    {"assimp_triangle.smd", "ok", "ok"},
    {"bst_actionfilter_x_axis.smd", "Reference 파일이 아닙니다!!", "ok"},
    {"bst_cube_goldsource_crlf.smd", "ok", "Animation 파일이 아닙니다!!"},
    {"hlu_barney_hd_block_gate.smd", "Reference 파일이 아닙니다!!", "ok"},
    {"hlu_barney_hd_reference.smd", "ok", "Animation 파일이 아닙니다!!"},
    {"hlu_hgrunt_hd_dc_soldier_reference.smd", "ok", "Animation 파일이 아닙니다!!"},
    {"hlu_player_idle.smd", "Reference 파일이 아닙니다!!", "ok"},
    {"hlu_player_template_biped_barney.smd", "ok", "Animation 파일이 아닙니다!!"},
    {"hlu_w_crossbow_hd_reference.smd", "ok", "Animation 파일이 아닙니다!!"},
    // Node ids 0, 1, 3 in a table of three: id 3 has no place.
    {"kbat_bate_sparse_ids.smd", "SMD 파일이 아닙니다!!", "Animation 파일이 아닙니다!!"},
    {"kbat_idle.smd", "Reference 파일이 아닙니다!!", "ok"},
    {"pathos_book_exit_emptyframe.smd", "Reference 파일이 아닙니다!!", "ok"},
    {"pathos_motorbike_idle.smd", "Reference 파일이 아닙니다!!", "ok"},
    {"pathos_motorbike_reference_messy_ids.smd", "ok", "Animation 파일이 아닙니다!!"},
    {"pathos_replica_torso_reference.smd", "ok", "Animation 파일이 아닙니다!!"},
    {"punt_box_ref.SMD", "ok", "Animation 파일이 아닙니다!!"},
    // One frame and no triangles section: an animation, and no reference.
    {"punt_idle.SMD", "SMD 파일이 아닙니다!!", "ok"},
};

int loggedCount(const std::string& log, const std::string& label)
{
    const auto at = log.find(label);
    return at == std::string::npos ? -1 : std::stoi(log.substr(at + label.size()));
}

TEST(Corpus, EveryFileConvertsOrIsRefusedAsTheTableSays)
{
    VESKAR_REQUIRE_CORPUS();
    test::TempDir dir;
    for (const Expectation& e : kTable) {
        const fs::path source = test::corpusDir() / e.file;
        ASSERT_TRUE(fs::exists(source)) << source;
        fs::copy_file(source, dir.path() / e.file);
        const std::string path = dir.file(e.file);
        for (const bool reference : {true, false}) {
            Capture capture;
            FormatConverter converter(nullptr);
            const bool ok = reference ? converter.convertReference(path) : converter.convertAnimation(path);
            const std::string expected = reference ? e.ref : e.ani;
            const std::string what = std::string(e.file) + (reference ? " ref" : " ani");
            if (expected == "ok") {
                ASSERT_TRUE(ok) << what << ": " << converter.diagnostic.text();
                EXPECT_TRUE(capture.shell.boxes.empty()) << what;
                EngineModel model(nullptr);
                if (reference) {
                    ASSERT_TRUE(model.loadReference(converter.outputPath)) << what << ": " << model.diagnostic.text();
                    EXPECT_EQ(model.vertexCount, loggedCount(capture.console.text, "[후 버텍스 개수] : ")) << what;
                    EXPECT_EQ(model.triangleCount, loggedCount(capture.console.text, "[후 인덱스 개수] : ")) << what;
                    EXPECT_EQ(model.nodeCount, converter.smdModel->meshes[0].nodeCount) << what;
                    for (std::int32_t i = 0; i < model.nodeCount; ++i)
                        EXPECT_EQ(model.meshes[0].nodes[static_cast<std::size_t>(i)].name,
                                  converter.smdModel->meshes[0].nodes[static_cast<std::size_t>(i)].name);
                } else {
                    model.nodeCount = loggedCount(capture.console.text, "[Node] ");
                    ASSERT_TRUE(model.loadAnimation(converter.outputPath)) << what << ": " << model.diagnostic.text();
                    EXPECT_EQ(model.animations[0].frameCount, loggedCount(capture.console.text, "[Time] ")) << what;
                }
            } else {
                EXPECT_FALSE(ok) << what;
                ASSERT_EQ(capture.shell.boxes.size(), 1u) << what;
                EXPECT_EQ(capture.shell.boxes[0].text.substr(0, capture.shell.boxes[0].text.find('\n')), expected) << what;
                EXPECT_FALSE(fs::exists(converter.outputPath)) << what;
            }
        }
    }
}

TEST(Corpus, GoldSourceMeshesWithoutLinksFollowTheirParentBones)
{
    VESKAR_REQUIRE_CORPUS();
    SmdModel model(nullptr);
    ASSERT_TRUE(model.loadReference((test::corpusDir() / "hlu_barney_hd_reference.smd").string()));
    const SmdMesh& mesh = model.meshes[0];
    EXPECT_EQ(mesh.nodeCount, 44);
    EXPECT_EQ(model.materialCount, 3);
    for (std::int32_t t = 0; t < mesh.triangleCount; ++t)
        for (int k = 0; k < 3; ++k) {
            ASSERT_EQ(mesh.triangles[static_cast<std::size_t>(t)].linkCount[k], 1);
            ASSERT_EQ(mesh.links(t, k)[0].bone, mesh.triangles[static_cast<std::size_t>(t)].vertexBone[k]);
        }
}

} // namespace
} // namespace veskar
