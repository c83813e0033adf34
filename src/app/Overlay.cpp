#include "app/Overlay.h"

#include <cstdio>

namespace veskar {

namespace {

std::string format3(const char* format, const Vector3& v)
{
    // Wide enough for any float in "%f": lines are never cut, even in the
    // middle of a multi-byte character.
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, format, static_cast<double>(v.x), static_cast<double>(v.y), static_cast<double>(v.z));
    return buffer;
}

} // namespace

std::array<std::string, kOverlayLines> overlayLines(float fps, const Vector3& camera, const Vector3& light)
{
    char fpsText[128];
    std::snprintf(fpsText, sizeof fpsText, "FPS: %f", static_cast<double>(fps));
    return {fpsText,
            format3("[CAMERA]X:%f, Y:%f, Z:%f", camera),
            format3("[광원]X:%f, Y:%f, Z:%f", light),
            "[Camera이동] W/A/S/D [Roll] Q/E [↑↓] R/F",
            "[Camera회전] 마우스 R 버튼",
            // The keypad moves the light with Ctrl held; alone it turns the view.
            "[Light이동] Ctrl+ [X이동]NUM8/NUM5 [Y이동]NUM4/NUM6 [Z이동]NUM7/NUM9",
            "[WIRE/SOLID] SPACE BAR"};
}

std::string playbackLine(const std::string& tag, const std::string& name, int key, int count, bool paused)
{
    return "[" + tag + "] " + name + " " + std::to_string(key) + " / " + std::to_string(count) + (paused ? " paused" : "");
}

} // namespace veskar
