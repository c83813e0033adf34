// The Linux half of the console sink: the bytes go to standard output as they are.

#include "platform/Console.h"

#include <cstdio>

namespace veskar {

bool StdoutConsole::write(const char* bytes, std::size_t length)
{
    const bool ok = std::fwrite(bytes, 1, length, stdout) == length;
    std::fflush(stdout);
    return ok;
}

} // namespace veskar
