#pragma once
// What the command line can say about the picture besides the files: what is
// drawn (--show), from where (--view, --ortho), which animation plays and
// where it stands (--play, --key), whose weights are painted (--weights),
// the background (--background) and the size (--size). Each value is read
// here; a value that cannot be read is a usage error.

#include "render/CameraMoves.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace veskar {

// What is drawn over and around the models. Without --show, the grid and the
// overlay; --show names exactly what is drawn, so leaving grid (or overlay)
// out of it hides that: "--show skeleton" is the models and their skeleton
// on the background alone.
struct ShownLayers {
    bool grid = true;
    bool overlay = true;
    bool skeleton = false;
    bool names = false;
    bool normals = false;
    bool wireframe = false;
};

// The message the application posts itself after the start-up commands, so
// that the view is set up once they are done.
constexpr std::uint32_t kStartupViewMessage = 0x8000 + 1;   // WM_APP + 1

// Applied once every file given on the command line has been opened.
struct StartupView {
    int play = 0;            // 1-based; 0: each model plays the animation opened last
    int key = -1;            // -1: playing; else every animation paused on this key
    std::optional<ViewSide> side;
    bool orthographic = false;
    std::string weights;     // a bone's name, any case; empty: none painted
};

// "grid,overlay,skeleton,names,normals,wireframe" in any order and number,
// or "none". False with the first item not known.
bool parseShownLayers(std::string_view list, ShownLayers& out, std::string& unknown);
// front, back, left, right, top, bottom.
bool parseViewSide(std::string_view text, ViewSide& out);
// "transparent" (alpha 0 where nothing is drawn) or "#RRGGBB".
bool parseBackground(std::string_view text, std::uint32_t& argb);
// "WxH", each side 1 to kLargestPicture pixels.
constexpr int kLargestPicture = 8192;
bool parsePictureSize(std::string_view text, int& width, int& height);
// A whole number from least to most, nothing else.
bool parseCount(std::string_view text, int least, int most, int& out);

} // namespace veskar
