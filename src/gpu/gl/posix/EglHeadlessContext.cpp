// The Linux half of the off-screen context: EGL on Mesa's surfaceless
// platform, so no display server is needed.

#include "gpu/gl/HeadlessContext.h"

#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <cstdio>
#include <cstring>

namespace veskar {

namespace {

bool hasExtension(const char* list, const char* name)
{
    if (!list) return false;
    const std::size_t length = std::strlen(name);
    for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += length) {
        const bool startOk = p == list || p[-1] == ' ';
        const bool endOk = p[length] == ' ' || p[length] == '\0';
        if (startOk && endOk) return true;
    }
    return false;
}

std::string eglErrorText(const char* what)
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%04X", static_cast<unsigned>(eglGetError()));
    return std::string(what) + " failed (EGL error " + code + ")";
}

} // namespace

bool HeadlessContext::openNativeContext(std::string& error)
{
    if (!epoxy_has_egl()) {
        error = "no EGL library could be loaded; install libegl1 and libegl-mesa0";
        return false;
    }
    // The client extensions say whether Mesa's surfaceless platform exists
    // before asking for it; EGL 1.5's eglGetPlatformDisplay is not used since
    // it aborts under libepoxy here.
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!hasExtension(clientExtensions, "EGL_EXT_platform_base") || !hasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) {
        error = "no EGL driver offers drawing without a window (EGL_MESA_platform_surfaceless); install libegl-mesa0 (Mesa's EGL)";
        return false;
    }
    EGLDisplay display = eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY) {
        error = eglErrorText("eglGetPlatformDisplayEXT(surfaceless)") + "; install libegl-mesa0 and libgl1-mesa-dri";
        return false;
    }
    EGLint major = 0, minor = 0;
    if (!eglInitialize(display, &major, &minor)) {
        error = eglErrorText("eglInitialize") + "; install libegl-mesa0 and libgl1-mesa-dri";
        return false;
    }
    nativeSurface_ = display;
    const char* extensions = eglQueryString(display, EGL_EXTENSIONS);
    if (!hasExtension(extensions, "EGL_KHR_no_config_context") || !hasExtension(extensions, "EGL_KHR_surfaceless_context")) {
        error = "EGL lacks EGL_KHR_no_config_context or EGL_KHR_surfaceless_context; install libegl-mesa0 (Mesa's EGL)";
        return false;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        error = eglErrorText("eglBindAPI(OpenGL)");
        return false;
    }
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3, EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                 EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
    EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (context == EGL_NO_CONTEXT) {
        error = "no OpenGL 3.3 core context could be made: " + eglErrorText("eglCreateContext") +
                "; a driver that offers it is needed, for example Mesa's llvmpipe in libgl1-mesa-dri";
        return false;
    }
    nativeContext_ = context;
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        error = eglErrorText("eglMakeCurrent");
        return false;
    }
    if (epoxy_gl_version() < 33) {
        error = "the context offers OpenGL " + std::to_string(epoxy_gl_version() / 10) + "." + std::to_string(epoxy_gl_version() % 10) +
                ", 3.3 is needed; a driver that offers it is needed, for example Mesa's llvmpipe in libgl1-mesa-dri";
        return false;
    }
    return true;
}

void HeadlessContext::closeNativeContext()
{
    if (!nativeSurface_) return;
    auto display = static_cast<EGLDisplay>(nativeSurface_);
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (nativeContext_) eglDestroyContext(display, static_cast<EGLContext>(nativeContext_));
    // The display is the process's and stays initialised: terminating it
    // unloads the driver, which the next context would load again.
    nativeContext_ = nullptr;
    nativeSurface_ = nullptr;
}

bool HeadlessContext::makeNativeContextCurrent()
{
    if (!nativeSurface_ || !nativeContext_) return false;
    return eglMakeCurrent(static_cast<EGLDisplay>(nativeSurface_), EGL_NO_SURFACE, EGL_NO_SURFACE, static_cast<EGLContext>(nativeContext_));
}

} // namespace veskar
