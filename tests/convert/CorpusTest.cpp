// Every file of the SMD corpus through both convert commands: what converts,
// what is refused and why, and that every output reads back with the counts
// the converter logged.

#include "TestSupport.h"

#include "mref/EngineRecords.h"
#include "convert/FormatConverter.h"
#include "convert/SmdExport.h"

#include <cstring>
#include <map>
#include <sstream>
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
    {"kbat_bate_sparse_ids.smd", "ok", "Animation 파일이 아닙니다!!"},
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
            FormatConverter converter;
            const bool ok = reference ? converter.convertReference(path) : converter.convertAnimation(path);
            const std::string expected = reference ? e.ref : e.ani;
            const std::string what = std::string(e.file) + (reference ? " ref" : " ani");
            if (expected == "ok") {
                ASSERT_TRUE(ok) << what << ": " << converter.diagnostic.text();
                EXPECT_TRUE(capture.shell.boxes.empty()) << what;
                EngineModelRecords model;
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
                // Back to SMD and converted again: the same bytes.
                const std::string back = dir.file(std::string(reference ? "back_ref_" : "back_ani_") + e.file);
                Diagnostic diagnostic;
                const char* message = nullptr;
                ASSERT_TRUE(exportSmd(converter.outputPath, back, diagnostic, message)) << what << ": " << diagnostic.text();
                FormatConverter again;
                ASSERT_TRUE(reference ? again.convertReference(back) : again.convertAnimation(back)) << what << ": " << again.diagnostic.text();
                EXPECT_EQ(test::readText(again.outputPath), test::readText(converter.outputPath)) << what;
            } else {
                EXPECT_FALSE(ok) << what;
                ASSERT_NE(converter.refusalMessage, nullptr) << what;
                EXPECT_EQ(std::string(converter.refusalMessage), expected) << what;
                EXPECT_FALSE(fs::exists(converter.outputPath)) << what;
            }
        }
    }
}

// An animation onto its model, as SMD and converted: the same outcome either way.
struct Pair {
    const char* reference;
    const char* animation;
    const char* outcome;   // the [Match] line, "" when the nodes are the model's, or the refusal
    int swap[2];           // two node numbers of the animation to number the other way round
};

const Pair kPairs[] = {
    {"kbat_bate_sparse_ids.smd", "kbat_idle.smd", "[Match] 2 of 3 nodes by name; unmatched: \"vcabone_idle\"", {0, 1}},
    {"pathos_motorbike_reference_messy_ids.smd", "pathos_motorbike_idle.smd",
     "[Match] 54 of 56 nodes by name; unmatched: \"light_bone\", \"Object01\"; ignored: \"smdimport04\"", {20, 38}},
    {"hlu_player_template_biped_barney.smd", "hlu_player_idle.smd", "", {0, 0}},
    {"punt_box_ref.SMD", "punt_idle.SMD", "", {0, 0}},
    {"pathos_motorbike_reference_messy_ids.smd", "kbat_idle.smd",
     "only 0 of the model's 56 nodes have a node of the same name in the animation; at least half must", {0, 0}},
};

// The animation with nodes a and b numbered the other's way round: the same
// bones, which a file read by number would put on each other's place.
std::string swapNodeNumbers(const std::string& text, int a, int b)
{
    const auto swapped = [&](const std::string& n) { return n == std::to_string(a) ? std::to_string(b) : n == std::to_string(b) ? std::to_string(a) : n; };
    std::istringstream in(text);
    std::string out, line, section;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string first;
        fields >> first;
        if (first == "nodes" || first == "skeleton" || first == "end") section = first;
        else if (section == "nodes") {
            const auto close = line.rfind('"');
            std::string parent;
            std::istringstream(line.substr(close + 1)) >> parent;
            line = swapped(first) + " " + line.substr(line.find('"'), close - line.find('"') + 1) + " " + swapped(parent);
        } else if (section == "skeleton" && first != "time") {
            line = swapped(first) + line.substr(line.find(first) + first.size());
        }
        out += line + "\n";
    }
    return out;
}

TEST(Corpus, AnimationsFindTheirBonesByNameAsSmdAndConverted)
{
    VESKAR_REQUIRE_CORPUS();
    test::TempDir dir;
    for (const Pair& p : kPairs) {
        SCOPED_TRACE(std::string(p.animation) + " on " + p.reference);
        const bool refused = std::string(p.outcome).starts_with("only");
        const std::string ref = (test::corpusDir() / p.reference).string();
        const std::string ani = (test::corpusDir() / p.animation).string();
        const std::string swappedAni = dir.file(std::string("swapped_") + p.animation);
        test::writeText(swappedAni, swapNodeNumbers(test::readText(ani), p.swap[0], p.swap[1]));
        const auto outcome = [&](const Capture& capture, const Diagnostic& diagnostic) {
            if (refused) {
                EXPECT_EQ(capture.shell.boxes.size(), 1u);
                return capture.shell.boxes.empty() ? std::string() : capture.shell.boxes[0].text.substr(0, capture.shell.boxes[0].text.find('\n')) + " " + diagnostic.what;
            }
            const auto at = capture.console.text.find("[Match]");
            return at == std::string::npos ? std::string() : capture.console.text.substr(at, capture.console.text.find('\n', at) - at);
        };
        const std::string expected = refused ? std::string("Node 개수가 다릅니다!! ") + p.outcome : p.outcome;

        std::vector<Matrix> smdPose;
        for (const std::string& path : {ani, swappedAni}) {
            Capture capture;
            SmdModelRecords model;
            ASSERT_TRUE(model.loadReference(ref)) << model.diagnostic.text();
            EXPECT_EQ(model.loadAnimation(path), !refused) << model.diagnostic.text();
            EXPECT_EQ(outcome(capture, model.diagnostic), expected);
            if (refused) break;
            // Swapping two node numbers changes nothing once keys go by name.
            const SmdAnimation& a = model.animations[0];
            ASSERT_EQ(a.nodeCount, model.meshes[0].nodeCount);
            for (std::int32_t f = 0; f < a.frameCount; ++f)
                for (const SmdNode& n : a.frame(f)) {
                    if (path == ani) smdPose.push_back(n.worldMatrix);
                    else ASSERT_EQ(std::memcmp(&smdPose[&n - a.frame(0).data()], &n.worldMatrix, sizeof(Matrix)), 0);
                }
            if (p.outcome[0] == 0) break;   // the model's own nodes: nothing to swap
        }

        Capture capture;
        FormatConverter refConverter, aniConverter;
        fs::copy_file(ref, dir.path() / p.reference, fs::copy_options::skip_existing);
        fs::copy_file(ani, dir.path() / p.animation, fs::copy_options::skip_existing);
        ASSERT_TRUE(refConverter.convertReference(dir.file(p.reference)));
        ASSERT_TRUE(aniConverter.convertAnimation(dir.file(p.animation)));
        EngineModelRecords model;
        ASSERT_TRUE(model.loadReference(refConverter.outputPath)) << model.diagnostic.text();
        capture.console.text.clear();
        EXPECT_EQ(model.loadAnimation(aniConverter.outputPath), !refused) << model.diagnostic.text();
        EXPECT_EQ(outcome(capture, model.diagnostic), expected);
        if (refused) continue;
        const EngineAnimation& a = model.animations[0];
        ASSERT_EQ(a.nodeCount, model.meshes[0].nodeCount);
        // The converted keys pose the model as the SMD ones do.
        for (std::int32_t f = 0; f < a.frameCount; ++f)
            for (const EngineNode& n : a.frame(f)) {
                const Matrix& smd = smdPose[static_cast<std::size_t>(&n - a.frame(0).data())];
                for (int r = 0; r < 4; ++r)
                    for (int c = 0; c < 4; ++c) ASSERT_NEAR(n.worldMatrix.m[r][c], smd.m[r][c], 1e-2f) << p.animation << " frame " << f;
            }
    }
}

TEST(Corpus, GoldSourceMeshesWithoutLinksFollowTheirParentBones)
{
    VESKAR_REQUIRE_CORPUS();
    SmdModelRecords model;
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
