#pragma once
// Helpers the unit tests share: temporary folders, files, recorded boxes and
// console lines, and the corpus folder.

#include "import/ConsoleLog.h"
#include "system/Console.h"
#include "system/Shell.h"
#include "base/Utf8Path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

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

// Set-ups only POSIX file systems have. Windows keeps no named pipes among
// files, and its read-only marks do not keep a file's owner out; root reads
// and writes whatever the permissions. Where a set-up cannot be made, the
// case that needs it is not checked.
#ifdef _WIN32
inline constexpr bool kNamedPipes = false;
inline bool makeNamedPipe(const std::string&) { return false; }
inline bool denyWriting(const std::string&) { return false; }
inline void allowWriting(const std::string&) {}
inline bool denyReading(const std::string&) { return false; }
#else
inline constexpr bool kNamedPipes = true;
inline bool makeNamedPipe(const std::string& path) { return ::mkfifo(path.c_str(), 0600) == 0; }
// False, with the folder as it was, when this user can write into it anyway.
inline bool denyWriting(const std::string& folder)
{
    if (::chmod(folder.c_str(), 0555) != 0) return false;
    if (::access(folder.c_str(), W_OK) != 0) return true;
    ::chmod(folder.c_str(), 0755);
    return false;
}
inline void allowWriting(const std::string& folder) { ::chmod(folder.c_str(), 0755); }
// False when this user can read the file anyway.
inline bool denyReading(const std::string& file) { return ::chmod(file.c_str(), 0) == 0 && ::access(file.c_str(), R_OK) != 0; }
#endif

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

// Runs a test step from another folder and goes back afterwards.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const fs::path& dir) : previous_(fs::current_path()) { fs::current_path(dir); }
    ~WorkingDirectory() { fs::current_path(previous_); }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    fs::path previous_;
};

inline fs::path corpusDir() { return fs::path(VESKAR_CORPUS_DIR); }

// Skips the calling test with a message when the corpus folder is absent.
#define VESKAR_REQUIRE_CORPUS()                                                                                  \
    do {                                                                                                         \
        if (!std::filesystem::is_directory(::veskar::test::corpusDir()))                                         \
            GTEST_SKIP() << "SMD corpus not found at " << ::veskar::test::corpusDir() << "; corpus tests skipped"; \
    } while (0)

} // namespace veskar::test
