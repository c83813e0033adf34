#pragma once
// Message boxes as modal Qt dialogs: the caption as the title, the text, one
// OK button, no owner window. UTF-8 in, as everywhere in the port.

#include "system/Shell.h"

class QWidget;

namespace veskar {

class QtShell final : public Shell {
public:
    // window, when given, is activated again once the box is closed, as
    // Windows gives the focus back to the window that was active before.
    explicit QtShell(QWidget* window = nullptr) : window_(window) {}
    void messageBox(const char* text, const char* caption) override;
    void setWindow(QWidget* window) { window_ = window; }

private:
    QWidget* window_;
};

} // namespace veskar
