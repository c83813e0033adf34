#pragma once
// The Win32 message, virtual-key and menu vocabulary the application's window
// procedure is written in. The hosts translate their toolkit's events into
// these numbers so the procedure reads as its Windows original does.

#include <concepts>
#include <cstdint>
#include <string>

namespace veskar {

// Message identifiers, with their Win32 values.
constexpr std::uint32_t WM_CREATE = 0x0001;
constexpr std::uint32_t WM_DESTROY = 0x0002;
constexpr std::uint32_t WM_SIZE = 0x0005;
constexpr std::uint32_t WM_ACTIVATE = 0x0006;
constexpr std::uint32_t WM_PAINT = 0x000F;
constexpr std::uint32_t WM_CLOSE = 0x0010;
constexpr std::uint32_t WM_QUIT = 0x0012;
constexpr std::uint32_t WM_ACTIVATEAPP = 0x001C;
constexpr std::uint32_t WM_KEYDOWN = 0x0100;
constexpr std::uint32_t WM_KEYUP = 0x0101;
constexpr std::uint32_t WM_SYSKEYDOWN = 0x0104;  // F10, Alt and keys held with Alt
constexpr std::uint32_t WM_SYSKEYUP = 0x0105;
constexpr std::uint32_t WM_COMMAND = 0x0111;
constexpr std::uint32_t WM_INITMENU = 0x0116;
constexpr std::uint32_t WM_MOUSEMOVE = 0x0200;
constexpr std::uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr std::uint32_t WM_LBUTTONUP = 0x0202;
constexpr std::uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr std::uint32_t WM_RBUTTONUP = 0x0205;
constexpr std::uint32_t WM_MBUTTONDOWN = 0x0207;
constexpr std::uint32_t WM_MBUTTONUP = 0x0208;
constexpr std::uint32_t WM_MOUSEWHEEL = 0x020A;
constexpr std::uint32_t WM_DROPFILES = 0x0233;

// WM_ACTIVATE: the low word of wParam.
constexpr std::uint32_t WA_INACTIVE = 0;
constexpr std::uint32_t WA_ACTIVE = 1;
constexpr std::uint32_t WA_CLICKACTIVE = 2;

// WM_SIZE: wParam.
constexpr std::uint32_t SIZE_RESTORED = 0;
constexpr std::uint32_t SIZE_MINIMIZED = 1;

// Mouse messages: the buttons and modifier keys held, in wParam.
constexpr std::uint32_t MK_LBUTTON = 0x0001;
constexpr std::uint32_t MK_RBUTTON = 0x0002;
constexpr std::uint32_t MK_SHIFT = 0x0004;
constexpr std::uint32_t MK_CONTROL = 0x0008;
constexpr std::uint32_t MK_MBUTTON = 0x0010;

// Virtual-key codes. Letters and digits are their upper-case ASCII codes
// ('A' to 'Z', '0' to '9'), as in Win32, and have no names of their own.
constexpr std::uint32_t VK_BACK = 0x08;
constexpr std::uint32_t VK_TAB = 0x09;
constexpr std::uint32_t VK_CLEAR = 0x0C;
constexpr std::uint32_t VK_RETURN = 0x0D;
constexpr std::uint32_t VK_SHIFT = 0x10;
constexpr std::uint32_t VK_CONTROL = 0x11;
constexpr std::uint32_t VK_MENU = 0x12;
constexpr std::uint32_t VK_PAUSE = 0x13;
constexpr std::uint32_t VK_CAPITAL = 0x14;
constexpr std::uint32_t VK_ESCAPE = 0x1B;
constexpr std::uint32_t VK_SPACE = 0x20;
constexpr std::uint32_t VK_PRIOR = 0x21;
constexpr std::uint32_t VK_NEXT = 0x22;
constexpr std::uint32_t VK_END = 0x23;
constexpr std::uint32_t VK_HOME = 0x24;
constexpr std::uint32_t VK_LEFT = 0x25;
constexpr std::uint32_t VK_UP = 0x26;
constexpr std::uint32_t VK_RIGHT = 0x27;
constexpr std::uint32_t VK_DOWN = 0x28;
constexpr std::uint32_t VK_INSERT = 0x2D;
constexpr std::uint32_t VK_DELETE = 0x2E;
constexpr std::uint32_t VK_NUMPAD0 = 0x60;
constexpr std::uint32_t VK_NUMPAD1 = 0x61;
constexpr std::uint32_t VK_NUMPAD2 = 0x62;
constexpr std::uint32_t VK_NUMPAD3 = 0x63;
constexpr std::uint32_t VK_NUMPAD4 = 0x64;
constexpr std::uint32_t VK_NUMPAD5 = 0x65;
constexpr std::uint32_t VK_NUMPAD6 = 0x66;
constexpr std::uint32_t VK_NUMPAD7 = 0x67;
constexpr std::uint32_t VK_NUMPAD8 = 0x68;
constexpr std::uint32_t VK_NUMPAD9 = 0x69;
constexpr std::uint32_t VK_MULTIPLY = 0x6A;
constexpr std::uint32_t VK_ADD = 0x6B;
constexpr std::uint32_t VK_SUBTRACT = 0x6D;
constexpr std::uint32_t VK_DECIMAL = 0x6E;
constexpr std::uint32_t VK_DIVIDE = 0x6F;
constexpr std::uint32_t VK_F1 = 0x70;
constexpr std::uint32_t VK_F2 = 0x71;
constexpr std::uint32_t VK_F3 = 0x72;
constexpr std::uint32_t VK_F4 = 0x73;
constexpr std::uint32_t VK_F5 = 0x74;
constexpr std::uint32_t VK_F6 = 0x75;
constexpr std::uint32_t VK_F7 = 0x76;
constexpr std::uint32_t VK_F8 = 0x77;
constexpr std::uint32_t VK_F9 = 0x78;
constexpr std::uint32_t VK_F10 = 0x79;
constexpr std::uint32_t VK_F11 = 0x7A;
constexpr std::uint32_t VK_F12 = 0x7B;
constexpr std::uint32_t VK_NUMLOCK = 0x90;
constexpr std::uint32_t VK_OEM_PLUS = 0xBB;
constexpr std::uint32_t VK_OEM_COMMA = 0xBC;
constexpr std::uint32_t VK_OEM_MINUS = 0xBD;
constexpr std::uint32_t VK_OEM_PERIOD = 0xBE;

// The key-message bits of lParam the window procedure may look at: Alt was
// held, the key was already down (auto-repeat), the key is being released.
constexpr std::intptr_t kKeyAltDown = std::intptr_t{1} << 29;
constexpr std::intptr_t kKeyPreviouslyDown = std::intptr_t{1} << 30;
constexpr std::intptr_t kKeyTransitionUp = std::intptr_t{1} << 31;

// One message as the loop fetches it. path carries the file of WM_DROPFILES,
// which on Windows would sit behind an HDROP handle in wParam.
struct WindowMessage {
    std::uint32_t id = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    std::string path;
};

// MAKELPARAM, LOWORD and HIWORD. The words are unsigned, so a position left
// of or above the client area reads as a large number, as it does on Windows.
constexpr std::intptr_t makeLParam(std::uint32_t low, std::uint32_t high)
{
    return static_cast<std::intptr_t>((low & 0xFFFFu) | ((high & 0xFFFFu) << 16));
}
constexpr std::uintptr_t makeWParam(std::uint32_t low, std::uint32_t high)
{
    return static_cast<std::uintptr_t>((low & 0xFFFFu) | ((high & 0xFFFFu) << 16));
}
template <std::integral T>
constexpr std::uint32_t loWord(T value)
{
    return static_cast<std::uint32_t>(static_cast<std::uintmax_t>(value) & 0xFFFFu);
}
template <std::integral T>
constexpr std::uint32_t hiWord(T value)
{
    return static_cast<std::uint32_t>((static_cast<std::uintmax_t>(value) >> 16) & 0xFFFFu);
}

// One line of a menu resource, read in order as a resource script is: depth 0
// lines are the captions on the menu bar, and a line whose command is 0 opens
// a submenu holding the deeper lines that follow it. Captions keep their '&'
// mnemonics ("&File", "E&xit").
struct MenuItem {
    int depth = 0;
    std::string caption;
    std::uint32_t command = 0;
};

} // namespace veskar
