#pragma once
// The one rendering object the application owns: the device the host made,
// the overlay font, the view camera with the view and projection it gives, the
// scene light record, and single lines of overlay text.

#include "gpu/Device.h"
#include "gpu/TextDrawer.h"
#include "render/Light.h"
#include "render/ViewCamera.h"

#include <cstdint>
#include <string>

namespace veskar {

// The projection: a vertical field of view of pi / 4 between planes 1 and
// 5000 units from the camera.
constexpr float kFieldOfView = 0.785398f;
constexpr float kNearPlane = 1.0f;
constexpr float kFarPlane = 5000.0f;

class GraphicsContext {
public:
    GraphicsContext();
    ~GraphicsContext();
    GraphicsContext(const GraphicsContext&) = delete;
    GraphicsContext& operator=(const GraphicsContext&) = delete;

    // device: made and owned by the host (window or headless), current and
    // ready to draw; it must outlive this object's use of it. Creates the
    // overlay font and sets the initial camera, transforms, viewport and
    // states. kOk, or kFail with the reason in failure; what was made stays
    // for release. No font is no failure: font stays null, text draws
    // nothing and warning says why.
    Result create(Device* device, int width, int height, int fontHeight);
    // Frees the font and forgets the device; safe to call again.
    void release();
    void updateView();
    // The projection and the viewport for a new client size, so the picture
    // fills a resized window; a minimised window (a zero side) keeps the old
    // ones.
    void resize(int width, int height);
    // Text larger by this factor (a display's scale): the font's height is
    // the one create was given times it, made again when it changes.
    void setTextScale(float scale);
    // One line of overlay text from (x, y); a null text draws nothing.
    void drawText(const char* text, int x, int y);
    void setTextColour(float r, float g, float b, float a);

    Device* device = nullptr;      // not owned
    TextDrawer* font = nullptr;    // owned
    Rect textRect;
    std::int32_t fontHeight = 0;   // in pixels, textScale included
    float textScale = 1.0f;
    float textColour[4] = {1.0f, 1.0f, 0.0f, 1.0f};
    Matrix viewMatrix;
    Matrix projectionMatrix;
    ViewCamera camera;
    Light light;
    std::int32_t width = 0;
    std::int32_t height = 0;

    std::string failure;           // why the last create failed
    std::string warning;           // why there is no overlay text; empty while there is

private:
    void createFont();
    std::int32_t baseFontHeight_ = 0;
};

// A colour channel of 0..1 as a byte: values at or past the ends saturate,
// the rest round to nearest. NaN counts as 0.
std::uint8_t colourByte(float value);
// (a << 24) | (r << 16) | (g << 8) | b from four channels of 0..1.
std::uint32_t packColour(const float rgba[4]);

} // namespace veskar
