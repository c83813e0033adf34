#pragma once
// Every model compiles its own instance of the shading effect when it is made.

#include "platform/Effect.h"

namespace veskar {

class Device;

constexpr const char* kEffectPath = "./Shaders/Phong.fx";
constexpr const char* kTechniqueName = "TShader";

// Fills effect and technique, or shows the "ERROR" box with the reason and
// leaves them null. Without a device (the command-line converter) nothing is
// made and nothing is shown. Always returns 0.
int loadEffect(Device* device, Effect*& effect, EffectHandle& technique);

} // namespace veskar
