#pragma once
// Small models built in memory for the render tests: a one-mesh engine model
// with its buffers on a device, an animation of given keys, an SMD model of a
// few triangles. Tests run from the source folder, so the models compile
// Shaders/Phong.fx as the program does.

#include "render/EngineModel.h"
#include "render/SmdModel.h"
#include "gpu/Device.h"
#include "gpu/Effect.h"
#include "gpu/MemoryDevice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace veskar::test {

inline ::testing::AssertionResult matrixNear(const Matrix& expected, const Matrix& actual, float tolerance = 1e-4f)
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (!(std::fabs(expected.m[i][j] - actual.m[i][j]) <= tolerance))
                return ::testing::AssertionFailure() << "entry [" << i << "][" << j << "]: expected " << expected.m[i][j] << ", got "
                                                     << actual.m[i][j];
    return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult vectorNear(const float* actual, float x, float y, float z, float tolerance = 1e-4f)
{
    if (std::fabs(actual[0] - x) <= tolerance && std::fabs(actual[1] - y) <= tolerance && std::fabs(actual[2] - z) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "expected (" << x << ", " << y << ", " << z << "), got (" << actual[0] << ", " << actual[1]
                                         << ", " << actual[2] << ")";
}

inline Matrix translation(float x, float y, float z) { return matrixTranslation(x, y, z); }

// One vertex for an engine mesh; links as (bone, weight) pairs.
inline EngineVertex engineVertex(Vector3 p, Vector3 n, float u, float v, std::initializer_list<std::pair<int, float>> links)
{
    EngineVertex out;
    for (SkinVertex* s : {&out.restVertex, &out.bindVertex}) {
        s->position[0] = p.x;
        s->position[1] = p.y;
        s->position[2] = p.z;
        s->normal[0] = n.x;
        s->normal[1] = n.y;
        s->normal[2] = n.z;
        s->u = u;
        s->v = v;
    }
    int k = 0;
    for (const auto& [bone, weight] : links) {
        out.links.bone[k] = bone;
        out.links.weight[k] = weight;
        if (k < 4) {
            out.restVertex.weights[k] = out.bindVertex.weights[k] = weight;
            out.restVertex.boneIndices[k] = out.bindVertex.boneIndices[k] = static_cast<float>(bone);
        }
        ++k;
    }
    for (int j = k; j < kMaxLinks; ++j) {
        out.links.bone[j] = 0;
        out.links.weight[j] = 0.0f;
    }
    out.linkCount = k;
    return out;
}

// Fills mesh slot 0 of a freshly constructed model: nodes with the given bind
// world matrices (palette likewise), the vertices, one triangle per three
// vertices, a 1x1 texture and the three buffers.
inline void buildEngineMesh(EngineModel& model, const std::vector<Matrix>& bindPose, const std::vector<EngineVertex>& vertices)
{
    EngineMesh& mesh = model.meshes[0];
    ASSERT_TRUE(mesh.allocateNodes(static_cast<std::int32_t>(bindPose.size())));
    for (std::size_t k = 0; k < bindPose.size(); ++k) {
        mesh.nodes[k].name = "node" + std::to_string(k);
        mesh.nodes[k].worldMatrix = bindPose[k];
        mesh.bonePalette[k] = bindPose[k];
    }
    ASSERT_TRUE(mesh.allocateVertices(static_cast<std::int32_t>(vertices.size())));
    std::copy(vertices.begin(), vertices.end(), mesh.vertices.begin());
    const auto triangles = static_cast<std::int32_t>(std::max<std::size_t>(vertices.size() / 3, 1));
    ASSERT_TRUE(mesh.allocateTriangles(triangles));
    for (std::int32_t t = 0; t < triangles; ++t) {
        const auto last = static_cast<std::int32_t>(vertices.size()) - 1;
        mesh.triangles[static_cast<std::size_t>(t)] = {std::min(3 * t, last), std::min(3 * t + 1, last), std::min(3 * t + 2, last)};
    }
    const std::uint8_t white[4] = {255, 255, 255, 255};
    ASSERT_EQ(model.device->createTexture(1, 1, white, &model.meshObjects[0].texture), kOk);
    ASSERT_TRUE(model.createBuffers(0));
    model.meshCount = 1;
    model.hasMesh = true;
    model.nodeCount = mesh.nodeCount;
    model.vertexCount = mesh.vertexCount;
    model.triangleCount = mesh.triangleCount;
}

// Animation slot 0 with keys[f][k] as the world matrix of node k in frame f.
inline void buildAnimation(EngineModel& model, const std::vector<std::vector<Matrix>>& keys)
{
    EngineAnimation& a = model.animations[0];
    ASSERT_TRUE(a.allocate(static_cast<std::int32_t>(keys.size()), static_cast<std::int32_t>(keys[0].size())));
    for (std::size_t f = 0; f < keys.size(); ++f) {
        auto frame = a.frame(static_cast<std::int32_t>(f));
        for (std::size_t k = 0; k < keys[f].size(); ++k) frame[k].worldMatrix = keys[f][k];
    }
    model.animationCount = 1;
    model.hasAnimation = true;
}

// The vertices in a vertex buffer, as the device holds them.
template <typename Vertex>
const Vertex* vertexAt(const VertexBuffer* buffer, std::size_t i)
{
    return reinterpret_cast<const Vertex*>(buffer->bytes.data()) + i;
}

inline const float* parameterValues(const Effect& effect, const char* name)
{
    const EffectParameter* p = effect.parameter(name);
    EXPECT_NE(p, nullptr) << name;
    static const float zeros[16] = {};
    return p ? p->values : zeros;
}

inline Matrix parameterMatrix(const Effect& effect, const char* name)
{
    Matrix m;
    std::memcpy(m.m, parameterValues(effect, name), sizeof m.m);
    return m;
}

} // namespace veskar::test
