#include "TestSupport.h"

#include "import/AnimationKeys.h"
#include "import/LineCursor.h"
#include "import/SmdRecords.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace veskar {
namespace {

using test::Capture;

std::string nodes(int count)
{
    std::string s = "version 1\nnodes\n";
    for (int i = 0; i < count; ++i) s += std::to_string(i) + " \"bone" + std::to_string(i) + "\" " + std::to_string(i - 1) + "\n";
    return s + "end\n";
}

std::string block(int frame, int count, float x)
{
    std::string s = "time " + std::to_string(frame) + "\n";
    for (int i = 0; i < count; ++i) s += std::to_string(i) + " " + std::to_string(x) + " 0 0 0 0 0\n";
    return s;
}

// The viewer's frame tables; a converter reading the same text into keys
// (in one pass where it can) must give the same outcome and the same numbers
// (of a first animation read without a reference, which would refit it).
SmdReadResult read(SmdModelRecords& model, const std::string& text)
{
    const bool first = model.animationCount == 0 && !model.hasMesh;
    const SmdReadResult r = model.readAnimation(text, "walk.smd");
    if (!first) return r;
    SmdModelRecords keysModel;
    AnimationKeys keys;
    LineCursor lines(text);
    EXPECT_EQ(keysModel.readAnimationKeys(lines, "walk.smd", keys), r);
    EXPECT_EQ(keysModel.diagnostic.text(), model.diagnostic.text());
    if (r != kSmdRead) return r;
    const SmdAnimation& a = model.animations[0];
    EXPECT_TRUE(keys.frameCount == a.frameCount && keys.nodeCount == a.nodeCount && keys.matchesCounts());
    for (std::int32_t f = 0; f < keys.frameCount; ++f)
        for (std::int32_t n = 0; n < keys.nodeCount; ++n) {
            const SmdNode& node = a.frame(f)[static_cast<std::size_t>(n)];
            const float pose[6] = {node.position[0], node.position[1], node.position[2], node.rotation[0], node.rotation[1], node.rotation[2]};
            EXPECT_EQ(std::memcmp(pose, keys.key(f, n).data(), sizeof pose), 0) << "frame " << f << " node " << n;
            EXPECT_EQ(node.name, keys.names[static_cast<std::size_t>(n)]);
            EXPECT_EQ(node.parent, keys.parents[static_cast<std::size_t>(n)]);
        }
    return r;
}

TEST(SmdAnimationReader, ReadsEveryFrameAsAFullTableAndLogsCounts)
{
    Capture capture;
    SmdModelRecords model;
    std::string text = nodes(52) + "skeleton\n";
    for (int f = 0; f < 30; ++f) text += block(f, 52, static_cast<float>(f));
    text += "end\n";
    ASSERT_TRUE(model.loadAnimationFromMemory(text, "walk.smd"));
    EXPECT_EQ(capture.console.text, "[Node] 52\n[Time] 30\n");
    const SmdAnimation& a = model.animations[0];
    EXPECT_EQ(a.frameCount, 30);
    EXPECT_EQ(a.nodeCount, 52);
    EXPECT_EQ(a.frame(29)[51].name, "bone51");
    EXPECT_EQ(a.frame(29)[51].parent, 50);
    EXPECT_FLOAT_EQ(a.frame(29)[0].position[0], 29.0f);
    // Node 51 hangs from a chain of 52 bones each 29 along x: after the axis change x becomes -x.
    EXPECT_NEAR(a.frame(29)[51].worldMatrix.m[3][0], -29.0f * 52, 1e-2f);
    EXPECT_EQ(model.animationCount, 1);
    EXPECT_TRUE(model.hasAnimation);
}

TEST(SmdAnimationReader, TrianglesDecideTheKindAfterTheCountsAreLogged)
{
    const std::string base = nodes(1) + "skeleton\n" + block(0, 1, 0) + "end\ntriangles\n";
    const std::string tri = "m\n0 0 0 0 0 0 1 0 0 1 0 1\n0 0 0 0 0 0 1 0 0 1 0 1\n0 0 0 0 0 0 1 0 0 1 0 1\n";
    {
        SmdModelRecords model;
        EXPECT_EQ(read(model, base + tri + "end\n"), kSmdRead);
    }
    Capture capture;
    SmdModelRecords model;
    EXPECT_FALSE(model.loadAnimationFromMemory(base + tri + tri + "end\n", "ref.smd"));
    EXPECT_EQ(capture.console.text, "[Node] 1\n[Time] 1\n");
    ASSERT_EQ(capture.shell.boxes.size(), 1u);
    EXPECT_EQ(capture.shell.boxes[0].text.substr(0, capture.shell.boxes[0].text.find('\n')), "Animation 파일이 아닙니다!!");
    EXPECT_EQ(model.animationCount, 0);
}

TEST(SmdAnimationReader, AnimationsAccumulateAndEarlierSlotsStay)
{
    SmdModelRecords model;
    ASSERT_EQ(read(model, nodes(2) + "skeleton\n" + block(0, 2, 1) + block(1, 2, 2) + "end\n"), kSmdRead);
    ASSERT_EQ(read(model, nodes(3) + "skeleton\n" + block(0, 3, 5) + "end\n"), kSmdRead);
    EXPECT_EQ(model.animationCount, 2);
    EXPECT_EQ(model.animations[0].frameCount, 2);
    EXPECT_FLOAT_EQ(model.animations[0].frame(1)[0].position[0], 2.0f);
    EXPECT_EQ(model.animations[1].nodeCount, 3);
}

TEST(SmdAnimationReader, FrameNumbersAreUsedAsGivenOrByOrderWhenIncreasing)
{
    {
        SmdModelRecords model;
        ASSERT_EQ(read(model, nodes(1) + "skeleton\n" + block(1, 1, 10) + block(0, 1, 20) + "end\n"), kSmdRead);
        EXPECT_FLOAT_EQ(model.animations[0].frame(0)[0].position[0], 20.0f);
        EXPECT_FLOAT_EQ(model.animations[0].frame(1)[0].position[0], 10.0f);
    }
    {
        // Exporters that start counting at 5.
        SmdModelRecords model;
        ASSERT_EQ(read(model, nodes(1) + "skeleton\n" + block(5, 1, 1) + block(6, 1, 2) + block(9, 1, 3) + "end\n"), kSmdRead);
        EXPECT_FLOAT_EQ(model.animations[0].frame(2)[0].position[0], 3.0f);
    }
    {
        SmdModelRecords model;
        EXPECT_EQ(read(model, nodes(1) + "skeleton\n" + block(3, 1, 1) + block(3, 1, 2) + "end\n"), kSmdMalformed);
        EXPECT_EQ(model.animationCount, 0);
    }
    {
        SmdModelRecords model;
        EXPECT_EQ(read(model, nodes(1) + "skeleton\ntime\n0 0 0 0 0 0 0\nend\n"), kSmdMalformed);
        EXPECT_EQ(model.diagnostic.line, 6);
    }
}

TEST(SmdAnimationReader, BonesLeftOutOfABlockKeepThePreviousBlocksPose)
{
    SmdModelRecords model;
    // The first block lists no bone at all (zero pose); the third lists only bone 1. Blank lines are no bones.
    const std::string text = nodes(2) + "skeleton\ntime 0\ntime 1\n0 1 2 3 0 0 0\n\n \t \n1 4 5 6 0 0 0\ntime 2\n1 7 8 9 0 0 0\nend\n";
    ASSERT_EQ(read(model, text), kSmdRead);
    const SmdAnimation& a = model.animations[0];
    EXPECT_FLOAT_EQ(a.frame(0)[0].position[0], 0.0f);
    EXPECT_FLOAT_EQ(a.frame(0)[1].position[2], 0.0f);
    EXPECT_FLOAT_EQ(a.frame(2)[0].position[1], 2.0f);
    EXPECT_FLOAT_EQ(a.frame(2)[1].position[0], 7.0f);
    // The previous frame by number, not the block before in the file.
    SmdModelRecords shuffled;
    ASSERT_EQ(read(shuffled, nodes(2) + "skeleton\ntime 0\n0 1 0 0 0 0 0\n1 2 0 0 0 0 0\ntime 2\n1 7 0 0 0 0 0\ntime 1\n0 5 0 0 0 0 0\nend\n"),
              kSmdRead);
    EXPECT_FLOAT_EQ(shuffled.animations[0].frame(2)[0].position[0], 5.0f);
    EXPECT_FLOAT_EQ(shuffled.animations[0].frame(1)[1].position[0], 2.0f);
}

TEST(SmdAnimationReader, NodeNumbersAreNamesTheNodesTakeTheirPlacesInListedOrder)
{
    SmdModelRecords model;
    const std::string text = "version 1\nnodes\n7 \"root\" -1\n3 \"arm\" 7\nend\nskeleton\ntime 0\n3 0 0 10 0 0 0\n7 0 0 5 0 0 0\n"
                             "time 1\n7 0 0 6 0 0 0\nend\n";
    ASSERT_EQ(read(model, text), kSmdRead) << model.diagnostic.text();
    const SmdAnimation& a = model.animations[0];
    ASSERT_EQ(a.nodeCount, 2);
    EXPECT_EQ(a.frame(1)[1].name, "arm");
    EXPECT_EQ(a.frame(1)[1].parent, 0);
    EXPECT_FLOAT_EQ(a.frame(0)[0].position[2], 5.0f);
    EXPECT_FLOAT_EQ(a.frame(1)[0].position[2], 6.0f);
    EXPECT_FLOAT_EQ(a.frame(1)[1].position[2], 10.0f);
    // Undeclared numbers stay refused, with their line.
    EXPECT_EQ(read(model, "version 1\nnodes\n7 \"root\" -1\nend\nskeleton\ntime 0\n0 0 0 0 0 0 0\nend\n"), kSmdMalformed);
    EXPECT_EQ(model.diagnostic.text(), "walk.smd:7: node number 0 is not declared in the nodes section");
}

TEST(SmdAnimationReader, ChildBeforeParentComposesParentsFirstAndAxisIsApplied)
{
    SmdModelRecords model;
    const std::string text = "version 1\nnodes\n0 \"child\" 1\n1 \"root\" -1\nend\nskeleton\ntime 0\n0 0 0 10 0 0 0\n1 3 0 0 0 0 0\nend\n";
    ASSERT_EQ(read(model, text), kSmdRead);
    const Matrix& w = model.animations[0].frame(0)[0].worldMatrix;
    // (3, 0, 10) in the exporter's axes is (-3, 10, 0) in the viewer's.
    EXPECT_NEAR(w.m[3][0], -3.0f, 1e-5f);
    EXPECT_NEAR(w.m[3][1], 10.0f, 1e-5f);
    EXPECT_NEAR(w.m[3][2], 0.0f, 1e-5f);
}

TEST(SmdAnimationReader, RefusesWhatTheTablesCannotHold)
{
    struct Case {
        std::string text;
        std::string phrase;
    } cases[] = {
        {nodes(2) + "skeleton\ntime 0\n2 0 0 0 0 0 0\nend\n", "node number 2"},
        {nodes(2) + "skeleton\ntime 0\n0 0 0\nend\n", "bone line"},
        {nodes(2) + "skeleton\ntime 0\n0 0 0 0 0 0 0\ntime 1\n1 0 nan 0 0 0 0\nend\n", "not a finite number"},
        {nodes(2) + "skeleton\ntime 0\n0 0 0 0 0 1e39 0\nend\n", "not a finite number"},
        {"version 1\nnodes\nend\nskeleton\ntime 0\nend\n", "no nodes"},
        {nodes(2) + "skeleton\nend\n", "no \"time\""},
        {"version 1\nnodes\n0 \"a\" 1\n1 \"b\" 0\nend\nskeleton\ntime 0\nend\n", "loop"},
    };
    for (const Case& c : cases) {
        SmdModelRecords model;
        EXPECT_EQ(read(model, c.text), kSmdMalformed) << c.text;
        EXPECT_NE(model.diagnostic.what.find(c.phrase), std::string::npos) << model.diagnostic.what;
        EXPECT_EQ(model.animationCount, 0);
        EXPECT_FALSE(model.animations[0].hasFrames());
    }
}

// Onto a reference whose nodes are root, arm, hand (hand bent at its bind
// pose), an animation with root at x = 3 and arm at z = 20.
TEST(SmdAnimationReader, AnimationsOfAnotherNodeListAreMatchedByName)
{
    const std::string reference = "version 1\nnodes\n0 \"root\" -1\n1 \"arm\" 0\n2 \"hand\" 1\nend\n"
                                  "skeleton\ntime 0\n0 0 0 0 0 0 0\n1 0 0 10 0 0 0\n2 0 0 5 0.5 0 0\nend\ntriangles\nend\n";
    const auto animation = [](const std::vector<std::string>& nodeLines, const std::vector<std::string>& boneLines) {
        std::string text = "version 1\nnodes\n";
        for (const std::string& n : nodeLines) text += n + "\n";
        text += "end\nskeleton\ntime 0\n";
        for (const std::string& b : boneLines) text += b + "\n";
        return text + "end\n";
    };
    const std::string original = animation({"0 \"root\" -1", "1 \"arm\" 0", "2 \"hand\" 1"},
                                           {"0 3 0 0 0 0 0", "1 0 0 20 0 0 0", "2 0 0 5 0 0 0"});
    struct Row {
        const char* what;
        std::string text;
        SmdReadResult result;
        std::string console;   // after the [Node] and [Time] lines
        bool handKeyed;        // hand takes the animation's key, not its bind pose
    } rows[] = {
        {"the model's nodes in its order", original, kSmdRead, "", true},
        // Today's files from another exporter: the same bones numbered otherwise.
        {"two node lines swapped", animation({"0 \"arm\" 1", "1 \"root\" -1", "2 \"hand\" 0"}, {"1 3 0 0 0 0 0", "0 0 0 20 0 0 0", "2 0 0 5 0 0 0"}),
         kSmdRead, "[Match] 3 of 3 nodes by name\n", true},
        {"names in another case, a node more, hand missing",
         animation({"0 \"ROOT\" -1", "1 \"prop\" 0", "2 \"Arm\" 0"}, {"0 3 0 0 0 0 0", "1 9 9 9 0 0 0", "2 0 0 20 0 0 0"}), kSmdRead,
         "[Match] 2 of 3 nodes by name; unmatched: \"hand\"; ignored: \"prop\"\n", false},
        {"another skeleton", animation({"0 \"tail\" -1", "1 \"arm\" 0"}, {"0 0 0 0 0 0 0", "1 0 0 0 0 0 0"}), kSmdNodesDiffer, "", false},
    };
    SmdModelRecords expected;
    ASSERT_EQ(expected.readReference(reference, "bat.smd"), kSmdRead);
    ASSERT_EQ(read(expected, original), kSmdRead);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Capture capture;
        SmdModelRecords model;
        ASSERT_EQ(model.readReference(reference, "bat.smd"), kSmdRead);
        const std::string log = capture.console.text;
        ASSERT_EQ(read(model, row.text), row.result) << model.diagnostic.text();
        if (row.result != kSmdRead) {
            EXPECT_EQ(model.diagnostic.text(), "walk.smd: only 1 of the model's 3 nodes have a node of the same name in the animation; at least half must");
            EXPECT_EQ(model.animationCount, 0);
            continue;
        }
        EXPECT_EQ(capture.console.text.substr(capture.console.text.find("[Time] 1\n") + 9), row.console);
        const auto frame = model.animations[0].frame(0);
        ASSERT_EQ(frame.size(), 3u);
        for (std::size_t n = 0; n < 3; ++n) {
            EXPECT_EQ(frame[n].name, model.meshes[0].nodes[n].name);
            EXPECT_EQ(frame[n].parent, model.meshes[0].nodes[n].parent);
        }
        // The hand, where every key ends up, sits where the original puts it
        // (or where its bind pose bends it).
        const Matrix& hand = frame[2].worldMatrix;
        const Matrix& keyed = expected.animations[0].frame(0)[2].worldMatrix;
        EXPECT_NEAR(hand.m[3][0], keyed.m[3][0], 1e-4f);
        EXPECT_NEAR(hand.m[3][1], keyed.m[3][1], 1e-4f);
        EXPECT_EQ(std::fabs(hand.m[1][1] - keyed.m[1][1]) < 1e-4f, row.handKeyed);
    }
}

TEST(SmdAnimationReader, AThirtyThirdAnimationIsRefused)
{
    Capture capture;
    SmdModelRecords model;
    const std::string text = nodes(1) + "skeleton\n" + block(0, 1, 0) + "end\n";
    for (int i = 0; i < kModelSlots; ++i) ASSERT_EQ(read(model, text), kSmdRead);
    EXPECT_FALSE(model.loadAnimationFromMemory(text, "walk.smd"));
    EXPECT_EQ(model.animationCount, kModelSlots);
    EXPECT_EQ(capture.shell.boxes.size(), 1u);
}

} // namespace
} // namespace veskar
