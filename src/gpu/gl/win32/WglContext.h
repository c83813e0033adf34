#pragma once
// An OpenGL 3.3 core context on a window through WGL: the window's pixel
// format is set (double-buffered RGBA8 with a 24-bit depth and 8-bit stencil
// buffer, what the Direct3D device asked for), a legacy context is made only
// to reach wglCreateContextAttribsARB, and the core context replaces it. The
// GL functions are loaded while it is current. Used by the window host and by
// the off-screen context, which draws through a hidden window.

#include <string>

struct HWND__;
struct HDC__;
struct HGLRC__;

namespace veskar {

class WglContext {
public:
    WglContext() = default;
    ~WglContext() { release(); }
    WglContext(const WglContext&) = delete;
    WglContext& operator=(const WglContext&) = delete;

    // Leaves the context current on this thread; false with the reason, and
    // nothing kept, when the window's pixel format, the context or OpenGL 3.3
    // core cannot be had. A window's pixel format can be set only once, so
    // each window gets at most one context.
    bool create(HWND__* window, std::string& error);
    void release();
    bool makeCurrent();
    void swapBuffers();
    bool valid() const { return context_ != nullptr; }
    // "renderer, version" of the context, for messages.
    std::string renderer() const;

private:
    HWND__* window_ = nullptr;
    HDC__* dc_ = nullptr;
    HGLRC__* context_ = nullptr;
};

} // namespace veskar
