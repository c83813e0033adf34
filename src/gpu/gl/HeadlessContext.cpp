#include "gpu/gl/HeadlessContext.h"

#include "system/AtomicFile.h"
#include "gpu/gl/GlFunctions.h"

#include <stb/stb_image_write.h>

#include <cstring>

namespace veskar {

HeadlessContext::~HeadlessContext() { release(); }

bool HeadlessContext::create(int width, int height, std::string& error)
{
    release();
    if (width <= 0 || height <= 0) {
        error = "the framebuffer size must be positive";
        return false;
    }
    if (!openNativeContext(error)) {
        release();
        return false;
    }

    width_ = width;
    height_ = height;
    glGenRenderbuffers(1, &colour_);
    glBindRenderbuffer(GL_RENDERBUFFER, colour_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glGenRenderbuffers(1, &depth_);
    glBindRenderbuffer(GL_RENDERBUFFER, depth_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    glGenFramebuffers(1, &framebuffer_);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth_);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        error = "the framebuffer object is incomplete";
        release();
        return false;
    }
    glViewport(0, 0, width, height);
    return true;
}

void HeadlessContext::release()
{
    if (nativeContext_ && makeNativeContextCurrent()) {
        if (framebuffer_) glDeleteFramebuffers(1, &framebuffer_);
        if (colour_) glDeleteRenderbuffers(1, &colour_);
        if (depth_) glDeleteRenderbuffers(1, &depth_);
    }
    framebuffer_ = colour_ = depth_ = 0;
    closeNativeContext();
    width_ = height_ = 0;
}

bool HeadlessContext::makeCurrent()
{
    if (!makeNativeContextCurrent()) return false;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    return true;
}

std::string HeadlessContext::renderer() const
{
    if (!nativeContext_) return {};
    const auto* text = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    return std::string(text ? text : "?") + ", " + (version ? version : "?");
}

std::vector<std::uint8_t> HeadlessContext::readPixels() const
{
    std::vector<std::uint8_t> pixels;
    if (!nativeContext_) return pixels;
    const std::size_t row = static_cast<std::size_t>(width_) * 4;
    std::vector<std::uint8_t> bottomUp(row * static_cast<std::size_t>(height_));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    // GL's first row is the bottom one.
    pixels.resize(bottomUp.size());
    for (int y = 0; y < height_; ++y)
        std::memcpy(pixels.data() + static_cast<std::size_t>(y) * row, bottomUp.data() + static_cast<std::size_t>(height_ - 1 - y) * row, row);
    return pixels;
}

bool HeadlessContext::writePng(const std::string& path, std::string& error) const
{
    if (!nativeContext_) {
        error = "no context";
        return false;
    }
    std::vector<std::uint8_t> pixels = readPixels();
    // A window shows the colour whatever alpha blending left in the target;
    // the picture of it must be opaque the same way.
    for (std::size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
    // Encoded in memory, then written as every output is: whole or not at all.
    std::string png;
    const auto append = [](void* to, void* bytes, int length) { static_cast<std::string*>(to)->append(static_cast<const char*>(bytes), static_cast<std::size_t>(length)); };
    if (!stbi_write_png_to_func(append, &png, width_, height_, 4, pixels.data(), width_ * 4)) {
        error = "the picture could not be encoded";
        return false;
    }
    return writeFileAtomically(path, png, error);
}

} // namespace veskar
