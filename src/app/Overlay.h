#pragma once
// The seven overlay lines: frame rate, camera and light positions, key help.

#include "platform/Math.h"

#include <array>
#include <string>

namespace veskar {

constexpr int kOverlayLines = 7;
constexpr int kOverlayX = 1;
constexpr int kOverlayFirstY = 10;
constexpr int kOverlayLineStep = 20;

std::array<std::string, kOverlayLines> overlayLines(float fps, const Vector3& camera, const Vector3& light);

} // namespace veskar
