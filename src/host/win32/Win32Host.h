#pragma once
// The window host over Win32: the window class and a window of fixed size
// whose picture (a child window filling the client area above the timeline
// strip) is drawn by an OpenGL 3.3 core context through WGL, the
// menu bar built from the application's table (its '&' mnemonics are Windows'
// own), files dropped on the window, the Open dialog and message boxes of the
// system. The window procedure turns what Windows sends into the same
// messages the application's loop fetches on Linux; most of them already are
// those messages.
//
// GL lifetime: create() makes the window (hidden), the context current on it
// and the device. The device lives until destroy(), and the surface-lost
// handler runs first, with the context current.

#include "host/Host.h"

#include <memory>
#include <string>

namespace veskar {

// Its twin over Qt, the same Host interface, is qt/QtHost.h.
class Win32Host final : public Host {
public:
    Win32Host();
    ~Win32Host() override;
    Win32Host(const Win32Host&) = delete;
    Win32Host& operator=(const Win32Host&) = delete;

    bool create(const HostOptions& options, std::string& error) override;
    // ShowWindow with the show command the program was started with.
    void show() override;
    Device* device() override;
    // Dispatches everything Windows has queued (Alt with a menu's letter
    // reaches the menu bar through the default window procedure), then takes
    // the next message of our own.
    bool peekMessage(WindowMessage& message) override;
    void waitMessage() override;
    void present() override;
    bool isActive() const override;
    bool openFileDialog(const FileFilter& filter, std::string& path) override;
    void setMenuCaption(std::uint32_t command, const std::string& caption) override;
    void setMenuCheck(std::uint32_t command, bool checked) override;
    void showTimeline(const TimelineState& state) override;
    // The program is per-monitor DPI aware (its manifest): the sizes are
    // scaled by the window's DPI, and a move to a monitor of another DPI
    // resizes the window as Windows suggests.
    void fitClient(int width, int height) override;
    float contentScale() const override;
    int clientWidth() const override;
    int clientHeight() const override;
    Shell& messageShell() override;
    void destroy() override;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace veskar
