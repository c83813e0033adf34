// The window's messages: keys move the camera and the light and switch
// wireframe, the right mouse button turns the camera, menu commands go on to
// onCommand, activation and size steer the loop and the projection.

#include "app/Application.h"
#include "platform/Device.h"

namespace veskar {

namespace {

constexpr float kMoveStep = 10.0f;
constexpr float kRollStep = 0.017453292f;
constexpr float kLightStep = 100.0f;
constexpr float kLookFactor = 0.005f;

} // namespace

std::intptr_t Application::handleMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam, const std::string& path)
{
    switch (message) {
    case WM_CREATE: return 0;
    case WM_CLOSE:
    case WM_DESTROY:
        // Closing the window ends the program as Esc does.
        if (host) host->postQuit(0);
        quit_ = host == nullptr;
        return 0;
    case WM_SIZE: onResize(static_cast<int>(loWord(lParam)), static_cast<int>(hiWord(lParam))); return 0;
    case WM_ACTIVATE: active = loWord(wParam) != WA_INACTIVE; return 0;
    case WM_ACTIVATEAPP: return 0;
    case WM_KEYDOWN: onKeyDown(static_cast<std::uint32_t>(wParam)); return 0;
    case WM_COMMAND: onCommand(loWord(wParam)); return 0;
    case WM_INITMENU:
    case WM_MOUSEWHEEL: return 0;
    case WM_DROPFILES: onDrop(path); return 0;
    case WM_RBUTTONDOWN:
        if (!dragging) {
            anchorX = static_cast<std::int32_t>(loWord(lParam));
            anchorY = static_cast<std::int32_t>(hiWord(lParam));
        }
        dragging = true;
        return 0;
    case WM_MOUSEMOVE: {
        const auto x = static_cast<std::int32_t>(loWord(lParam));
        const auto y = static_cast<std::int32_t>(hiWord(lParam));
        if (dragging) mouseLook(lParam);
        anchorX = x;
        anchorY = y;
        return 0;
    }
    case WM_RBUTTONUP:
        if (dragging) {
            dragging = false;
            mouseLook(lParam);
        }
        return 0;
    default: return 0;
    }
}

void Application::mouseLook(std::intptr_t lParam)
{
    const auto x = static_cast<std::int32_t>(loWord(lParam));
    const auto y = static_cast<std::int32_t>(hiWord(lParam));
    graphics.camera.yaw(static_cast<float>(x - anchorX) * kLookFactor);
    graphics.camera.pitch(static_cast<float>(y - anchorY) * kLookFactor);
    graphics.updateView();
}

int Application::onKeyDown(std::uint32_t key)
{
    ViewCamera& camera = graphics.camera;
    Vector3& light = graphics.light.position;
    switch (key) {
    case VK_ESCAPE:
        if (host) host->postQuit(0);
        else quit_ = true;
        break;
    case VK_SPACE:
        if (scene) {
            scene->fillMode = scene->fillMode == kFillSolid ? kFillWireframe : kFillSolid;
            if (graphics.device) graphics.device->setRenderState(RenderState::FillMode, scene->fillMode);
        }
        break;
    case '1': speedFactor = 2.0f; break;
    case '2': speedFactor = 0.5f; break;
    case 'W': camera.walk(kMoveStep); graphics.updateView(); break;
    case 'S': camera.walk(-kMoveStep); graphics.updateView(); break;
    case 'D': camera.strafe(kMoveStep); graphics.updateView(); break;
    case 'A': camera.strafe(-kMoveStep); graphics.updateView(); break;
    case 'R': camera.fly(kMoveStep); graphics.updateView(); break;
    case 'F': camera.fly(-kMoveStep); graphics.updateView(); break;
    case 'Q': camera.roll(kRollStep); graphics.updateView(); break;
    case 'E': camera.roll(-kRollStep); graphics.updateView(); break;
    case VK_NUMPAD6: light.x += kLightStep; break;
    case VK_NUMPAD4: light.x -= kLightStep; break;
    case VK_NUMPAD8: light.y += kLightStep; break;
    case VK_NUMPAD5: light.y -= kLightStep; break;
    case VK_NUMPAD9: light.z += kLightStep; break;
    case VK_NUMPAD7: light.z -= kLightStep; break;
    default: break;
    }
    return 0;
}

} // namespace veskar
