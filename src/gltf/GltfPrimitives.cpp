// The welded mesh in glTF's terms: one primitive per material, each with its
// own vertices, normals made good where the file had none.

#include "gltf/GltfSceneBuilder.h"

#include <algorithm>
#include <cmath>

namespace veskar {

namespace {

void normalise(double v[3], double length) { v[0] /= length, v[1] /= length, v[2] /= length; }

// Every welded vertex once, in glTF's terms, before it is split by material.
struct GltfVertexTable {
    std::vector<float> positions, normals;
    std::vector<GltfInfluences> influences;
    std::vector<bool> normalMissing;
};

bool convertWeldedVertices(const GltfMeshSource& source, float scale, GltfVertexTable& table, GltfMeshReport& report, std::string& reason)
{
    const std::size_t vertexCount = source.vertices.size();
    table.positions.assign(3 * vertexCount, 0.0f);
    table.normals.assign(3 * vertexCount, 0.0f);
    table.influences.assign(vertexCount, GltfInfluences{});
    table.normalMissing.assign(vertexCount, false);
    for (std::size_t i = 0; i < vertexCount; ++i) {
        const EngineVertex& v = source.vertices[i];
        const SkinVertex& r = v.restVertex;
        gltfPoint(r.position, scale, &table.positions[3 * i]);
        if (!allFinite(std::span<const float>(&table.positions[3 * i], 3)) || !allFinite(r.normal) || !std::isfinite(r.u) || !std::isfinite(r.v)) {
            reason = "welded vertex " + std::to_string(i) + " holds a position (times the scale), normal or texture coordinate that is not finite";
            return false;
        }
        float n[3];
        gltfPoint(r.normal, 1.0f, n);
        double d[3] = {n[0], n[1], n[2]};
        const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        if (length > 1e-12) {
            normalise(d, length);
            for (int c = 0; c < 3; ++c) table.normals[3 * i + static_cast<std::size_t>(c)] = static_cast<float>(d[c]);
        } else {
            table.normalMissing[i] = true;
        }
        table.influences[i] = gltfInfluences(v);
        report.verticesLostLinks += table.influences[i].lostLinks;
        report.verticesRenormalised += table.influences[i].renormalised;
        report.verticesGivenParent += table.influences[i].givenParent;
        report.droppedLinks += table.influences[i].droppedLinks;
    }
    return true;
}

// A vertex without a normal takes the first triangle's it belongs to; one
// whose every triangle is degenerate points straight up.
void replaceMissingNormals(std::span<const TriangleIndices> triangles, GltfVertexTable& table, GltfMeshReport& report)
{
    const std::vector<float>& positions = table.positions;
    std::vector<float>& normals = table.normals;
    std::vector<bool>& normalMissing = table.normalMissing;
    for (const TriangleIndices& t : triangles) {
        const std::size_t corner[3] = {static_cast<std::size_t>(t.a), static_cast<std::size_t>(t.b), static_cast<std::size_t>(t.c)};
        if (!normalMissing[corner[0]] && !normalMissing[corner[1]] && !normalMissing[corner[2]]) continue;
        const float* p0 = &positions[3 * corner[0]];
        const float* p1 = &positions[3 * corner[1]];
        const float* p2 = &positions[3 * corner[2]];
        const double e1[3] = {double(p1[0]) - p0[0], double(p1[1]) - p0[1], double(p1[2]) - p0[2]};
        const double e2[3] = {double(p2[0]) - p0[0], double(p2[1]) - p0[1], double(p2[2]) - p0[2]};
        double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
        const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (!(length > 0)) continue;
        normalise(n, length);
        for (std::size_t c : corner) {
            if (!normalMissing[c]) continue;
            for (int k = 0; k < 3; ++k) normals[3 * c + static_cast<std::size_t>(k)] = static_cast<float>(n[k]);
            normalMissing[c] = false;
            ++report.normalsReplaced;
        }
    }
    for (std::size_t i = 0; i < normalMissing.size(); ++i) {
        if (!normalMissing[i]) continue;
        normals[3 * i] = 0.0f;
        normals[3 * i + 1] = 1.0f;
        normals[3 * i + 2] = 0.0f;
        ++report.normalsReplaced;
    }
}

// The triangles of one material, their corners numbered within the primitive
// in first-use order. local is all -1 on entry and is left so.
GltfPrimitive primitiveOfMaterial(const GltfMeshSource& source, const GltfVertexTable& table, std::int32_t material, std::vector<std::int64_t>& local)
{
    GltfPrimitive primitive;
    primitive.material = material;
    std::vector<std::size_t> used;
    for (std::size_t t = 0; t < source.triangles.size(); ++t) {
        const std::int32_t triangleMaterial = source.triangleMaterials.empty() ? 0 : source.triangleMaterials[t];
        if (triangleMaterial != material) continue;
        const TriangleIndices& tri = source.triangles[t];
        for (const std::int32_t corner : {tri.a, tri.b, tri.c}) {
            const std::size_t w = static_cast<std::size_t>(corner);
            if (local[w] < 0) {
                local[w] = static_cast<std::int64_t>(used.size());
                used.push_back(w);
            }
            primitive.indices.push_back(static_cast<std::uint32_t>(local[w]));
        }
    }
    const std::size_t n = used.size();
    primitive.positions.resize(3 * n);
    primitive.normals.resize(3 * n);
    primitive.texcoords.resize(2 * n);
    primitive.joints.resize(kGltfInfluences * n);
    primitive.weights.resize(kGltfInfluences * n);
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t w = used[k];
        std::copy_n(&table.positions[3 * w], 3, &primitive.positions[3 * k]);
        std::copy_n(&table.normals[3 * w], 3, &primitive.normals[3 * k]);
        // restVertex.v is 1 minus the file's v: 0 at the image's top row, as glTF has it.
        primitive.texcoords[2 * k] = source.vertices[w].restVertex.u;
        primitive.texcoords[2 * k + 1] = source.vertices[w].restVertex.v;
        std::copy_n(table.influences[w].joints, kGltfInfluences, &primitive.joints[kGltfInfluences * k]);
        std::copy_n(table.influences[w].weights, kGltfInfluences, &primitive.weights[kGltfInfluences * k]);
        local[w] = -1;
    }
    return primitive;
}

void setBounds(GltfPrimitive& primitive)
{
    const std::size_t n = primitive.positions.size() / 3;
    for (int c = 0; c < 3; ++c) {
        primitive.minimum[c] = primitive.maximum[c] = primitive.positions[static_cast<std::size_t>(c)];
        for (std::size_t k = 1; k < n; ++k) {
            primitive.minimum[c] = std::min(primitive.minimum[c], primitive.positions[3 * k + static_cast<std::size_t>(c)]);
            primitive.maximum[c] = std::max(primitive.maximum[c], primitive.positions[3 * k + static_cast<std::size_t>(c)]);
        }
    }
}

} // namespace

bool buildGltfPrimitives(const GltfMeshSource& source, float scale, GltfScene& scene, GltfMeshReport& report, std::string& reason)
{
    GltfVertexTable table;
    if (!convertWeldedVertices(source, scale, table, report, reason)) return false;
    replaceMissingNormals(source.triangles, table, report);
    std::vector<std::int64_t> local(source.vertices.size(), -1);
    for (std::size_t m = 0; m < scene.materials.size(); ++m) {
        GltfPrimitive primitive = primitiveOfMaterial(source, table, static_cast<std::int32_t>(m), local);
        if (primitive.indices.empty()) continue;
        setBounds(primitive);
        scene.primitives.push_back(std::move(primitive));
    }
    return true;
}

} // namespace veskar
