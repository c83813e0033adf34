#include "render/EffectBinding.h"

namespace veskar {

int bindEffectParameters(Device& device, Effect& effect)
{
    Matrix world, view, projection;
    device.getTransform(TransformType::World, &world);
    device.getTransform(TransformType::View, &view);
    device.getTransform(TransformType::Projection, &projection);

    const Matrix worldView = matrixMultiply(world, view);
    effect.setMatrix("matWorldView", worldView);
    effect.setMatrix("matWorldViewInverseTranspose", matrixTranspose(matrixInverse(worldView)));
    effect.setMatrix("matWorldViewProjection", matrixMultiply(worldView, projection));

    // The eye at the origin of view space and the light one unit in front of
    // it: the shading follows the camera, not the scene light record.
    effect.setVector("fvEyePosition", {0.0f, 0.0f, 0.0f, 1.0f});
    effect.setVector("fvLightPosition", {0.0f, 0.0f, 1.0f, 1.0f});
    effect.setVector("fvAmbient", {0.2f, 0.2f, 0.2f, 1.0f});
    effect.setVector("fvDiffuse", {1.0f, 1.0f, 1.0f, 1.0f});
    effect.setVector("fvSpecular", {0.2f, 0.2f, 0.2f, 1.0f});
    return 0;
}

bool beginModelDraw(Device* device, Effect* effect, EffectHandle technique)
{
    if (!effect || !device) return false;
    device->lightEnable(0, false);
    device->setRenderState(RenderState::Lighting, 0);
    bindEffectParameters(*device, *effect);
    effect->setTechnique(technique);
    std::uint32_t passes = 0;   // only pass 0 is ever drawn
    effect->begin(&passes, 0);
    device->setRenderState(RenderState::CullMode, kCullNone);
    device->setRenderState(RenderState::ZEnable, 1);
    effect->beginPass(0);
    return true;
}

void endModelDraw(Effect& effect)
{
    effect.endPass();
    effect.end();
}

void setDiffuseMap(Effect& effect, Texture* texture)
{
    effect.setTexture("DiffuseMap", texture);
    effect.commitChanges();
}

} // namespace veskar
