// Veskar's headers come before <windows.h>: they name the message constants
// Windows defines as macros, with the same values.
#include "host/win32/Win32TimelineStrip.h"

#include "host/Host.h"
#include "system/win32/WideText.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>

namespace veskar {

namespace {

constexpr int kMargin = 4;
constexpr int kGap = 6;
constexpr int kControlHeight = 24;
constexpr int kPlayWidth = 64;
constexpr int kKeyWidth = 80;
constexpr int kListWidth = 150;
constexpr int kSpeedWidth = 64;
// A list's height given to the system is that of its open drop-down.
constexpr int kDropDownHeight = 320;

HWND control(HWND parent, const wchar_t* kind, const wchar_t* text, DWORD style, std::uint32_t id)
{
    HWND made = CreateWindowExW(0, kind, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, parent,
                                reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    // The system's dialog font rather than the bold one windows start with.
    if (made) SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return made;
}

void fill(HWND box, const std::vector<std::string>& items, int current)
{
    SendMessageW(box, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : items) {
        const std::wstring text = widen(item);
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(current), 0);
    EnableWindow(box, items.empty() ? FALSE : TRUE);
}

bool sliderKey(WPARAM key)
{
    switch (key) {
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_HOME:
    case VK_END: return true;
    default: return false;
    }
}

} // namespace

bool Win32TimelineStrip::create(HWND parent, HWND focus, Host& host)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    host_ = &host;
    focus_ = focus;
    play_ = control(parent, L"BUTTON", L"Play", BS_PUSHBUTTON, strip::kPlay);
    slider_ = control(parent, TRACKBAR_CLASSW, L"", TBS_HORZ | TBS_BOTTOM | TBS_NOTICKS | WS_TABSTOP, 0);
    key_ = control(parent, L"STATIC", L"", SS_CENTER | SS_CENTERIMAGE, 0);
    animations_ = control(parent, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL, strip::kAnimations);
    speed_ = control(parent, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL, strip::kSpeed);
    bones_ = control(parent, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL, strip::kBones);
    if (!play_ || !slider_ || !key_ || !animations_ || !speed_ || !bones_) return false;
    // A click on the channel moves one key towards the cursor.
    SendMessageW(slider_, TBM_SETPAGESIZE, 0, 1);
    SetWindowLongPtrW(slider_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    sliderDefault_ = SetWindowLongPtrW(slider_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32TimelineStrip::sliderProcedure));
    first_ = true;
    show(TimelineState{});
    return true;
}

std::intptr_t __stdcall Win32TimelineStrip::sliderProcedure(HWND window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    auto* self = reinterpret_cast<Win32TimelineStrip*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    const auto original = reinterpret_cast<WNDPROC>(self ? self->sliderDefault_ : 0);
    if (!original) return DefWindowProcW(window, message, wParam, lParam);
    // Keys a trackbar has no use for are the picture's.
    if ((message == WM_KEYDOWN || message == WM_KEYUP) && !sliderKey(wParam)) {
        self->host_->post({message, wParam, lParam, {}});
        return 0;
    }
    return CallWindowProcW(original, window, message, wParam, lParam);
}

void Win32TimelineStrip::layout(int width, int top, unsigned dpi)
{
    if (!created()) return;
    const auto at = [dpi](int pixels) { return scaled(pixels, dpi); };
    const int y = top + (at(kHeight) - at(kControlHeight)) / 2;
    const int right = width - at(kMargin);
    const int bonesX = right - at(kListWidth);
    const int speedX = bonesX - at(kGap) - at(kSpeedWidth);
    const int animationsX = speedX - at(kGap) - at(kListWidth);
    const int keyX = animationsX - at(kGap) - at(kKeyWidth);
    const int sliderX = at(kMargin) + at(kPlayWidth) + at(kGap);
    MoveWindow(play_, at(kMargin), y, at(kPlayWidth), at(kControlHeight), TRUE);
    MoveWindow(slider_, sliderX, y, std::max(keyX - at(kGap) - sliderX, at(20)), at(kControlHeight), TRUE);
    MoveWindow(key_, keyX, y, at(kKeyWidth), at(kControlHeight), TRUE);
    MoveWindow(animations_, animationsX, y, at(kListWidth), at(kDropDownHeight), TRUE);
    MoveWindow(speed_, speedX, y, at(kSpeedWidth), at(kDropDownHeight), TRUE);
    MoveWindow(bones_, bonesX, y, at(kListWidth), at(kDropDownHeight), TRUE);
}

void Win32TimelineStrip::show(const TimelineState& state)
{
    if (!created()) return;
    // Messages sent to the controls here notify nobody: TBM_SETPOS and
    // CB_SETCURSEL are not the user's doing.
    if (first_ || state.keyCount != shown_.keyCount) {
        SendMessageW(slider_, TBM_SETRANGEMIN, FALSE, 0);
        SendMessageW(slider_, TBM_SETRANGEMAX, TRUE, std::max(state.keyCount - 1, 0));
        EnableWindow(slider_, state.keyCount > 0 ? TRUE : FALSE);
        EnableWindow(play_, state.keyCount > 0 ? TRUE : FALSE);
    }
    // The thumb held by the mouse stays where the mouse has it.
    if (GetCapture() != slider_) SendMessageW(slider_, TBM_SETPOS, TRUE, state.key);
    if (first_ || state.playing != shown_.playing) SetWindowTextW(play_, state.playing ? L"Pause" : L"Play");
    if (first_ || state.key != shown_.key || state.keyCount != shown_.keyCount) SetWindowTextW(key_, widen(keyCaption(state)).c_str());
    const auto list = [this](HWND box, const std::vector<std::string>& items, const std::vector<std::string>& before, int current) {
        if (first_ || items != before) fill(box, items, current);
        else SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(current), 0);
    };
    list(animations_, state.animations, shown_.animations, state.animation);
    list(speed_, state.speeds, shown_.speeds, state.speed);
    list(bones_, state.bones, shown_.bones, state.bone);
    shown_ = state;
    first_ = false;
}

bool Win32TimelineStrip::handleCommand(std::uintptr_t wParam, std::intptr_t lParam)
{
    const HWND from = reinterpret_cast<HWND>(lParam);
    if (!created() || !from || (from != play_ && from != animations_ && from != speed_ && from != bones_)) return false;
    const std::uint32_t id = LOWORD(wParam);
    const std::uint32_t code = HIWORD(wParam);
    if (from == play_) {
        if (code == BN_CLICKED) host_->post({WM_COMMAND, makeWParam(id, BN_CLICKED), 0, {}});
        SetFocus(focus_);
    } else if (code == CBN_SELCHANGE) {
        const auto index = static_cast<std::intptr_t>(SendMessageW(from, CB_GETCURSEL, 0, 0));
        host_->post({WM_COMMAND, makeWParam(id, CBN_SELCHANGE), index, {}});
    } else if (code == CBN_CLOSEUP) {
        SetFocus(focus_);
    }
    return true;
}

bool Win32TimelineStrip::handleScroll(std::uintptr_t wParam, std::intptr_t lParam)
{
    if (!created() || reinterpret_cast<HWND>(lParam) != slider_) return false;
    const auto position = static_cast<std::intptr_t>(SendMessageW(slider_, TBM_GETPOS, 0, 0));
    host_->post({WM_HSCROLL, makeWParam(LOWORD(wParam), 0), position, {}});
    return true;
}

} // namespace veskar
