#pragma once
// What the application's message loop runs on: one main window (or a
// headless stand-in) with its drawing device, a Win32-style message queue, the
// Open dialog and the message boxes. The window backend (Qt) and the headless
// one (EGL) are the two implementations.

#include "host/WindowMessages.h"

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace veskar {

class Device;
class Shell;

// One entry of an Open dialog's filter list: the text shown and the
// ';'-separated wildcard patterns, e.g. "3DS MAX SMD Files(*.SMD)" / "*.SMD".
struct FileFilter {
    std::string description;
    std::string pattern;
};

// Whether a file name (no folder) matches a filter's patterns. As on Windows
// the comparison ignores case, so "*.SMD" takes hero.smd; '*' is any run of
// characters and '?' any one.
bool matchesFilter(std::string_view fileName, std::string_view patterns);

struct HostOptions {
    std::string title;
    int clientWidth = 800;
    int clientHeight = 600;
    std::string iconPath;           // a PNG file, or ":/folder/name.png" built into the program; none shown when it cannot be read
    std::vector<MenuItem> menu;     // no menu bar when empty
    bool acceptFiles = false;       // WM_DROPFILES for files dropped on the window
};

// The posted-message queue both hosts keep. As on Windows a quit request is a
// flag, not a message: WM_QUIT comes out only once everything posted before
// and after it has been fetched.
class MessageQueue {
public:
    void post(WindowMessage message) { messages_.push_back(std::move(message)); }
    void postQuit(int code)
    {
        quit_ = true;
        quitCode_ = code;
    }
    bool empty() const { return messages_.empty() && !quit_; }
    bool take(WindowMessage& out)
    {
        if (!messages_.empty()) {
            out = std::move(messages_.front());
            messages_.pop_front();
            return true;
        }
        if (!quit_) return false;
        quit_ = false;
        out = WindowMessage{WM_QUIT, static_cast<std::uintptr_t>(static_cast<std::intptr_t>(quitCode_)), 0, {}};
        return true;
    }
    void clear()
    {
        messages_.clear();
        quit_ = false;
    }

private:
    std::deque<WindowMessage> messages_;
    bool quit_ = false;
    int quitCode_ = 0;
};

class Host {
public:
    virtual ~Host() = default;

    // Makes the window (hidden) and its device; false with the reason when
    // either cannot be had, leaving nothing behind.
    virtual bool create(const HostOptions& options, std::string& error) = 0;
    // Shows the window and asks for it to be active; the first WM_SIZE with
    // the client size follows.
    virtual void show() = 0;
    // The device drawing into the client area; null before create and after
    // the surface is gone.
    virtual Device* device() = 0;

    // Takes the next message without waiting, after the toolkit's pending
    // events have been turned into messages; false when there is none.
    virtual bool peekMessage(WindowMessage& message) = 0;
    // Blocks until something arrives (a message may or may not follow).
    virtual void waitMessage() = 0;
    void post(WindowMessage message) { queue_.post(std::move(message)); }
    // PostQuitMessage: WM_QUIT with the code in wParam once the queue is empty.
    void postQuit(int code) { queue_.postQuit(code); }

    // Shows the frame drawn since the last call.
    virtual void present() = 0;
    // Seconds on the clock that animations and held keys go by: real time
    // in a window; the headless host counts exactly 1/60 s a presented frame,
    // so its pictures are the same on any machine.
    virtual double now() const;
    // Whether the window has the keyboard focus among the desktop's windows.
    virtual bool isActive() const = 0;
    // GetOpenFileNameA with one filter and OFN_NOCHANGEDIR: false when
    // cancelled. path is in the file system's own bytes. The dialog starts in
    // the folder given to setDialogFolder (lpstrInitialDir), when there is one.
    virtual bool openFileDialog(const FileFilter& filter, std::string& path) = 0;
    void setDialogFolder(std::string folder) { dialogFolder_ = std::move(folder); }
    // Menu items that change while the program runs (ModifyMenu,
    // CheckMenuItem): a new caption for the item of that command, an empty
    // one taking the item out of its menu until it gets a caption again; and
    // its check mark. Hosts without a menu ignore both.
    virtual void setMenuCaption(std::uint32_t command, const std::string& caption);
    virtual void setMenuCheck(std::uint32_t command, bool checked);
    // Resizes the window so that its client area is width x height pixels
    // at 100 % (96 DPI): on a display scaled further the client area is that
    // much larger, so the picture keeps its physical size.
    virtual void fitClient(int width, int height) = 0;
    // Device pixels a pixel at 100 % takes where the window is (1.5 at 144
    // DPI); what the overlay text is scaled by. 1 where the host does not
    // scale: headless, whose pictures are the same everywhere.
    virtual float contentScale() const { return 1.0f; }
    virtual int clientWidth() const = 0;
    virtual int clientHeight() const = 0;
    // The message boxes that belong with this host, for setShell.
    virtual Shell& messageShell() = 0;
    // Ends the window and the device (the surface-lost handler runs first).
    virtual void destroy() = 0;

    // Called when the window needs its picture again while the loop cannot
    // draw: under a closing menu, a modal dialog or message box. The handler
    // draws a frame through device() and calls present(); it may run inside
    // peekMessage, waitMessage, openFileDialog and message boxes.
    void setExposeHandler(std::function<void()> handler) { exposeHandler_ = std::move(handler); }
    // Called with the device still usable just before it is destroyed (the
    // window's surface is going, or destroy()): release every buffer, texture
    // and effect made on it, since none may outlive it.
    void setSurfaceLostHandler(std::function<void()> handler) { surfaceLostHandler_ = std::move(handler); }

protected:
    MessageQueue queue_;
    std::string dialogFolder_;
    std::function<void()> exposeHandler_;
    std::function<void()> surfaceLostHandler_;
};

} // namespace veskar
