#pragma once
// Moves of the view camera beyond its own walk, strafe, fly and turns: back to
// the start, framing a box, orbiting around a point and moving towards it.

#include "base/Math.h"
#include "render/ModelBounds.h"
#include "render/ViewCamera.h"

namespace veskar {

// The camera the viewer starts with: free, at (0, 0, -300), looking along +z
// with y up.
void resetCamera(ViewCamera& camera);

// Looks at the box from the front, as the start camera looks (along +z, y
// up), from a little above its centre and far enough back that the whole box
// is in view with a margin. fieldOfView is vertical; aspect is width over
// height. Returns the box's centre, the point to orbit around. An empty box
// leaves the camera as it is.
Vector3 frameCamera(ViewCamera& camera, const Bounds& bounds, float fieldOfView, float aspect);

// Carries the camera around centre: yaw about the world's vertical through
// centre, then pitch about the camera's right axis through it, turning the
// view with it so that centre stays where it is in the picture. The camera
// never goes over the top or under the bottom (pitch stops short of straight
// down or up).
void orbitCamera(ViewCamera& camera, const Vector3& centre, float yaw, float pitch);

// Moves the camera along the line to centre, to factor times its distance
// (below 1 towards it), never nearer than 2 units nor farther than 4000.
void dollyCamera(ViewCamera& camera, const Vector3& centre, float factor);

} // namespace veskar
