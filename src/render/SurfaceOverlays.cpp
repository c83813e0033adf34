#include "render/SurfaceOverlays.h"

#include "gpu/Device.h"
#include "import/TextScan.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace veskar {

namespace {

// How far lines on a surface are pulled towards the eye, in depth-buffer
// units (0 at the near plane, 1 at the far one): about a unit at the distance
// a character is framed from, a few hundredths of its size.
constexpr float kDepthPull = 1.0e-5f;
// Heat colours are shaded at least this much, so faces turned away still
// show their colour.
constexpr float kLeastLight = 0.35f;

std::int32_t meshSlots(std::int32_t count) { return std::clamp(count, 0, kModelSlots); }

DrawnSurface surfaceOf(const VertexBuffer* buffer, std::size_t stride, std::size_t count, const Matrix& world)
{
    DrawnSurface s;
    if (!buffer) return s;
    s.bytes = buffer->bytes;
    s.stride = stride;
    s.vertexCount = std::min(count, s.bytes.size() / stride);
    s.world = world;
    return s;
}

struct Corner {
    Vector3 position;
    Vector3 normal;
};

Corner cornerAt(const DrawnSurface& s, std::size_t i)
{
    float f[6];
    std::memcpy(f, s.bytes.data() + i * s.stride, sizeof f);
    return {transformPoint({f[0], f[1], f[2]}, s.world), vec3TransformNormal({f[3], f[4], f[5]}, s.world)};
}

// The triangles of a surface as vertex numbers, each one checked.
template <typename Visit>
void forEachTriangle(const DrawnSurface& s, Visit visit)
{
    if (s.triangles.empty()) {
        for (std::size_t t = 0; t + 3 <= s.vertexCount; t += 3) visit(t, t + 1, t + 2);
        return;
    }
    const auto inside = [&s](std::int32_t i) { return i >= 0 && static_cast<std::size_t>(i) < s.vertexCount; };
    for (const TriangleIndices& t : s.triangles)
        if (inside(t.a) && inside(t.b) && inside(t.c)) visit(static_cast<std::size_t>(t.a), static_cast<std::size_t>(t.b), static_cast<std::size_t>(t.c));
}

void push(std::vector<LineVertex>& out, const Vector3& p, std::uint32_t colour) { out.push_back({p.x, p.y, p.z, colour}); }

std::uint32_t scaled(std::uint32_t argb, float light)
{
    const auto channel = [&](int shift) { return static_cast<std::uint32_t>(static_cast<float>((argb >> shift) & 0xFF) * light + 0.5f) << shift; };
    return (argb & 0xFF000000u) | channel(16) | channel(8) | channel(0);
}

} // namespace

void appendSurfaces(const EngineModel& model, bool skinned, const Matrix& world, std::vector<DrawnSurface>& out)
{
    if (!model.hasMesh) return;
    for (std::int32_t i = 0; i < meshSlots(model.meshCount); ++i) {
        const EngineMesh& mesh = model.meshes[static_cast<std::size_t>(i)];
        const EngineMeshObjects& objects = model.meshObjects[static_cast<std::size_t>(i)];
        DrawnSurface s = surfaceOf(skinned ? objects.bindBuffer : objects.restBuffer, sizeof(SkinVertex),
                                   std::min(static_cast<std::size_t>(std::max(mesh.vertexCount, 0)), mesh.vertices.size()), world);
        s.triangles = std::span<const TriangleIndices>(mesh.triangles).first(
            std::min(static_cast<std::size_t>(std::max(mesh.triangleCount, 0)), mesh.triangles.size()));
        out.push_back(s);
    }
}

void appendSurfaces(const SmdModel& model, std::vector<DrawnSurface>& out)
{
    if (!model.hasMesh) return;
    for (std::int32_t i = 0; i < meshSlots(model.meshCount); ++i) {
        const SmdMesh& mesh = model.meshes[static_cast<std::size_t>(i)];
        const std::size_t corners = 3 * std::min(static_cast<std::size_t>(std::max(mesh.triangleCount, 0)), mesh.triangles.size());
        out.push_back(surfaceOf(model.meshObjects[static_cast<std::size_t>(i)].vertexBuffer, sizeof(SmdVertex), corners, matrixIdentity()));
    }
}

void boneWeights(const EngineMesh& mesh, std::int32_t bone, std::vector<float>& out)
{
    const std::size_t count = std::min(static_cast<std::size_t>(std::max(mesh.vertexCount, 0)), mesh.vertices.size());
    out.assign(count, 0.0f);
    for (std::size_t i = 0; i < count; ++i) {
        const EngineVertex& v = mesh.vertices[i];
        const int links = std::clamp(v.linkCount, 0, kMaxLinks);
        for (int j = 0; j < links; ++j)
            if (v.links.bone[j] == bone) out[i] += v.links.weight[j];
    }
}

void boneWeights(const SmdMesh& mesh, std::int32_t bone, std::vector<float>& out)
{
    const std::size_t triangles = std::min(static_cast<std::size_t>(std::max(mesh.triangleCount, 0)), mesh.triangles.size());
    out.assign(3 * triangles, 0.0f);
    for (std::size_t t = 0; t < triangles; ++t) {
        const SmdTriangle& triangle = mesh.triangles[t];
        for (int c = 0; c < 3; ++c) {
            const std::size_t start = triangle.linkStart[c];
            const int count = std::clamp(triangle.linkCount[c], 0, kMaxLinks);
            if (start > mesh.linkPool.size() || static_cast<std::size_t>(count) > mesh.linkPool.size() - start) continue;
            for (int j = 0; j < count; ++j) {
                const BoneLink& link = mesh.linkPool[start + static_cast<std::size_t>(j)];
                if (link.bone == bone) out[3 * t + static_cast<std::size_t>(c)] += link.weight;
            }
        }
    }
}

std::int32_t nodeNamed(std::span<const SkeletonNode> nodes, std::string_view name)
{
    for (std::size_t i = 0; i < nodes.size(); ++i)
        if (equalsIgnoringCase(nodes[i].name, name)) return static_cast<std::int32_t>(i);
    return -1;
}

std::uint32_t heatColour(float weight)
{
    const float w = std::isnan(weight) ? 0.0f : std::clamp(weight, 0.0f, 1.0f);
    // Four equal stretches: blue to cyan, to green, to yellow, to red.
    const float at = w * 4.0f;
    const auto up = [](float x) { return static_cast<std::uint32_t>(std::clamp(x, 0.0f, 1.0f) * 255.0f + 0.5f); };
    const std::uint32_t r = up(at - 2.0f);
    const std::uint32_t g = at < 3.0f ? up(at) : up(4.0f - at);
    const std::uint32_t b = up(2.0f - at);
    return 0xFF000000u | r << 16 | g << 8 | b;
}

void appendNormalLines(const DrawnSurface& surface, float length, std::uint32_t colour, std::vector<LineVertex>& out)
{
    for (std::size_t i = 0; i < surface.vertexCount; ++i) {
        const Corner c = cornerAt(surface, i);
        const float size = std::sqrt(vec3Dot(c.normal, c.normal));
        if (!(size > 0.0f) || !std::isfinite(size)) continue;
        const float k = length / size;
        push(out, c.position, colour);
        push(out, {c.position.x + c.normal.x * k, c.position.y + c.normal.y * k, c.position.z + c.normal.z * k}, colour);
    }
}

void appendEdgeLines(const DrawnSurface& surface, std::uint32_t colour, std::vector<LineVertex>& out)
{
    forEachTriangle(surface, [&](std::size_t a, std::size_t b, std::size_t c) {
        const Vector3 p[3] = {cornerAt(surface, a).position, cornerAt(surface, b).position, cornerAt(surface, c).position};
        for (int e = 0; e < 3; ++e) {
            push(out, p[e], colour);
            push(out, p[(e + 1) % 3], colour);
        }
    });
}

void appendHeatTriangles(const DrawnSurface& surface, std::span<const float> weights, const Vector3& towardEye, std::vector<HeatVertex>& out)
{
    // Texel centres: 0 reads the first texel's colour whole, 1 the last's.
    constexpr float kFirst = 0.5f / kHeatRampTexels;
    constexpr float kSpan = 1.0f - 1.0f / kHeatRampTexels;
    forEachTriangle(surface, [&](std::size_t a, std::size_t b, std::size_t c) {
        for (std::size_t i : {a, b, c}) {
            const Corner corner = cornerAt(surface, i);
            const Vector3 n = vec3Normalize(corner.normal);
            const float facing = std::fabs(vec3Dot(n, towardEye));
            const float light = kLeastLight + (1.0f - kLeastLight) * (std::isfinite(facing) ? std::min(facing, 1.0f) : 1.0f);
            const float w = i < weights.size() && std::isfinite(weights[i]) ? std::clamp(weights[i], 0.0f, 1.0f) : 0.0f;
            const Vector3& p = corner.position;
            out.push_back({p.x, p.y, p.z, scaled(0xFFFFFFFFu, light), kFirst + w * kSpan, 0.5f});
        }
    });
}

Texture* makeHeatRamp(Device& device)
{
    std::vector<std::uint8_t> rgba(4 * kHeatRampTexels);
    for (int i = 0; i < kHeatRampTexels; ++i) {
        const std::uint32_t c = heatColour(static_cast<float>(i) / (kHeatRampTexels - 1));
        const auto at = static_cast<std::size_t>(4 * i);
        rgba[at] = static_cast<std::uint8_t>(c >> 16);
        rgba[at + 1] = static_cast<std::uint8_t>(c >> 8);
        rgba[at + 2] = static_cast<std::uint8_t>(c);
        rgba[at + 3] = 0xFF;
    }
    Texture* ramp = nullptr;
    return failed(device.createTexture(kHeatRampTexels, 1, rgba.data(), &ramp)) ? nullptr : ramp;
}

namespace {

void colouredStates(Device& device)
{
    device.setTransform(TransformType::World, matrixIdentity());
    device.setRenderState(RenderState::Lighting, 0);
    device.setRenderState(RenderState::AlphaBlendEnable, 0);
    device.setRenderState(RenderState::AlphaTestEnable, 0);
    device.setRenderState(RenderState::ZEnable, 1);
    device.setRenderState(RenderState::FillMode, kFillSolid);
    device.setTexture(0, nullptr);
    device.setFVF(fvf::kXyz | fvf::kDiffuse);
}

} // namespace

void drawColouredLines(Device& device, std::span<const LineVertex> lines, bool nearer)
{
    if (lines.size() < 2) return;
    colouredStates(device);
    Matrix projection;
    device.getTransform(TransformType::Projection, &projection);
    if (nearer) {
        // Depth z / w becomes z / w - pull: the clip z loses pull times w.
        Matrix pulled = projection;
        for (int row = 0; row < 4; ++row) pulled.m[row][2] -= kDepthPull * pulled.m[row][3];
        device.setTransform(TransformType::Projection, pulled);
    }
    device.drawPrimitiveUP(PrimitiveType::LineList, static_cast<std::uint32_t>(lines.size() / 2), lines.data(), sizeof(LineVertex));
    if (nearer) device.setTransform(TransformType::Projection, projection);
    device.setRenderState(RenderState::Lighting, 1);
}

void drawHeatTriangles(Device& device, std::span<const HeatVertex> corners, Texture* ramp)
{
    if (corners.size() < 3 || !ramp) return;
    colouredStates(device);
    device.setFVF(fvf::kXyz | fvf::kDiffuse | fvf::kTex1);
    device.setTexture(0, ramp);
    // The ramp's ends are its colours, not a wrap into the other end.
    device.setSamplerState(0, SamplerState::AddressU, kTexAddressClamp);
    device.setSamplerState(0, SamplerState::AddressV, kTexAddressClamp);
    device.drawPrimitiveUP(PrimitiveType::TriangleList, static_cast<std::uint32_t>(corners.size() / 3), corners.data(), sizeof(HeatVertex));
    device.setSamplerState(0, SamplerState::AddressU, kTexAddressWrap);
    device.setSamplerState(0, SamplerState::AddressV, kTexAddressWrap);
    device.setTexture(0, nullptr);
    device.setRenderState(RenderState::Lighting, 1);
}

} // namespace veskar
