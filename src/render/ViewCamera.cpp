#include "render/ViewCamera.h"

namespace veskar {

namespace {

// On the ground the camera keeps its height whichever way it faces.
void moveAlong(Vector3& position, const Vector3& along, float d, CameraMode mode)
{
    position.x += along.x * d;
    if (mode != CameraMode::Ground) position.y += along.y * d;
    position.z += along.z * d;
}

} // namespace

void ViewCamera::walk(float d) { moveAlong(position, look, d, mode); }

void ViewCamera::strafe(float d) { moveAlong(position, right, d, mode); }

void ViewCamera::fly(float d)
{
    if (mode == CameraMode::Ground) {
        position.y += d;
        return;
    }
    position.x += up.x * d;
    position.y += up.y * d;
    position.z += up.z * d;
}

void ViewCamera::pitch(float angle)
{
    const Matrix r = matrixRotationAxis(right, angle);
    up = vec3TransformCoord(up, r);
    look = vec3TransformCoord(look, r);
}

void ViewCamera::yaw(float angle)
{
    // About world Y in both modes, so the horizon stays level after a roll.
    const Matrix r = mode == CameraMode::Ground ? matrixRotationY(angle) : matrixRotationAxis({0.0f, 1.0f, 0.0f}, angle);
    right = vec3TransformCoord(right, r);
    look = vec3TransformCoord(look, r);
}

void ViewCamera::roll(float angle)
{
    if (mode == CameraMode::Ground) return;
    const Matrix r = matrixRotationAxis(look, angle);
    right = vec3TransformCoord(right, r);
    up = vec3TransformCoord(up, r);
}

void ViewCamera::buildViewMatrix(Matrix& out)
{
    look = vec3Normalize(look);
    up = vec3Normalize(vec3Cross(look, right));
    right = vec3Normalize(vec3Cross(up, look));
    out = matrixViewFromAxes(right, up, look, position);
}

} // namespace veskar
