// Hostile input for the readers (the four text formats and glTF) and the convert commands: every bad file
// is refused with its file, line and what is wrong, the model it was read onto
// stays as it was and keeps working, and no conversion loses or leaves a file.
// Each case is a small valid file with one thing broken, so the line a
// refusal names is the line the case changed.

#include "TestSupport.h"

#include "mref/EngineRecords.h"
#include "convert/FormatConverter.h"
#include "gltf/GltfExport.h"
#include "gltf/GltfImport.h"
#include "import/AnimationKeys.h"
#include "import/LineCursor.h"
#include "import/SmdRecords.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

namespace veskar {
namespace {

using test::Capture;
using test::readText;
using test::TempDir;
using test::writeText;

// ---------------------------------------------------------------------------
// Valid files the cases break; line numbers are in the comments.

const std::string kSmdReference =
    "version 1\n"                            // 1
    "nodes\n"                                // 2
    "0 \"root\" -1\n"                        // 3
    "1 \"arm\" 0\n"                          // 4
    "end\n"                                  // 5
    "skeleton\n"                             // 6
    "time 0\n"                               // 7
    "0 0 0 0 0 0 0\n"                        // 8
    "1 0 0 10 0 0 0\n"                       // 9
    "end\n"                                  // 10
    "triangles\n"                            // 11
    "skin.bmp\n"                             // 12
    "0 0 0 0 0 0 1 0 0 1 0 1\n"              // 13
    "1 1 0 0 0 0 1 1 0 2 0 0.5 1 0.5\n"      // 14
    "1 0 1 0 0 0 1 0 1\n"                    // 15
    "end\n";                                 // 16

const std::string kSmdAnimation =
    "version 1\n"         // 1
    "nodes\n"             // 2
    "0 \"root\" -1\n"     // 3
    "1 \"arm\" 0\n"       // 4
    "end\n"               // 5
    "skeleton\n"          // 6
    "time 0\n"            // 7
    "0 0 0 0 0 0 0\n"     // 8
    "1 0 0 10 0 0 0\n"    // 9
    "time 1\n"            // 10
    "1 0 0 11 0 0 0.5\n"  // 11
    "end\n";              // 12

const std::string kMRef =
    "version 1\n"                          // 1
    "ref\n"                                // 2
    "skin.bmp\n"                           // 3
    "node 2\n"                             // 4
    "vertex 3\n"                           // 5
    "index 1\n"                            // 6
    "nodes\n"                              // 7
    "0 \"Bip01\" -1\n"                     // 8
    "1 \"arm\" 0\n"                        // 9
    "end\n"                                // 10
    "skeleton\n"                           // 11
    "time 0\n"                             // 12
    "  0 0 0 0 0 0 0\n"                    // 13
    "  1 0 0 10 0 0 0\n"                   // 14
    "end\n"                                // 15
    "vertices\n"                           // 16
    "0 0 0 0 0 0 1 0 0 1 0 1\n"            // 17
    "1 1 0 0 0 0 1 1 0 2 0 0.5 1 0.5\n"    // 18
    "1 0 1 0 0 0 1 0 1 1 1 1\n"            // 19
    "end\n"                                // 20
    "indices\n"                            // 21
    "0 1 2\n"                              // 22
    "end\n";                               // 23

const std::string kMAni =
    "version 1\n"           // 1
    "ani\n"                 // 2
    "node 2\n"              // 3
    "time 2\n"              // 4
    "nodes\n"               // 5
    "0 \"Bip01\" -1\n"      // 6
    "1 \"arm\" 0\n"         // 7
    "end\n"                 // 8
    "skeleton\n"            // 9
    "time 0\n"              // 10
    "0 0 0 0 0 0 0\n"       // 11
    "1 0 0 10 0 0 0\n"      // 12
    "time 1\n"              // 13
    "0 0 0 1 0 0 0\n"       // 14
    "1 0 0 10 0 0.5 0\n"    // 15
    "end\n";                // 16

const std::string kGarbage("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe\x00\x01\x7f""ELF\x02\x01", 26);

// ---------------------------------------------------------------------------
// Line editing, 1-based, on files that end with a newline.

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t newline = text.find('\n', start);
        if (newline == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, newline - start));
        start = newline + 1;
    }
    return lines;
}

std::string joinLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

std::string replaceLine(const std::string& text, std::size_t line, const std::string& with)
{
    auto lines = splitLines(text);
    lines.at(line - 1) = with;
    return joinLines(lines);
}

std::string removeLine(const std::string& text, std::size_t line)
{
    auto lines = splitLines(text);
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(line) - 1);
    return joinLines(lines);
}

std::string insertAfter(const std::string& text, std::size_t line, const std::string& with)
{
    auto lines = splitLines(text);
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(line), with);
    return joinLines(lines);
}

std::string firstLines(const std::string& text, std::size_t count)
{
    auto lines = splitLines(text);
    lines.resize(count);
    return joinLines(lines);
}

// ---------------------------------------------------------------------------

struct Refusal {
    const char* name;
    std::string text;
    std::variant<SmdReadResult, EngineReadResult> code;   // the reader family's own code
    long line;          // the line the diagnostic names; 0 for the whole file
    std::string phrase; // part of what the diagnostic says
};

template <typename Result>
void expectRefusal(Result result, const Diagnostic& d, const Refusal& c, const std::string& file)
{
    EXPECT_EQ(decltype(c.code)(result), c.code) << d.text();
    EXPECT_EQ(d.file, file);
    EXPECT_EQ(d.line, c.line) << d.text();
    EXPECT_NE(d.what.find(c.phrase), std::string::npos) << "expected \"" << c.phrase << "\" in: " << d.text();
}

// ---------------------------------------------------------------------------
// SMD reference

TEST(MalformedSmdReference, EveryBadFileIsRefusedAtItsLineAndTheModelStillLoads)
{
    const std::string base = kSmdReference;
    const std::vector<Refusal> cases = {
        {"empty file", "", kSmdNotSmd, 0, "the first line is not \"version 1\""},
        {"binary garbage", kGarbage, kSmdNotSmd, 1, "the first line is not \"version 1\""},
        {"header without number", replaceLine(base, 1, "version"), kSmdNotSmd, 1, "not \"version 1\""},
        {"header number 2", replaceLine(base, 1, "version 2"), kSmdNotSmd, 1, "not \"version 1\""},
        // A section without "end" takes the next section's lines for its own.
        {"nodes without end", removeLine(base, 5), kSmdMalformed, 5, "a node line needs a number"},
        {"skeleton without end", removeLine(base, 10), kSmdMalformed, 10, "a bone line needs a node number"},
        {"triangle with two vertex lines", removeLine(base, 15), kSmdMalformed, 15, "triangle 0 has 2 vertex lines instead of 3"},
        {"triangle cut by the end of the file", firstLines(base, 14), kSmdMalformed, 14, "the file ends inside a triangle"},
        // Node numbers are names: 0 and 2 (or -1) name two nodes, and the bone line of 1 names none.
        {"node numbers 0 and 2", replaceLine(base, 4, "2 \"arm\" 0"), kSmdMalformed, 9, "node number 1 is not declared in the nodes section"},
        {"node numbers 0 and -1", replaceLine(base, 4, "-1 \"arm\" 0"), kSmdMalformed, 9, "node number 1 is not declared"},
        {"node number beyond int32", replaceLine(base, 4, "4294967297 \"arm\" 0"), kSmdMalformed, 4, "a node line needs a number"},
        {"node number nan", replaceLine(base, 4, "nan \"arm\" 0"), kSmdMalformed, 4, "a node line needs a number"},
        {"parent out of range", replaceLine(base, 4, "1 \"arm\" 2"), kSmdMalformed, 4, "parent number 2 is neither -1 nor a node number"},
        {"parent negative", replaceLine(base, 4, "1 \"arm\" -2"), kSmdMalformed, 4, "parent number -2 is neither"},
        {"parent beyond int32", replaceLine(base, 4, "1 \"arm\" -99999999999"), kSmdMalformed, 4, "a node line needs"},
        {"parent inf", replaceLine(base, 4, "1 \"arm\" inf"), kSmdMalformed, 4, "a node line needs"},
        {"bone of no node", replaceLine(base, 9, "2 0 0 10 0 0 0"), kSmdMalformed, 9, "node number 2 is outside 0 to 1"},
        {"bone number negative", replaceLine(base, 9, "-1 0 0 10 0 0 0"), kSmdMalformed, 9, "node number -1 is outside"},
        {"bone line short", replaceLine(base, 9, "1 0 0 10"), kSmdMalformed, 9, "a bone line needs a node number and six numbers"},
        {"vertex parent out of range", replaceLine(base, 13, "2 0 0 0 0 0 1 0 0 1 0 1"), kSmdMalformed, 13, "parent bone 2 is not a node number"},
        {"vertex parent negative", replaceLine(base, 13, "-1 0 0 0 0 0 1 0 0 1 0 1"), kSmdMalformed, 13, "parent bone -1 is not a node number"},
        {"vertex parent beyond int32", replaceLine(base, 13, "2147483648 0 0 0 0 0 1 0 0"), kSmdMalformed, 13, "the parent bone number is far out of range"},
        {"vertex parent nan", replaceLine(base, 13, "nan 0 0 0 0 0 1 0 0"), kSmdMalformed, 13, "a vertex line needs a parent bone"},
        {"vertex line short", replaceLine(base, 13, "0 0 0 0 0 0 1 0"), kSmdMalformed, 13, "a vertex line needs a parent bone"},
        {"link bone out of range", replaceLine(base, 14, "1 1 0 0 0 0 1 1 0 2 0 0.5 2 0.5"), kSmdMalformed, 14, "link bone 2 is not a node number"},
        {"link bone negative", replaceLine(base, 14, "1 1 0 0 0 0 1 1 0 2 0 0.5 -1 0.5"), kSmdMalformed, 14, "link bone -1 is not a node number"},
        {"link bone beyond int32", replaceLine(base, 14, "1 1 0 0 0 0 1 1 0 2 0 0.5 99999999999 0.5"), kSmdMalformed, 14,
         "a link bone number is far out of range"},
        {"link count 17", replaceLine(base, 13, "0 0 0 0 0 0 1 0 0 17 0 1"), kSmdMalformed, 13, "link count 17 is outside 0 to 16"},
        {"link count -1", replaceLine(base, 13, "0 0 0 0 0 0 1 0 0 -1 0 1"), kSmdMalformed, 13, "link count -1 is outside 0 to 16"},
        {"link count beyond int32", replaceLine(base, 13, "0 0 0 0 0 0 1 0 0 4294967296 0 1"), kSmdMalformed, 13, "link count beyond int32"},
        {"fewer links than the count", replaceLine(base, 13, "0 0 0 0 0 0 1 0 0 2 0 1"), kSmdMalformed, 13,
         "the link count is 2 but 1 bone and weight pairs follow"},
        {"link weight missing", replaceLine(base, 13, "0 0 0 0 0 0 1 0 0 1 0"), kSmdMalformed, 13, "the link count is 1 but 0 bone and weight pairs"},
        // Numbers that are no finite float are refused where they stand, whatever field holds them.
        {"bone position nan", replaceLine(base, 9, "1 nan 0 10 0 0 0"), kSmdMalformed, 9, "not a finite number"},
        {"bone angle -inf", replaceLine(base, 9, "1 0 0 10 0 0 -inf"), kSmdMalformed, 9, "not a finite number"},
        {"vertex position 1e39", replaceLine(base, 13, "0 1e39 0 0 0 0 1 0 0 1 0 1"), kSmdMalformed, 13, "not a finite number"},
        {"vertex normal inf", replaceLine(base, 15, "1 0 1 0 0 0 inf 0 1"), kSmdMalformed, 15, "not a finite number"},
        {"vertex v nan", replaceLine(base, 13, "0 0 0 0 0 0 1 0 nan 1 0 1"), kSmdMalformed, 13, "not a finite number"},
        {"link weight inf", replaceLine(base, 14, "1 1 0 0 0 0 1 1 0 2 0 0.5 1 inf"), kSmdMalformed, 14, "not a finite number"},
        {"two frames", insertAfter(base, 9, "time 1"), kSmdWrongKind, 0, "the skeleton has 2 frames; a reference has one"},
        {"parents in a loop", replaceLine(base, 3, "0 \"root\" 1"), kSmdMalformed, 0, "the parents of node 0 form a loop"},
        // The loop is found even when no skeleton section composes the nodes.
        {"parents in a loop, no skeleton", replaceLine(removeLine(removeLine(removeLine(removeLine(removeLine(base, 10), 9), 8), 7), 6), 3,
                                                       "0 \"root\" 1"),
         kSmdMalformed, 0, "form a loop"},
        // A file that yields no model is no reference.
        {"no triangles section", firstLines(base, 10), kSmdNotSmd, 0, "the file has no triangles section"},
        {"nodes ended by the end of the file", firstLines(base, 3), kSmdNotSmd, 0, "the file has no triangles section"},
        {"no nodes", joinLines({"version 1", "triangles", "end"}), kSmdNotSmd, 0, "the file has no nodes"},
        {"version 1, then garbage", "version 1\nqwerty uiop\n}{\n", kSmdNotSmd, 0, "the file has no nodes"},
        // Endless lines and binary data are refused at their line, read no further.
        {"a line of 1 MiB and a byte", replaceLine(base, 12, std::string((1 << 20) + 1, 'm')), kSmdMalformed, 12, "longer than 1048576 bytes"},
        {"version 1, then an endless line", "version 1\n" + std::string(3 << 20, 'x'), kSmdMalformed, 2, "longer than 1048576 bytes"},
        {"a zero byte", replaceLine(base, 13, std::string("0 0 0 0 0 0 1 0 0 1 0 1\0", 24)), kSmdMalformed, 13, "zero byte"},
        {"zeros only", std::string(3 << 20, '\0'), kSmdNotSmd, 1, "zero byte: this is binary data"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name);
        SmdModelRecords model;
        expectRefusal(model.readReference(c.text, "bad.smd"), model.diagnostic, c, "bad.smd");
        // The converter, welding as it reads, refuses alike.
        Capture capture;
        FormatConverter converter;
        converter.smdModel = std::make_unique<SmdModelRecords>();
        EXPECT_NE(converter.readWeldedFromMemory(c.text, "bad.smd"), kSmdRead);
        EXPECT_EQ(converter.diagnostic.text(), model.diagnostic.text());
        EXPECT_EQ(model.meshCount, 0);
        EXPECT_FALSE(model.hasMesh);
        EXPECT_TRUE(model.meshes[0].triangles.empty() && model.meshes[0].nodes.empty());
        ASSERT_EQ(model.readReference(base, "good.smd"), kSmdRead) << model.diagnostic.text();
        EXPECT_EQ(model.meshCount, 1);
        EXPECT_TRUE(model.diagnostic.empty());
    }
}

TEST(MalformedSmdReference, SectionsEndedByTheEndOfTheFileLoad)
{
    SmdModelRecords model;
    // A triangles section that is there but empty is a model without a mesh.
    ASSERT_EQ(model.readReference("version 1\nnodes\n0 \"root\" -1\nend\ntriangles\n", "a.smd"), kSmdRead) << model.diagnostic.text();
    EXPECT_EQ(model.meshes[0].nodeCount, 1);
    EXPECT_EQ(model.meshes[0].triangleCount, 0);

    ASSERT_EQ(model.readReference(firstLines(kSmdReference, 15), "c.smd"), kSmdRead) << model.diagnostic.text();
    EXPECT_EQ(model.meshes[1].triangleCount, 1);
    EXPECT_EQ(model.meshCount, 2);
}

TEST(MalformedSmdReference, LongNamesOddBytesAndMegabyteLinesAreKeptWhole)
{
    const std::string longName(200, 'n');
    const std::string oddName = "\xff\xfe \xc0\x80 Bip01\x01";
    const std::string hugeMaterial(1 << 20, 'm');
    std::string text = replaceLine(kSmdReference, 3, "0 \"" + longName + "\" -1");
    text = replaceLine(text, 4, "1 \"" + oddName + "\" 0");
    text = replaceLine(text, 12, hugeMaterial);
    text = "// " + std::string((1 << 20) - 3, '/') + "\n" + text;  // a comment of the longest line before the header
    SmdModelRecords model;
    ASSERT_EQ(model.readReference(text, "models/long.smd"), kSmdRead) << model.diagnostic.text();
    EXPECT_EQ(model.meshes[0].nodes[0].name, longName);
    EXPECT_EQ(model.meshes[0].nodes[1].name, oddName);
    ASSERT_EQ(model.materialNames.size(), 1u);
    EXPECT_EQ(model.materialNames[0], hugeMaterial);
}

// Inputs the fuzzers once crashed on stay refused with their message.
TEST(MalformedSmdReference, FuzzFindingsStayRefused)
{
    // The first input the reference fuzzer crashed on: a node that is its
    // own parent ("-0"), then stray bytes where the skeleton would be.
    const std::string selfParent("version 1\nnodes\n0 \"blender_imp\x99""icit\" -0\n1 \"Bone\" -1\nend\nske.000000 0.000000 0.p00\x00""\x07""0 1\nno-1.000000 -1.000000   0 0 0\n1  2.000000 0.000000 0.000000  1.5707\xc6""\xc9""\xc8""\xcf""796 -0.000000 0.000000\nend\n", 185);
    SmdModelRecords model;
    EXPECT_EQ(model.readReference(selfParent, "found.smd"), kSmdMalformed);
    EXPECT_EQ(model.diagnostic.text(), "found.smd:6: the line holds a zero byte: this is binary data, not the text of a model file");
    // Without its zero byte the input still reaches the loop check.
    std::string withoutZero = selfParent;
    withoutZero[withoutZero.find('\0')] = '0';
    EXPECT_EQ(model.readReference(withoutZero, "found.smd"), kSmdMalformed);
    EXPECT_EQ(model.diagnostic.text(), "found.smd: the parents of node 0 form a loop");
    EXPECT_EQ(model.meshCount, 0);
}

TEST(MalformedSmdReference, A33rdMeshIsRefusedAndTheFirst32Stay)
{
    SmdModelRecords model;
    for (int i = 0; i < kModelSlots; ++i) ASSERT_EQ(model.readReference(kSmdReference, "m.smd"), kSmdRead);
    EXPECT_EQ(model.readReference(kSmdReference, "m33.smd"), kSmdNoFreeSlot);
    EXPECT_EQ(model.diagnostic.file, "m33.smd");
    EXPECT_NE(model.diagnostic.what.find("already holds 32 meshes"), std::string::npos) << model.diagnostic.text();
    EXPECT_EQ(model.meshCount, kModelSlots);
    EXPECT_EQ(model.meshes[31].triangleCount, 1);
}

// ---------------------------------------------------------------------------
// SMD animation

TEST(MalformedSmdAnimation, EveryBadFileIsRefusedAtItsLineAndTheModelStillLoads)
{
    const std::string base = kSmdAnimation;
    // Short node lines and "time" lines without bone lines ask for frame
    // tables hundreds of times the file's size.
    const std::string wide = [] {
        std::string text = "version 1\nnodes\n";
        for (int n = 0; n < 4000; ++n) text += std::to_string(n) + " \"\" -1\n";
        text += "end\nskeleton\n";
        for (int f = 0; f < 4000; ++f) text += "time " + std::to_string(f) + "\n";
        return text + "end\n";
    }();
    const std::vector<Refusal> cases = {
        {"empty file", "", kSmdNotSmd, 0, "the first line is not \"version 1\""},
        {"binary garbage", kGarbage, kSmdNotSmd, 1, "the first line is not \"version 1\""},
        {"header without number", replaceLine(base, 1, "version"), kSmdNotSmd, 1, "not \"version 1\""},
        // Without its "end" the nodes section runs to the skeleton's: no frame is left.
        {"nodes without end", removeLine(base, 5), kSmdMalformed, 11, "the file ends without a skeleton section"},
        {"cut in the nodes section", firstLines(base, 3) + "1 \"ar", kSmdMalformed, 4, "the file ends without a skeleton section"},
        {"a skeleton without frames", firstLines(base, 6) + "end\n", kSmdMalformed, 6,
         "the skeleton has no \"time\" line"},
        {"no nodes", removeLine(removeLine(base, 4), 3), kSmdMalformed, 0, "the file has no nodes"},
        {"time without number", replaceLine(base, 10, "time"), kSmdMalformed, 10, "a \"time\" line needs a frame number"},
        {"frame number beyond int32", replaceLine(base, 10, "time 99999999999"), kSmdMalformed, 10, "needs a frame number"},
        {"frame number nan", replaceLine(base, 10, "time nan"), kSmdMalformed, 10, "needs a frame number"},
        {"frame number repeated", replaceLine(base, 10, "time 0"), kSmdMalformed, 0, "neither distinct and below the frame count nor increasing"},
        {"frame numbers out of range and falling", replaceLine(replaceLine(base, 7, "time 5"), 10, "time 2"), kSmdMalformed, 0,
         "neither distinct"},
        {"bone of no node", replaceLine(base, 11, "2 0 0 11 0 0 0.5"), kSmdMalformed, 11, "node number 2 is outside 0 to 1"},
        {"bone number negative", replaceLine(base, 11, "-1 0 0 11 0 0 0.5"), kSmdMalformed, 11, "node number -1 is outside 0 to 1"},
        {"bone number beyond int32", replaceLine(base, 11, "4294967296 0 0 11 0 0 0.5"), kSmdMalformed, 11, "a bone line needs a node number"},
        {"bone line short", replaceLine(base, 11, "1 0 0 11"), kSmdMalformed, 11, "a bone line needs a node number and six numbers"},
        {"key nan", replaceLine(base, 11, "1 nan 0 11 0 0 0.5"), kSmdMalformed, 11, "not a finite number"},
        {"key 1e39", replaceLine(base, 8, "0 0 0 0 0 1e39 0"), kSmdMalformed, 8, "not a finite number"},
        {"node numbers 0 and 2", replaceLine(base, 4, "2 \"arm\" 0"), kSmdMalformed, 9, "node number 1 is not declared in the nodes section"},
        {"parent out of range", replaceLine(base, 4, "1 \"arm\" 5"), kSmdMalformed, 4, "parent number 5 is neither -1 nor a node number"},
        {"parents in a loop", replaceLine(base, 3, "0 \"root\" 1"), kSmdMalformed, 0, "the parents of node 0 form a loop"},
        {"nodes after the skeleton", joinLines({"version 1", "skeleton", "time 0", "0 0 0 0 0 0 0", "end", "nodes", "0 \"root\" -1", "end"}),
         kSmdMalformed, 6, "the nodes section must come before the skeleton"},
        {"two triangles", base + "triangles\nm\n0 0 0 0 0 0 1 0 0\n0 0 0 0 0 0 1 0 0\n0 0 0 0 0 0 1 0 0\nm\n0 0 0 0 0 0 1 0 0\n0 0 0 0 0 0 1 0 0\n0 0 0 0 0 0 1 0 0\nend\n",
         kSmdWrongKind, 0, "the file has 2 triangles; an animation has at most one"},
        {"frame tables far beyond the file", wide, kSmdMalformed, 0, "4000 frames of 4000 nodes are far more than a file of"},
        {"a zero byte", replaceLine(base, 11, std::string("1 0 0 11 0 0 0.5\0", 17)), kSmdMalformed, 11, "zero byte"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name);
        SmdModelRecords model;
        expectRefusal(model.readAnimation(c.text, "bad.smd"), model.diagnostic, c, "bad.smd");
        // The converter's read into keys refuses alike.
        SmdModelRecords keysModel;
        AnimationKeys keys;
        LineCursor lines(c.text);
        expectRefusal(keysModel.readAnimationKeys(lines, "bad.smd", keys), keysModel.diagnostic, c, "bad.smd");
        EXPECT_TRUE(keys.values.empty());
        EXPECT_EQ(model.animationCount, 0);
        EXPECT_FALSE(model.hasAnimation);
        EXPECT_FALSE(model.animations[0].hasFrames());
        ASSERT_EQ(model.readAnimation(base, "good.smd"), kSmdRead) << model.diagnostic.text();
        EXPECT_EQ(model.animationCount, 1);
    }
}

TEST(MalformedSmdAnimation, OddButReadableFilesLoadAsStated)
{
    SmdModelRecords model;
    // The skeleton ended by the end of the file.
    ASSERT_EQ(model.readAnimation(firstLines(kSmdAnimation, 11), "a.smd"), kSmdRead) << model.diagnostic.text();
    EXPECT_EQ(model.animations[0].frameCount, 2);
    // Frame numbers that are not below the count but rise are renumbered by order.
    const std::string renumbered = replaceLine(replaceLine(replaceLine(kSmdAnimation, 7, "time -5"), 8, "0 0 0 5 0 0 0"), 10, "time 40");
    ASSERT_EQ(model.readAnimation(renumbered, "b.smd"), kSmdRead) << model.diagnostic.text();
    EXPECT_EQ(model.animations[1].frame(1)[1].position[2], 11.0f);
    // A bone the second block leaves out keeps the first block's values.
    EXPECT_EQ(model.animations[1].frame(1)[0].position[2], 5.0f);
    EXPECT_EQ(model.animationCount, 2);
    // Blocks out of order: a bone a frame leaves out holds the frame before's
    // pose, not the block before's, in the viewer's tables and the converter's keys.
    const std::string shuffled = joinLines({"version 1", "nodes", "0 \"root\" -1", "1 \"arm\" 0", "end", "skeleton", "time 0", "0 0 0 0 0 0 0",
                                            "1 0 0 10 0 0 0", "time 2", "0 0 0 2 0 0 0", "time 1", "1 0 0 11 0 0 0.5", "end"});
    ASSERT_EQ(model.readAnimation(shuffled, "d.smd"), kSmdRead) << model.diagnostic.text();
    const SmdAnimation& drawn = model.animations[2];
    EXPECT_EQ(drawn.frame(1)[0].position[2], 0.0f);
    EXPECT_EQ(drawn.frame(2)[1].position[2], 11.0f);
    EXPECT_EQ(drawn.frame(2)[1].rotation[2], 0.5f);
    EXPECT_EQ(drawn.frame(2)[1].localMatrix.m[3][2], 11.0f);
    SmdModelRecords keysModel;
    AnimationKeys keys;
    LineCursor lines(shuffled);
    ASSERT_EQ(keysModel.readAnimationKeys(lines, "d.smd", keys), kSmdRead) << keysModel.diagnostic.text();
    EXPECT_EQ(keys.key(1, 0)[2], 0.0f);
    EXPECT_EQ(keys.key(2, 1)[2], 11.0f);
    EXPECT_EQ(keys.key(2, 1)[5], 0.5f);
}

TEST(MalformedSmdAnimation, A33rdAnimationIsRefusedAndTheFirst32Stay)
{
    SmdModelRecords model;
    for (int i = 0; i < kModelSlots; ++i) ASSERT_EQ(model.readAnimation(kSmdAnimation, "a.smd"), kSmdRead);
    EXPECT_EQ(model.readAnimation(kSmdAnimation, "a33.smd"), kSmdNoFreeSlot);
    EXPECT_EQ(model.diagnostic.file, "a33.smd");
    EXPECT_NE(model.diagnostic.what.find("already holds 32 animations"), std::string::npos) << model.diagnostic.text();
    EXPECT_EQ(model.animationCount, kModelSlots);
    EXPECT_EQ(model.animations[31].frameCount, 2);
}

// ---------------------------------------------------------------------------
// mRef

TEST(MalformedMRef, EveryBadFileIsRefusedAtItsLineAndTheModelStillLoads)
{
    const std::string base = kMRef;
    const std::vector<Refusal> cases = {
        {"empty file", "", kEngineNotOurFile, 1, "the first line is not \"version 1\""},
        {"binary garbage", kGarbage, kEngineNotOurFile, 1, "the first line is not \"version 1\""},
        {"header without number", replaceLine(base, 1, "version"), kEngineNotOurFile, 1, "not \"version 1\""},
        {"an animation's second line", replaceLine(base, 2, "ani"), kEngineWrongKind, 2, "the second line is not \"ref\""},
        {"header cut short", firstLines(base, 4), kEngineMalformed, 5, "the file ends in its header"},
        // Counts are weighed against the lines that follow before anything is allocated.
        {"vertex 2000000000", replaceLine(base, 5, "vertex 2000000000"), kEngineMalformed, 0,
         "the header counts need 2000000005 lines but 17 follow"},
        {"node 2000000000", replaceLine(base, 4, "node 2000000000"), kEngineMalformed, 0, "the header counts need 4000000004 lines"},
        {"index 2147483647", replaceLine(base, 6, "index 2147483647"), kEngineMalformed, 0, "lines but 17 follow"},
        {"count negative", replaceLine(base, 4, "node -1"), kEngineMalformed, 4, "a count cannot be negative"},
        {"count beyond int32", replaceLine(base, 5, "vertex 99999999999"), kEngineMalformed, 5, "is beyond int32"},
        {"count nan", replaceLine(base, 4, "node nan"), kEngineMalformed, 4, "a header line needs a word and a number"},
        // A section without "end" takes the next section's lines for its own.
        {"nodes without end", removeLine(base, 10), kEngineMalformed, 10, "more node lines than the node line says (2)"},
        {"skeleton without end", removeLine(base, 15), kEngineMalformed, 15, "more bone lines than the node line says (2)"},
        {"vertices without end", removeLine(base, 20), kEngineMalformed, 20, "more vertex lines than the vertex line says (3)"},
        {"fewer node lines than the header", replaceLine(base, 4, "node 3"), kEngineMalformed, 0,
         "the nodes section has 2 lines but the node line says 3"},
        {"more node lines than the header", replaceLine(base, 4, "node 1"), kEngineMalformed, 9, "more node lines than the node line says (1)"},
        {"fewer vertex lines than the header", replaceLine(base, 5, "vertex 4"), kEngineMalformed, 0,
         "the vertices section has 3 lines but the vertex line says 4"},
        {"more vertex lines than the header", replaceLine(base, 5, "vertex 2"), kEngineMalformed, 19, "more vertex lines than the vertex line says (2)"},
        {"fewer index lines than the header", replaceLine(base, 6, "index 2"), kEngineMalformed, 0,
         "the indices section has 1 lines but the index line says 2"},
        {"more index lines than the header", insertAfter(base, 22, "2 1 0"), kEngineMalformed, 23, "more index lines than the index line says (1)"},
        {"node number out of range", replaceLine(base, 9, "2 \"arm\" 0"), kEngineMalformed, 9, "node number 2 is outside 0 to 1"},
        {"node number negative", replaceLine(base, 9, "-1 \"arm\" 0"), kEngineMalformed, 9, "node number -1 is outside 0 to 1"},
        {"parent out of range", replaceLine(base, 9, "1 \"arm\" 2"), kEngineMalformed, 9, "parent number 2 is neither -1 nor a node number"},
        {"bone of no node", replaceLine(base, 14, "  2 0 0 10 0 0 0"), kEngineMalformed, 14, "node number 2 is outside 0 to 1"},
        {"bone position inf", replaceLine(base, 14, "  1 0 0 inf 0 0 0"), kEngineMalformed, 14, "not a finite number"},
        {"vertex normal nan", replaceLine(base, 17, "0 0 0 0 0 nan 1 0 0 1 0 1"), kEngineMalformed, 17, "not a finite number"},
        {"vertex position 1e39", replaceLine(base, 19, "1 0 -1e39 0 0 0 1 0 1 1 1 1"), kEngineMalformed, 19, "not a finite number"},
        {"link weight nan", replaceLine(base, 18, "1 1 0 0 0 0 1 1 0 2 0 nan 1 0.5"), kEngineMalformed, 18, "not a finite number"},
        {"vertex parent out of range", replaceLine(base, 17, "2 0 0 0 0 0 1 0 0 1 0 1"), kEngineMalformed, 17, "parent bone 2 is not a node number"},
        {"link count 17", replaceLine(base, 17, "0 0 0 0 0 0 1 0 0 17 0 1"), kEngineMalformed, 17, "the link count must be 0 to 16"},
        {"link count -1", replaceLine(base, 17, "0 0 0 0 0 0 1 0 0 -1 0 1"), kEngineMalformed, 17, "the link count must be 0 to 16"},
        {"link count nan", replaceLine(base, 17, "0 0 0 0 0 0 1 0 0 nan 0 1"), kEngineMalformed, 17, "the link count must be 0 to 16"},
        {"link bone out of range", replaceLine(base, 18, "1 1 0 0 0 0 1 1 0 2 0 0.5 2 0.5"), kEngineMalformed, 18, "link bone 2 is not a node number"},
        {"link bone negative", replaceLine(base, 18, "1 1 0 0 0 0 1 1 0 2 -1 0.5 1 0.5"), kEngineMalformed, 18, "link bone -1 is not a node number"},
        {"link bone beyond int32", replaceLine(base, 18, "1 1 0 0 0 0 1 1 0 2 0 0.5 4294967296 0.5"), kEngineMalformed, 18,
         "a link bone number is far out of range"},
        {"fewer links than the count", replaceLine(base, 18, "1 1 0 0 0 0 1 1 0 2 0 0.5"), kEngineMalformed, 18,
         "the link count is 2 but 1 bone and weight pairs follow"},
        {"index out of range", replaceLine(base, 22, "0 1 3"), kEngineMalformed, 22, "vertex number 3 is outside 0 to 2"},
        {"index negative", replaceLine(base, 22, "0 -1 2"), kEngineMalformed, 22, "vertex number -1 is outside 0 to 2"},
        {"index beyond int32", replaceLine(base, 22, "0 1 4294967296"), kEngineMalformed, 22, "an index line needs three vertex numbers"},
        {"parents in a loop", replaceLine(base, 8, "0 \"Bip01\" 1"), kEngineMalformed, 0, "the parents of node 0 form a loop"},
        {"a second nodes section", insertAfter(base, 20, "nodes\n0 \"x\" -1\nend"), kEngineMalformed, 21, "a second nodes section"},
        {"a zero byte", replaceLine(base, 18, std::string("1 1 0 0 0 0 1 1 0 2 0 0.5 1\0 0.5", 32)), kEngineMalformed, 18, "zero byte"},
        {"zeros only", std::string(3 << 20, '\0'), kEngineNotOurFile, 1, "zero byte"},
        {"an endless second line", "version 1\n" + std::string(3 << 20, 'r'), kEngineMalformed, 2, "longer than 1048576 bytes"},
        {"a line too long after the last section", base + std::string((1 << 20) + 1, ' '), kEngineMalformed, 24, "longer than"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name);
        EngineModelRecords model;
        expectRefusal(model.readReference(c.text, "bad.mRef"), model.diagnostic, c, "bad.mRef");
        EXPECT_EQ(model.meshCount, 0);
        EXPECT_FALSE(model.hasMesh);
        EXPECT_TRUE(model.meshes[0].vertices.empty() && model.meshes[0].nodes.empty());
        ASSERT_EQ(model.readReference(base, "good.mRef"), kEngineRead) << model.diagnostic.text();
        EXPECT_EQ(model.meshCount, 1);
    }
}

TEST(MalformedMRef, OddButReadableFilesLoadAsStated)
{
    // Indices ended by the end of the file.
    EngineModelRecords cut;
    ASSERT_EQ(cut.readReference(firstLines(kMRef, 22), "cut.mRef"), kEngineRead) << cut.diagnostic.text();
    EXPECT_EQ(cut.meshes[0].triangles.size(), 1u);

    // A 200-character name, bytes that are no UTF-8 and a megabyte texture name are kept whole.
    const std::string longName(200, 'n');
    const std::string oddName = "\xff\xfe \xc0\x80 Bip01";
    const std::string hugeTexture(1 << 20, 't');
    std::string names = replaceLine(kMRef, 8, "0 \"" + longName + "\" -1");
    names = replaceLine(names, 9, "1 \"" + oddName + "\" 0");
    names = replaceLine(names, 3, hugeTexture);
    EngineModelRecords named;
    named.modelDirectory = "models/";
    ASSERT_EQ(named.readReference(names, "models/named.mRef"), kEngineRead) << named.diagnostic.text();
    EXPECT_EQ(named.meshes[0].nodes[0].name, longName);
    EXPECT_EQ(named.meshes[0].nodes[1].name, oddName);
    EXPECT_EQ(named.textureName, hugeTexture);
    EXPECT_EQ(named.meshes[0].texturePath, "models/" + hugeTexture);
}

TEST(MalformedMRef, A33rdMeshIsRefused)
{
    EngineModelRecords model;
    for (int i = 0; i < kModelSlots; ++i) ASSERT_EQ(model.readReference(kMRef, "m.mRef"), kEngineRead);
    EXPECT_EQ(model.readReference(kMRef, "m33.mRef"), kEngineNoFreeSlot);
    EXPECT_NE(model.diagnostic.what.find("already holds 32 meshes"), std::string::npos) << model.diagnostic.text();
    EXPECT_EQ(model.meshCount, kModelSlots);
}

// ---------------------------------------------------------------------------
// mAni, read onto a model of two nodes that already plays kMAni

void expectFirstAnimationKept(const EngineModelRecords& model)
{
    EXPECT_EQ(model.animationCount, 1);
    const EngineAnimation& a = model.animations[0];
    ASSERT_TRUE(a.hasFrames());
    EXPECT_EQ(a.frameCount, 2);
    EXPECT_EQ(a.nodeCount, 2);
    EXPECT_EQ(a.frame(1)[0].position[2], 1.0f);
    EXPECT_EQ(a.frame(1)[1].name, "arm");
}

TEST(MalformedMAni, EveryBadFileIsRefusedAtItsLineAndTheEarlierAnimationStays)
{
    const std::string base = kMAni;
    const std::vector<Refusal> cases = {
        {"empty file", "", kEngineNotOurFile, 1, "the first line is not \"version 1\""},
        {"binary garbage", kGarbage, kEngineNotOurFile, 1, "the first line is not \"version 1\""},
        {"header without number", replaceLine(base, 1, "version"), kEngineNotOurFile, 1, "not \"version 1\""},
        {"a reference's second line", replaceLine(base, 2, "ref"), kEngineWrongKind, 2, "the second line is not \"ani\""},
        {"node count differs", replaceLine(base, 3, "node 3"), kEngineNodeCountDiffers, 3, "the node line says 3 but the model has 2 nodes"},
        {"node line without number", replaceLine(base, 3, "node"), kEngineNodeCountDiffers, 3, "the node line says nothing"},
        {"node count beyond int32", replaceLine(base, 3, "node 4294967298"), kEngineNodeCountDiffers, 3, "the node line says nothing"},
        {"frame count 0", replaceLine(base, 4, "time 0"), kEngineMalformed, 4, "the frame count must be at least 1"},
        {"frame count -1", replaceLine(base, 4, "time -1"), kEngineMalformed, 4, "the frame count must be at least 1"},
        {"frame count beyond int32", replaceLine(base, 4, "time 99999999999"), kEngineMalformed, 4, "the fourth line needs a frame count"},
        {"frame count nan", replaceLine(base, 4, "time nan"), kEngineMalformed, 4, "the fourth line needs a frame count"},
        {"time 2000000000", replaceLine(base, 4, "time 2000000000"), kEngineMalformed, 4,
         "2000000000 frames of 2 nodes need 6000000000 lines but 12 follow"},
        {"nodes without end", removeLine(base, 8), kEngineMalformed, 8, "more node lines than the node line says (2)"},
        {"fewer node lines than the header", removeLine(base, 7), kEngineMalformed, 0, "the nodes section has 1 lines but the node line says 2"},
        {"frame number out of range", replaceLine(base, 13, "time 2"), kEngineMalformed, 13, "the frame number must be 0 to 1"},
        {"frame number negative", replaceLine(base, 13, "time -1"), kEngineMalformed, 13, "the frame number must be 0 to 1"},
        {"frame number beyond int32", replaceLine(base, 13, "time 4294967296"), kEngineMalformed, 13, "the frame number must be 0 to 1"},
        {"frame given twice", replaceLine(base, 13, "time 0"), kEngineMalformed, 13, "frame 0 is given twice"},
        {"frame block short", removeLine(base, 15), kEngineMalformed, 15, "frame 1 has 1 bone lines; the node line says 2"},
        {"more frames than the count", replaceLine(base, 4, "time 1"), kEngineMalformed, 13, "the frame number must be 0 to 0"},
        {"fewer frames than the count", replaceLine(base, 4, "time 3"), kEngineMalformed, 0, "the skeleton has 2 frames but the fourth line says 3"},
        {"a line that is no time line", insertAfter(base, 9, "junk"), kEngineMalformed, 10, "a frame starts with a \"time\" line"},
        {"bone of no node", replaceLine(base, 12, "2 0 0 10 0 0 0"), kEngineMalformed, 12, "node number 2 is outside 0 to 1"},
        {"bone number negative", replaceLine(base, 12, "-1 0 0 10 0 0 0"), kEngineMalformed, 12, "node number -1 is outside 0 to 1"},
        {"key nan", replaceLine(base, 15, "1 nan 0 10 0 0.5 0"), kEngineMalformed, 15, "not a finite number"},
        {"key -1e39", replaceLine(base, 14, "0 0 0 1 -1e39 0 0"), kEngineMalformed, 14, "not a finite number"},
        {"node number out of range", replaceLine(base, 7, "2 \"arm\" 0"), kEngineMalformed, 7, "node number 2 is outside 0 to 1"},
        {"parent out of range", replaceLine(base, 7, "1 \"arm\" 2"), kEngineMalformed, 7, "parent number 2 is neither -1 nor a node number"},
        {"parents in a loop", replaceLine(base, 6, "0 \"Bip01\" 1"), kEngineMalformed, 0, "the parents of node 0 form a loop"},
        {"a line too long", replaceLine(base, 14, std::string((1 << 20) + 1, '0')), kEngineMalformed, 14, "longer than 1048576 bytes"},
        {"a zero byte in the node line", replaceLine(base, 3, std::string("node 2\0", 7)), kEngineMalformed, 3, "zero byte"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name);
        EngineModelRecords model;
        model.nodeCount = 2;
        ASSERT_EQ(model.readAnimation(base, "good.mAni"), kEngineRead) << model.diagnostic.text();
        expectRefusal(model.readAnimation(c.text, "bad.mAni"), model.diagnostic, c, "bad.mAni");
        expectFirstAnimationKept(model);
    }
}

TEST(MalformedMAni, OddButReadableFilesLoadAsStated)
{
    EngineModelRecords model;
    model.nodeCount = 2;
    // The skeleton ended by the end of the file.
    ASSERT_EQ(model.readAnimation(firstLines(kMAni, 15), "cut.mAni"), kEngineRead) << model.diagnostic.text();
    EXPECT_EQ(model.animations[0].frameCount, 2);
    // Blocks stored by their own numbers, wherever they stand.
    const std::string swapped = joinLines({"version 1", "ani", "node 2", "time 2", "nodes", "0 \"a\" -1", "1 \"b\" 0", "end", "skeleton", "time 1",
                                           "0 0 0 7 0 0 0", "1 0 0 0 0 0 0", "time 0", "0 0 0 3 0 0 0", "1 0 0 0 0 0 0", "end"});
    ASSERT_EQ(model.readAnimation(swapped, "swapped.mAni"), kEngineRead) << model.diagnostic.text();
    EXPECT_EQ(model.animations[0].frame(0)[0].position[2], 3.0f);
    EXPECT_EQ(model.animations[0].frame(1)[0].position[2], 7.0f);
    // Names kept as bytes.
    const std::string odd = replaceLine(kMAni, 7, "1 \"" + std::string(200, 'n') + "\xff\xfe\" 0");
    ASSERT_EQ(model.readAnimation(odd, "odd.mAni"), kEngineRead) << model.diagnostic.text();
    const SkeletonNode& node = model.animations[0].frame(1)[1];
    EXPECT_EQ(node.name, std::string(200, 'n') + "\xff\xfe");
}

TEST(MalformedMAni, AModelWithoutNodesTakesNoAnimation)
{
    EngineModelRecords model;
    const EngineReadResult r = model.readAnimation(replaceLine(kMAni, 3, "node 0"), "zero.mAni");
    EXPECT_EQ(r, kEngineMalformed);
    EXPECT_EQ(model.diagnostic.line, 3);
    EXPECT_NE(model.diagnostic.what.find("the model has no nodes to animate"), std::string::npos) << model.diagnostic.text();
    EXPECT_EQ(model.animationCount, 0);
}

TEST(MalformedMAni, AnAnimationOfAnotherSkeletonShowsItsBoxAndKeepsTheAnimation)
{
    Capture capture;
    EngineModelRecords model;
    ASSERT_TRUE(model.loadReferenceFromMemory(kMRef, "hero.mRef")) << model.diagnostic.text();
    ASSERT_TRUE(model.loadAnimationFromMemory(kMAni, "walk.mAni")) << model.diagnostic.text();
    const std::string foreign = replaceLine(replaceLine(kMAni, 6, "0 \"tail\" -1"), 7, "1 \"wing\" 0");
    EXPECT_FALSE(model.loadAnimationFromMemory(foreign, "bat.mAni"));
    EXPECT_EQ(model.readAnimation(foreign, "bat.mAni"), kEngineNodeCountDiffers);
    ASSERT_EQ(capture.shell.boxes.size(), 1u);
    EXPECT_EQ(capture.shell.boxes[0].text,
              "Node 개수가 다릅니다!!\nbat.mAni: only 0 of the model's 2 nodes have a node of the same name in the animation; at least half must");
    expectFirstAnimationKept(model);
}

// ---------------------------------------------------------------------------
// Files from other systems and editors: lines ended by a lone "\r" (old Mac
// exports) or by "\r\n", and a UTF-8 byte-order mark before the first line,
// read as the plain file does.

TEST(MalformedLineEnds, LoneReturnsWindowsLineEndsAndAByteOrderMarkReadAsThePlainFile)
{
    const auto variants = [](const std::string& text) {
        std::string lone = text, pairs;
        std::replace(lone.begin(), lone.end(), '\n', '\r');
        for (char c : text) pairs += c == '\n' ? std::string("\r\n") : std::string(1, c);
        return std::vector<std::pair<std::string, std::string>>{
            {"lone CR", lone}, {"CR LF", pairs}, {"mark", "\xEF\xBB\xBF" + text}, {"mark, lone CR", "\xEF\xBB\xBF" + lone}};
    };
    for (const auto& [name, text] : variants(kSmdReference)) {
        SCOPED_TRACE("SMD reference, " + name);
        SmdModelRecords model;
        ASSERT_EQ(model.readReference(text, "a.smd"), kSmdRead) << model.diagnostic.text();
        EXPECT_EQ(model.meshes[0].nodes[1].name, "arm");
        EXPECT_EQ(model.meshes[0].triangleCount, 1);
        EXPECT_EQ(model.materialNames.at(0), "skin.bmp");
    }
    for (const auto& [name, text] : variants(kSmdAnimation)) {
        SCOPED_TRACE("SMD animation, " + name);
        SmdModelRecords model;
        ASSERT_EQ(model.readAnimation(text, "a.smd"), kSmdRead) << model.diagnostic.text();
        EXPECT_EQ(model.animations[0].frameCount, 2);
        EXPECT_EQ(model.animations[0].frame(1)[1].rotation[2], 0.5f);
    }
    for (const auto& [name, text] : variants(kMRef)) {
        SCOPED_TRACE("mRef, " + name);
        EngineModelRecords model;
        ASSERT_EQ(model.readReference(text, "a.mRef"), kEngineRead) << model.diagnostic.text();
        EXPECT_EQ(model.textureName, "skin.bmp");
        EXPECT_EQ(model.meshes[0].triangles.size(), 1u);
    }
    for (const auto& [name, text] : variants(kMAni)) {
        SCOPED_TRACE("mAni, " + name);
        EngineModelRecords model;
        model.nodeCount = 2;
        ASSERT_EQ(model.readAnimation(text, "a.mAni"), kEngineRead) << model.diagnostic.text();
        EXPECT_EQ(model.animations[0].frame(1)[0].position[2], 1.0f);
    }
}

// ---------------------------------------------------------------------------
// Paths that are no readable file: false, no box, the reason in the diagnostic.

struct PathLoad {
    const char* reader;
    std::function<bool(const std::string&, Diagnostic&)> load;
};

std::vector<PathLoad> pathLoads()
{
    return {
        {"SMD reference", [](const std::string& p, Diagnostic& d) { SmdModelRecords m; const bool ok = m.loadReference(p); d = m.diagnostic; return ok; }},
        {"SMD animation", [](const std::string& p, Diagnostic& d) { SmdModelRecords m; const bool ok = m.loadAnimation(p); d = m.diagnostic; return ok; }},
        {"mRef", [](const std::string& p, Diagnostic& d) { EngineModelRecords m; const bool ok = m.loadReference(p); d = m.diagnostic; return ok; }},
        {"mAni", [](const std::string& p, Diagnostic& d) { EngineModelRecords m; const bool ok = m.loadAnimation(p); d = m.diagnostic; return ok; }},
    };
}

void expectUnreadable(const std::string& path, const std::string& reason)
{
    Capture capture;
    for (const PathLoad& l : pathLoads()) {
        SCOPED_TRACE(l.reader);
        Diagnostic d;
        EXPECT_FALSE(l.load(path, d));
        EXPECT_EQ(d.file, path);
        EXPECT_EQ(d.line, 0);
        EXPECT_EQ(d.what, "cannot open: " + reason);
    }
    EXPECT_TRUE(capture.shell.boxes.empty());
}

TEST(MalformedPaths, ADirectoryAMissingFileAndAFifoAreNotOpenedAsModels)
{
    TempDir dir;
    expectUnreadable(utf8FromPath(dir.path()), "is a directory");
    expectUnreadable(dir.file("missing.smd"), "No such file or directory");
    // Opening a pipe for reading waits for a writer; the readers must not.
    if (test::kNamedPipes) {
        ASSERT_TRUE(test::makeNamedPipe(dir.file("pipe.smd")));
        expectUnreadable(dir.file("pipe.smd"), "is not a regular file");
    }
}

TEST(MalformedPaths, AFileWithoutReadPermissionIsNotOpened)
{
    TempDir dir;
    writeText(dir.file("locked.smd"), kSmdReference);
    if (!test::denyReading(dir.file("locked.smd"))) GTEST_SKIP() << "this user reads files without read permission (root, or on Windows); case skipped";
    expectUnreadable(dir.file("locked.smd"), "Permission denied");
}

// ---------------------------------------------------------------------------
// Nothing lost: conversions that fail leave the folder as it was.

std::vector<std::string> folderListing(const std::filesystem::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(MalformedConversion, ARefusedSourceLeavesTheEarlierOutputAndNoOtherFile)
{
    Capture capture;
    TempDir dir;
    writeText(dir.file("hero.smd"), kSmdReference);
    writeText(dir.file("walk.smd"), kSmdAnimation);
    {
        FormatConverter converter;
        ASSERT_TRUE(converter.convertReference(dir.file("hero.smd"))) << converter.diagnostic.text();
        ASSERT_TRUE(converter.convertAnimation(dir.file("walk.smd"))) << converter.diagnostic.text();
    }
    const std::string mref = readText(dir.file("hero.mRef"));
    const std::string mani = readText(dir.file("walk.mAni"));
    const auto before = folderListing(dir.path());

    writeText(dir.file("hero.smd"), replaceLine(kSmdReference, 14, "1 1 0 0 0 0 1 1 0 2 0 0.5 9 0.5"));
    writeText(dir.file("walk.smd"), replaceLine(kSmdAnimation, 10, "time 0"));
    FormatConverter converter;
    EXPECT_FALSE(converter.convertReference(dir.file("hero.smd")));
    EXPECT_EQ(converter.diagnostic.text(), dir.file("hero.smd") + ":14: link bone 9 is not a node number");
    EXPECT_FALSE(converter.convertAnimation(dir.file("walk.smd")));
    EXPECT_EQ(converter.diagnostic.line, 0);
    EXPECT_NE(converter.diagnostic.what.find("neither distinct"), std::string::npos) << converter.diagnostic.text();

    EXPECT_EQ(folderListing(dir.path()), before);
    EXPECT_EQ(readText(dir.file("hero.mRef")), mref);
    EXPECT_EQ(readText(dir.file("walk.mAni")), mani);
}

TEST(MalformedConversion, AnOutputThatCannotBeReplacedFailsClearlyAndLeavesNoTemporaryFile)
{
    Capture capture;
    TempDir dir;
    writeText(dir.file("hero.smd"), kSmdReference);
    // A folder where the output would go: no user, root included, can rename a file over it.
    std::filesystem::create_directory(dir.file("hero.mRef"));
    FormatConverter converter;
    EXPECT_FALSE(converter.convertReference(dir.file("hero.smd")));
    EXPECT_EQ(converter.diagnostic.file, dir.file("hero.mRef"));
    EXPECT_EQ(converter.diagnostic.what.rfind("cannot replace the file: ", 0), 0u) << converter.diagnostic.text();
    EXPECT_EQ(folderListing(dir.path()), (std::vector<std::string>{"hero.mRef", "hero.smd"}));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("hero.mRef")));
}

TEST(MalformedConversion, AnUnwritableFolderFailsClearly)
{
    Capture capture;
    TempDir dir;
    writeText(dir.file("hero.smd"), kSmdReference);
    const std::string folder = utf8FromPath(dir.path());
    if (!test::denyWriting(folder)) GTEST_SKIP() << "this user writes into read-only folders (root, or on Windows); case skipped";
    FormatConverter converter;
    EXPECT_FALSE(converter.convertReference(dir.file("hero.smd")));
    EXPECT_EQ(converter.diagnostic.file, dir.file("hero.mRef"));
    EXPECT_EQ(converter.diagnostic.what, "cannot create a file in that folder: Permission denied");
    test::allowWriting(folder);
    EXPECT_EQ(folderListing(dir.path()), (std::vector<std::string>{"hero.smd"}));
}

TEST(MalformedConversion, TheSourceIsNeverTheOutput)
{
    Capture capture;
    TempDir dir;
    writeText(dir.file("x.mRef"), kSmdReference);
    writeText(dir.file("y.mAni"), kSmdAnimation);
    FormatConverter converter;
    EXPECT_FALSE(converter.convertReference(dir.file("x.mRef")));
    EXPECT_NE(converter.diagnostic.what.find("would overwrite the source file"), std::string::npos) << converter.diagnostic.text();
    EXPECT_FALSE(converter.convertAnimation(dir.file("y.mAni")));
    EXPECT_NE(converter.diagnostic.what.find("would overwrite the source file"), std::string::npos) << converter.diagnostic.text();
    EXPECT_EQ(readText(dir.file("x.mRef")), kSmdReference);
    EXPECT_EQ(readText(dir.file("y.mAni")), kSmdAnimation);
    EXPECT_EQ(folderListing(dir.path()), (std::vector<std::string>{"x.mRef", "y.mAni"}));
}

// ---------------------------------------------------------------------------
// glTF: the export of the reference and animation above, one thing broken in
// its JSON (or its bytes); a refusal names the JSON place instead of a line.

std::uint32_t le32(const std::string& bytes, std::size_t at)
{
    std::uint32_t v = 0;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

std::string le32Bytes(std::uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

// The .glb with its JSON chunk changed by edit, its BIN chunk as it was.
std::string editGlb(const std::string& glb, const std::function<void(nlohmann::json&)>& edit)
{
    const std::uint32_t length = le32(glb, 12);
    nlohmann::json json = nlohmann::json::parse(glb.substr(20, length));
    edit(json);
    std::string text = json.dump();
    while (text.size() % 4) text += ' ';
    const std::string rest = glb.substr(20 + length);
    return "glTF" + le32Bytes(2) + le32Bytes(static_cast<std::uint32_t>(20 + text.size() + rest.size())) +
           le32Bytes(static_cast<std::uint32_t>(text.size())) + "JSON" + text + rest;
}

struct GltfRefusal {
    const char* name;
    std::string bytes;
    std::string place;    // the JSON place the refusal starts with; empty for none
    std::string phrase;   // part of what it says
};

TEST(MalformedGltf, EveryBadFileIsRefusedAtItsJsonPlaceAndTheModelStillLoads)
{
    Capture capture;
    TempDir dir;
    writeText(dir.file("ref.smd"), kSmdReference);
    writeText(dir.file("walk.smd"), kSmdAnimation);
    ASSERT_TRUE(exportGltf({dir.file("ref.smd"), {dir.file("walk.smd")}, dir.file("good.glb"), {}}).written);
    const std::string good = readText(dir.file("good.glb"));
    using Json = nlohmann::json;
    const auto edit = [&](const std::function<void(Json&)>& change) { return editGlb(good, change); };
    const std::string position = "/meshes/0/primitives/0/attributes/POSITION";
    const std::vector<GltfRefusal> cases = {
        {"a joint beyond the skin", edit([](Json& j) { j["skins"][0]["joints"] = {0}; }), "/meshes/0/primitives/0/attributes/JOINTS_0",
         "index 1 beyond 1 joints"},
        {"a joint listed twice", edit([](Json& j) { j["skins"][0]["joints"] = {0, 0}; }), "/skins/0/joints/1", "node 0 is listed twice"},
        {"indices beyond the accessors", edit([](Json& j) { j["meshes"][0]["primitives"][0]["indices"] = 99; }), "/meshes/0/primitives/0/indices",
         "index 99 beyond"},
        {"a name that is a number", edit([](Json& j) { j["nodes"][0]["name"] = 5; }), "/nodes/0/name", "must be a string"},
        {"an index of -1", edit([](Json& j) { j["nodes"][0]["children"] = {-1}; }), "/nodes/0/children/0", "must be an index into nodes"},
        {"glTF 1.0", edit([](Json& j) { j["asset"]["version"] = "1.0"; }), "/asset/version", "glTF 2.0 is read"},
        {"children in a loop", edit([](Json& j) { j["nodes"][1]["children"] = {0}; }), "/nodes/1/children/0", "the children form a loop"},
        {"a node with two parents", edit([](Json& j) { j["nodes"][2]["children"] = {1}; }), "/nodes/2/children/0", "already a child of node 0"},
        {"more elements than the view holds", edit([&](Json& j) { j["accessors"][j["meshes"][0]["primitives"][0]["attributes"]["POSITION"].get<int>()]["count"] = 1000; }),
         position, "need"},
        {"a view beyond its buffer", edit([](Json& j) { j["bufferViews"][0]["byteLength"] = 1 << 20; }), "/bufferViews/0", "lie beyond the"},
        {"a buffer longer than the BIN chunk", edit([](Json& j) { j["buffers"][0]["byteLength"] = j["buffers"][0]["byteLength"].get<int>() + 4; }),
         "/buffers/0/byteLength", "the BIN chunk holds"},
        {"a buffer file that is not there", edit([](Json& j) { j["buffers"][0]["uri"] = "gone.bin"; }), "/buffers/0/uri", "cannot open"},
        {"an unknown interpolation", edit([](Json& j) { j["animations"][0]["samplers"][0]["interpolation"] = "CUBIC"; }),
         "/animations/0/samplers/0/interpolation", "is not LINEAR, STEP or CUBICSPLINE"},
        {"keys of the wrong type", edit([](Json& j) { j["animations"][0]["samplers"][0]["output"] = j["animations"][0]["samplers"][0]["input"]; }),
         "/animations/0/samplers/0/output", "is SCALAR where VEC3 is needed"},
        {"a channel's sampler beyond", edit([](Json& j) { j["animations"][0]["channels"][0]["sampler"] = 99; }), "/animations/0/channels/0/sampler",
         "index 99 beyond"},
        {"a rotation of length 0", edit([](Json& j) { j["nodes"][0]["rotation"] = {0, 0, 0, 0}; }), "/nodes/0/rotation", "no rotation"},
        {"a compressed mesh", edit([](Json& j) { j["extensionsRequired"] = {"KHR_draco_mesh_compression"}; }), "/extensionsRequired/0", "not read"},
        {"a scene without nodes", edit([](Json& j) { j["scenes"][0]["nodes"] = Json::array(); }), "/scenes/0", "the scene holds no nodes"},
        {"cut short", good.substr(0, good.size() - 8), "", "the header gives a length of"},
        {"a BIN chunk past the end", good.substr(0, 8) + le32Bytes(static_cast<std::uint32_t>(good.size() - 8)) + good.substr(12, good.size() - 20), "",
         "runs past the end of the file"},
        {"not JSON", "{ \"asset\": ", "", "the JSON does not parse"},
        {"nested past all reason", std::string(100000, '['), "", "nested more than 64 deep"},
    };
    for (const GltfRefusal& c : cases) {
        SCOPED_TRACE(c.name);
        writeText(dir.file("bad.glb"), c.bytes);
        SmdModelRecords model;
        const GltfRead read = readGltf(dir.file("bad.glb"), {}, model);
        ASSERT_FALSE(read.ok);
        const Diagnostic& d = read.diagnostic;
        EXPECT_EQ(d.file, dir.file("bad.glb"));
        EXPECT_EQ(d.line, 0);
        if (!c.place.empty()) {
            EXPECT_EQ(d.what.rfind(c.place + ": ", 0), 0u) << d.text();
        }
        EXPECT_NE(d.what.find(c.phrase), std::string::npos) << "expected \"" << c.phrase << "\" in: " << d.text();
        EXPECT_EQ(model.meshCount, 0);
        EXPECT_FALSE(model.hasMesh);
        EXPECT_TRUE(model.meshes[0].nodes.empty() && model.meshes[0].triangles.empty());
        ASSERT_TRUE(readGltf(dir.file("good.glb"), {}, model).ok);
        EXPECT_EQ(model.meshCount, 1);
    }
}

} // namespace
} // namespace veskar
