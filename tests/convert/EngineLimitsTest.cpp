// The counted limits at their edges: a model at a limit passes, one more is
// reported at the line where it went over.

#include "TestSupport.h"

#include "convert/EngineLimits.h"

#include <functional>

namespace veskar {
namespace {

using test::Capture;

// prefix, n, suffix; a string built by appending (GCC 12 warns wrongly of
// "literal" + std::string).
std::string numbered(const char* prefix, long n, const char* suffix = "")
{
    std::string text(prefix);
    text += std::to_string(n);
    text += suffix;
    return text;
}

// An SMD reference: `bones` nodes in a chain, then triangles; corner(i)
// gives the vertex line of corner i, material(t) triangle t's material.
std::string reference(int bones, int triangles, const std::function<std::string(int)>& corner, const std::function<std::string(int)>& material)
{
    std::string text = "version 1\nnodes\n";
    for (int i = 0; i < bones; ++i) text += numbered("", i, " \"b") + numbered("", i, "\" ") + numbered("", i - 1, "\n");
    text += "end\nskeleton\ntime 0\n";
    for (int i = 0; i < bones; ++i) text += numbered("", i, " 0 0 1 0 0 0\n");
    text += "end\ntriangles\n";
    for (int t = 0; t < triangles; ++t) {
        text += material(t) + "\n";
        for (int k = 0; k < 3; ++k) text += corner(3 * t + k) + "\n";
    }
    return text + "end\n";
}

std::string plainCorner(int i) { return numbered("0 ", i % 3, " 0 0 0 0 1 0 0 1 0 1"); }
std::string skin(int) { return "skin.bmp"; }

std::string animation(int frames)
{
    std::string text = "version 1\nnodes\n0 \"root\" -1\nend\nskeleton\n";
    for (int f = 0; f < frames; ++f) text += numbered("time ", f, "\n0 0 0 0 0 0 0\n");
    return text + "end\n";
}

// The line of a reference's n-th vertex line (from 0), with `bones` nodes.
long cornerLine(int bones, int n) { return 2 * bones + 9 + 4 * (n / 3) + n % 3; }

struct Case {
    const char* name;
    EngineTarget target;
    std::function<std::string()> text;
    long line;              // of the one finding; 0: none
    const char* words;
};

TEST(EngineLimits, CountsPassAtTheirLimitAndAreReportedWhereTheyGoOver)
{
    Capture capture;
    test::TempDir dir;
    const auto everyBone = [](int bones) {
        // The last bone's vertices use every bone through their parents (two
        // triangles: a file of one is taken for an animation).
        return [bones] { return reference(bones, 2, [bones](int) { return numbered("", bones - 1, " 0 0 0 0 0 1 0 0"); }, skin); };
    };
    const auto distinct = [](int vertices) {
        return [vertices] {
            return reference(1, (vertices + 2) / 3, [vertices](int i) { return numbered("0 ", std::min(i, vertices - 1), " 0 0 0 0 1 0 0"); }, skin);
        };
    };
    const auto materials = [](int count) {
        return [count] { return reference(1, count, plainCorner, [](int t) { return numbered("m", t, ".bmp"); }); };
    };
    const Case cases[] = {
        {"127 bones", EngineTarget::GoldSrc, everyBone(127), 0, ""},
        {"128 bones", EngineTarget::GoldSrc, everyBone(128), cornerLine(128, 0), "128 bones are used by the vertices and their parents"},
        {"128 bones in Source", EngineTarget::Source, everyBone(128), cornerLine(128, 0), "Source's studiomdl refuses 128 or more"},
        {"2048 vertices", EngineTarget::GoldSrc, distinct(2048), 0, ""},
        {"2049 vertices", EngineTarget::GoldSrc, distinct(2049), cornerLine(1, 2048), "vertex 2049 told apart by bone and position"},
        {"20000 triangles", EngineTarget::GoldSrc, [] { return reference(1, 20000, plainCorner, skin); }, 0, ""},
        {"20001 triangles", EngineTarget::GoldSrc, [] { return reference(1, 20001, plainCorner, skin); }, cornerLine(1, 60000) - 1,
         "triangle 20001 of 20001"},
        {"32 materials", EngineTarget::Source, materials(32), 0, ""},
        {"33 materials", EngineTarget::Source, materials(33), cornerLine(1, 96) - 1, "material 33 of 33 (\"m32.bmp\")"},
        {"2 textures", EngineTarget::MRef, materials(2), cornerLine(1, 3) - 1, "\"m1.bmp\": an mRef names one texture and keeps the first, \"m0.bmp\""},
        {"512 frames", EngineTarget::GoldSrc, [] { return animation(512); }, 0, ""},
        {"513 frames", EngineTarget::GoldSrc, [] { return animation(513); }, 6 + 2 * 512, "frame 513 of 513"},
        {"2001 frames", EngineTarget::Source, [] { return animation(2001); }, 6 + 2 * 2000, "frame 2001 of 2001"},
    };
    for (const Case& c : cases) {
        const std::string path = dir.file(std::string(c.name) + ".smd");
        test::writeText(path, c.text());
        const LimitCheck check = checkEngineLimits(path, c.target);
        ASSERT_TRUE(check.read) << c.name << ": " << check.refusal.text();
        if (c.line == 0) {
            EXPECT_TRUE(check.findings.empty()) << c.name << ": " << check.findings.front();
            continue;
        }
        ASSERT_EQ(check.findings.size(), 1u) << c.name;
        EXPECT_EQ(check.findings[0].rfind(path + numbered(":", c.line, ": "), 0), 0u) << c.name << ": " << check.findings[0];
        EXPECT_NE(check.findings[0].find(c.words), std::string::npos) << c.name << ": " << check.findings[0];
    }
}

// A line per vertex would bury the rest: ten are listed, one more line counts the others.
TEST(EngineLimits, ManyLinesOfOneKindAreCounted)
{
    Capture capture;
    test::TempDir dir;
    const std::string path = dir.file("links.smd");
    test::writeText(path, reference(2, 12, [](int i) { return numbered("0 ", i, " 0 0 0 0 1 0 0 2 0 0.5 1 0.5"); }, skin));
    const LimitCheck check = checkEngineLimits(path, EngineTarget::GoldSrc);
    ASSERT_EQ(check.findings.size(), 11u);
    EXPECT_EQ(check.findings[9].rfind(path + numbered(":", cornerLine(2, 9), ": vertex has 2 links"), 0), 0u) << check.findings[9];
    EXPECT_EQ(check.findings[10], path + ": and 26 more vertex lines like those above");
}

} // namespace
} // namespace veskar
