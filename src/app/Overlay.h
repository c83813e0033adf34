#pragma once
// The seven overlay lines: frame rate, camera and light positions, key help.

#include "base/Math.h"

#include <array>
#include <string>

namespace veskar {

constexpr int kOverlayLines = 7;
constexpr int kOverlayX = 1;
constexpr int kOverlayFirstY = 10;
constexpr int kOverlayLineStep = 20;

std::array<std::string, kOverlayLines> overlayLines(float fps, const Vector3& camera, const Vector3& light);

// The line after the seven for one animated model, e.g.
// "[Kovr1] walk.mAni 12 / 32": the model's tag, the animation's file name,
// the key it stands on (counted from 0, as the file's time lines are) and the
// number of keys; " paused" follows while playback is paused.
std::string playbackLine(const std::string& tag, const std::string& name, int key, int count, bool paused);

} // namespace veskar
