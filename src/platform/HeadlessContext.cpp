#include "platform/HeadlessContext.h"

#include "platform/AtomicFile.h"

#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <stb/stb_image_write.h>

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

HeadlessContext::~HeadlessContext() { release(); }

bool HeadlessContext::create(int width, int height, std::string& error)
{
    release();
    if (width <= 0 || height <= 0) {
        error = "the framebuffer size must be positive";
        return false;
    }
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
    display_ = display;
    const char* extensions = eglQueryString(display, EGL_EXTENSIONS);
    if (!hasExtension(extensions, "EGL_KHR_no_config_context") || !hasExtension(extensions, "EGL_KHR_surfaceless_context")) {
        error = "EGL lacks EGL_KHR_no_config_context or EGL_KHR_surfaceless_context; install libegl-mesa0 (Mesa's EGL)";
        release();
        return false;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        error = eglErrorText("eglBindAPI(OpenGL)");
        release();
        return false;
    }
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3, EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                 EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
    EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (context == EGL_NO_CONTEXT) {
        error = "no OpenGL 3.3 core context could be made: " + eglErrorText("eglCreateContext") +
                "; a driver that offers it is needed, for example Mesa's llvmpipe in libgl1-mesa-dri";
        release();
        return false;
    }
    context_ = context;
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        error = eglErrorText("eglMakeCurrent");
        release();
        return false;
    }
    if (epoxy_gl_version() < 33) {
        error = "the context offers OpenGL " + std::to_string(epoxy_gl_version() / 10) + "." + std::to_string(epoxy_gl_version() % 10) +
                ", 3.3 is needed; a driver that offers it is needed, for example Mesa's llvmpipe in libgl1-mesa-dri";
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
    if (!display_) return;
    auto display = static_cast<EGLDisplay>(display_);
    if (context_ && eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, static_cast<EGLContext>(context_))) {
        if (framebuffer_) glDeleteFramebuffers(1, &framebuffer_);
        if (colour_) glDeleteRenderbuffers(1, &colour_);
        if (depth_) glDeleteRenderbuffers(1, &depth_);
    }
    framebuffer_ = colour_ = depth_ = 0;
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context_) eglDestroyContext(display, static_cast<EGLContext>(context_));
    // The display is the process's and stays initialised: terminating it
    // unloads the driver, which the next context would load again.
    context_ = nullptr;
    display_ = nullptr;
    width_ = height_ = 0;
}

bool HeadlessContext::makeCurrent()
{
    if (!display_ || !context_) return false;
    if (!eglMakeCurrent(static_cast<EGLDisplay>(display_), EGL_NO_SURFACE, EGL_NO_SURFACE, static_cast<EGLContext>(context_)))
        return false;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    return true;
}

std::string HeadlessContext::renderer() const
{
    if (!context_) return {};
    const auto* text = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    return std::string(text ? text : "?") + ", " + (version ? version : "?");
}

std::vector<std::uint8_t> HeadlessContext::readPixels() const
{
    std::vector<std::uint8_t> pixels;
    if (!context_) return pixels;
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
    if (!context_) {
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
