// The console log carries the converter's progress lines; they must arrive as
// the exact bytes formatted, whatever their length or encoding.

#include "import/ConsoleLog.h"
#include "system/Console.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace veskar {
namespace {

class FailingConsole final : public ConsoleSink {
public:
    bool write(const char*, std::size_t) override
    {
        ++attempts;
        return false;
    }
    int attempts = 0;
};

// Leaves the process-wide log disabled whatever a test did.
class ConsoleLogTest : public ::testing::Test {
protected:
    void TearDown() override { ConsoleLog::shutDown(); }
};

TEST_F(ConsoleLogTest, DisabledLogWritesNothing)
{
    RecordingConsole console;
    ConsoleLog::startUp(nullptr);
    EXPECT_EQ(consoleLog().enabled, 0);
    EXPECT_EQ(consoleLog().print("[Node] %d\n", 3), 0);

    // A log that was running and was shut down stops writing to its old sink.
    ConsoleLog::startUp(&console);
    EXPECT_EQ(consoleLog().enabled, 1);
    ConsoleLog::shutDown();
    EXPECT_EQ(consoleLog().print("[Time] %d\n", 4), 0);
    ConsoleLog::startUp(nullptr);
    EXPECT_EQ(consoleLog().print("[Time] %d\n", 5), 0);
    EXPECT_EQ(console.text, "");

    // A write that fails reports 0 too.
    FailingConsole failing;
    ConsoleLog::startUp(&failing);
    EXPECT_EQ(consoleLog().print("x"), 0);
    EXPECT_EQ(failing.attempts, 1);
}

TEST_F(ConsoleLogTest, EnabledLogWritesExactlyTheFormattedBytes)
{
    RecordingConsole console;
    ConsoleLog::startUp(&console);
    EXPECT_NE(consoleLog().print("[Node] %d\n", 53), 0);
    EXPECT_NE(consoleLog().print("[Ref] %s", "hero.mRef"), 0);
    EXPECT_NE(consoleLog().print(" continues\n"), 0);
    // An argument holding '%' is copied, not formatted again.
    EXPECT_NE(consoleLog().print("%s\n", "100%d"), 0);
    EXPECT_EQ(console.text, "[Node] 53\n[Ref] hero.mRef continues\n100%d\n");

    // The welding lines in UTF-8, and a CP949 name, byte for byte.
    console.text.clear();
    EXPECT_NE(consoleLog().print("[\xEC\xA0\x84 \xEB\xB2\x84\xED\x85\x8D\xEC\x8A\xA4 \xEA\xB0\x9C\xEC\x88\x98] : %d\n", 36), 0);
    EXPECT_NE(consoleLog().print("%s\n", "\xC0\xFC\xBB\xE7.smd"), 0);
    EXPECT_EQ(console.text, "[\xEC\xA0\x84 \xEB\xB2\x84\xED\x85\x8D\xEC\x8A\xA4 \xEA\xB0\x9C\xEC\x88\x98] : 36\n\xC0\xFC\xBB\xE7.smd\n");

    // An empty text is a successful write of nothing.
    console.text.clear();
    consoleLog().print("%s", "");
    EXPECT_EQ(console.text, "");
}

TEST_F(ConsoleLogTest, LongTextIsWrittenWhole)
{
    RecordingConsole console;
    ConsoleLog::startUp(&console);
    // Around the size of a small formatting buffer, and far beyond it.
    for (const std::size_t length : {510u, 511u, 512u, 513u, 2000u, 100000u}) {
        SCOPED_TRACE(length);
        std::string name(length, 'n');
        for (std::size_t i = 0; i < length; i += 7) name[i] = static_cast<char>('a' + i % 26);
        console.text.clear();
        EXPECT_NE(consoleLog().print("[Ref] %s\n", name.c_str()), 0);
        EXPECT_EQ(console.text, "[Ref] " + name + "\n");
    }
}

} // namespace
} // namespace veskar
