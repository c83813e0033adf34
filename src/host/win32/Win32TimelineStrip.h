#pragma once
// The timeline strip of the Win32 window (see TimelineStrip.h): common
// controls along the bottom of the main window, under the picture. What they
// send their parent is handed to handleCommand and handleScroll, which post
// it as the application reads it. The button and the lists give the keyboard
// back to the picture once used; the trackbar keeps it for its own keys
// (arrows, Page Up / Down, Home / End) and passes every other key on.

#include "host/TimelineStrip.h"

#include <cstdint>

struct HWND__;

namespace veskar {

class Host;

class Win32TimelineStrip {
public:
    // The strip's height in pixels of the main window's client area at 100 %
    // (96 DPI); sizes grow with the window's DPI.
    static constexpr int kHeight = 30;
    static int heightAt(unsigned dpi) { return scaled(kHeight, dpi); }

    // Makes the controls as children of parent; keys go back to focus.
    bool create(HWND__* parent, HWND__* focus, Host& host);
    // Places the controls in the band of the given width whose top is top.
    void layout(int width, int top, unsigned dpi);
    void show(const TimelineState& state);
    // WM_COMMAND and WM_HSCROLL the main window got: true when they came
    // from the strip (and were posted).
    bool handleCommand(std::uintptr_t wParam, std::intptr_t lParam);
    bool handleScroll(std::uintptr_t wParam, std::intptr_t lParam);
    bool created() const { return slider_ != nullptr; }

private:
    static int scaled(int pixels, unsigned dpi) { return static_cast<int>((static_cast<long long>(pixels) * dpi + 48) / 96); }
    static std::intptr_t __stdcall sliderProcedure(HWND__* window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

    Host* host_ = nullptr;
    HWND__* focus_ = nullptr;
    HWND__* play_ = nullptr;
    HWND__* slider_ = nullptr;
    HWND__* key_ = nullptr;
    HWND__* animations_ = nullptr;
    HWND__* speed_ = nullptr;
    HWND__* bones_ = nullptr;
    std::intptr_t sliderDefault_ = 0;   // the trackbar's own window procedure
    TimelineState shown_;
    bool first_ = true;
};

} // namespace veskar
