// The window's messages: keys move the camera and the light, switch
// wireframe and drive playback and the view, the right mouse button turns the
// camera, the left one orbits it and the wheel moves it in, menu commands go
// on to onCommand, activation and size steer the loop and the projection.

#include "app/Application.h"
#include "app/MenuCommands.h"
#include "gpu/Device.h"
#include "render/CameraMoves.h"

#include <algorithm>
#include <cmath>

namespace veskar {

namespace {

constexpr float kMoveStep = 10.0f;
constexpr float kRollStep = 0.017453292f;
constexpr float kLightStep = 100.0f;
constexpr float kLookFactor = 0.005f;
// A tap moves one step. Held past the keyboard's usual repeat delay, a key
// moves on smoothly at the speed its repeats used to give (25 a second).
constexpr double kHoldDelay = 0.3;
constexpr float kRepeatsPerSecond = 25.0f;
// Orbiting turns by this many radians a pixel of mouse travel.
constexpr float kOrbitFactor = 0.01f;
// One notch of the wheel (120 units) brings the camera this much of the way
// nearer, or as much farther back.
constexpr float kWheelFactor = 0.85f;
constexpr float kWheelNotch = 120.0f;

// The held-movement keys, in the order of the application's table.
constexpr std::uint32_t kMoveKeyCodes[] = {'W', 'S', 'D', 'A', 'R', 'F', 'Q', 'E'};

int moveKeyIndex(std::uint32_t key)
{
    for (int i = 0; i < 8; ++i)
        if (kMoveKeyCodes[i] == key) return i;
    return -1;
}

// One key's move by a fraction of its step (1 = the key's whole step).
void moveBy(ViewCamera& camera, std::uint32_t key, float steps)
{
    switch (key) {
    case 'W': camera.walk(kMoveStep * steps); break;
    case 'S': camera.walk(-kMoveStep * steps); break;
    case 'D': camera.strafe(kMoveStep * steps); break;
    case 'A': camera.strafe(-kMoveStep * steps); break;
    case 'R': camera.fly(kMoveStep * steps); break;
    case 'F': camera.fly(-kMoveStep * steps); break;
    case 'Q': camera.roll(kRollStep * steps); break;
    case 'E': camera.roll(-kRollStep * steps); break;
    default: break;
    }
}

std::int32_t xOf(std::intptr_t lParam) { return static_cast<std::int32_t>(loWord(lParam)); }
std::int32_t yOf(std::intptr_t lParam) { return static_cast<std::int32_t>(hiWord(lParam)); }

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
    case WM_ACTIVATE:
        active = loWord(wParam) != WA_INACTIVE;
        // Keys let go in another window never come back as key-ups here.
        if (!active) heldSince_.fill(-1.0);
        return 0;
    case WM_ACTIVATEAPP: return 0;
    case WM_KEYDOWN: onKeyDown(static_cast<std::uint32_t>(wParam), lParam); return 0;
    case WM_KEYUP: onKeyUp(static_cast<std::uint32_t>(wParam)); return 0;
    case WM_COMMAND: onCommand(loWord(wParam)); return 0;
    case WM_INITMENU: return 0;
    case WM_MOUSEWHEEL: {
        const auto delta = static_cast<std::int16_t>(hiWord(wParam));
        dollyCamera(graphics.camera, orbitCentre, std::pow(kWheelFactor, static_cast<float>(delta) / kWheelNotch));
        graphics.updateView();
        return 0;
    }
    case WM_DROPFILES: onDrop(path); return 0;
    case WM_RBUTTONDOWN:
        if (!dragging && !orbiting) {
            anchorX = xOf(lParam);
            anchorY = yOf(lParam);
        }
        dragging = true;
        return 0;
    case WM_LBUTTONDOWN:
        if (!dragging && !orbiting) {
            anchorX = xOf(lParam);
            anchorY = yOf(lParam);
        }
        orbiting = true;
        return 0;
    case WM_MOUSEMOVE:
        if (dragging) mouseLook(lParam);
        // A release outside the window never arrives; the button state of
        // the next move over it tells.
        if (orbiting && !(wParam & MK_LBUTTON)) orbiting = false;
        if (orbiting) orbit(lParam);
        anchorX = xOf(lParam);
        anchorY = yOf(lParam);
        return 0;
    case WM_RBUTTONUP:
        if (dragging) {
            dragging = false;
            mouseLook(lParam);
        }
        return 0;
    case WM_LBUTTONUP:
        if (orbiting) {
            orbiting = false;
            orbit(lParam);
            anchorX = xOf(lParam);
            anchorY = yOf(lParam);
        }
        return 0;
    default: return 0;
    }
}

void Application::mouseLook(std::intptr_t lParam)
{
    graphics.camera.yaw(static_cast<float>(xOf(lParam) - anchorX) * kLookFactor);
    graphics.camera.pitch(static_cast<float>(yOf(lParam) - anchorY) * kLookFactor);
    graphics.updateView();
}

void Application::orbit(std::intptr_t lParam)
{
    // Dragging right turns the model right under the cursor, dragging down
    // lifts the camera to look from above.
    orbitCamera(graphics.camera, orbitCentre, static_cast<float>(xOf(lParam) - anchorX) * kOrbitFactor,
                static_cast<float>(yOf(lParam) - anchorY) * kOrbitFactor);
    graphics.updateView();
}

void Application::moveHeldKeys(double now, double previous)
{
    bool moved = false;
    for (std::size_t i = 0; i < kMoveKeys; ++i) {
        if (heldSince_[i] < 0.0) continue;
        const double from = std::max(previous, heldSince_[i] + kHoldDelay);
        if (now <= from) continue;
        moveBy(graphics.camera, kMoveKeyCodes[i], static_cast<float>(now - from) * kRepeatsPerSecond);
        moved = true;
    }
    if (moved) graphics.updateView();
}

void Application::onKeyUp(std::uint32_t key)
{
    const int held = moveKeyIndex(key);
    if (held >= 0) heldSince_[static_cast<std::size_t>(held)] = -1.0;
}

int Application::onKeyDown(std::uint32_t key, std::intptr_t lParam)
{
    const bool repeat = (lParam & kKeyPreviouslyDown) != 0;
    Vector3& light = graphics.light.position;
    const int held = moveKeyIndex(key);
    if (held >= 0) {
        // The key's own repeats are not steps: holding moves by the clock.
        if (repeat) return 0;
        moveBy(graphics.camera, key, 1.0f);
        graphics.updateView();
        heldSince_[static_cast<std::size_t>(held)] = host ? host->now() : 0.0;
        return 0;
    }
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
    case VK_NUMPAD6: light.x += kLightStep; break;
    case VK_NUMPAD4: light.x -= kLightStep; break;
    case VK_NUMPAD8: light.y += kLightStep; break;
    case VK_NUMPAD5: light.y -= kLightStep; break;
    case VK_NUMPAD9: light.z += kLightStep; break;
    case VK_NUMPAD7: light.z -= kLightStep; break;
    // The viewer's own keys; a held key does its thing once.
    case 'P':
        if (!repeat) paused = !paused;
        break;
    case VK_OEM_COMMA:
        if (paused) stepAnimations(-1);
        break;
    case VK_OEM_PERIOD:
        if (paused) stepAnimations(1);
        break;
    case VK_F1:
        if (!repeat) overlayShown = !overlayShown;
        break;
    case 'B':
        if (!repeat) skeletonShown = !skeletonShown;
        break;
    case 'I':
        if (!repeat) onCommand(command::kInPlace);
        break;
    case VK_HOME: onCommand(command::kFrameModel); break;
    case VK_BACK: onCommand(command::kResetCamera); break;
    case VK_F5:
        if (!repeat) reloadFiles();
        break;
    case VK_F12:
        if (!repeat) screenshotWanted_ = true;
        break;
    default: break;
    }
    return 0;
}

} // namespace veskar
