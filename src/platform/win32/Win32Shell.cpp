#include <windows.h>

#include "platform/win32/Win32Shell.h"

#include "platform/win32/WideText.h"

namespace veskar {

void Win32Shell::messageBox(const char* text, const char* caption)
{
    const std::wstring wideText = widen(text ? text : "");
    const std::wstring wideCaption = widen(caption ? caption : "");
    MessageBoxW(nullptr, wideText.c_str(), wideCaption.c_str(), MB_OK);
}

} // namespace veskar
