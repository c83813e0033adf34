// The Linux half of standard output: the bytes go as they are.

#include "platform/ConsoleOutput.h"

#include <cerrno>

namespace veskar {

bool writeConsoleOutput(std::string_view text, int& error)
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
