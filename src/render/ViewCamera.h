#pragma once
// The viewer's camera: a position and three axes, moved by keys and turned by
// the mouse. Ground mode keeps walking level; Free mode moves along its axes.

#include "base/Math.h"

#include <cstdint>

namespace veskar {

enum class CameraMode : std::int32_t { Ground = 0, Free = 1 };

class ViewCamera {
public:
    void walk(float distance);
    void strafe(float distance);
    void fly(float distance);
    void pitch(float angle);
    void yaw(float angle);
    void roll(float angle);
    void setMode(CameraMode newMode) { mode = newMode; }
    void setPosition(const Vector3& p) { position = p; }
    // Makes the axes orthonormal again (stored back, so drift does not pile
    // up) and writes the view matrix they give.
    void buildViewMatrix(Matrix& out);

    CameraMode mode = CameraMode::Free;
    Vector3 position{0.0f, 0.0f, 0.0f};
    Vector3 right{1.0f, 0.0f, 0.0f};
    Vector3 up{0.0f, 1.0f, 0.0f};
    Vector3 look{0.0f, 0.0f, 1.0f};
};

} // namespace veskar
