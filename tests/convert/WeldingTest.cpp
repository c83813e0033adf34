#include "TestSupport.h"

#include "convert/FormatConverter.h"
#include "system/InputFile.h"

#include <cmath>
#include <cstdio>
#include <random>

namespace veskar {
namespace {

using test::Capture;

// The welding as first described: expand, compact, then scan every kept vertex.
struct LiteralWeld {
    std::vector<EngineVertex> welded;
    std::vector<std::int32_t> numbers;
};

LiteralWeld literalScan(const SmdMesh& mesh)
{
    LiteralWeld out;
    for (std::int32_t t = 0; t < static_cast<std::int32_t>(mesh.triangles.size()); ++t) {
        for (int k = 0; k < 3; ++k) {
            const SmdTriangle& tri = mesh.triangles[static_cast<std::size_t>(t)];
            EngineVertex c;
            c.parentBone = tri.vertexBone[k];
            for (int i = 0; i < 3; ++i) {
                c.restVertex.position[i] = tri.vertices[k].position[i];
                c.restVertex.normal[i] = tri.vertices[k].normal[i];
            }
            c.restVertex.u = tri.vertices[k].u;
            c.restVertex.v = tri.vertices[k].v;
            c.linkCount = tri.linkCount[k];
            c.links = mesh.cornerLinks(t, k);
            compactLinks(c.linkCount, c.links);
            std::int32_t found = -1;
            for (std::size_t j = 0; j < out.welded.size(); ++j) {
                if (sameVertex(out.welded[j], c)) {
                    found = static_cast<std::int32_t>(j);
                    break;
                }
            }
            if (found < 0) {
                found = static_cast<std::int32_t>(out.welded.size());
                out.welded.push_back(c);
            }
            out.numbers.push_back(found);
        }
    }
    return out;
}

void expectSameAsLiteral(FormatConverter& converter, const std::string& what)
{
    ASSERT_TRUE(converter.weldVertices()) << what;
    const LiteralWeld expected = literalScan(converter.smdModel->meshes[0]);
    ASSERT_EQ(converter.weldedCount, static_cast<std::int32_t>(expected.welded.size())) << what;
    ASSERT_EQ(converter.cornerCount, static_cast<std::int32_t>(expected.numbers.size())) << what;
    for (std::size_t c = 0; c < expected.numbers.size(); ++c) {
        const TriangleIndices& t = converter.triangles[c / 3];
        const std::int32_t got = c % 3 == 0 ? t.a : c % 3 == 1 ? t.b : t.c;
        ASSERT_EQ(got, expected.numbers[c]) << what << " corner " << c;
    }
    for (std::size_t j = 0; j < expected.welded.size(); ++j)
        ASSERT_EQ(converter.weldedVertices[j].parentBone, expected.welded[j].parentBone) << what;
}

FormatConverter& load(FormatConverter& converter, const std::string& text)
{
    converter.smdModel = std::make_unique<SmdModelRecords>();
    EXPECT_EQ(converter.smdModel->readReference(text, "mesh.smd"), kSmdRead) << converter.smdModel->diagnostic.text();
    return converter;
}

const char* const kHead = "version 1\nnodes\n0 \"a\" -1\n1 \"b\" 0\n2 \"c\" 0\nend\nskeleton\ntime 0\n0 0 0 0 0 0 0\n1 1 0 0 0 0 0\n2 0 1 0 0 0 0\nend\ntriangles\n";

TEST(Welding, SharedEdgeGivesFourVerticesAndTheFirstParentBoneStays)
{
    Capture capture;
    FormatConverter converter;
    const std::string text = std::string(kHead) +
                             "m\n0 0 0 0 0 0 1 0 0 1 0 1\n0 1 0 0 0 0 1 1 0 1 0 1\n0 0 1 0 0 0 1 0 1 1 0 1\n"
                             "m\n1 1 0 0 0 0 1 1 0 1 0 1\n0 1 1 0 0 0 1 1 1 1 0 1\n0 0 1 0 0 0 1 0 1 1 0 1\nend\n";
    load(converter, text);
    ASSERT_TRUE(converter.weldVertices());
    EXPECT_EQ(converter.weldedCount, 4);
    EXPECT_EQ(converter.triangles[1].a, 1);
    EXPECT_EQ(converter.triangles[1].b, 3);
    EXPECT_EQ(converter.triangles[1].c, 2);
    EXPECT_EQ(converter.weldedVertices[1].parentBone, 0);  // the corner seen first
    EXPECT_EQ(capture.console.text, "[전 버텍스 개수] : 6\n[후 버텍스 개수] : 4\n[후 인덱스 개수] : 2\n");
}

TEST(Welding, LinksOfWeightZeroAreDroppedButOrderAndSeamsKeepCornersApart)
{
    FormatConverter converter;
    const std::string text = std::string(kHead) +
                             // corner 0 and 3: same, one with an extra zero-weight link -> weld
                             "m\n0 5 5 5 0 0 1 0 0 2 1 0.5 2 0.5\n0 0 6 6 0 0 1 0 0 1 0 1\n0 7 7 7 0 0 1 0 0 1 0 1\n"
                             "m\n0 5 5 5 0 0 1 0 0 3 1 0.5 0 0.0 2 0.5\n"
                             // links in another order -> separate
                             "0 5 5 5 0 0 1 0 0 2 2 0.5 1 0.5\n"
                             // hard edge (normal differs) -> separate
                             "0 5 5 5 0 1 0 0 0 2 1 0.5 2 0.5\n"
                             // texture seam, +0 vs -0, -0 weight dropped
                             "m\n0 5 5 5 0 0 1 0.5 0 2 1 0.5 2 0.5\n0 -0 6 6 -0 0 1 0 0 1 0 1\n0 7 7 7 0 0 1 0 0 2 0 1 1 -0.0\nend\n";
    load(converter, text);
    ASSERT_TRUE(converter.weldVertices());
    EXPECT_EQ(converter.triangles[1].a, 0);
    EXPECT_EQ(converter.triangles[1].b, 3);
    EXPECT_EQ(converter.triangles[1].c, 4);
    EXPECT_EQ(converter.triangles[2].a, 5);
    EXPECT_EQ(converter.triangles[2].b, 1);  // -0 welds with +0
    EXPECT_EQ(converter.triangles[2].c, 2);
    EXPECT_EQ(converter.weldedVertices[0].linkCount, 2);
    EXPECT_EQ(converter.weldedVertices[0].links.bone[2], 0);
    EXPECT_EQ(converter.weldedVertices[0].links.weight[2], 0.0f);
}

TEST(Welding, AnEmptyMeshLogsZeros)
{
    Capture capture;
    FormatConverter converter;
    load(converter, std::string(kHead) + "end\n");
    ASSERT_TRUE(converter.weldVertices());
    EXPECT_EQ(converter.weldedCount, 0);
    EXPECT_TRUE(converter.triangles.empty());
    EXPECT_EQ(capture.console.text, "[전 버텍스 개수] : 0\n[후 버텍스 개수] : 0\n[후 인덱스 개수] : 0\n");
}

// Many near-duplicates: values one ulp apart, signed zeros, shuffled
// and zero-weight links. The hash must give exactly the scan's numbering.
TEST(Welding, HashWeldingNumbersLikeTheScanOnRandomNearDuplicates)
{
    std::mt19937 rng(1234);
    const float values[] = {0.0f, -0.0f, 1.0f, std::nextafter(1.0f, 2.0f), 0.5f, 0.25f, 3.0f};
    auto pick = [&]() -> std::string {
        const std::uint32_t r = rng() % 100;
        if (r == 0) return "-1e-38";
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.9g", values[rng() % std::size(values)]);
        return buffer;
    };
    for (int round = 0; round < 4; ++round) {
        std::string text = kHead;
        for (int t = 0; t < 400; ++t) {
            text += "mat\n";
            for (int k = 0; k < 3; ++k) {
                text += "0";
                for (int f = 0; f < 8; ++f) {
                    text += ' ';
                    text += f < 3 || f >= 6 ? pick() : std::string(f == 5 ? "1" : "0");
                }
                const int links = 1 + static_cast<int>(rng() % 3);
                text += ' ';
                text += std::to_string(links);
                for (int l = 0; l < links; ++l) {
                    text += ' ';
                    text += std::to_string(rng() % 3);
                    text += rng() % 4 == 0 ? " 0" : " 0.5";
                }
                text += '\n';
            }
        }
        text += "end\n";
        FormatConverter converter;
        load(converter, text);
        expectSameAsLiteral(converter, "round " + std::to_string(round));
    }
}

TEST(Welding, HashWeldingNumbersLikeTheScanOnEveryCorpusReference)
{
    VESKAR_REQUIRE_CORPUS();
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(test::corpusDir())) {
        std::string text, reason;
        if (!readWholeFile(entry.path().string(), text, reason)) continue;
        FormatConverter converter;
        converter.smdModel = std::make_unique<SmdModelRecords>();
        if (converter.smdModel->readReference(text, entry.path().string()) != kSmdRead) continue;
        expectSameAsLiteral(converter, entry.path().filename().string());
        ++checked;
    }
    EXPECT_GE(checked, 8);
}

} // namespace
} // namespace veskar
