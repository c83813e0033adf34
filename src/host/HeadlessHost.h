#pragma once
// The host without a window: an EGL surfaceless context drawing into a
// framebuffer of the client size, for rendering frames to image files and for
// running the application's loop in tests. It has no input; the runner feeds
// menu commands with post() and the files their dialogs would pick with
// answerNextDialog().

#include "gpu/gl/HeadlessContext.h"
#include "host/Host.h"
#include "system/Shell.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>

namespace veskar {

class GlDevice;

class HeadlessHost final : public Host {
public:
    HeadlessHost();
    ~HeadlessHost() override;
    HeadlessHost(const HeadlessHost&) = delete;
    HeadlessHost& operator=(const HeadlessHost&) = delete;

    bool create(const HostOptions& options, std::string& error) override;
    // Posts the WM_SIZE and WM_ACTIVATE a window would get when shown.
    void show() override;
    Device* device() override;
    bool peekMessage(WindowMessage& message) override;
    // Nothing can arrive from outside, so it returns at once.
    void waitMessage() override {}
    // Waits for the drawing to finish, so a frame's cost shows where it is spent.
    void present() override;
    bool isActive() const override { return device_ != nullptr; }
    // 1/60 s for every frame presented.
    double now() const override { return framesPresented_ / 60.0; }
    // The next answer given to answerNextDialog, or false when none is left.
    bool openFileDialog(const FileFilter& filter, std::string& path) override;
    // The framebuffer is fixed at creation; only the reported size changes.
    void fitClient(int width, int height) override;
    int clientWidth() const override { return clientWidth_; }
    int clientHeight() const override { return clientHeight_; }
    Shell& messageShell() override { return shell_; }
    void destroy() override;

    void answerNextDialog(std::string path) { dialogAnswers_.push_back(std::move(path)); }
    // Called once, when the queue first runs dry after show(): every command
    // posted at start-up has been carried out and nothing has been drawn. A
    // nonzero result ends the loop at once (WM_QUIT) with that exit code.
    void setBeforeFirstFrame(std::function<int()> check) { beforeFirstFrame_ = std::move(check); }
    // The current framebuffer as a PNG; false with no device or when the file
    // cannot be written.
    bool writeScreenshot(const std::string& pngPath);
    bool writeScreenshot(const std::string& pngPath, std::string& error);
    int framesPresented() const { return framesPresented_; }
    HeadlessContext& context() { return context_; }

private:
    HeadlessContext context_;
    std::unique_ptr<GlDevice> device_;
    StderrShell shell_;
    std::deque<std::string> dialogAnswers_;
    std::function<int()> beforeFirstFrame_;
    bool shown_ = false;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    int framesPresented_ = 0;
};

} // namespace veskar
