// The Windows half of the console sink. A console shows UTF-16, so the
// progress lines go to it with WriteConsoleW and read right whatever its code
// page (949 on a Korean system); a pipe or a file gets the UTF-8 bytes
// unchanged, as on Linux.

#include <windows.h>

#include "platform/Console.h"

#include "platform/win32/WideText.h"

#include <algorithm>
#include <cstdio>

namespace veskar {

bool StdoutConsole::write(const char* bytes, std::size_t length)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (out != nullptr && out != INVALID_HANDLE_VALUE && GetConsoleMode(out, &mode)) {
        // What the C library holds for the console goes first.
        std::fflush(stdout);
        const std::wstring text = widen(std::string_view(bytes, length));
        std::size_t done = 0;
        while (done < text.size()) {
            const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 16384));
            DWORD written = 0;
            if (!WriteConsoleW(out, text.data() + done, piece, &written, nullptr) || written == 0) return false;
            done += written;
        }
        return true;
    }
    const bool ok = std::fwrite(bytes, 1, length, stdout) == length;
    std::fflush(stdout);
    return ok;
}

} // namespace veskar
