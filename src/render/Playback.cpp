#include "render/Playback.h"

#include <cmath>

namespace veskar {

namespace {

constexpr float kKeyTolerance = 1e-4f;

std::int32_t wrapKey(std::int64_t key, std::int32_t first, std::int32_t limit)
{
    const std::int64_t span = limit - first;
    std::int64_t offset = (key - first) % span;
    if (offset < 0) offset += span;
    return static_cast<std::int32_t>(first + offset);
}

void followCurrent(SkeletonAnimation& a, std::int32_t first, std::int32_t limit)
{
    a.nextFrame = a.currentFrame + 1;
    if (a.nextFrame >= limit) a.nextFrame = first;
}

} // namespace

void wrapPlayback(SkeletonAnimation& a, std::int32_t first, std::int32_t limit)
{
    if (a.currentFrame < first || a.currentFrame >= limit) a.currentFrame = first;
    if (a.nextFrame < 0 || a.nextFrame >= a.frameCount) followCurrent(a, first, limit);
    if (std::isnan(a.blend)) a.blend = 0.0f;
}

void advancePlayback(SkeletonAnimation& a, float step, std::int32_t first, std::int32_t limit)
{
    if (std::isfinite(step) && step > 0.0f) a.blend += step;
    if (!std::isfinite(a.blend)) a.blend = 0.0f;
    if (a.blend < 1.0f - kKeyTolerance) return;
    const double whole = std::floor(static_cast<double>(a.blend) + kKeyTolerance);
    a.blend = std::fmax(0.0f, static_cast<float>(static_cast<double>(a.blend) - whole));
    // Only the position within the loop matters, however long the step.
    const std::int64_t span = limit - first;
    const auto keys = static_cast<std::int64_t>(std::fmod(whole, static_cast<double>(span)));
    a.currentFrame = wrapKey(static_cast<std::int64_t>(a.currentFrame) + keys, first, limit);
    followCurrent(a, first, limit);
}

void stepKeys(SkeletonAnimation& a, std::int32_t keys, std::int32_t first, std::int32_t limit)
{
    a.currentFrame = wrapKey(static_cast<std::int64_t>(a.currentFrame) + keys, first, limit);
    followCurrent(a, first, limit);
    a.blend = 0.0f;
}

} // namespace veskar
