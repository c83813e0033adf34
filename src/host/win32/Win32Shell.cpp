#include <windows.h>

#include "host/win32/Win32Shell.h"

#include "system/win32/WideText.h"

namespace veskar {

void Win32Shell::messageBox(const char* text, const char* caption)
{
    const std::wstring wideText = widen(text ? text : "");
    const std::wstring wideCaption = widen(caption ? caption : "");
    // No owner window, as ever; task-modal so the program's windows wait for it,
    // and brought to the front, since a window manager may hold it back.
    MessageBoxW(nullptr, wideText.c_str(), wideCaption.c_str(), MB_OK | MB_TASKMODAL | MB_SETFOREGROUND);
}

} // namespace veskar
