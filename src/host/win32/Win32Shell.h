#pragma once
// Message boxes as Windows draws them: MessageBoxW with no owner window, the
// caption, the text and an OK button; UTF-8 in.

#include "system/Shell.h"

struct HWND__;

namespace veskar {

class Win32Shell final : public Shell {
public:
    void messageBox(const char* text, const char* caption) override;
    // The window the picture is drawn in; see PictureOutOfTheWay.
    void setPicture(HWND__* picture) { picture_ = picture; }

private:
    HWND__* picture_ = nullptr;
};

// Under Wine the picture's window (a borderless window owned by the main
// one) is an X window that no window manager stacks, so it stays above the
// dialogs and message boxes that should cover it: it is hidden while one is
// up. Windows stacks it under them, and it stays.
class PictureOutOfTheWay {
public:
    explicit PictureOutOfTheWay(HWND__* picture);
    ~PictureOutOfTheWay();
    PictureOutOfTheWay(const PictureOutOfTheWay&) = delete;
    PictureOutOfTheWay& operator=(const PictureOutOfTheWay&) = delete;

private:
    HWND__* hidden_ = nullptr;
};

} // namespace veskar
