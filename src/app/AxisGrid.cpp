#include "app/AxisGrid.h"

#include "gpu/Device.h"

#include <new>

namespace veskar {

int AxisGrid::build(Device* dev)
{
    device = dev;
    releaseVertices();
    vertices = new (std::nothrow) LineVertex[kVertexCount];
    if (!vertices) return -1;
    int n = 0;
    auto line = [&](float x0, float y0, float z0, float x1, float y1, float z1, std::uint32_t colour) {
        vertices[n++] = {x0, y0, z0, colour};
        vertices[n++] = {x1, y1, z1, colour};
    };
    line(-10000, 0, 0, 0, 0, 0, 0xFFFF0000);
    line(0, 0, 0, 10000, 0, 0, 0xFFFF0000);
    line(0, -10000, 0, 0, 0, 0, 0xFF00FF00);
    line(0, 0, 0, 0, 10000, 0, 0xFF00FF00);
    line(0, 0, -10000, 0, 0, 0, 0xFF0000FF);
    line(0, 0, 0, 0, 0, 10000, 0xFF0000FF);
    for (int i = 0; i < 20; ++i) {
        const float k = 10.0f * static_cast<float>(i + 1);
        const std::uint32_t colour = i % 2 == 0 ? 0xFF555555 : 0xFF999999;
        line(-200, 0, k, 200, 0, k, colour);
        line(-200, 0, -k, 200, 0, -k, colour);
        line(k, 0, -200, k, 0, 200, colour);
        line(-k, 0, -200, -k, 0, 200, colour);
    }
    return 0;
}

void setUnlitUntexturedStates(Device& device)
{
    device.setSamplerState(0, SamplerState::AddressU, kTexAddressWrap);
    device.setSamplerState(0, SamplerState::AddressV, kTexAddressWrap);
    device.setSamplerState(0, SamplerState::MinFilter, kTexFilterLinear);
    device.setSamplerState(0, SamplerState::MagFilter, kTexFilterLinear);
    device.setSamplerState(0, SamplerState::MipFilter, kTexFilterLinear);
    device.setRenderState(RenderState::Lighting, 0);
    device.setRenderState(RenderState::AlphaBlendEnable, 0);
    device.setRenderState(RenderState::AlphaTestEnable, 0);
    device.setTexture(0, nullptr);
}

void AxisGrid::draw()
{
    if (!device || !vertices) return;
    setUnlitUntexturedStates(*device);
    device->setFVF(fvf::kXyz | fvf::kDiffuse);
    device->drawPrimitiveUP(PrimitiveType::LineList, kLineCount, vertices, sizeof(LineVertex));
    device->setRenderState(RenderState::Lighting, 1);
}

void AxisGrid::releaseVertices()
{
    delete[] vertices;
    vertices = nullptr;
}

} // namespace veskar
