// Veskar's headers come before <windows.h>: they name the message and key
// constants Windows defines as macros, with the same values.
#include "host/win32/Win32Host.h"

#include "gpu/gl/GlDevice.h"
#include "host/WindowHost.h"
#include "host/win32/RegistrySettings.h"
#include "gpu/gl/win32/WglContext.h"
#include "system/win32/WideText.h"
#include "host/win32/Win32Shell.h"
#include "host/win32/Win32TimelineStrip.h"

#include <windows.h>

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

namespace veskar {

namespace {

// The window class has the window's title for its name, as the program always had.
constexpr wchar_t kClassName[] = L"[Tavimor] Veskar";
// The picture: a borderless window owned by the main window and kept over
// its client area above the strip, with the OpenGL context on its own device
// context. Not a child window: Wine shows OpenGL only in a top-level window
// without children, and a child control in the main window would make that
// one a parent too.
constexpr wchar_t kViewClassName[] = L"Veskar picture";
constexpr int kIconResource = 101;
// A style without a sizing border; the client area keeps the size asked for.
constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CLIPCHILDREN;
// Long paths need more than MAX_PATH; the dialog fails cleanly past this.
constexpr std::size_t kPathCapacity = 32768;
// WM_DPICHANGED, which older headers leave out.
constexpr UINT kDpiChanged = 0x02E0;
constexpr UINT kDefaultDpi = 96;

// The window's DPI: GetDpiForWindow where Windows has it (10, version 1607
// on), the screen's otherwise.
UINT dpiOf(HWND window)
{
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    UINT dpi = window && getDpiForWindow ? getDpiForWindow(window) : 0;
    if (dpi == 0) {
        HDC screen = GetDC(nullptr);
        dpi = screen ? static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSX)) : 0;
        if (screen) ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? dpi : kDefaultDpi;
}

bool isKeyMessage(UINT message)
{
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP;
}

} // namespace

struct Win32Host::Impl {
    explicit Impl(Win32Host& owner) : host(owner) {}

    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK viewProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static Impl* ownerOf(HWND window, UINT message, LPARAM lParam, HWND Impl::*slot);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleView(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleKey(HWND to, UINT message, WPARAM wParam, LPARAM lParam);
    bool registerClasses(std::string& error);
    void layout();
    int stripHeight() const { return strip.created() ? Win32TimelineStrip::heightAt(dpiOf(window)) : 0; }
    bool buildMenu(const std::vector<MenuItem>& table, std::string& error);
    bool createDevice(std::string& error);
    void releaseDevice();
    void dropped(HDROP drop);
    void exposed();

    Win32Host& host;
    HWND window = nullptr;
    HWND view = nullptr;   // the picture, over window's client area
    Win32TimelineStrip strip;
    HMENU menu = nullptr;  // owned by the window once it has it
    // Every item of the table in table order, so that an item taken out for
    // an empty caption goes back at its place: Win32 menus cannot hide one.
    struct Slot {
        HMENU parent;
        std::uint32_t command;  // 0 for separators and submenus, always present
        bool present;
    };
    std::vector<Slot> slots;
    void setCaption(std::uint32_t command, const std::string& caption);
    WglContext context;
    std::unique_ptr<GlDevice> device;
    Win32Shell shell;
    int requestedWidth = 0;
    int requestedHeight = 0;
    bool acceptFiles = false;
    bool inExpose = false;
};

// The Impl a window of ours belongs to, kept in its user data from WM_NCCREATE
// on (with the window's handle in slot); null before that.
Win32Host::Impl* Win32Host::Impl::ownerOf(HWND window, UINT message, LPARAM lParam, HWND Impl::*slot)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        static_cast<Impl*>(create->lpCreateParams)->*slot = window;
    }
    return reinterpret_cast<Impl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

LRESULT CALLBACK Win32Host::Impl::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Impl* impl = ownerOf(window, message, lParam, &Impl::window);
    return impl ? impl->handle(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK Win32Host::Impl::viewProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Impl* impl = ownerOf(window, message, lParam, &Impl::view);
    return impl ? impl->handleView(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Win32Host::Impl::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto pass = [&] { host.post({message, static_cast<std::uintptr_t>(wParam), static_cast<std::intptr_t>(lParam), {}}); };
    if (isKeyMessage(message)) return handleKey(window, message, wParam, lParam);
    switch (message) {
    case WM_CLOSE:
        // Closing is the application's decision.
        pass();
        return 0;
    case WM_COMMAND:
        // Menus and accelerators have no control window; the strip's
        // controls post what they mean.
        if (lParam == 0) pass();
        else strip.handleCommand(wParam, lParam);
        return 0;
    case WM_HSCROLL:
        strip.handleScroll(wParam, lParam);
        return 0;
    case WM_SIZE:
    case WM_MOVE:
        layout();
        return 0;
    case WM_ACTIVATE:
        pass();
        break;  // the default gives the window the keyboard focus
    case WM_DROPFILES:
        dropped(reinterpret_cast<HDROP>(wParam));
        return 0;
    case kDpiChanged: {
        // Onto a monitor of another DPI: the size Windows suggests keeps the
        // picture's physical size; WM_SIZE tells the application.
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_DESTROY:
        releaseDevice();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Win32Host::Impl::handleView(UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto pass = [&] { host.post({message, static_cast<std::uintptr_t>(wParam), static_cast<std::intptr_t>(lParam), {}}); };
    if (isKeyMessage(message)) return handleKey(view, message, wParam, lParam);
    switch (message) {
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED && LOWORD(lParam) > 0 && HIWORD(lParam) > 0) {
            if (device) device->setRenderTarget(0, LOWORD(lParam), HIWORD(lParam));
            pass();
        }
        return 0;
    case WM_MOUSEACTIVATE:
        // The main window stays the active one, with the keyboard.
        return MA_NOACTIVATE;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        // A click on the picture takes the keyboard back from the strip.
        SetFocus(window);
        pass();
        return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_MOUSEWHEEL:
        pass();
        return 0;
    case WM_ERASEBKGND:
        // The frame covers the whole picture; erasing it first only flickers.
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(view, &paint);
        EndPaint(view, &paint);
        exposed();
        return 0;
    }
    default:
        break;
    }
    return DefWindowProcW(view, message, wParam, lParam);
}

// Keys reach the application from either window. The system keys go on to
// Windows too, so that Alt with a menu's letter, F10 and Alt+F4 work as it has
// them: the picture's default hands them to the main window.
LRESULT Win32Host::Impl::handleKey(HWND to, UINT message, WPARAM wParam, LPARAM lParam)
{
    host.post({message, static_cast<std::uintptr_t>(wParam), static_cast<std::intptr_t>(lParam), {}});
    if (message == WM_SYSKEYDOWN || message == WM_SYSKEYUP) return DefWindowProcW(to, message, wParam, lParam);
    return 0;
}

void Win32Host::Impl::layout()
{
    RECT client{};
    if (!window || IsIconic(window) || !GetClientRect(window, &client)) return;
    const int pictureHeight = std::max<int>(client.bottom - stripHeight(), 1);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    if (view) SetWindowPos(view, nullptr, origin.x, origin.y, client.right, pictureHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    strip.layout(client.right, pictureHeight, dpiOf(window));
}

void Win32Host::Impl::dropped(HDROP drop)
{
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        if (length == 0 || DragQueryFileW(drop, i, path.data(), length + 1) != length) continue;
        path.resize(length);
        if (acceptFiles) host.post({WM_DROPFILES, 0, 0, narrow(path)});
    }
    DragFinish(drop);
}

void Win32Host::Impl::exposed()
{
    // WM_PAINT also comes while a menu, the Open dialog or a message box
    // holds the loop; the picture is drawn there and then.
    if (!device || !host.exposeHandler_ || inExpose || !IsWindowVisible(view)) return;
    inExpose = true;
    context.makeCurrent();
    host.exposeHandler_();
    inExpose = false;
}

bool Win32Host::Impl::buildMenu(const std::vector<MenuItem>& table, std::string& error)
{
    if (table.empty()) return true;
    menu = CreateMenu();
    if (!menu) {
        error = "the menu bar could not be created";
        return false;
    }
    std::vector<HMENU> open;  // open[d]: the submenu holding depth d + 1
    for (const MenuItem& item : table) {
        if (item.depth < 0 || static_cast<std::size_t>(item.depth) > open.size()) {
            error = "menu table: \"" + item.caption + "\" is nested deeper than the submenu before it";
            return false;
        }
        open.resize(static_cast<std::size_t>(item.depth));
        HMENU parent = open.empty() ? menu : open.back();
        const std::wstring caption = widen(item.caption);
        slots.push_back({parent, item.command, item.command == 0 || !item.caption.empty()});
        if (item.command != 0 && item.caption.empty()) {
            continue;  // shown once it gets a caption
        } else if (item.command == 0 && item.caption.empty()) {
            AppendMenuW(parent, MF_SEPARATOR, 0, nullptr);
        } else if (item.command == 0) {
            HMENU submenu = CreatePopupMenu();
            if (!submenu || !AppendMenuW(parent, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(submenu), caption.c_str())) {
                if (submenu) DestroyMenu(submenu);
                error = "menu table: \"" + item.caption + "\" could not be added";
                return false;
            }
            open.push_back(submenu);
        } else if (!AppendMenuW(parent, MF_STRING, item.command, caption.c_str())) {
            error = "menu table: \"" + item.caption + "\" could not be added";
            return false;
        }
    }
    return true;
}

bool Win32Host::Impl::createDevice(std::string& error)
{
    if (!context.create(view, error)) return false;
    auto made = std::make_unique<GlDevice>();
    if (!made->initialise(error)) return false;
    device = std::move(made);
    RECT client{};
    GetClientRect(view, &client);
    device->setRenderTarget(0, client.right > 0 ? client.right : requestedWidth, client.bottom > 0 ? client.bottom : requestedHeight);
    return true;
}

void Win32Host::Impl::releaseDevice()
{
    if (device) {
        context.makeCurrent();
        if (host.surfaceLostHandler_) host.surfaceLostHandler_();
        device.reset();
    }
    context.release();
}

Win32Host::Win32Host() : impl_(std::make_unique<Impl>(*this)) {}

Win32Host::~Win32Host() { destroy(); }

bool Win32Host::create(const HostOptions& options, std::string& error)
{
    destroy();
    Impl& d = *impl_;
    if (options.clientWidth <= 0 || options.clientHeight <= 0) {
        error = "the client area must have a positive size";
        return false;
    }
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!d.registerClasses(error)) return false;
    d.requestedWidth = options.clientWidth;
    d.requestedHeight = options.clientHeight;
    d.acceptFiles = options.acceptFiles;
    if (!d.buildMenu(options.menu, error)) {
        destroy();
        return false;
    }
    const std::wstring title = widen(options.title);
    // The window starts at the client size and is fitted to it before it shows.
    d.window = CreateWindowExW(0, kClassName, title.c_str(), kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, options.clientWidth,
                               options.clientHeight, nullptr, d.menu, instance, &d);
    if (!d.window) {
        error = "the window could not be created (error " + std::to_string(GetLastError()) + ")";
        destroy();
        return false;
    }
    d.menu = nullptr;  // the window's now
    DragAcceptFiles(d.window, options.acceptFiles ? TRUE : FALSE);
    CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kViewClassName, L"", WS_POPUP, 0, 0, options.clientWidth, options.clientHeight,
                    d.window, nullptr, instance, &d);
    if (!d.view) {
        error = "the picture's window could not be created (error " + std::to_string(GetLastError()) + ")";
        destroy();
        return false;
    }
    d.shell.setPicture(d.view);
    if (options.timeline && !d.strip.create(d.window, d.window, *this)) {
        error = "the timeline's controls could not be created (error " + std::to_string(GetLastError()) + ")";
        destroy();
        return false;
    }
    d.layout();
    if (!d.createDevice(error)) {
        destroy();
        return false;
    }
    return true;
}

void Win32Host::show()
{
    Impl& d = *impl_;
    if (!d.window) return;
    // SW_SHOWDEFAULT is the show command the program was started with.
    ShowWindow(d.window, SW_SHOWDEFAULT);
    d.layout();
    ShowWindow(d.view, SW_SHOWNOACTIVATE);
    SetForegroundWindow(d.window);
    SetFocus(d.window);
    UpdateWindow(d.window);
    d.context.makeCurrent();
}

Device* Win32Host::device() { return impl_->device.get(); }

bool Win32Host::peekMessage(WindowMessage& message)
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            postQuit(static_cast<int>(msg.wParam));
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    impl_->context.makeCurrent();
    return queue_.take(message);
}

void Win32Host::waitMessage()
{
    if (queue_.empty()) WaitMessage();
}

void Win32Host::present()
{
    Impl& d = *impl_;
    if (!d.device || !IsWindowVisible(d.view)) return;
    d.context.swapBuffers();
}

bool Win32Host::isActive() const { return impl_->window && GetActiveWindow() == impl_->window; }

bool Win32Host::openFileDialog(const FileFilter& filter, std::string& path)
{
    Impl& d = *impl_;
    if (!d.window) return false;
    // Description, NUL, patterns, NUL, NUL.
    std::wstring filters = widen(filter.description);
    filters.push_back(L'\0');
    filters += widen(filter.pattern);
    filters.push_back(L'\0');
    filters.push_back(L'\0');
    std::vector<wchar_t> file(kPathCapacity, L'\0');
    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = d.window;
    request.lpstrFilter = filters.c_str();
    request.lpstrFile = file.data();
    request.nMaxFile = static_cast<DWORD>(file.size());
    request.Flags = OFN_NOCHANGEDIR;
    bool chosen = false;
    {
        const PictureOutOfTheWay away(d.view);
        chosen = GetOpenFileNameW(&request) != FALSE;
    }
    d.context.makeCurrent();
    if (chosen) path = narrow(file.data());
    return chosen;
}

float Win32Host::contentScale() const { return static_cast<float>(dpiOf(impl_->window)) / static_cast<float>(kDefaultDpi); }

void Win32Host::fitClient(int width, int height)
{
    Impl& d = *impl_;
    if (!d.window || width <= 0 || height <= 0) return;
    const UINT dpi = dpiOf(d.window);
    width = MulDiv(width, static_cast<int>(dpi), kDefaultDpi);
    height = MulDiv(height, static_cast<int>(dpi), kDefaultDpi);
    d.requestedWidth = width;
    d.requestedHeight = height;
    // The window grows by the strip; the picture keeps the size asked for.
    RECT rect{0, 0, width, height + d.stripHeight()};
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(d.window, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(d.window, GWL_EXSTYLE));
    AdjustWindowRectEx(&rect, style, GetMenu(d.window) != nullptr, exStyle);
    SetWindowPos(d.window, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    // A menu bar that wraps onto a second line takes from the client area;
    // one more round sizes the window for what it really has.
    RECT client{};
    GetClientRect(d.window, &client);
    const int wantedHeight = height + d.stripHeight();
    if (client.bottom != wantedHeight || client.right != width) {
        RECT outer{};
        GetWindowRect(d.window, &outer);
        SetWindowPos(d.window, nullptr, 0, 0, outer.right - outer.left + width - client.right,
                     outer.bottom - outer.top + wantedHeight - client.bottom, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    }
}

int Win32Host::clientWidth() const
{
    RECT client{};
    return impl_->view && GetClientRect(impl_->view, &client) && client.right > 0 ? client.right : impl_->requestedWidth;
}

int Win32Host::clientHeight() const
{
    RECT client{};
    return impl_->view && GetClientRect(impl_->view, &client) && client.bottom > 0 ? client.bottom : impl_->requestedHeight;
}

void Win32Host::showTimeline(const TimelineState& state) { impl_->strip.show(state); }

Shell& Win32Host::messageShell() { return impl_->shell; }

void Win32Host::destroy()
{
    Impl& d = *impl_;
    d.releaseDevice();
    if (d.window) {
        // The window procedure stops hearing about it first.
        SetWindowLongPtrW(d.window, GWLP_USERDATA, 0);
        if (d.view) SetWindowLongPtrW(d.view, GWLP_USERDATA, 0);
        d.shell.setPicture(nullptr);
        DestroyWindow(d.window);
        d.window = nullptr;
        d.view = nullptr;
        d.strip = Win32TimelineStrip{};
    }
    if (d.menu) DestroyMenu(d.menu);
    d.menu = nullptr;
    queue_.clear();
}

} // namespace veskar

namespace veskar {

bool Win32Host::Impl::registerClasses(std::string& error)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = Impl::windowProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconResource));
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);   // behind the strip
    windowClass.lpszClassName = kClassName;
    WNDCLASSEXW viewClass = windowClass;
    // An OpenGL window keeps its own device context.
    viewClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    viewClass.lpfnWndProc = Impl::viewProcedure;
    viewClass.hIcon = nullptr;
    viewClass.hbrBackground = nullptr;
    viewClass.lpszClassName = kViewClassName;
    for (const WNDCLASSEXW* c : {&windowClass, &viewClass}) {
        if (!RegisterClassExW(c) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            error = "the window class could not be registered (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
    }
    return true;
}

void Win32Host::Impl::setCaption(std::uint32_t command, const std::string& caption)
{
    UINT position = 0;
    for (Slot& slot : slots) {
        if (slot.command != command) continue;
        // The item's place among the items its submenu now shows.
        for (const Slot& before : slots) {
            if (&before == &slot) break;
            if (before.parent == slot.parent && before.present) ++position;
        }
        const std::wstring text = widen(caption);
        if (caption.empty()) {
            if (slot.present) RemoveMenu(slot.parent, command, MF_BYCOMMAND);
            slot.present = false;
        } else if (slot.present) {
            ModifyMenuW(slot.parent, command, MF_BYCOMMAND | MF_STRING, command, text.c_str());
        } else {
            slot.present = InsertMenuW(slot.parent, position, MF_BYPOSITION | MF_STRING, command, text.c_str()) != 0;
        }
        return;
    }
}

void Win32Host::setMenuCaption(std::uint32_t command, const std::string& caption) { impl_->setCaption(command, caption); }

void Win32Host::setMenuCheck(std::uint32_t command, bool checked)
{
    // The bar belongs to the window once it is made, so ask the window for it.
    HMENU bar = impl_->window ? GetMenu(impl_->window) : impl_->menu;
    if (bar) CheckMenuItem(bar, command, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

std::unique_ptr<Host> makeWindowHost() { return std::make_unique<Win32Host>(); }

std::unique_ptr<Settings> makeWindowSettings() { return std::make_unique<RegistrySettings>(); }

} // namespace veskar
