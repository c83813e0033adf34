#include "render/Light.h"

namespace veskar {

Light makeSceneLight()
{
    Light light;
    light.type = LightType::Point;
    light.diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    light.specular = {0.5f, 0.5f, 0.5f, 1.0f};
    light.ambient = {0.1f, 0.1f, 0.1f, 1.0f};
    light.position = {500.0f, 500.0f, -500.0f};
    const Vector3 towards = vec3Normalize(light.position);
    light.direction = {-towards.x, -towards.y, -towards.z};
    light.range = 50000.0f;
    light.attenuation0 = 1.0f;
    return light;
}

} // namespace veskar
