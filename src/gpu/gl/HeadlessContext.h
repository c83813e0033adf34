#pragma once
// An OpenGL 3.3 core context with no window to show, drawing into a
// framebuffer object of a fixed size. For tests and for rendering frames to
// image files. The context comes from the platform's half: EGL on Mesa's
// surfaceless platform on Linux (posix/EglHeadlessContext.cpp), a hidden
// window's WGL context on Windows (win32/WglHeadlessContext.cpp).

#include <cstdint>
#include <string>
#include <vector>

namespace veskar {

class HeadlessContext {
public:
    HeadlessContext() = default;
    ~HeadlessContext();
    HeadlessContext(const HeadlessContext&) = delete;
    HeadlessContext& operator=(const HeadlessContext&) = delete;

    // Makes the context current with its framebuffer bound; false with the
    // reason when the platform cannot give an OpenGL 3.3 core context.
    bool create(int width, int height, std::string& error);
    void release();
    bool makeCurrent();

    int width() const { return width_; }
    int height() const { return height_; }
    std::uint32_t framebuffer() const { return framebuffer_; }
    std::string renderer() const;

    // Waits for the drawing and returns the framebuffer as RGBA, rows top to bottom.
    std::vector<std::uint8_t> readPixels() const;
    // The framebuffer as a PNG file, written as every output is (whole or not
    // at all, nothing but a regular file replaced); false with the reason.
    bool writePng(const std::string& path, std::string& error) const;

private:
    // The platform's half: makes a current 3.3 core context (and the GL
    // functions usable), ends it, makes it current again.
    bool openNativeContext(std::string& error);
    void closeNativeContext();
    bool makeNativeContextCurrent();

    // The platform's handles: the EGL display and context, or the hidden
    // window and its WglContext.
    void* nativeSurface_ = nullptr;
    void* nativeContext_ = nullptr;
    std::uint32_t framebuffer_ = 0;
    std::uint32_t colour_ = 0;
    std::uint32_t depth_ = 0;
    int width_ = 0;
    int height_ = 0;
};

} // namespace veskar
