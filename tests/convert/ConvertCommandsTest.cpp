#include "TestSupport.h"

#include "convert/FormatConverter.h"


namespace veskar {
namespace {

using test::Capture;
namespace fs = std::filesystem;

const char* const kReference =
    "version 1\nnodes\n0 \"root\" -1\nend\nskeleton\ntime 0\n0 0 0 0 0 0 0\nend\ntriangles\nt.png\n"
    "0 0 0 0 0 0 1 0 0 1 0 1\n0 1 0 0 0 0 1 1 0 1 0 1\n0 0 1 0 0 0 1 0 1 1 0 1\n"
    "t.png\n0 0 0 0 0 0 1 0 0 1 0 1\n0 1 0 0 0 0 1 1 0 1 0 1\n0 0 2 0 0 0 1 0 1 1 0 1\nend\n";
const char* const kAnimation = "version 1\nnodes\n0 \"root\" -1\nend\nskeleton\ntime 0\n0 0 0 0 0 0 0\ntime 1\n0 1 0 0 0 0 0\nend\n";

std::vector<std::string> filesIn(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Every conversion runs in a fresh folder with the console and boxes recorded.
class ConvertCommands : public ::testing::Test {
protected:
    Capture capture;
    test::TempDir dir;
};

TEST_F(ConvertCommands, OutputLiesBesideTheSourceWithItsExtensionReplaced)
{
    fs::create_directories(dir.path() / "my.models");
    struct Case {
        std::string source;
        std::string output;
    } cases[] = {
        {"my.models/hero.smd", "my.models/hero.mRef"},
        {"my.models/hero.old.SMD", "my.models/hero.old.mRef"},
        {"my.models/hero", "my.models/hero.mRef"},
    };
    for (const Case& c : cases) {
        test::writeText(dir.file(c.source), kReference);
        FormatConverter converter;
        EXPECT_TRUE(converter.convertReference(dir.file(c.source))) << converter.diagnostic.text();
        EXPECT_EQ(converter.outputPath, dir.file(c.output));
        EXPECT_TRUE(fs::exists(dir.file(c.output))) << c.output;
        EXPECT_EQ(test::readText(dir.file(c.source)), kReference);
    }
    EXPECT_NE(capture.console.text.find("[Ref] hero.old.mRef\n"), std::string::npos);
}

TEST_F(ConvertCommands, AnimationConvertsWithoutAReferenceAndKindsAreNotMixedUp)
{
    test::writeText(dir.file("walk.smd"), kAnimation);
    test::writeText(dir.file("hero.smd"), kReference);
    FormatConverter converter;
    EXPECT_TRUE(converter.convertAnimation(dir.file("walk.smd")));
    EXPECT_TRUE(fs::exists(dir.file("walk.mAni")));
    EXPECT_FALSE(converter.convertAnimation(dir.file("hero.smd")));
    ASSERT_NE(converter.refusalMessage, nullptr);
    EXPECT_STREQ(converter.refusalMessage, "Animation 파일이 아닙니다!!");
    EXPECT_FALSE(converter.convertReference(dir.file("walk.smd")));
    ASSERT_NE(converter.refusalMessage, nullptr);
    EXPECT_STREQ(converter.refusalMessage, "Reference 파일이 아닙니다!!");
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"hero.smd", "walk.mAni", "walk.smd"}));
    // The converter shows nothing: what a refusal shows is its caller's to choose.
    EXPECT_TRUE(capture.shell.boxes.empty());
}

TEST_F(ConvertCommands, AFailedConversionLeavesTheEarlierOutputAndNoStrayFile)
{
    test::writeText(dir.file("hero.smd"), kReference);
    FormatConverter first;
    ASSERT_TRUE(first.convertReference(dir.file("hero.smd")));
    const std::string before = test::readText(dir.file("hero.mRef"));
    // Counts that no longer agree with their tables write nothing.
    ++first.weldedCount;
    EXPECT_FALSE(first.writeReference());
    EXPECT_EQ(test::readText(dir.file("hero.mRef")), before);
    test::writeText(dir.file("hero.smd"), std::string(kReference) + "triangles\nt.png\n0 0 0 0 0 0 1 0 0 1 9 1\n");
    FormatConverter second;
    EXPECT_FALSE(second.convertReference(dir.file("hero.smd")));
    EXPECT_EQ(test::readText(dir.file("hero.mRef")), before);
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"hero.mRef", "hero.smd"}));
}

TEST_F(ConvertCommands, TheSourceIsNeverTheOutput)
{
    test::writeText(dir.file("hero.mRef"), kReference);
    FormatConverter converter;
    EXPECT_FALSE(converter.convertReference(dir.file("hero.mRef")));
    EXPECT_EQ(test::readText(dir.file("hero.mRef")), kReference);
    EXPECT_NE(converter.diagnostic.what.find("overwrite the source"), std::string::npos);
}

TEST_F(ConvertCommands, AnUnwritableFolderGivesAClearReason)
{
    fs::create_directories(dir.path() / "locked");
    test::writeText(dir.file("locked/hero.smd"), kReference);
    if (!test::denyWriting(dir.file("locked"))) GTEST_SKIP() << "this user can write to read-only folders (root, or on Windows)";
    FormatConverter converter;
    EXPECT_FALSE(converter.convertReference(dir.file("locked/hero.smd")));
    EXPECT_NE(converter.diagnostic.what.find("cannot create"), std::string::npos);
    EXPECT_EQ(filesIn(dir.path() / "locked"), (std::vector<std::string>{"hero.smd"}));
}

} // namespace
} // namespace veskar
