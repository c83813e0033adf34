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

    out.m[0][0] = right.x; out.m[0][1] = up.x; out.m[0][2] = look.x; out.m[0][3] = 0.0f;
    out.m[1][0] = right.y; out.m[1][1] = up.y; out.m[1][2] = look.y; out.m[1][3] = 0.0f;
    out.m[2][0] = right.z; out.m[2][1] = up.z; out.m[2][2] = look.z; out.m[2][3] = 0.0f;
    out.m[3][0] = -vec3Dot(position, right);
    out.m[3][1] = -vec3Dot(position, up);
    out.m[3][2] = -vec3Dot(position, look);
    out.m[3][3] = 1.0f;
}

} // namespace veskar
