// The Windows half of the file piece where Windows differs from Linux: files
// another program holds, read-only files, devices, and names in Hangul.

#include "TestSupport.h"

#include "system/AtomicFile.h"
#include "system/InputFile.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace veskar {
namespace {

// A handle on path as a program holds it that does not let it be replaced
// (no FILE_SHARE_DELETE), as an editor or a virus scanner may.
HANDLE hold(const std::string& path)
{
    const std::wstring wide = pathFromUtf8(path).wstring();
    return CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::vector<std::string> folderListing(const test::fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : test::fs::directory_iterator(dir)) names.push_back(utf8FromPath(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Win32FilePiece, AHeldTargetIsReplacedOnceItIsLetGoAndRefusedWhileItStaysHeld)
{
    test::TempDir dir;
    const std::string target = dir.file("hero.mRef");
    struct Case {
        int heldMs;
        bool replaced;
    };
    for (const Case c : {Case{300, true}, Case{3000, false}}) {
        SCOPED_TRACE(c.heldMs);
        test::writeText(target, "old\n");
        HANDLE held = hold(target);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        std::thread release([held, ms = c.heldMs] {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            CloseHandle(held);
        });
        std::string reason;
        const bool written = writeFileAtomically(target, "new\n", reason);
        release.join();
        EXPECT_EQ(written, c.replaced) << reason;
        EXPECT_EQ(test::readText(target), c.replaced ? "new\n" : "old\n");
        if (!c.replaced) {
            EXPECT_EQ(reason, "cannot replace the file: another program holds it, or it may not be replaced");
        }
        EXPECT_EQ(folderListing(dir.path()), std::vector<std::string>{"hero.mRef"});
    }
}

TEST(Win32FilePiece, AReadOnlyTargetIsRefusedAtOnce)
{
    test::TempDir dir;
    const std::string target = dir.file("hero.mRef");
    test::writeText(target, "old\n");
    const std::wstring wide = pathFromUtf8(target).wstring();
    ASSERT_TRUE(SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_READONLY));
    const auto start = std::chrono::steady_clock::now();
    std::string reason;
    EXPECT_FALSE(writeFileAtomically(target, "new\n", reason));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(reason, "cannot replace the file: Permission denied");
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(test::readText(target), "old\n");
    EXPECT_EQ(folderListing(dir.path()), std::vector<std::string>{"hero.mRef"});
}

TEST(Win32FilePiece, OnlyRegularFilesOpenWhateverTheirNames)
{
    test::TempDir dir;
    test::fs::create_directories(pathFromUtf8(dir.file("내 모델")));
    const std::string korean = dir.file("내 모델/영웅 캐릭터.smd");
    std::string reason;
    ASSERT_TRUE(writeFileAtomically(korean, "version 1\n", reason)) << reason;
    struct Case {
        std::string path;
        const char* reason;  // null: opens
    };
    for (const Case& c : {Case{korean, nullptr}, Case{dir.file("missing.smd"), "No such file or directory"},
                          Case{dir.file("내 모델"), "is a directory"}, Case{"NUL", "is not a regular file"}}) {
        SCOPED_TRACE(c.path);
        InputFile file;
        const bool opened = file.open(c.path, reason);
        EXPECT_EQ(opened, c.reason == nullptr);
        if (c.reason) {
            EXPECT_EQ(reason, c.reason);
        } else {
            EXPECT_EQ(file.size(), 10u);
        }
    }
}

} // namespace
} // namespace veskar
