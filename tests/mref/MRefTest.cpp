#include "SampleMRef.h"
#include "TestSupport.h"

#include "mref/EngineRecords.h"
#include "convert/FormatConverter.h"

#include <cmath>
#include <cstring>

namespace veskar {
namespace {

using test::Capture;

const char* const kSmd =
    "version 1\n"
    "nodes\n"
    "0 \"Bip01\" -1\n"
    "1 \"Bip01 Spine\" 0\n"
    "2 \"Bip01 L Hand\" 1\n"
    "3 \"x\" 2\n"
    "end\n"
    "skeleton\n"
    "time 0\n"
    "0 0 0 0 0 0 0\n"
    "1 0 0 10 0 0 0.5\n"
    "2 5 0 0 0.25 0 0\n"
    "3 1 1 1 0 0 0\n"
    "end\n"
    "triangles\n"
    "skin.png\n"
    "0 1 2 3 0 0 1 0.5 0.25 1 0 1\n"
    "1 4 5 6 0 1 0 0.75 1 2 1 0.5 2 0.5\n"
    "2 7 8 9 1 0 0 0 0 3 2 0.25 0 0 3 0.75\n"
    "other.png\n"
    "1 4 5 6 0 1 0 0.75 1 2 1 0.5 2 0.5\n"
    "0 1 2 3 0 0 1 0.5 0.25 1 0 1\n"
    "0 0 0 0 0 0 1 0 0 1 0 1\n"
    "end\n";

// Converts kSmd in a folder and returns the text of the mRef written.
std::string convertSample(test::TempDir& dir)
{
    test::writeText(dir.file("hero.smd"), kSmd);
    FormatConverter converter;
    EXPECT_TRUE(converter.convertReference(dir.file("hero.smd"))) << converter.diagnostic.text();
    return test::readText(dir.file("hero.mRef"));
}

TEST(MRefWriter, WritesTheFormatByteForByte)
{
    Capture capture;
    test::TempDir dir;
    const std::string text = convertSample(dir);
    EXPECT_EQ(text, test::kConvertedMRef);
    EXPECT_EQ(capture.console.text, "[Ref] hero.mRef\n[전 버텍스 개수] : 6\n[후 버텍스 개수] : 4\n[후 인덱스 개수] : 2\n");
}

TEST(MRefReader, ReadsBackWhatTheConverterWrote)
{
    Capture capture;
    test::TempDir dir;
    convertSample(dir);
    EngineModelRecords model;
    ASSERT_TRUE(model.loadReference(dir.file("hero.mRef"))) << model.diagnostic.text();
    const EngineMesh& mesh = model.meshes[0];
    EXPECT_EQ(model.nodeCount, 4);
    EXPECT_EQ(model.vertexCount, 4);
    EXPECT_EQ(model.triangleCount, 2);
    EXPECT_EQ(model.textureName, "skin.png");
    EXPECT_EQ(mesh.texturePath, dir.file("skin.png"));
    EXPECT_EQ(mesh.rootBone, 0);
    EXPECT_EQ(mesh.handBone, 2);
    EXPECT_EQ(mesh.nodes[1].name, "Bip01 Spine");
    EXPECT_EQ(mesh.triangles[1].b, 0);
    EXPECT_NEAR(mesh.vertices[0].restVertex.v, 0.75f, 1e-6f);
    EXPECT_EQ(model.meshCount, 1);
    EXPECT_TRUE(model.hasMesh);
    // A vertex of one link of weight 1 rests at its file position in the viewer's axes.
    const float* p = mesh.vertices[0].restVertex.position;
    EXPECT_NEAR(p[0], -1.0f, 1e-4f);
    EXPECT_NEAR(p[1], 3.0f, 1e-4f);
    EXPECT_NEAR(p[2], 2.0f, 1e-4f);
    // The palette holds the bind pose before the axis change.
    EXPECT_FLOAT_EQ(mesh.bonePalette[1].m[3][2], 10.0f);
}

TEST(MRefReader, HeaderWordsCompareWithoutCaseAndWrongHeadersAreRefused)
{
    const std::string body = "skin.png\nnode 1\nvertex 1\nindex 1\nnodes\n0 \"bip01 l hand\" -1\nend\nskeleton\ntime 0\n  0 0 0 0 0 0 0\nend\n"
                             "vertices\n0 1 2 3 0 0 1 0 0 1 0 1\nend\nindices\n0 0 0\nend\n";
    struct Case {
        std::string head;
        EngineReadResult expected;
        const char* message;
    } cases[] = {
        {"VERSION 1\nRef\n", kEngineRead, nullptr},
        {"version 2\nref\n", kEngineNotOurFile, "mRef 파일이 아닙니다!!"},
        {"edition 1\nref\n", kEngineNotOurFile, "mRef 파일이 아닙니다!!"},
        {"version\nref\n", kEngineNotOurFile, "mRef 파일이 아닙니다!!"},
        {"version 1\nani\n", kEngineWrongKind, "Reference 파일이 아닙니다!!"},
    };
    for (const Case& c : cases) {
        Capture capture;
        EngineModelRecords model;
        EXPECT_EQ(model.loadReferenceFromMemory(c.head + body, "m.mRef"), c.expected == kEngineRead) << c.head;
        if (c.message) {
            ASSERT_EQ(capture.shell.boxes.size(), 1u);
            EXPECT_EQ(capture.shell.boxes[0].text.substr(0, capture.shell.boxes[0].text.find('\n')), c.message);
            EXPECT_EQ(model.meshCount, 0);
        } else {
            EXPECT_EQ(model.meshes[0].handBone, 0);
        }
    }
}

TEST(MRefReader, LinksOfWeightZeroLeaveTheLinksButStayInTheRawWeights)
{
    EngineModelRecords model;
    const std::string text = "version 1\nref\nt.png\nnode 2\nvertex 2\nindex 1\nnodes\n0 \"a\" -1\n1 \"b\" 0\nend\nskeleton\ntime 0\n"
                             "0 0 0 0 0 0 0\n1 0 0 0 0 0 0\nend\nvertices\n"
                             "0 1 2 3 0 0 1 0 0.25 3 1 0 0 0.5 1 0.5\n"
                             "0 1 2 3 0 0 1 0 0.25 0\n"
                             "end\nindices\n0 1 1\nend\n";
    ASSERT_EQ(model.readReference(text, "m.mRef"), kEngineRead) << model.diagnostic.text();
    const EngineVertex& v = model.meshes[0].vertices[0];
    EXPECT_EQ(v.linkCount, 2);
    EXPECT_EQ(v.links.bone[0], 0);
    EXPECT_FLOAT_EQ(v.links.weight[0], 0.5f);
    EXPECT_FLOAT_EQ(v.restVertex.weights[0], 0.0f);
    EXPECT_FLOAT_EQ(v.restVertex.boneIndices[0], 1.0f);
    EXPECT_FLOAT_EQ(v.restVertex.weights[1], 0.5f);
    EXPECT_NEAR(v.restVertex.v, 0.75f, 1e-6f);
    // No links: both copies at the origin.
    const EngineVertex& none = model.meshes[0].vertices[1];
    EXPECT_EQ(none.bindVertex.position[0], 0.0f);
    EXPECT_EQ(none.restVertex.position[2], 0.0f);
}

TEST(MRefReader, SingleBoneVertexOfAnIdentityRootBindsAtItsPositionAndRestsInViewerAxes)
{
    EngineModelRecords model;
    const std::string text = "version 1\nref\nt.png\nnode 1\nvertex 1\nindex 1\nnodes\n0 \"root\" -1\nend\nskeleton\ntime 0\n"
                             "  0 0.000000 0.000000 0.000000 0.000000 0.000000 0.000000\nend\nvertices\n0 1 2 3 0 0 1 0 0 1 0 1\nend\nindices\n0 0 0\nend\n";
    ASSERT_EQ(model.readReference(text, "m.mRef"), kEngineRead);
    const EngineVertex& v = model.meshes[0].vertices[0];
    EXPECT_NEAR(v.bindVertex.position[0], 1.0f, 1e-5f);
    EXPECT_NEAR(v.bindVertex.position[1], 2.0f, 1e-5f);
    EXPECT_NEAR(v.bindVertex.position[2], 3.0f, 1e-5f);
    EXPECT_NEAR(v.restVertex.position[0], -1.0f, 1e-5f);
    EXPECT_NEAR(v.restVertex.position[1], 3.0f, 1e-5f);
    EXPECT_NEAR(v.restVertex.position[2], 2.0f, 1e-5f);
}

TEST(MRefReader, RefusesCountsThatDisagreeWithTheSectionsAndLeavesTheModelAsItWas)
{
    const std::string head = "version 1\nref\nt.png\n";
    const std::string good = "nodes\n0 \"a\" -1\nend\nskeleton\ntime 0\n0 0 0 0 0 0 0\nend\nvertices\n0 1 2 3 0 0 1 0 0 1 0 1\n0 1 2 3 0 0 1 0 0 1 0 1\nend\nindices\n0 1 0\nend\n";
    struct Case {
        std::string text;
        std::string phrase;
    } cases[] = {
        {head + "node 1\nvertex 3\nindex 1\n" + good, "vertices section has 2 lines"},
        {head + "node 1\nvertex 1\nindex 1\n" + good, "more vertex lines"},
        {head + "node 1\nvertex 2\nindex 0\n" + good, "more index lines"},
        {head + "node 1\nvertex 2000000000\nindex 1\n" + good, "header counts need"},
        {head + "node 1\nvertex -2\nindex 1\n" + good, "negative"},
        {head + "node 1\nvertex 2\nindex 1\nnodes\n0 \"a\" -1\nend\nskeleton\ntime 0\n0 0 0 0 0 0 0\nend\nvertices\n0 1 2 3 0 0 1 0 0 1 4 1\n0 1 2 3 0 0 1 0 0 1 0 1\nend\nindices\n0 1 0\nend\n",
         "link bone 4"},
        {head + "node 1\nvertex 2\nindex 1\nnodes\n0 \"a\" -1\nend\nskeleton\ntime 0\n0 0 0 0 0 0 0\nend\nvertices\n0 1 2 3 0 0 1 0 0 1 0 1\n0 1 2 3 0 0 1 0 0 1 0 1\nend\nindices\n0 1 2\nend\n",
         "vertex number 2"},
        {head + "node 1\nvertex 2\nindex 1\nnodes\n0 \"a\" -1\nend\nskeleton\ntime 0\n0 0 0 0 0 0 0\nend\nvertices\n0 1 2 3 0 0 1 0 0 17\n0 1 2 3 0 0 1 0 0 1 0 1\nend\nindices\n0 1 0\nend\n",
         "0 to 16"},
    };
    for (const Case& c : cases) {
        Capture capture;
        EngineModelRecords model;
        EXPECT_FALSE(model.loadReferenceFromMemory(c.text, "m.mRef")) << c.text;
        EXPECT_NE(model.diagnostic.what.find(c.phrase), std::string::npos) << model.diagnostic.what;
        EXPECT_EQ(model.meshCount, 0);
        EXPECT_FALSE(model.hasMesh);
        EXPECT_TRUE(model.meshes[0].vertices.empty());
        ASSERT_FALSE(capture.shell.boxes.empty());
        EXPECT_EQ(capture.shell.boxes.back().text.substr(0, capture.shell.boxes.back().text.find('\n')), "mRef 파일이 아닙니다!!");
    }
}

} // namespace
} // namespace veskar
