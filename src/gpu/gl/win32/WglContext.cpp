#include <windows.h>

#include "gpu/gl/win32/WglContext.h"

#include "gpu/gl/win32/GlFunctions.h"

#include <GL/wglext.h>

namespace veskar {

namespace {

// Windows' own display driver (on a machine without its graphics card's
// driver, in many virtual machines and remote desktops) offers OpenGL 1.1 only.
constexpr char kDriverHint[] = "; OpenGL 3.3 comes with the graphics card maker's driver (Windows' own display driver has OpenGL 1.1 only)";

std::string lastErrorText(const char* what)
{
    return std::string(what) + " failed (error " + std::to_string(GetLastError()) + ")";
}

} // namespace

bool WglContext::create(HWND window, std::string& error)
{
    release();
    window_ = window;
    // The window class has CS_OWNDC, so this DC stays the window's for its life.
    dc_ = GetDC(window);
    if (!dc_) {
        error = lastErrorText("GetDC");
        release();
        return false;
    }
    PIXELFORMATDESCRIPTOR wanted{};
    wanted.nSize = sizeof wanted;
    wanted.nVersion = 1;
    wanted.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    wanted.iPixelType = PFD_TYPE_RGBA;
    wanted.cColorBits = 32;
    wanted.cAlphaBits = 8;
    wanted.cDepthBits = 24;
    wanted.cStencilBits = 8;
    wanted.iLayerType = PFD_MAIN_PLANE;
    const int format = ChoosePixelFormat(dc_, &wanted);
    if (format == 0 || !SetPixelFormat(dc_, format, &wanted)) {
        error = lastErrorText("choosing the window's OpenGL pixel format");
        release();
        return false;
    }
    // Only a current context hands out wglCreateContextAttribsARB.
    HGLRC legacy = wglCreateContext(dc_);
    if (!legacy || !wglMakeCurrent(dc_, legacy)) {
        if (legacy) wglDeleteContext(legacy);
        error = lastErrorText("wglCreateContext");
        release();
        return false;
    }
    const auto createContextAttribs =
        reinterpret_cast<PFNWGLCREATECONTEXTATTRIBSARBPROC>(reinterpret_cast<void*>(wglGetProcAddress("wglCreateContextAttribsARB")));
    const int attributes[] = {WGL_CONTEXT_MAJOR_VERSION_ARB, 3, WGL_CONTEXT_MINOR_VERSION_ARB, 3, WGL_CONTEXT_PROFILE_MASK_ARB,
                              WGL_CONTEXT_CORE_PROFILE_BIT_ARB, 0};
    HGLRC core = createContextAttribs ? createContextAttribs(dc_, nullptr, attributes) : nullptr;
    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(legacy);
    if (!core) {
        error = (createContextAttribs ? lastErrorText("wglCreateContextAttribsARB(OpenGL 3.3 core)")
                                      : std::string("the OpenGL driver has no wglCreateContextAttribsARB (OpenGL 3.3 core is needed)")) +
                kDriverHint;
        release();
        return false;
    }
    context_ = core;
    if (!wglMakeCurrent(dc_, core)) {
        error = lastErrorText("wglMakeCurrent");
        release();
        return false;
    }
    std::string missing;
    if (!loadGlFunctions(missing)) {
        error = "the OpenGL driver lacks " + missing + kDriverHint;
        release();
        return false;
    }
    if (currentGlVersion() < 33) {
        error = "the context offers OpenGL " + std::to_string(currentGlVersion() / 10) + "." + std::to_string(currentGlVersion() % 10) +
                ", 3.3 is needed" + kDriverHint;
        release();
        return false;
    }
    // One frame per display refresh, as the Direct3D device's presentation
    // interval was; drivers without the extension present at once.
    const auto swapInterval = reinterpret_cast<PFNWGLSWAPINTERVALEXTPROC>(reinterpret_cast<void*>(wglGetProcAddress("wglSwapIntervalEXT")));
    if (swapInterval) swapInterval(1);
    return true;
}

void WglContext::release()
{
    if (context_) {
        if (wglGetCurrentContext() == context_) wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(context_);
    }
    context_ = nullptr;
    if (dc_) ReleaseDC(window_, dc_);
    dc_ = nullptr;
    window_ = nullptr;
}

bool WglContext::makeCurrent()
{
    if (!context_) return false;
    if (wglGetCurrentContext() == context_) return true;
    return wglMakeCurrent(dc_, context_) != FALSE;
}

void WglContext::swapBuffers()
{
    if (dc_) SwapBuffers(dc_);
}

std::string WglContext::renderer() const
{
    if (!context_ || !glGetString) return {};
    const auto* text = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    return std::string(text ? text : "?") + ", " + (version ? version : "?");
}

} // namespace veskar
