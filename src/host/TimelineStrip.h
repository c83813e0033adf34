#pragma once
// The strip a window host shows under the picture: a play / pause button, a
// slider over the keys of the animation shown with the key and the count, the
// list of that model's animations, the speed box and the list of bones whose
// weights can be painted. The application says what it shows
// (Host::showTimeline); what the user does with it comes back as the
// messages a Win32 window gets from such controls:
//   play button  WM_COMMAND, LOWORD(wParam) kPlay, HIWORD BN_CLICKED
//   a list       WM_COMMAND, LOWORD(wParam) the list, HIWORD CBN_SELCHANGE,
//                lParam the index picked
//   slider       WM_HSCROLL, LOWORD(wParam) the TB_ request, lParam the
//                slider's position (a key, counted from 0)
// On Windows lParam would hold the control's window; the hosts put there the
// value the application needs. Setting the controls from showTimeline sends
// nothing back.

#include <cstdint>
#include <string>
#include <vector>

namespace veskar {

namespace strip {
constexpr std::uint32_t kPlay = 40401;
constexpr std::uint32_t kAnimations = 40402;
constexpr std::uint32_t kSpeed = 40403;
constexpr std::uint32_t kBones = 40404;
constexpr bool isControl(std::uint32_t id) { return id >= kPlay && id <= kBones; }
} // namespace strip

struct TimelineState {
    int keyCount = 0;      // 0: nothing plays; the slider and the button are off
    int key = 0;
    bool playing = false;  // the button offers to pause
    std::vector<std::string> animations;
    int animation = -1;    // -1: none picked
    std::vector<std::string> speeds;
    int speed = -1;
    std::vector<std::string> bones;
    int bone = -1;

    bool operator==(const TimelineState&) const = default;
};

// "12 / 32": the key (counted from 0, as the overlay counts) and the count;
// "- / -" when nothing plays.
std::string keyCaption(const TimelineState& state);

} // namespace veskar
