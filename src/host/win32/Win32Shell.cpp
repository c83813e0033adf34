#include <windows.h>

#include "host/win32/Win32Shell.h"

#include "system/win32/WideText.h"

namespace veskar {

namespace {

bool underWine()
{
    static const bool wine = [] {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}

} // namespace

PictureOutOfTheWay::PictureOutOfTheWay(HWND picture)
{
    if (!picture || !underWine() || !IsWindowVisible(picture)) return;
    ShowWindow(picture, SW_HIDE);
    hidden_ = picture;
}

PictureOutOfTheWay::~PictureOutOfTheWay()
{
    if (hidden_ && IsWindow(hidden_)) ShowWindow(hidden_, SW_SHOWNOACTIVATE);
}

void Win32Shell::messageBox(const char* text, const char* caption)
{
    const std::wstring wideText = widen(text ? text : "");
    const std::wstring wideCaption = widen(caption ? caption : "");
    const PictureOutOfTheWay away(picture_);
    // No owner window, as ever; task-modal so the program's windows wait for it,
    // and brought to the front, since a window manager may hold it back.
    MessageBoxW(nullptr, wideText.c_str(), wideCaption.c_str(), MB_OK | MB_TASKMODAL | MB_SETFOREGROUND);
}

} // namespace veskar
