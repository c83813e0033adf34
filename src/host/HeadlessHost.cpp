#include "host/HeadlessHost.h"

#include "gpu/gl/GlDevice.h"

#include "gpu/gl/GlFunctions.h"

namespace veskar {

HeadlessHost::HeadlessHost() = default;

HeadlessHost::~HeadlessHost() { destroy(); }

bool HeadlessHost::create(const HostOptions& options, std::string& error)
{
    destroy();
    if (!context_.create(options.clientWidth, options.clientHeight, error)) return false;
    auto device = std::make_unique<GlDevice>();
    if (!device->initialise(error)) {
        device.reset();
        context_.release();
        return false;
    }
    device->setRenderTarget(context_.framebuffer(), options.clientWidth, options.clientHeight);
    device_ = std::move(device);
    clientWidth_ = options.clientWidth;
    clientHeight_ = options.clientHeight;
    framesPresented_ = 0;
    return true;
}

void HeadlessHost::show()
{
    if (!device_) return;
    shown_ = true;
    post({WM_SIZE, SIZE_RESTORED, makeLParam(static_cast<std::uint32_t>(clientWidth_), static_cast<std::uint32_t>(clientHeight_)), {}});
    post({WM_ACTIVATE, WA_ACTIVE, 0, {}});
}

Device* HeadlessHost::device() { return device_.get(); }

bool HeadlessHost::peekMessage(WindowMessage& message)
{
    if (queue_.take(message)) return true;
    if (!shown_ || !beforeFirstFrame_) return false;
    const std::function<int()> check = std::move(beforeFirstFrame_);
    beforeFirstFrame_ = nullptr;
    const int code = check();
    if (code == 0) return false;
    message = WindowMessage{WM_QUIT, static_cast<std::uintptr_t>(static_cast<std::intptr_t>(code)), 0, {}};
    return true;
}

void HeadlessHost::present()
{
    if (!device_) return;
    glFinish();
    ++framesPresented_;
}

bool HeadlessHost::openFileDialog(const FileFilter&, std::string& path)
{
    if (dialogAnswers_.empty()) return false;
    path = std::move(dialogAnswers_.front());
    dialogAnswers_.pop_front();
    return true;
}

void HeadlessHost::fitClient(int width, int height)
{
    if (!device_ || (width == clientWidth_ && height == clientHeight_)) return;
    clientWidth_ = width;
    clientHeight_ = height;
    post({WM_SIZE, SIZE_RESTORED, makeLParam(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)), {}});
}

bool HeadlessHost::writeScreenshot(const std::string& pngPath)
{
    std::string error;
    return writeScreenshot(pngPath, error);
}

bool HeadlessHost::writeScreenshot(const std::string& pngPath, std::string& error)
{
    if (!device_) {
        error = "no frame has been drawn: the host has no device";
        return false;
    }
    context_.makeCurrent();
    return context_.writePng(pngPath, error);
}

void HeadlessHost::destroy()
{
    if (device_) {
        context_.makeCurrent();
        if (surfaceLostHandler_) surfaceLostHandler_();
        device_.reset();
    }
    context_.release();
    queue_.clear();
    shown_ = false;
}

} // namespace veskar
