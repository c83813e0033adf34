#include "TestSupport.h"

#include "mref/EngineRecords.h"
#include "convert/FormatConverter.h"

namespace veskar {
namespace {

using test::Capture;

std::string mRef(int nodes)
{
    std::string s = "version 1\nref\nt.png\nnode " + std::to_string(nodes) + "\nvertex 1\nindex 1\nnodes\n";
    for (int i = 0; i < nodes; ++i) s += std::to_string(i) + " \"n" + std::to_string(i) + "\" " + std::to_string(i - 1) + "\n";
    s += "end\nskeleton\ntime 0\n";
    for (int i = 0; i < nodes; ++i) s += std::to_string(i) + " 0 0 1 0 0 0\n";
    return s + "end\nvertices\n0 0 0 0 0 0 1 0 0 1 0 1\nend\nindices\n0 0 0\nend\n";
}

// Node names n0, n1 ... as mRef's, or another skeleton's.
std::string mAni(int nodes, int frames, float x = 1.0f, const std::string& words = "version 1\nani\nnode ", const char* names = "n")
{
    std::string s = words + std::to_string(nodes) + "\ntime " + std::to_string(frames) + "\nnodes\n";
    for (int i = 0; i < nodes; ++i) s += std::to_string(i) + " \"" + names + std::to_string(i) + "\" " + std::to_string(i - 1) + "\n";
    s += "end\nskeleton\n";
    for (int f = frames - 1; f >= 0; --f) {
        s += "time " + std::to_string(f) + "\n";
        for (int i = 0; i < nodes; ++i) s += std::to_string(i) + " " + std::to_string(x * static_cast<float>(f)) + " 0 0 0 0 0\n";
    }
    return s + "end\n";
}

// Frames by their number, the file's nodes matched by name to the model's.
TEST(MAniReader, LoadsFramesByTheirNumberAndLogsCounts)
{
    const struct {
        int modelNodes, fileNodes, frames;
        const char* console;
        const char* lastName;
        float lastX;  // the last node's world x on the last frame, in the viewer's axes
    } rows[] = {
        // A chain of three bones, each 5 along x.
        {3, 3, 6, "[Node] 3\n[Time] 6\n", "n2", -15.0f},
        // More nodes than the model has: the model's found by name, the rest ignored.
        {2, 3, 2, "[Node] 3\n[Time] 2\n[Match] 2 of 2 nodes by name; ignored: \"n2\"\n", "n1", -2.0f},
    };
    for (const auto& row : rows) {
        Capture capture;
        EngineModelRecords model;
        ASSERT_TRUE(model.loadReferenceFromMemory(mRef(row.modelNodes), "a.mRef"));
        ASSERT_TRUE(model.loadAnimationFromMemory(mAni(row.fileNodes, row.frames), "walk.mAni")) << model.diagnostic.text();
        EXPECT_EQ(capture.console.text, row.console);
        const EngineAnimation& a = model.animations[0];
        EXPECT_EQ(a.frameCount, row.frames);
        EXPECT_EQ(model.animationCount, 1);
        EXPECT_TRUE(model.hasAnimation);
        ASSERT_EQ(a.nodeCount, row.modelNodes);
        const auto& last = a.frame(row.frames - 1)[row.modelNodes - 1];
        EXPECT_FLOAT_EQ(last.position[0], static_cast<float>(row.frames - 1));
        EXPECT_EQ(last.name, row.lastName);
        EXPECT_NEAR(last.worldMatrix.m[3][0], row.lastX, 1e-4f);
    }
}

TEST(MAniReader, WordsCompareWithoutCase)
{
    EngineModelRecords model;
    ASSERT_TRUE(model.loadReferenceFromMemory(mRef(2), "a.mRef"));
    EXPECT_EQ(model.readAnimation(mAni(2, 2, 1.0f, "Version 1\nANI\nNode "), "w.mAni"), kEngineRead);
    EXPECT_EQ(model.readAnimation(mAni(2, 2, 1.0f, "version 2\nani\nnode "), "w.mAni"), kEngineNotOurFile);
    EXPECT_EQ(model.readAnimation(mAni(2, 2, 1.0f, "version 1\nref\nnode "), "w.mAni"), kEngineWrongKind);
}

TEST(MAniReader, ARefusedFileKeepsThePreviousAnimation)
{
    Capture capture;
    EngineModelRecords model;
    ASSERT_TRUE(model.loadReferenceFromMemory(mRef(2), "a.mRef"));
    ASSERT_TRUE(model.loadAnimationFromMemory(mAni(2, 3, 2.0f), "first.mAni"));
    EXPECT_FALSE(model.loadAnimationFromMemory(mAni(2, 3, 1.0f, "version 1\nani\nnode ", "other"), "other.mAni"));
    ASSERT_EQ(capture.shell.boxes.size(), 1u);
    EXPECT_EQ(capture.shell.boxes[0].text.substr(0, capture.shell.boxes[0].text.find('\n')), "Node 개수가 다릅니다!!");
    // A file accepted at its header but broken further down also leaves the old frames.
    std::string broken = mAni(2, 3);
    broken.replace(broken.find("time 1\n"), 7, "time 7\n");
    EXPECT_FALSE(model.loadAnimationFromMemory(broken, "broken.mAni"));
    EXPECT_EQ(capture.shell.boxes.back().text.substr(0, capture.shell.boxes.back().text.find('\n')), "mAni 파일이 아닙니다!!");
    EXPECT_EQ(model.animations[0].frameCount, 3);
    EXPECT_FLOAT_EQ(model.animations[0].frame(2)[0].position[0], 4.0f);
}

TEST(MAniReader, RefusesFramesTheTablesCannotHold)
{
    struct Case {
        std::string text;
        std::string phrase;
    } cases[] = {
        {"version 1\nani\nnode 2\ntime 0\nnodes\nend\nskeleton\nend\n", "at least 1"},
        {"version 1\nani\nnode 2\ntime 1000000\nnodes\n0 \"a\" -1\n1 \"b\" 0\nend\nskeleton\nend\n", "lines but"},
        {"version 1\nani\nnode 2\ntime 2\nnodes\n0 \"a\" -1\n1 \"b\" 0\nend\nskeleton\ntime 0\n0 0 0 0 0 0 0\n1 0 0 0 0 0 0\nend\n0\n0\n0\n", "1 frames but"},
        {"version 1\nani\nnode 2\ntime 1\nnodes\n0 \"a\" -1\n1 \"b\" 0\nend\nskeleton\ntime 0\n0 0 0 0 0 0 0\nend\n", "has 1 bone lines"},
        {"version 1\nani\nnode 2\ntime 1\nnodes\n0 \"a\" -1\n1 \"b\" 0\nend\nskeleton\ntime 0\n0 0 0 0 0 0 0\n2 0 0 0 0 0 0\nend\n", "node number 2"},
        {"version 1\nani\nnode 2\ntime 1\nnodes\n0 \"a\" 1\n1 \"b\" 0\nend\nskeleton\ntime 0\n0 0 0 0 0 0 0\n1 0 0 0 0 0 0\nend\n", "loop"},
    };
    for (const Case& c : cases) {
        EngineModelRecords model;
        ASSERT_TRUE(model.loadReferenceFromMemory(mRef(2), "a.mRef"));
        EXPECT_EQ(model.readAnimation(c.text, "w.mAni"), kEngineMalformed) << c.text;
        EXPECT_NE(model.diagnostic.what.find(c.phrase), std::string::npos) << model.diagnostic.what;
        EXPECT_FALSE(model.hasAnimation);
    }
}

TEST(MAniWriter, WritesEveryFrameInOneSkeletonAndReadsBack)
{
    Capture capture;
    test::TempDir dir;
    std::string smd = "version 1\nnodes\n0 \"n0\" -1\n1 \"n1\" 0\nend\nskeleton\n";
    for (int f = 0; f < 4; ++f) smd += "time " + std::to_string(f) + "\n0 0 0 " + std::to_string(f) + " 0 0 0\n1 1.5 0 0 0 0 0.25\n";
    smd += "end\n";
    test::writeText(dir.file("walk.smd"), smd);
    FormatConverter converter;
    ASSERT_TRUE(converter.convertAnimation(dir.file("walk.smd")));
    const std::string text = test::readText(dir.file("walk.mAni"));
    EXPECT_EQ(text.substr(0, text.find("time 0\n  0")),
              "version 1\nani\nnode 2\ntime 4\nnodes\n0 \"n0\" -1\n1 \"n1\" 0\nend\nskeleton\n");
    EXPECT_NE(text.find("time 3\n  0 0.000000 0.000000 3.000000 0.000000 0.000000 0.000000\n  1 1.500000 0.000000 0.000000 0.000000 0.000000 0.250000\nend\n"),
              std::string::npos);
    EXPECT_EQ(capture.console.text, "[Ani] walk.mAni\n[Node] 2\n[Time] 4\n");

    EngineModelRecords model;
    ASSERT_TRUE(model.loadReferenceFromMemory(mRef(2), "a.mRef"));
    capture.console.text.clear();
    ASSERT_TRUE(model.loadAnimation(dir.file("walk.mAni")));
    EXPECT_EQ(capture.console.text, "[Node] 2\n[Time] 4\n");
}

} // namespace
} // namespace veskar
