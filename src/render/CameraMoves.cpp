#include "render/CameraMoves.h"

#include <algorithm>
#include <cmath>

namespace veskar {

namespace {

constexpr float kFrameMargin = 1.5f;      // the box fills about three fifths of the view
constexpr float kFrameLift = 0.1f;        // eye above the centre, in half heights
constexpr float kClosest = 2.0f;          // a little beyond the near plane
constexpr float kFarthest = 4000.0f;      // well inside the far plane
constexpr float kSteepest = 1.45f;        // radians of pitch from level, about 83 degrees


} // namespace

void resetCamera(ViewCamera& camera)
{
    camera = ViewCamera{};
    camera.setMode(CameraMode::Free);
    camera.setPosition({0.0f, 0.0f, -300.0f});
}

Vector3 frameCamera(ViewCamera& camera, const Bounds& bounds, float fieldOfView, float aspect)
{
    if (bounds.empty()) return camera.position;
    const Vector3 centre = bounds.centre();
    const float halfHeight = (bounds.max.y - bounds.min.y) * 0.5f;
    const float halfWidth = (bounds.max.x - bounds.min.x) * 0.5f;
    const float lift = halfHeight * kFrameLift;
    const float tangent = std::tan(fieldOfView * 0.5f);
    const float across = aspect > 0.0f ? tangent * aspect : tangent;
    // Every point lies at or behind the box's front face, so what fits there
    // fits everywhere.
    const float distance = std::max(std::max((halfHeight + lift) / tangent, halfWidth / across) * kFrameMargin, kClosest);
    const ViewCamera start = [] {
        ViewCamera c;
        resetCamera(c);
        return c;
    }();
    camera = start;
    camera.setPosition({centre.x, centre.y + lift, bounds.min.z - distance});
    return centre;
}

void orbitCamera(ViewCamera& camera, const Vector3& centre, float yaw, float pitch)
{
    if (std::isfinite(yaw) && yaw != 0.0f) {
        const Matrix turn = matrixRotationAxis({0.0f, 1.0f, 0.0f}, yaw);
        camera.position = vec3Add(centre, vec3TransformNormal(vec3Subtract(camera.position, centre), turn));
        camera.yaw(yaw);
    }
    if (std::isfinite(pitch) && pitch != 0.0f) {
        // A positive pitch tilts the look down: it lowers the elevation.
        const float elevation = std::asin(std::clamp(vec3Normalize(camera.look).y, -1.0f, 1.0f));
        const float allowed = elevation - std::clamp(elevation - pitch, -kSteepest, kSteepest);
        if (allowed == 0.0f) return;
        const Matrix tilt = matrixRotationAxis(camera.right, allowed);
        camera.position = vec3Add(centre, vec3TransformNormal(vec3Subtract(camera.position, centre), tilt));
        camera.pitch(allowed);
    }
}

void dollyCamera(ViewCamera& camera, const Vector3& centre, float factor)
{
    if (!std::isfinite(factor) || factor <= 0.0f) return;
    const Vector3 offset = vec3Subtract(camera.position, centre);
    const float distance = std::sqrt(vec3Dot(offset, offset));
    if (!(distance > 0.0f)) return;
    const float wanted = std::clamp(distance * factor, kClosest, kFarthest);
    const float scale = wanted / distance;
    camera.position = vec3Add(centre, {offset.x * scale, offset.y * scale, offset.z * scale});
}

} // namespace veskar
