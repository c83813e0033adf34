#pragma once
// Where the system's message boxes go. The program chooses one shell at start:
// Qt or Win32 dialogs in the window, standard error headless, a
// recorder in tests.

#include <string>
#include <vector>

namespace veskar {

class Shell {
public:
    virtual ~Shell() = default;
    // A modal box with the text, the caption and an OK button, no owner window.
    virtual void messageBox(const char* text, const char* caption) = 0;
};

// Prints "caption: text" lines on standard error.
class StderrShell final : public Shell {
public:
    void messageBox(const char* text, const char* caption) override;
};

// Keeps every box for a test to look at.
class RecordingShell final : public Shell {
public:
    struct Box {
        std::string text;
        std::string caption;
    };
    void messageBox(const char* text, const char* caption) override { boxes.push_back({text ? text : "", caption ? caption : ""}); }
    std::vector<Box> boxes;
};

// The shell in use; never null (standard error until the program sets another).
Shell& shell();
// Returns the previous shell so a test can put it back.
Shell* setShell(Shell* shell);

// The one call the system's code makes.
inline void showMessageBox(const char* text, const char* caption) { shell().messageBox(text, caption); }

} // namespace veskar
