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

namespace {

struct SideAxes {
    Vector3 look, up, right;
};

SideAxes axesOf(ViewSide side)
{
    switch (side) {
    case ViewSide::Front: break;
    case ViewSide::Back: return {{0, 0, -1}, {0, 1, 0}, {-1, 0, 0}};
    case ViewSide::Left: return {{1, 0, 0}, {0, 1, 0}, {0, 0, -1}};
    case ViewSide::Right: return {{-1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    case ViewSide::Top: return {{0, -1, 0}, {0, 0, 1}, {1, 0, 0}};
    case ViewSide::Bottom: return {{0, 1, 0}, {0, 0, -1}, {1, 0, 0}};
    }
    return {{0, 0, 1}, {0, 1, 0}, {1, 0, 0}};
}

// Half the box's extent along an axis of the world's.
float halfAlong(const Bounds& bounds, const Vector3& axis)
{
    return 0.5f * (std::fabs(axis.x) * (bounds.max.x - bounds.min.x) + std::fabs(axis.y) * (bounds.max.y - bounds.min.y) +
                   std::fabs(axis.z) * (bounds.max.z - bounds.min.z));
}

} // namespace

Vector3 frameCamera(ViewCamera& camera, const Bounds& bounds, float fieldOfView, float aspect, ViewSide side)
{
    if (bounds.empty()) return camera.position;
    const SideAxes axes = axesOf(side);
    const Vector3 centre = bounds.centre();
    const float halfHeight = halfAlong(bounds, axes.up);
    const float halfWidth = halfAlong(bounds, axes.right);
    const float halfDepth = halfAlong(bounds, axes.look);
    // From above or below, "a little above" would only shift the picture.
    const float lift = axes.up.y == 1.0f ? halfHeight * kFrameLift : 0.0f;
    const float tangent = std::tan(fieldOfView * 0.5f);
    const float across = aspect > 0.0f ? tangent * aspect : tangent;
    // Every point lies at or behind the box's near face, so what fits there
    // fits everywhere.
    const float distance = std::max(std::max((halfHeight + lift) / tangent, halfWidth / across) * kFrameMargin, kClosest);
    resetCamera(camera);
    camera.look = axes.look;
    camera.up = axes.up;
    camera.right = axes.right;
    const float back = halfDepth + distance;
    camera.setPosition({centre.x + axes.up.x * lift - axes.look.x * back, centre.y + axes.up.y * lift - axes.look.y * back,
                        centre.z + axes.up.z * lift - axes.look.z * back});
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
