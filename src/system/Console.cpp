#include "system/Console.h"

#include "system/ConsoleOutput.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace veskar {

namespace {

std::atomic<int> firstOutputError{0};

void noteOutputError(int error)
{
    int none = 0;
    firstOutputError.compare_exchange_strong(none, error ? error : EIO);
}

} // namespace

bool writeStandardOutput(std::string_view text)
{
    int error = 0;
    const bool ok = writeConsoleOutput(text, error);
    if (!ok) noteOutputError(error);
    return ok;
}

bool standardOutputIntact(std::string& reason)
{
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) noteOutputError(errno);
    const int error = firstOutputError.load();
    if (error == 0) return true;
    reason = std::strerror(error);
    return false;
}

bool StdoutConsole::write(const char* bytes, std::size_t length) { return writeStandardOutput(std::string_view(bytes, length)); }

bool writeStandardOutputBytes(std::string_view text, int& error)
{
    errno = 0;
    // An empty view may hold no pointer at all, which fwrite must not get.
    bool ok = text.empty() || std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (!ok) error = errno;
    errno = 0;
    if (std::fflush(stdout) != 0) {
        if (ok) error = errno;
        ok = false;
    }
    return ok;
}

} // namespace veskar
