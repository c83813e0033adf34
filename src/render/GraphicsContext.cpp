#include "render/GraphicsContext.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace veskar {

std::uint8_t colourByte(float value)
{
    if (value >= 1.0f) return 255;
    if (!(value > 0.0f)) return 0;
    return static_cast<std::uint8_t>(static_cast<int>(value * 255.0f + 0.5f));
}

std::uint32_t packColour(const float rgba[4])
{
    return static_cast<std::uint32_t>(colourByte(rgba[3])) << 24 | static_cast<std::uint32_t>(colourByte(rgba[0])) << 16 |
           static_cast<std::uint32_t>(colourByte(rgba[1])) << 8 | static_cast<std::uint32_t>(colourByte(rgba[2]));
}

GraphicsContext::GraphicsContext() : light(makeSceneLight()) {}

GraphicsContext::~GraphicsContext() { release(); }

Result GraphicsContext::create(Device* newDevice, int newWidth, int newHeight, int newFontHeight)
{
    failure.clear();
    width = newWidth;
    height = newHeight;
    baseFontHeight_ = newFontHeight;
    fontHeight = static_cast<std::int32_t>(std::lround(static_cast<float>(newFontHeight) * textScale));
    if (!newDevice) {
        failure = "there is no device to draw with";
        return kFail;
    }
    device = newDevice;

    // The font is Arial bold on Windows; Liberation Sans has its metrics.
    // Without any font the picture is still worth having: the overlay is
    // left out, and the warning says so.
    createFont();

    camera.setMode(CameraMode::Free);
    camera.setPosition({0.0f, 0.0f, -300.0f});
    camera.buildViewMatrix(viewMatrix);
    device->setTransform(TransformType::View, viewMatrix);

    projectionMatrix = matrixPerspectiveFovLH(kFieldOfView, static_cast<float>(width) / static_cast<float>(height), kNearPlane, kFarPlane);
    device->setTransform(TransformType::Projection, projectionMatrix);

    Viewport viewport;
    viewport.x = 0;
    viewport.y = 0;
    viewport.width = static_cast<std::uint32_t>(width);
    viewport.height = static_cast<std::uint32_t>(height);
    viewport.minZ = 0.0f;
    viewport.maxZ = 1.0f;
    device->setViewport(viewport);

    device->setRenderState(RenderState::SpecularEnable, 1);
    device->setRenderState(RenderState::CullMode, kCullNone);
    device->setRenderState(RenderState::ZEnable, 1);

    device->setSamplerState(0, SamplerState::MagFilter, kTexFilterLinear);
    device->setSamplerState(0, SamplerState::MinFilter, kTexFilterLinear);
    device->setSamplerState(1, SamplerState::MagFilter, kTexFilterLinear);
    device->setSamplerState(1, SamplerState::MinFilter, kTexFilterLinear);
    device->setSamplerState(0, SamplerState::MipFilter, kTexFilterLinear);
    device->setSamplerState(1, SamplerState::MipFilter, kTexFilterLinear);
    return kOk;
}

void GraphicsContext::createFont()
{
    warning.clear();
    if (!font) font = new TextDrawer;
    std::string error;
    if (font->create(*device, fontHeight, true, error)) return;
    warning = "no font for the overlay text (" + error + "); the picture is drawn without it";
    delete font;   // a drawer that failed holds nothing
    font = nullptr;
}

void GraphicsContext::setTextScale(float scale)
{
    // Windows scales displays from 100 to 500 %.
    if (!std::isfinite(scale)) return;
    scale = std::clamp(scale, 1.0f, 5.0f);
    if (scale == textScale) return;
    textScale = scale;
    fontHeight = static_cast<std::int32_t>(std::lround(static_cast<float>(baseFontHeight_) * textScale));
    if (!device) return;
    if (font) font->release();
    createFont();
}

void GraphicsContext::release()
{
    if (font) {
        font->release();
        delete font;
        font = nullptr;
    }
    // The host made the device and destroys it; here it is only forgotten.
    device = nullptr;
}

void GraphicsContext::updateView()
{
    camera.buildViewMatrix(viewMatrix);
    if (device) device->setTransform(TransformType::View, viewMatrix);
}

void GraphicsContext::resize(int newWidth, int newHeight)
{
    if (newWidth <= 0 || newHeight <= 0) return;
    width = newWidth;
    height = newHeight;
    projectionMatrix =
        matrixPerspectiveFovLH(kFieldOfView, static_cast<float>(newWidth) / static_cast<float>(newHeight), kNearPlane, kFarPlane);
    if (!device) return;
    device->setTransform(TransformType::Projection, projectionMatrix);
    Viewport viewport = device->viewport();
    viewport.x = 0;
    viewport.y = 0;
    viewport.width = static_cast<std::uint32_t>(newWidth);
    viewport.height = static_cast<std::uint32_t>(newHeight);
    device->setViewport(viewport);
}

void GraphicsContext::drawText(const char* text, int x, int y)
{
    if (!text) return;
    // The right edge is the length times the height from the window's left
    // edge, not from x: lines are clipped there, as they always were.
    textRect.left = x;
    textRect.top = y;
    textRect.right = static_cast<int>(std::strlen(text)) * fontHeight;
    textRect.bottom = y + fontHeight;
    if (font && device) font->drawText(text, textRect, packColour(textColour));
}

void GraphicsContext::setTextColour(float r, float g, float b, float a)
{
    textColour[0] = r;
    textColour[1] = g;
    textColour[2] = b;
    textColour[3] = a;
}

} // namespace veskar
