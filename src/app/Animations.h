#pragma once
// The models that play animations: the SMD model and the two characters.
// Each keeps every animation opened onto it (up to 32, the model's slots) and
// plays the one picked for it; the viewer names them by file.

#include <array>
#include <cstddef>
#include <string>

namespace veskar {

enum class Animated : int { Smd = 0, Primary = 1, Secondary = 2 };
constexpr int kAnimatedModels = 3;
constexpr std::array<Animated, kAnimatedModels> kEveryAnimated{Animated::Smd, Animated::Primary, Animated::Secondary};

constexpr std::size_t indexOf(Animated model) { return static_cast<std::size_t>(model); }

// As the overlay's playback lines and the Animation menu name the models.
const char* animatedTag(Animated model);

// The speeds the timeline's speed box offers, as multiples of normal speed
// (30 keys a second). Keys 1 and 2 pick 1 and 0.25.
constexpr std::array<float, 8> kPlaybackSpeeds{0.1f, 0.25f, 0.5f, 1.0f, 1.5f, 2.0f, 3.0f, 4.0f};
constexpr float kSlowestSpeed = 0.1f;
constexpr float kFastestSpeed = 4.0f;
// The box's entry nearest to a speed, and its caption ("0.25x").
std::size_t nearestSpeed(float speed);
std::string speedCaption(float speed);

// An animation's file name as a menu caption: "&2 walk.mAni" (its place
// counted from 1), '&' in the name doubled.
std::string animationCaption(std::size_t index, const std::string& name);

} // namespace veskar
