#include "TestSupport.h"

#include "import/LineCursor.h"
#include "import/SmdRecords.h"
#include "import/TriangleSink.h"


#include <cmath>
#include <cstring>
#include <deque>
#include <random>

namespace veskar {
namespace {

using test::Capture;

constexpr const char* kTwoBones =
    "version 1\n"
    "nodes\n"
    "0 \"root\" -1\n"
    "1 \"child\" 0\n"
    "end\n"
    "skeleton\n"
    "time 0\n"
    "0 0 0 0 0 0 0\n"
    "1 0 0 10 0 0 0\n"
    "end\n";

std::string triangle(const std::string& material, const std::string& links = " 1 0 1.0")
{
    return material + "\n0 0 0 0 0 0 1 0 0" + links + "\n0 1 0 0 0 0 1 1 0" + links + "\n0 0 1 0 0 0 1 0 1" + links + "\n";
}

SmdReadResult read(SmdModelRecords& model, const std::string& text) { return model.readReference(text, "/models/test.smd"); }

bool near(float a, float b) { return std::fabs(a - b) < 1e-4f; }

TEST(SmdReferenceHeader, AcceptsVersionOneInAnyCaseAfterCommentsAndRefusesTheRest)
{
    const std::string body = std::string(kTwoBones).substr(std::string("version 1\n").size()) + "triangles\n" + triangle("a.png") + "end\n";
    struct Case {
        std::string header;
        SmdReadResult expected;
    } cases[] = {
        {"version 1\n", kSmdRead},
        {"VERSION 1\n", kSmdRead},
        {"// exported by hand\n\nversion 1\n", kSmdRead},
        {"version 1.0\n", kSmdRead},
        {"version 2\n", kSmdNotSmd},
        {"edition 1\n", kSmdNotSmd},
        {"version\n", kSmdNotSmd},
        {"", kSmdNotSmd},
    };
    for (const Case& c : cases) {
        SmdModelRecords model;
        EXPECT_EQ(read(model, c.header + body), c.expected) << c.header;
        EXPECT_EQ(model.meshCount, c.expected == kSmdRead ? 1 : 0) << c.header;
    }
}

TEST(SmdReferenceHeader, RefusalShowsTheSystemMessageWithTheLine)
{
    Capture capture;
    SmdModelRecords model;
    EXPECT_FALSE(model.loadReferenceFromMemory("version 2\nnodes\nend\n", "hero.smd"));
    ASSERT_EQ(capture.shell.boxes.size(), 1u);
    EXPECT_EQ(capture.shell.boxes[0].caption, "Error");
    EXPECT_EQ(capture.shell.boxes[0].text.substr(0, capture.shell.boxes[0].text.find('\n')), "SMD 파일이 아닙니다!!");
    EXPECT_NE(capture.shell.boxes[0].text.find("hero.smd:1:"), std::string::npos);
}

TEST(SmdReferenceReader, TwoFramesAreNotAReferenceAndLeaveTheModelUntouched)
{
    Capture capture;
    SmdModelRecords model;
    const std::string text = "version 1\nnodes\n0 \"root\" -1\nend\nskeleton\ntime 0\n0 0 0 0 0 0 0\ntime 1\n0 0 0 0 0 0 0\nend\n";
    EXPECT_FALSE(model.loadReferenceFromMemory(text, "walk.smd"));
    ASSERT_EQ(capture.shell.boxes.size(), 1u);
    EXPECT_EQ(capture.shell.boxes[0].text.substr(0, capture.shell.boxes[0].text.find('\n')), "Reference 파일이 아닙니다!!");
    EXPECT_EQ(model.meshCount, 0);
    EXPECT_FALSE(model.hasMesh);
    EXPECT_TRUE(model.meshes[0].nodes.empty());
    EXPECT_EQ(model.frameCount, 2);
}

TEST(SmdReferenceReader, SkeletonWithoutTimeLineKeepsItsFirstBone)
{
    SmdModelRecords model;
    const std::string text =
        "version 1\nnodes\n0 \"root\" -1\n1 \"child\" 0\nend\nskeleton\n0 0 0 5 0 0 0\n1 0 0 10 0 0 0\nend\ntriangles\nend\n";
    ASSERT_EQ(read(model, text), kSmdRead);
    EXPECT_FLOAT_EQ(model.meshes[0].nodes[0].position[2], 5.0f);
    // The composed height, 5 + 10, turned from z up to y up.
    EXPECT_FLOAT_EQ(model.meshes[0].nodes[1].worldMatrix.m[3][1], 15.0f);
}

TEST(SmdReferenceReader, MaterialRunsNameTexturesAndTrianglesTakeTheLastEqualEntry)
{
    SmdModelRecords model;
    const std::string text = std::string(kTwoBones) + "triangles\n" + triangle("A.png") + triangle("A.png") + triangle("B.png") + triangle("A.png") +
                             triangle("a.png") + "END\n";
    ASSERT_EQ(read(model, text), kSmdRead);
    EXPECT_EQ(model.materialNames, (std::vector<std::string>{"A.png", "B.png", "A.png", "a.png"}));
    EXPECT_EQ(model.materialCount, 4);
    const SmdMesh& mesh = model.meshes[0];
    ASSERT_EQ(mesh.triangleCount, 5);
    EXPECT_EQ(mesh.triangles[0].material, 2);
    EXPECT_EQ(mesh.triangles[1].material, 2);
    EXPECT_EQ(mesh.triangles[2].material, 1);
    EXPECT_EQ(mesh.triangles[3].material, 2);
    EXPECT_EQ(mesh.triangles[4].material, 3);  // case counts
    EXPECT_EQ(mesh.vertexCount, 15);
    EXPECT_EQ(mesh.textureCount, 4);
    EXPECT_EQ(mesh.texturePaths[1], "B.png");  // no folder: read straight from memory
}

TEST(SmdReferenceReader, LinksAreStoredPaddedAndBindPositionsBlendInverseBones)
{
    SmdModelRecords model;
    std::string text =
        "version 1\nnodes\n"
        "0 \"b0\" -1\n1 \"b1\" -1\n2 \"b2\" -1\n3 \"b3\" -1\n4 \"b4\" -1\n5 \"b5\" -1\nend\n"
        "skeleton\ntime 0\n"
        "0 0 0 0 0 0 0\n1 0 0 0 0 0 0\n2 0 0 0 0 0 0\n3 10 0 0 0 0 0\n4 0 0 0 0 0 0\n5 0 0 20 0 0 1.5707964\n"
        "end\ntriangles\nm.png\n"
        "0 10 0 5 1 0 0 0.5 0.2 2 3 0.25 5 0.75\n"
        "0 10 0 5 1 0 0 0.5 0.2 2 3 0.25 5 0.75\n"
        "0 10 0 5 1 0 0 0.5 0.2 2 3 0.25 5 0.75\n"
        "end\n";
    ASSERT_EQ(read(model, text), kSmdRead);
    const SmdMesh& mesh = model.meshes[0];
    const SmdTriangle& t = mesh.triangles[0];
    EXPECT_EQ(t.linkCount[0], 2);
    const BoneLinks links = mesh.cornerLinks(0, 0);
    EXPECT_EQ(links.bone[0], 3);
    EXPECT_EQ(links.bone[1], 5);
    EXPECT_EQ(links.bone[2], 0);
    EXPECT_FLOAT_EQ(links.weight[0], 0.25f);
    EXPECT_FLOAT_EQ(links.weight[1], 0.75f);
    EXPECT_FLOAT_EQ(links.weight[2], 0.0f);
    EXPECT_NEAR(t.vertices[0].v, 0.8f, 1e-6f);
    // Bone 3 is a translation by (10, 0, 0): (10, 0, 5) -> (0, 0, 5).
    // Bone 5 turns a quarter about Z and moves up 20: inverse maps (10, 0, 5) -> (0, -10, -15).
    const SmdVertex& b = model.meshes[0].bindVertices[0];
    EXPECT_TRUE(near(b.position[0], 0.25f * 0 + 0.75f * 0));
    EXPECT_TRUE(near(b.position[1], 0.75f * -10.0f));
    EXPECT_TRUE(near(b.position[2], 0.25f * 5 + 0.75f * -15.0f));
    // The normal turns with the first link's bone only (a pure translation).
    EXPECT_TRUE(near(b.normal[0], 1.0f));
    EXPECT_TRUE(near(b.normal[1], 0.0f));
}

TEST(SmdReferenceReader, AxisChangeTurnsWorldMatricesIntoYUp)
{
    SmdModelRecords model;
    const std::string text = std::string(kTwoBones) + "triangles\n" + triangle("m.png", " 1 1 1.0") + "end\n";
    ASSERT_EQ(read(model, text), kSmdRead);
    const SmdNode& child = model.meshes[0].nodes[1];
    EXPECT_FLOAT_EQ(child.localMatrix.m[3][2], 10.0f);
    EXPECT_TRUE(near(child.worldMatrix.m[3][0], 0.0f));
    EXPECT_TRUE(near(child.worldMatrix.m[3][1], 10.0f));
    EXPECT_TRUE(near(child.worldMatrix.m[3][2], 0.0f));
    // Bind positions use the world before the axis change: (0, 1, 0) minus the bone at z = 10.
    EXPECT_TRUE(near(model.meshes[0].bindVertices[2].position[1], 1.0f));
    EXPECT_TRUE(near(model.meshes[0].bindVertices[2].position[2], -10.0f));
}

TEST(SmdReferenceReader, ChildListedBeforeItsParentStillGetsTheParentsMatrix)
{
    SmdModelRecords model;
    const std::string text =
        "version 1\nnodes\n0 \"child\" 1\n1 \"root\" -1\nend\nskeleton\ntime 0\n0 10 0 0 0 0 0\n1 0 0 7 0 0 0\nend\ntriangles\nend\n";
    ASSERT_EQ(read(model, text), kSmdRead);
    // (10, 0, 7) from its parent, turned from z up to y up: (-10, 7, 0).
    EXPECT_TRUE(near(model.meshes[0].nodes[0].worldMatrix.m[3][0], -10.0f));
    EXPECT_TRUE(near(model.meshes[0].nodes[0].worldMatrix.m[3][1], 7.0f));
}

TEST(SmdReferenceReader, VertexWithoutLinksFollowsItsParentBone)
{
    SmdModelRecords model;
    const std::string text = std::string(kTwoBones) + "triangles\nm.png\n1 0 0 10 0 0 1 0 0\n1 1 0 10 0 0 1 1 0 0\n1 0 1 10 0 0 1 0 1\nend\n";
    ASSERT_EQ(read(model, text), kSmdRead);
    const SmdMesh& mesh = model.meshes[0];
    for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(mesh.triangles[0].linkCount[k], 1);
        EXPECT_EQ(mesh.links(0, k)[0].bone, 1);
        EXPECT_FLOAT_EQ(mesh.links(0, k)[0].weight, 1.0f);
    }
    // Bone 1 sits at z = 10, so the vertex at z = 10 is at its bone's origin.
    EXPECT_TRUE(near(mesh.bindVertices[0].position[2], 0.0f));
}

TEST(SmdReferenceReader, RefusesNumbersOutsideTheTablesWithTheirLine)
{
    struct Case {
        std::string text;
        long line;
        std::string phrase;
    } cases[] = {
        // Numbers 0 and 2 name two nodes; 1 is none of them.
        {"version 1\nnodes\n0 \"a\" -1\n2 \"b\" 0\nend\nskeleton\ntime 0\n1 0 0 0 0 0 0\nend\n", 8,
         "node number 1 is not declared in the nodes section"},
        {"version 1\nnodes\n0 \"a\" -1\n2 \"b\" 0\nend\ntriangles\n" + triangle("m", " 1 1 1.0") + "end\n", 8, "link bone 1"},
        {"version 1\nnodes\n0 \"a\" 5\nend\n", 3, "parent number 5"},
        {"version 1\nnodes\n0 \"a\" -1\nend\nskeleton\ntime 0\n-1 0 0 0 0 0 0\nend\n", 7, "node number -1"},
        {std::string(kTwoBones) + "triangles\n" + triangle("m", " 1 7 1.0") + "end\n", 13, "link bone 7"},
        {std::string(kTwoBones) + "triangles\n" + triangle("m", " 17 0 1") + "end\n", 13, "link count 17"},
        {std::string(kTwoBones) + "triangles\n" + triangle("m", " -1") + "end\n", 13, "link count -1"},
        {std::string(kTwoBones) + "triangles\n" + triangle("m", " 2 0 0.5") + "end\n", 13, "2 but 1"},
        {std::string(kTwoBones) + "triangles\n" + triangle("m", " 1 99999999999 1.0") + "end\n", 13, "far out of range"},
        {std::string(kTwoBones) + "triangles\nm\n0 0 0 0 0 0 1 0 0\n0 0 0 0 0 0 1 0 0\nend\n", 15, "2 vertex lines"},
        {std::string(kTwoBones) + "triangles\nm\n0 0 0 0 0 0 1 0\n", 13, "a vertex line needs"},
        {"version 1\nnodes\n0 \"a\" 1\n1 \"b\" 0\nend\nskeleton\ntime 0\nend\n", 0, "loop"},
    };
    for (const Case& c : cases) {
        SmdModelRecords model;
        EXPECT_EQ(read(model, c.text), kSmdMalformed) << c.text;
        EXPECT_EQ(model.diagnostic.line, c.line) << c.text;
        EXPECT_NE(model.diagnostic.what.find(c.phrase), std::string::npos) << model.diagnostic.what;
        EXPECT_EQ(model.meshCount, 0);
        EXPECT_TRUE(model.meshes[0].triangles.empty());
    }
}

TEST(SmdReferenceReader, NodeNumbersAreNamesTheNodesTakeTheirPlacesInListedOrder)
{
    // Numbers 10, 30, 20 and one far beyond the node count, a parent listed
    // after its child, a repeated line that renames its node, bone lines left
    // out and a triangle on bone 30 linked to 20 and the far one.
    std::string file = "version 1\nnodes\n10 \"root\" -1\n30 \"arm\" 10\n20 \"hand\" 30\n30 \"Arm\" 10\n2000000000 \"tip\" 20\nend\n"
                       "skeleton\ntime 0\n30 0 0 10 0 0 0\n10 0 0 5 0 0 0\nend\ntriangles\nm\n";
    for (int k = 0; k < 3; ++k) file += "30 0 0 " + std::to_string(k) + " 0 0 1 0 0 2 20 0.25 2000000000 0.75\n";
    file += "end\n";
    SmdModelRecords model;
    ASSERT_EQ(read(model, file), kSmdRead) << model.diagnostic.text();
    const SmdMesh& mesh = model.meshes[0];
    ASSERT_EQ(mesh.nodeCount, 4);
    EXPECT_EQ(model.nodeCount, 4);
    const char* names[] = {"root", "Arm", "hand", "tip"};
    const std::int32_t parents[] = {-1, 0, 1, 2};
    const float z[] = {5, 10, 0, 0};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(mesh.nodes[i].name, names[i]);
        EXPECT_EQ(mesh.nodes[i].parent, parents[i]);
        EXPECT_FLOAT_EQ(mesh.nodes[i].position[2], z[i]);
    }
    EXPECT_EQ(mesh.triangles[0].vertexBone[0], 1);
    ASSERT_EQ(mesh.links(0, 0).size(), 2u);
    EXPECT_EQ(mesh.links(0, 0)[0].bone, 2);
    EXPECT_EQ(mesh.links(0, 0)[1].bone, 3);
}

// Numbers kept only when they are 0 ... n-1 each once; otherwise renumbered in
// listed order, and a number the file skips never becomes a node.
TEST(SmdReferenceReader, OnlyNodesTheFileDeclaresAreMade)
{
    struct Case {
        const char* nodeLines;
        std::vector<std::string> names;   // by place
    } cases[] = {
        {"2 \"a\" -1\n0 \"b\" -1\n1 \"c\" -1\n", {"b", "c", "a"}},
        // Below the line count, but 0 skipped and 1 repeated: two nodes, not a nameless third.
        {"1 \"a\" -1\n2 \"b\" 1\n1 \"A\" -1\n", {"A", "b"}},
        {"0 \"a\" -1\n2 \"b\" 0\n1 \"c\" 0\n1 \"d\" 0\n", {"a", "b", "d"}},
        {"0 \"a\" -1\n\n\n1 \"b\" 0\n", {"a", "b"}},
    };
    for (const Case& c : cases) {
        SmdModelRecords model;
        ASSERT_EQ(read(model, std::string("version 1\nnodes\n") + c.nodeLines + "end\ntriangles\nend\n"), kSmdRead) << model.diagnostic.text();
        const SmdMesh& mesh = model.meshes[0];
        ASSERT_EQ(mesh.nodeCount, static_cast<std::int32_t>(c.names.size())) << c.nodeLines;
        for (std::size_t i = 0; i < c.names.size(); ++i) EXPECT_EQ(mesh.nodes[i].name, c.names[i]) << c.nodeLines;
    }
}

TEST(SmdReferenceReader, AThirtyThirdReferenceIsRefusedWithoutTouchingTheSlots)
{
    Capture capture;
    SmdModelRecords model;
    const std::string text = std::string(kTwoBones) + "triangles\n" + triangle("m.png") + "end\n";
    for (int i = 0; i < kModelSlots; ++i) ASSERT_TRUE(model.loadReferenceFromMemory(text, "a.smd"));
    EXPECT_FALSE(model.loadReferenceFromMemory(text, "a.smd"));
    EXPECT_EQ(model.meshCount, kModelSlots);
    ASSERT_EQ(capture.shell.boxes.size(), 1u);
    EXPECT_NE(model.diagnostic.what.find("32 meshes"), std::string::npos);
}

TEST(SmdReferenceReader, FileThatCannotBeOpenedFailsWithoutABox)
{
    Capture capture;
    test::TempDir dir;
    SmdModelRecords model;
    EXPECT_FALSE(model.loadReference(dir.file("missing.smd")));
    EXPECT_FALSE(model.loadReference(dir.path().string()));
    EXPECT_TRUE(capture.shell.boxes.empty());
    EXPECT_NE(model.diagnostic.what.find("directory"), std::string::npos);
}

// A reference of many triangles: 0 to 4 links a corner, runs of materials,
// Windows line ends here and there, and a second triangles section where
// asked.
std::string largeReference(int triangles, std::mt19937& rng, bool secondSection = true)
{
    std::vector<std::string> corners;
    std::string text = "version 1\nnodes\n";
    char line[64];
    for (int n = 0; n < 6; ++n) {
        std::snprintf(line, sizeof line, "%d \"bone%d\" %d\n", n, n, n - 1);
        text += line;
    }
    text += "end\nskeleton\ntime 0\n";
    for (int n = 0; n < 6; ++n) {
        std::snprintf(line, sizeof line, "%d 0 0 %d 0 0.1 0\n", n, n);
        text += line;
    }
    text += "end\ntriangles\n";
    for (int t = 0; t < triangles; ++t) {
        if (secondSection && t == triangles * 3 / 4) text += "end\ntriangles\n";
        text += (t / 7) % 3 == 0 ? "skin.png\n" : "cloth.png\n";
        char field[32];
        for (int c = 0; c < 3; ++c) {
            // Meshes write a shared corner again for each triangle: half the
            // corners repeat one of the last few, byte for byte.
            if (!corners.empty() && rng() % 2 == 0) {
                text += corners[corners.size() - 1 - rng() % std::min<std::size_t>(corners.size(), 40)];
                continue;
            }
            std::string corner = std::to_string(rng() % 6);
            for (int f = 0; f < 8; ++f) {
                std::snprintf(field, sizeof field, " %d.%u", static_cast<int>(rng() % 2000) - 1000, static_cast<unsigned>(rng() % 1000));
                corner += field;
            }
            const int links = static_cast<int>(rng() % 5);
            if (links > 0) {
                std::snprintf(field, sizeof field, " %d", links);
                corner += field;
            }
            for (int k = 0; k < links; ++k) {
                std::snprintf(field, sizeof field, " %u 0.%u", static_cast<unsigned>(rng() % 6), static_cast<unsigned>(rng() % 100));
                corner += field;
            }
            corner += rng() % 5 == 0 ? "\r\n" : "\n";
            corners.push_back(corner);
            text += corner;
        }
    }
    return text + "end\n";
}

struct ReadOutcome {
    SmdReadResult result = kSmdRead;
    std::string diagnostic;
    std::vector<SmdTriangle> triangles;
    std::vector<BoneLink> links;
    std::vector<SmdVertex> bind;
    std::vector<std::string> materials;
    std::size_t repeated = 0;  // corners a sink was told repeat an earlier one
};

// Gathers the blocks a reader hands over into one table, as the mesh holds
// it, and holds each corner said to repeat an earlier one to being the same.
class GatheringSink final : public TriangleSink {
public:
    std::string expect(std::int32_t, std::size_t lanes) override
    {
        blocks_.resize(lanes);
        return {};
    }
    void prepare(std::size_t lane, std::span<const SmdTriangle> block, std::span<const BoneLink> pool,
                 std::span<const std::int64_t> repeats) override
    {
        EXPECT_LT(blocks_[lane].size(), kBlocksAhead);
        Block& kept = blocks_[lane].emplace_back();
        kept.triangles.assign(block.begin(), block.end());
        kept.links.assign(pool.begin(), pool.end());
        kept.repeats.assign(repeats.begin(), repeats.end());
    }
    std::string take(std::size_t lane) override
    {
        const Block taken = std::move(blocks_[lane].front());
        blocks_[lane].pop_front();
        const auto base = static_cast<std::uint32_t>(links.size());
        const std::size_t first = triangles.size();
        links.insert(links.end(), taken.links.begin(), taken.links.end());
        for (SmdTriangle t : taken.triangles) {
            for (std::uint32_t& start : t.linkStart) start += base;
            triangles.push_back(t);
        }
        const std::vector<std::int64_t>& repeats = taken.repeats;
        for (std::size_t c = 0; c < repeats.size(); ++c) {
            if (repeats[c] < 0) continue;
            const std::size_t number = first * 3 + c;
            EXPECT_LT(repeats[c], static_cast<std::int64_t>(number));
            const auto earlier = static_cast<std::size_t>(repeats[c]);
            const SmdTriangle& a = triangles[number / 3];
            const SmdTriangle& b = triangles[earlier / 3];
            const int ka = static_cast<int>(number % 3), kb = static_cast<int>(earlier % 3);
            EXPECT_EQ(std::memcmp(&a.vertices[ka], &b.vertices[kb], sizeof(SmdVertex)), 0) << "corner " << number;
            EXPECT_EQ(a.linkCount[ka], b.linkCount[kb]);
            if (a.linkCount[ka] != b.linkCount[kb]) continue;
            EXPECT_EQ(std::memcmp(&links[a.linkStart[ka]], &links[b.linkStart[kb]], sizeof(BoneLink) * static_cast<std::size_t>(a.linkCount[ka])), 0);
            ++repeated;
        }
        return {};
    }
    void restart() override
    {
        for (auto& lane : blocks_) lane.clear();
        triangles.clear();
        links.clear();
        repeated = 0;
    }
    std::size_t repeated = 0;
    std::vector<SmdTriangle> triangles;
    std::vector<BoneLink> links;

private:
    struct Block {
        std::vector<SmdTriangle> triangles;
        std::vector<BoneLink> links;
        std::vector<std::int64_t> repeats;
    };
    std::vector<std::deque<Block>> blocks_;  // prepared, not yet taken, oldest first
};

ReadOutcome readWith(const std::string& text, const std::string& path, int threads, bool fromFile, bool intoSink = false)
{
    SmdModelRecords model;
    model.readerThreads = threads;
    model.minimumShare = 16;
    GatheringSink sink;
    if (intoSink) {
        model.triangleSink = &sink;
        model.buildPoseMatrices = false;
    }
    ReadOutcome outcome;
    if (fromFile) {
        test::writeText(path, text);
        LineCursor lines;
        std::string reason;
        EXPECT_TRUE(lines.openFile(path, reason, 100));
        outcome.result = model.readReference(lines, path);
    } else {
        outcome.result = model.readReference(text, path);
    }
    outcome.diagnostic = model.diagnostic.text();
    if (outcome.result == kSmdRead) {
        outcome.triangles = intoSink ? sink.triangles : model.meshes[0].triangles;
        outcome.links = intoSink ? sink.links : model.meshes[0].linkPool;
        outcome.bind = model.meshes[0].bindVertices;
        outcome.repeated = sink.repeated;
        outcome.materials = model.materialNames;
    }
    return outcome;
}

// What a sink is handed of a mesh read in order: no material numbers, and
// the model is not posed.
ReadOutcome asHanded(ReadOutcome mesh, const ReadOutcome& sink)
{
    for (SmdTriangle& t : mesh.triangles) t.material = 0;
    mesh.bind = sink.bind;
    return mesh;
}

void expectSame(const ReadOutcome& a, const ReadOutcome& b, const std::string& what)
{
    ASSERT_EQ(a.result, b.result) << what;
    EXPECT_EQ(a.diagnostic, b.diagnostic) << what;
    EXPECT_EQ(a.materials, b.materials) << what;
    ASSERT_EQ(a.triangles.size(), b.triangles.size()) << what;
    if (!a.triangles.empty()) {
        EXPECT_EQ(std::memcmp(a.triangles.data(), b.triangles.data(), a.triangles.size() * sizeof(SmdTriangle)), 0) << what;
    }
    ASSERT_EQ(a.links.size(), b.links.size()) << what;
    for (std::size_t i = 0; i < a.links.size(); ++i)
        ASSERT_TRUE(a.links[i].bone == b.links[i].bone && a.links[i].weight == b.links[i].weight) << what << " link " << i;
    ASSERT_EQ(a.bind.size(), b.bind.size()) << what;
    if (!a.bind.empty()) {
        EXPECT_EQ(std::memcmp(a.bind.data(), b.bind.data(), a.bind.size() * sizeof(SmdVertex)), 0) << what;
    }
}

// Large sections are read in shares on several threads, or handed to a sink
// in blocks (read once where the file allows); the mesh, its link pool and
// any refusal must be what reading in order gives, from memory and from a
// file read in small pieces.
TEST(SmdReferenceReader, SharedReadingGivesWhatReadingInOrderGives)
{
    test::TempDir dir;
    for (const bool secondSection : {true, false}) {
        std::mt19937 rng(17);
        const std::string text = largeReference(400, rng, secondSection);
        const ReadOutcome inOrder = readWith(text, dir.file("a.smd"), 1, false);
        ASSERT_EQ(inOrder.result, kSmdRead) << inOrder.diagnostic;
        ASSERT_EQ(inOrder.triangles.size(), 400u);
        const ReadOutcome unposed = readWith(text, dir.file("a.smd"), 1, false, true);
        EXPECT_GT(unposed.repeated, 300u);
        expectSame(asHanded(inOrder, unposed), unposed, "into a sink");
        for (int threads : {1, 2, 3, 4})
            for (bool fromFile : {false, true}) {
                if (threads > 1) expectSame(inOrder, readWith(text, dir.file("a.smd"), threads, fromFile), "whole file");
                expectSame(unposed, readWith(text, dir.file("a.smd"), threads, fromFile, true), "whole file into a sink");
            }

        // A bad line early, in the middle and late: the same refusal, the same
        // line. A file read once that meets one is read again in two passes,
        // so the one file tries both ways.
        if (secondSection) continue;
        std::vector<std::size_t> lineStarts;
        for (std::size_t i = 0; i < text.size(); ++i)
            if (text[i] == '\n' && i + 1 < text.size()) lineStarts.push_back(i + 1);
        for (double where : {0.1, 0.3, 0.5, 0.62, 0.9, 0.99}) {
            std::size_t at = lineStarts[static_cast<std::size_t>(where * static_cast<double>(lineStarts.size()))];
            for (const char* damage : {"9 1 2 3\n", "0 1 2 3 4 5 6 7 8 17\n", "end\n", "0 1 2 3 4 5 6 7 8 2 1 0.5\n", "0 1 nan 3 4 5 6 7 8\n",
                                       "0 1 2 3 4 5 6 7 1e39 1 0 1\n", "0 1 2 3 4 5 6 7 8 1 0 inf\n", "end\nskeleton\ntime 0\ntime 1\nend\n"}) {
                std::string broken(text, 0, at);
                broken += damage;
                broken.append(text, at, std::string::npos);
                const ReadOutcome expected = readWith(broken, dir.file("b.smd"), 1, false);
                for (int threads : {1, 2, 4})
                    for (bool fromFile : {false, true}) {
                        if (threads > 1) expectSame(expected, readWith(broken, dir.file("b.smd"), threads, fromFile), std::string("damage ") + damage);
                        const ReadOutcome intoSink = readWith(broken, dir.file("b.smd"), threads, fromFile, true);
                        expectSame(asHanded(expected, intoSink), intoSink, std::string("into a sink, damage ") + damage);
                    }
            }
        }
    }
}

} // namespace
} // namespace veskar
