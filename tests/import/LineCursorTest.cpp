// A file read in pieces or seen through mapped windows must give exactly the
// lines, numbers and offsets the same text gives from memory, whatever the
// size of the pieces and windows.

#include "TestSupport.h"

#include "import/LineCursor.h"


#include <algorithm>
#include <random>
#include <vector>

namespace veskar {
namespace {

struct Walked {
    std::vector<std::string> lines;
    std::vector<std::uint64_t> offsets;   // before each line
    std::vector<std::size_t> remaining;   // before each line
};

Walked walk(LineCursor& cursor)
{
    Walked w;
    std::string_view line;
    for (;;) {
        w.offsets.push_back(cursor.offset());
        w.remaining.push_back(cursor.remainingLines());
        if (!cursor.next(line)) break;
        w.lines.emplace_back(line);
        EXPECT_EQ(cursor.lineNumber(), static_cast<long>(w.lines.size()));
    }
    // The count ahead agrees with the lines that came.
    for (std::size_t i = 0; i < w.remaining.size(); ++i) EXPECT_EQ(w.remaining[i], w.lines.size() - std::min(i, w.lines.size()));
    return w;
}

std::string randomText(std::mt19937& rng)
{
    std::string text;
    const int lines = static_cast<int>(rng() % 40);
    for (int i = 0; i < lines; ++i) {
        const int length = rng() % 10 == 0 ? static_cast<int>(rng() % 3000) : static_cast<int>(rng() % 30);
        for (int k = 0; k < length; ++k) text += static_cast<char>("ab 0.\t\"\r"[rng() % 8]);
        text += rng() % 4 == 0 ? "\r\n" : "\n";
    }
    if (rng() % 2) text += "last line without an end";
    return text;
}

TEST(LineCursor, FilesReadInPiecesGiveTheLinesOfTheSameTextInMemory)
{
    test::TempDir dir;
    std::mt19937 rng(5);
    for (int round = 0; round < 60; ++round) {
        const std::string text = randomText(rng);
        std::string name = "t";
        name += std::to_string(round);
        const std::string path = dir.file(name);
        test::writeText(path, text);
        LineCursor memory(text);
        const Walked expected = walk(memory);
        for (std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{64}, LineCursor::kDefaultPiece})
        for (LineCursor::Access access : {LineCursor::Access::Mapped, LineCursor::Access::Read}) {
            LineCursor file;
            std::string reason;
            ASSERT_TRUE(file.openFile(path, reason, piece, access)) << reason;
            EXPECT_EQ(file.size(), text.size());
            const Walked got = walk(file);
            ASSERT_EQ(got.lines, expected.lines) << "piece " << piece;
            EXPECT_EQ(got.offsets, expected.offsets) << "piece " << piece;
            EXPECT_EQ(got.remaining, expected.remaining) << "piece " << piece;
            EXPECT_TRUE(file.failure().empty());

            // Again from the start, and from the middle on a second cursor.
            ASSERT_TRUE(file.rewind());
            EXPECT_EQ(walk(file).lines, expected.lines);
            const std::size_t middle = expected.lines.size() / 2;
            LineCursor second;
            ASSERT_TRUE(second.startAt(file, expected.offsets[middle], static_cast<long>(middle)));
            std::string_view line;
            for (std::size_t i = middle; i < expected.lines.size(); ++i) {
                ASSERT_TRUE(second.next(line));
                EXPECT_EQ(line, expected.lines[i]);
                EXPECT_EQ(second.lineNumber(), static_cast<long>(i + 1));
            }
            EXPECT_FALSE(second.next(line));
        }
        // The same from memory: a second cursor and seeking.
        LineCursor second;
        ASSERT_TRUE(second.startAt(memory, expected.offsets.back(), static_cast<long>(expected.lines.size())));
        EXPECT_TRUE(second.atEnd());
        ASSERT_TRUE(memory.seek(0, 0));
        EXPECT_EQ(walk(memory).lines, expected.lines);
        EXPECT_FALSE(memory.seek(text.size() + 1, 0));
    }
}

TEST(LineCursor, LinesLongerThanTheLimitAndZeroBytesEndTheLinesAtTheirLine)
{
    test::TempDir dir;
    const std::string longest(LineCursor::kMaxLineBytes, 'a');
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> lines;  // read before the failure
        std::string failure;             // part of it; empty: none
    };
    const std::vector<Case> cases = {
        {"the longest line, ended each way", longest + "\r\n" + longest + "\r" + longest, {longest, longest, longest}, ""},
        {"one byte more", "x\n" + longest + "b\ny\n", {"x"}, "longer than 1048576 bytes"},
        {"one byte more, no end", "\xEF\xBB\xBFx\r" + longest + "b", {"x"}, "longer than 1048576 bytes"},
        {"a zero byte", std::string("x\r\ny\0z\nw\n", 9), {"x"}, "zero byte"},
        {"zeros only", std::string(3 << 20, '\0'), {}, "zero byte"},
        {"a mark, then a zero byte last on the line", std::string("\xEF\xBB\xBF" "ab\0\n", 7), {}, "zero byte"},
        // Only a mark before the first line is no text.
        {"byte-order marks", "\xEF\xBB\xBFx\n\xEF\xBB\xBFy", {"x", "\xEF\xBB\xBFy"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::writeText(dir.file("t"), c.text);
        for (std::size_t piece : {std::size_t{0}, std::size_t{7}, LineCursor::kDefaultPiece})
        for (LineCursor::Access access : {LineCursor::Access::Mapped, LineCursor::Access::Read}) {
            LineCursor file;
            LineCursor memory(c.text);
            std::string reason;
            ASSERT_TRUE(file.openFile(dir.file("t"), reason, piece, access)) << reason;
            for (LineCursor* cursor : {&file, &memory}) {
                std::vector<std::string> lines;
                std::string_view line;
                while (cursor->next(line)) lines.emplace_back(line);
                EXPECT_EQ(lines, c.lines);
                if (c.failure.empty()) {
                    EXPECT_TRUE(cursor->failure().empty()) << cursor->failure();
                } else {
                    EXPECT_NE(cursor->failure().find(c.failure), std::string::npos) << cursor->failure();
                    EXPECT_EQ(cursor->lineNumber(), static_cast<long>(c.lines.size() + 1));
                    EXPECT_FALSE(cursor->rewind());
                }
            }
        }
    }
}

TEST(LineCursor, OnlyRegularFilesOpenAndOnlyTheirBytesAtOpeningAreRead)
{
    test::TempDir dir;
    LineCursor cursor;
    std::string reason;
    EXPECT_FALSE(cursor.openFile(dir.file("missing.smd"), reason));
    EXPECT_EQ(reason, "No such file or directory");
    EXPECT_FALSE(cursor.openFile(utf8FromPath(dir.path()), reason));
    EXPECT_EQ(reason, "is a directory");
    if (test::kNamedPipes) {
        const std::string fifo = dir.file("pipe.smd");
        ASSERT_TRUE(test::makeNamedPipe(fifo));
        EXPECT_FALSE(cursor.openFile(fifo, reason));  // returns at once: no writer is waited for
        EXPECT_EQ(reason, "is not a regular file");
    }

    // A file that grows while it is read does not keep the reader going.
    const std::string path = dir.file("growing.smd");
    test::writeText(path, "one\ntwo\n");
    ASSERT_TRUE(cursor.openFile(path, reason, 2));
    std::string_view line;
    ASSERT_TRUE(cursor.next(line));
    EXPECT_EQ(line, "one");
    {
        std::ofstream more(path, std::ios::app);
        more << "three\nfour\n";
    }
    ASSERT_TRUE(cursor.next(line));
    EXPECT_EQ(line, "two");
    EXPECT_FALSE(cursor.next(line));

    // A file cut short while it is read ends its lines early, not the
    // program (a mapped page past the new end would otherwise kill it).
    const std::string cut = dir.file("cut.smd");
    std::string lines;
    for (int i = 0; i < 100000; ++i) lines += "0 1.000000 2.000000 3.000000\n";
    for (LineCursor::Access access : {LineCursor::Access::Mapped, LineCursor::Access::Read}) {
        test::writeText(cut, lines);
        ASSERT_TRUE(cursor.openFile(cut, reason, LineCursor::kDefaultPiece, access));
        ASSERT_TRUE(cursor.next(line));
        std::filesystem::resize_file(cut, 8192);  // a page boundary: the next page is gone
        // Read in pieces, the last line may be what was read of it.
        const std::string_view whole = "0 1.000000 2.000000 3.000000";
        long read = 1;
        for (; cursor.next(line); ++read) ASSERT_EQ(whole.substr(0, line.size()), line);
        EXPECT_LT(read, 100000);
        if (!cursor.failure().empty()) {
            EXPECT_EQ(cursor.failure(), "the file became shorter while it was read");
        }
    }

    // An empty file has no lines.
    test::writeText(path, "");
    ASSERT_TRUE(cursor.openFile(path, reason));
    EXPECT_TRUE(cursor.atEnd());
    EXPECT_EQ(cursor.remainingLines(), 0u);
    EXPECT_FALSE(cursor.next(line));
}

} // namespace
} // namespace veskar
