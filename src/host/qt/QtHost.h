#pragma once
// The window host over Qt 6 Widgets: a main window with the menu bar built
// from the application's table, and as its client area a native OpenGL 3.3
// core window whose context the GlDevice draws with. The window opens at the
// client size asked for and can then be resized or maximised. Qt's events
// come out of peekMessage as Win32 messages.
//
// GL lifetime: create() makes the window's native surface (still hidden) and
// the context current on it, then the device. The context stays current on
// this thread; the device lives until destroy() or until Qt takes the surface
// away, and in both cases the surface-lost handler runs first, with the
// context current, so the application can release its device objects.
//
// Coordinates and sizes in messages are client pixels. A host that makes the
// QApplication turns Qt's high-DPI scaling off so these are also framebuffer
// pixels; where the user asks Qt to scale, messages count Qt's scaled pixels
// and the framebuffer is larger by the screen's pixel ratio.

#include "host/Host.h"

#include <cstdint>
#include <memory>
#include <string>

class QMainWindow;
class QWindow;

namespace veskar {

class QtShell;

// Its twin over Win32, the same Host interface, is win32/Win32Host.h.
class QtHost final : public Host {
public:
    QtHost();
    ~QtHost() override;
    QtHost(const QtHost&) = delete;
    QtHost& operator=(const QtHost&) = delete;

    // Makes the QApplication too when none exists yet (and then owns it).
    bool create(const HostOptions& options, std::string& error) override;
    void show() override;
    Device* device() override;
    bool peekMessage(WindowMessage& message) override;
    void waitMessage() override;
    void present() override;
    bool isActive() const override;
    bool openFileDialog(const FileFilter& filter, std::string& path) override;
    void setMenuCaption(std::uint32_t command, const std::string& caption) override;
    void setMenuCheck(std::uint32_t command, bool checked) override;
    void showTimeline(const TimelineState& state) override;
    void fitClient(int width, int height) override;
    int clientWidth() const override;
    int clientHeight() const override;
    Shell& messageShell() override;
    void destroy() override;

    // For tests: the main window and the client window whose events become
    // messages.
    QMainWindow* mainWindow() const;
    QWindow* clientWindow() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// The Win32 virtual key for a Qt::Key value, 0 for keys the window procedure
// never sees. keypad is Qt::KeypadModifier: with it the digits are the
// VK_NUMPAD keys, and with NumLock off the keypad's arrows stay arrows.
std::uint32_t virtualKeyFromQt(int qtKey, bool keypad);

} // namespace veskar
