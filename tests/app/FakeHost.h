#pragma once
// A host for the application's tests: an in-memory device, a message queue
// the test fills, answers for the Open dialog and recorded message boxes.

#include "host/Host.h"
#include "gpu/MemoryDevice.h"
#include "system/Shell.h"

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace veskar::test {

class FakeHost final : public Host {
public:
    bool create(const HostOptions& o, std::string&) override
    {
        options = o;
        device_ = std::make_unique<MemoryDevice>();
        return true;
    }
    void show() override
    {
        post({WM_SIZE, 0, makeLParam(static_cast<std::uint32_t>(options.clientWidth), static_cast<std::uint32_t>(options.clientHeight)), {}});
        post({WM_ACTIVATE, WA_ACTIVE, 0, {}});
    }
    Device* device() override { return device_.get(); }
    MemoryDevice& memory() { return *device_; }
    bool peekMessage(WindowMessage& message) override { return queue_.take(message); }
    void waitMessage() override { ++waits; }
    // Each frame presented moves the clock on by frameSeconds.
    void present() override
    {
        ++presents;
        clock += frameSeconds;
    }
    double now() const override { return clock; }
    void setMenuCaption(std::uint32_t command, const std::string& caption) override { captions[command] = caption; }
    void setMenuCheck(std::uint32_t command, bool checked) override { checks[command] = checked; }
    const std::string& dialogFolder() const { return dialogFolder_; }
    bool isActive() const override { return true; }
    bool openFileDialog(const FileFilter& filter, std::string& path) override
    {
        filtersAsked.push_back(filter.pattern);
        if (answers.empty()) return false;
        path = answers.front();
        answers.pop_front();
        return true;
    }
    void fitClient(int, int) override {}
    int clientWidth() const override { return options.clientWidth; }
    int clientHeight() const override { return options.clientHeight; }
    Shell& messageShell() override { return shell; }
    void destroy() override
    {
        if (device_ && surfaceLostHandler_) surfaceLostHandler_();
        device_.reset();
    }

    HostOptions options;
    std::deque<std::string> answers;
    std::vector<std::string> filtersAsked;
    RecordingShell shell;
    int waits = 0;
    int presents = 0;
    double clock = 0.0;
    double frameSeconds = 1.0 / 60.0;
    std::map<std::uint32_t, std::string> captions;
    std::map<std::uint32_t, bool> checks;

private:
    std::unique_ptr<MemoryDevice> device_;
};

} // namespace veskar::test
