#pragma once
// The scene light record, with the fields of a Direct3D 9 light. Only the
// overlay reads it: models are shaded by the effect with a fixed light.

#include "base/Math.h"

#include <cstdint>

namespace veskar {

struct ColourValue {
    float r = 0.0f, g = 0.0f, b = 0.0f, a = 0.0f;
};

enum class LightType : std::int32_t { Point = 1, Spot = 2, Directional = 3 };

struct Light {
    LightType type = LightType::Point;
    ColourValue diffuse;
    ColourValue specular;
    ColourValue ambient;
    Vector3 position;
    Vector3 direction;
    float range = 0.0f;
    float falloff = 0.0f;
    float attenuation0 = 0.0f;
    float attenuation1 = 0.0f;
    float attenuation2 = 0.0f;
    float theta = 0.0f;
    float phi = 0.0f;
};

// The light the viewer starts with: a white point light up, right and in
// front of the origin, aimed at it.
Light makeSceneLight();

} // namespace veskar
