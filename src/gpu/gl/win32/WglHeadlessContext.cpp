// The Windows half of the off-screen context: a window that is never shown
// lends its device context to a WGL context, and everything is drawn into the
// framebuffer object, never into the window. Windows has no context without a
// window, and a hidden one needs no desktop session beyond what any program has.

#include <windows.h>

#include "gpu/gl/HeadlessContext.h"

#include "gpu/gl/win32/WglContext.h"

namespace veskar {

namespace {

constexpr wchar_t kClassName[] = L"VeskarOffscreen";

bool registerClass(std::string& error)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    if (RegisterClassExW(&windowClass) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS) return true;
    error = "the off-screen window class could not be registered (error " + std::to_string(GetLastError()) + ")";
    return false;
}

} // namespace

bool HeadlessContext::openNativeContext(std::string& error)
{
    if (!registerClass(error)) return false;
    HWND window = CreateWindowExW(0, kClassName, L"Veskar", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window) {
        error = "the off-screen window could not be created (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    nativeSurface_ = window;
    auto* context = new WglContext;
    nativeContext_ = context;
    return context->create(window, error);
}

void HeadlessContext::closeNativeContext()
{
    delete static_cast<WglContext*>(nativeContext_);
    nativeContext_ = nullptr;
    if (nativeSurface_) DestroyWindow(static_cast<HWND>(nativeSurface_));
    nativeSurface_ = nullptr;
}

bool HeadlessContext::makeNativeContextCurrent()
{
    auto* context = static_cast<WglContext*>(nativeContext_);
    return context && context->valid() && context->makeCurrent();
}

} // namespace veskar
