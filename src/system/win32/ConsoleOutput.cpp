// The Windows half of standard output. A console shows UTF-16, so the
// progress lines go to it with WriteConsoleW and read right whatever its code
// page (949 on a Korean system); a pipe or a file gets the UTF-8 bytes
// unchanged, as on Linux.

#include <windows.h>

#include "system/ConsoleOutput.h"

#include "system/win32/WideText.h"

#include <algorithm>
#include <cerrno>

namespace veskar {

bool writeConsoleOutput(std::string_view text, int& error)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (out == nullptr || out == INVALID_HANDLE_VALUE || !GetConsoleMode(out, &mode)) return writeStandardOutputBytes(text, error);
    // What the C library holds for the console goes first.
    if (std::fflush(stdout) != 0) {
        error = errno;
        return false;
    }
    const std::wstring wide = widen(text);
    std::size_t done = 0;
    while (done < wide.size()) {
        const auto piece = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 16384));
        DWORD written = 0;
        if (!WriteConsoleW(out, wide.data() + done, piece, &written, nullptr) || written == 0) {
            error = EIO;
            return false;
        }
        done += written;
    }
    return true;
}

} // namespace veskar
