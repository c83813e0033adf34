#pragma once
// Message boxes as Windows draws them: MessageBoxW with no owner window, the
// caption, the text and an OK button; UTF-8 in.

#include "system/Shell.h"

namespace veskar {

class Win32Shell final : public Shell {
public:
    void messageBox(const char* text, const char* caption) override;
};

} // namespace veskar
