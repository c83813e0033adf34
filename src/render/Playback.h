#pragma once
// Where an animation stands and how it moves on: a key it blends from
// (currentFrame), the key it blends towards (nextFrame) and how far between
// them (blend, in keys). Both model kinds play this way, looping over the
// keys first .. limit - 1.

#include "import/Skeleton.h"

#include <cstdint>

namespace veskar {

// Puts keys left outside first .. limit - 1 (by an earlier, longer range or
// animation) back inside: a current key outside restarts at first, a next key
// outside the animation becomes the one after current. A NaN blend becomes 0.
// The range must be valid (0 <= first < limit <= frameCount).
void wrapPlayback(SkeletonAnimation& a, std::int32_t first, std::int32_t limit);

// Moves the position on by step keys. The fraction stays in blend; every whole
// key passed moves currentFrame on by one (wrapping within the range) and
// nextFrame to the key after it, so a step of any size keeps time exactly: a
// frame that took three keys' time advances three keys. A blend within a
// ten-thousandth of a whole key counts as having reached it, so sums of
// small steps land on the key they add up to. A negative or non-finite step
// counts as 0. The range must be valid.
void advancePlayback(SkeletonAnimation& a, float step, std::int32_t first, std::int32_t limit);

// Steps whole keys back (negative) or forward from the current key, wrapping
// within the range, and stands exactly on the key reached (blend 0). The
// range must be valid.
void stepKeys(SkeletonAnimation& a, std::int32_t keys, std::int32_t first, std::int32_t limit);

} // namespace veskar
