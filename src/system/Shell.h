#pragma once
// Where the system's message boxes go. The program chooses one shell at start:
// Qt dialogs in the window, standard error headless and in the converter, a
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
// A thread that set its own shell (ThreadShell) gets that one.
Shell& shell();
// Returns the previous shell so a test can put it back.
Shell* setShell(Shell* shell);

// For the life of the object, this thread's boxes go to the given shell: a
// converter working on many files at once keeps each file's boxes together.
class ThreadShell {
public:
    explicit ThreadShell(Shell* shell);
    ~ThreadShell();
    ThreadShell(const ThreadShell&) = delete;
    ThreadShell& operator=(const ThreadShell&) = delete;

private:
    Shell* previous_;
};

// The one call the system's code makes.
inline void showMessageBox(const char* text, const char* caption) { shell().messageBox(text, caption); }

} // namespace veskar
