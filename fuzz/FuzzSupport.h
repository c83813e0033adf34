#pragma once
// What the fuzz targets share: a quiet process (no boxes, no console lines),
// a fixed empty folder that file names from the input resolve against, and
// checks that turn a broken promise into a crash libFuzzer keeps.

#include "import/ConsoleLog.h"
#include "import/Diagnostic.h"
#include "import/TextScan.h"
#include "system/Shell.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>

namespace veskar::fuzz {

// Texture names come from the input: they must resolve into a folder that
// holds nothing, so no run depends on files another run left behind.
inline const std::string& emptyFolder()
{
    static const std::string folder = [] {
        const char* base = std::getenv("VESKAR_FUZZ_TMP");
        std::string pattern = std::string(base && *base ? base : (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp")) + "/veskar-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        return pattern;
    }();
    return folder;
}

// A folder of its own for the files a target writes, apart from the one
// texture names resolve against.
inline const std::string& outputFolder()
{
    static const std::string folder = [] {
        std::string pattern = emptyFolder() + "-out-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        return pattern;
    }();
    return folder;
}

inline void removeFolders()
{
    std::error_code ec;
    std::filesystem::remove_all(outputFolder(), ec);
    std::filesystem::remove_all(emptyFolder(), ec);
}

inline RecordingShell& boxes()
{
    static RecordingShell shell;
    return shell;
}

inline void setUp()
{
    setShell(&boxes());
    ConsoleLog::startUp(nullptr);
    emptyFolder();
    outputFolder();
    std::atexit(removeFolders);
}

[[noreturn]] inline void fail(const char* what, const std::string& detail)
{
    std::fprintf(stderr, "broken promise: %s\n  %s\n", what, detail.c_str());
    std::abort();
}

#define VESKAR_FUZZ_CHECK(condition, detail)                      \
    do {                                                          \
        if (!(condition)) ::veskar::fuzz::fail(#condition, (detail)); \
    } while (0)

// A refusal names the file, says what is wrong and points at a line that
// exists (0 when the problem is not on one line).
inline void checkRefusal(const Diagnostic& d, std::string_view text, const std::string& file)
{
    VESKAR_FUZZ_CHECK(!d.what.empty(), "refusal without a reason");
    VESKAR_FUZZ_CHECK(d.file == file, d.text());
    VESKAR_FUZZ_CHECK(d.line >= 0 && static_cast<std::size_t>(d.line) <= countLines(text) + 1, d.text());
}

} // namespace veskar::fuzz

// A target's two libFuzzer entry points: the quiet process set up once, then
// each input as the text of a file of the given name in the empty folder,
// with the boxes of the input before cleared. The body that follows is the
// target's check of one input: VESKAR_FUZZ_TARGET("walk.smd") { ... }.
#define VESKAR_FUZZ_TARGET(fileName)                                                                                        \
    static int fuzzOneInput(std::string_view text, const std::string& name);                                              \
    extern "C" int LLVMFuzzerInitialize(int*, char***)                                                                     \
    {                                                                                                                       \
        veskar::fuzz::setUp();                                                                                              \
        return 0;                                                                                                           \
    }                                                                                                                       \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)                                      \
    {                                                                                                                       \
        veskar::fuzz::boxes().boxes.clear();                                                                                \
        return fuzzOneInput(std::string_view(reinterpret_cast<const char*>(data), size), veskar::fuzz::emptyFolder() + "/" fileName); \
    }                                                                                                                       \
    static int fuzzOneInput(std::string_view text, const std::string& name)
