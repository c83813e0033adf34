// The Windows half of the entry point: wmain gets the command line in UTF-16,
// whatever the system's code page, and hands it on in UTF-8.

#include <windows.h>

#include "system/ProgramEntry.h"

#include "system/win32/WideText.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <vector>

namespace {

UINT previousOutputCodePage = 0;

void restoreOutputCodePage()
{
    if (previousOutputCodePage) SetConsoleOutputCP(previousOutputCodePage);
}

bool isConsole(DWORD which)
{
    DWORD mode = 0;
    const HANDLE handle = GetStdHandle(which);
    return handle && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    // Bytes in and out as written: no LF to CRLF in outputs or pipes, and no
    // end of file at a Ctrl-Z byte; files opened without "b" get the same.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    _fmode = _O_BINARY;
    // What the C library prints (paths, refusals) is UTF-8; a console shows
    // it right only in code page 65001. The console outlives the program, so
    // its own code page comes back at exit.
    if (isConsole(STD_OUTPUT_HANDLE) || isConsole(STD_ERROR_HANDLE)) {
        previousOutputCodePage = GetConsoleOutputCP();
        if (previousOutputCodePage != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) std::atexit(restoreOutputCodePage);
        else previousOutputCodePage = 0;
    }
    std::vector<std::string> arguments;
    arguments.reserve(static_cast<std::size_t>(argc > 0 ? argc : 0));
    for (int i = 0; i < argc; ++i) arguments.push_back(veskar::narrow(argv[i]));
    std::vector<char*> pointers;
    for (std::string& argument : arguments) pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    return veskar::programMain(argc, pointers.data());
}
