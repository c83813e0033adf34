#pragma once
// Helpers the unit tests share: temporary folders, files, recorded boxes and
// console lines, and the corpus folder.

#include "import/ConsoleLog.h"
#include "platform/Console.h"
#include "platform/Shell.h"
#include "platform/Utf8Path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace veskar::test {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed at the end.
class TempDir {
public:
    TempDir()
    {
        std::random_device rd;
        path_ = fs::temp_directory_path() / ("veskar-test-" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(path_);
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }
    // UTF-8, with '/' between folders on every system.
    std::string file(const std::string& name) const { return utf8FromPath(path_ / pathFromUtf8(name)); }

private:
    fs::path path_;
};

inline void writeText(const std::string& path, const std::string& text)
{
    std::ofstream out(pathFromUtf8(path), std::ios::binary);
    out << text;
}

// Whether both names reach the same existing file.
inline bool sameFile(const std::string& a, const std::string& b)
{
    std::error_code ec;
    return fs::equivalent(pathFromUtf8(a), pathFromUtf8(b), ec);
}

inline std::string readText(const std::string& path)
{
    std::ifstream in(pathFromUtf8(path), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Records message boxes and console lines for the life of a test.
class Capture {
public:
    Capture()
    {
        previous_ = setShell(&shell);
        ConsoleLog::startUp(&console);
    }
    ~Capture()
    {
        setShell(previous_);
        ConsoleLog::shutDown();
    }
    RecordingShell shell;
    RecordingConsole console;

private:
    Shell* previous_ = nullptr;
};

inline fs::path corpusDir() { return fs::path(VESKAR_CORPUS_DIR); }

// Skips the calling test with a message when the corpus folder is absent.
#define VESKAR_REQUIRE_CORPUS()                                                                                  \
    do {                                                                                                         \
        if (!std::filesystem::is_directory(::veskar::test::corpusDir()))                                         \
            GTEST_SKIP() << "SMD corpus not found at " << ::veskar::test::corpusDir() << "; corpus tests skipped"; \
    } while (0)

} // namespace veskar::test
