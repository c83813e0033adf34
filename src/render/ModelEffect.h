#pragma once
// Every model compiles its own instance of the shading effect when it is made.

#include "gpu/Effect.h"

namespace veskar {

class Device;

// The effect ships as this file, relative to each place it is looked for;
// kEffectPath is the first place, the working folder.
constexpr const char* kEffectFile = "Shaders/Phong.fx";
constexpr const char* kEffectPath = "./Shaders/Phong.fx";
constexpr const char* kTechniqueName = "TShader";

// Fills effect and technique from the first place that holds the effect file
// (the working folder, beside the executable, the installed data folder), or
// shows the "ERROR" box with the reason (every place looked in, when none holds
// it) and leaves them null. Without a device (the command-line converter) nothing is
// made and nothing is shown. Always returns 0.
int loadEffect(Device* device, Effect*& effect, EffectHandle& technique);

} // namespace veskar
