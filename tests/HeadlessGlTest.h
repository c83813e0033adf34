#pragma once
// A headless OpenGL 3.3 context shared by a test suite and a fresh GlDevice
// drawing into its framebuffer for each test. A test skips when the machine
// has no surfaceless EGL.

#include "gpu/gl/GlDevice.h"
#include "gpu/gl/HeadlessContext.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace veskar::test {

class HeadlessGlTest : public ::testing::Test {
protected:
    static constexpr int kSize = 64;

    static void SetUpTestSuite()
    {
        context_ = std::make_unique<HeadlessContext>();
        if (!context_->create(kSize, kSize, skipReason_)) context_.reset();
    }
    static void TearDownTestSuite() { context_.reset(); }

    // A suite's SetUp calls this first and returns when it skipped or failed.
    void SetUp() override
    {
        if (!context_) GTEST_SKIP() << "no headless GL: " << skipReason_;
        ASSERT_TRUE(context_->makeCurrent());
        device_ = std::make_unique<GlDevice>();
        std::string error;
        ASSERT_TRUE(device_->initialise(error)) << error;
        device_->setRenderTarget(context_->framebuffer(), kSize, kSize);
    }
    bool ready() const { return !IsSkipped() && !HasFatalFailure(); }

    inline static std::unique_ptr<HeadlessContext> context_;
    inline static std::string skipReason_;
    std::unique_ptr<GlDevice> device_;
};

} // namespace veskar::test
