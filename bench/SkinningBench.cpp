// CPU skinning throughput: the skin job alone over vertices of 1, 2 and 4
// links, counted in vertex-links per second, and one whole skinned frame of a
// character the size of the sample hero drawn on the in-memory device.
//
// Run from the source folder (the frame benchmark's model compiles
// Shaders/Phong.fx from there):  build/bench/veskar_skinning_bench

#include "render/EngineModel.h"
#include "gpu/MemoryDevice.h"
#include "render/EngineModelDrawing.h"
#include "render/SkinningJobs.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <vector>

namespace veskar {
namespace {

constexpr int kBones = 50;

std::vector<Matrix> makePalette(std::mt19937& rng)
{
    std::uniform_real_distribution<float> angle(-3.0f, 3.0f), offset(-50.0f, 50.0f);
    std::vector<Matrix> palette(kBones);
    for (Matrix& m : palette)
        m = matrixMultiply(matrixMultiply(matrixRotationX(angle(rng)), matrixRotationY(angle(rng))),
                           matrixTranslation(offset(rng), offset(rng), offset(rng)));
    return palette;
}

// Vertices with the given number of links to bones near each other, weights
// summing to one, as an exported mesh has them.
std::vector<EngineVertex> makeVertices(std::size_t count, int links, std::mt19937& rng)
{
    std::uniform_real_distribution<float> coordinate(-40.0f, 40.0f);
    std::vector<EngineVertex> vertices(count);
    for (EngineVertex& v : vertices) {
        for (int i = 0; i < 3; ++i) {
            v.bindVertex.position[i] = coordinate(rng);
            v.bindVertex.normal[i] = coordinate(rng) / 40.0f;
        }
        v.linkCount = links;
        const int base = static_cast<int>(rng() % (kBones - 4));
        for (int j = 0; j < kMaxLinks; ++j) {
            v.links.bone[j] = j < links ? base + j : 0;
            v.links.weight[j] = j < links ? 1.0f / static_cast<float>(links) : 0.0f;
        }
    }
    return vertices;
}

// A run's arguments (links a vertex, vertex count) made into a palette and
// vertices, the same for every run of those arguments.
struct SkinInput {
    explicit SkinInput(benchmark::State& state)
        : links(static_cast<int>(state.range(0))), count(static_cast<std::size_t>(state.range(1)))
    {
        std::mt19937 rng(42);
        palette = makePalette(rng);
        vertices = makeVertices(count, links, rng);
    }
    int links;
    std::size_t count;
    std::vector<Matrix> palette;
    std::vector<EngineVertex> vertices;
};

// Vertex links and vertices skinned a second, each pass skinning them all.
void countRates(benchmark::State& state, const SkinInput& in)
{
    const double linksPerPass = static_cast<double>(in.count) * in.links;
    state.counters["vertex_links/s"] = benchmark::Counter(linksPerPass, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["vertices/s"] = benchmark::Counter(static_cast<double>(in.count), benchmark::Counter::kIsIterationInvariantRate);
}

void skinJob(benchmark::State& state)
{
    const SkinInput in(state);
    std::vector<SkinVertex> out(in.count);
    for (auto _ : state) {
        benchmark::DoNotOptimize(skinVertices(in.vertices, in.palette, out));
        benchmark::ClobberMemory();
    }
    countRates(state, in);
}
// 100,000 vertices (26 MB of records) stream from memory; 1,000 (a character)
// stay in the core's cache.
BENCHMARK(skinJob)->ArgNames({"links", "vertices"})->ArgsProduct({{1, 2, 4}, {100000, 1000}})->Unit(benchmark::kMicrosecond);

// What a frame runs: the packed stream the mesh keeps.
void skinStreamJob(benchmark::State& state)
{
    const SkinInput in(state);
    std::vector<SkinSource> sources;
    std::vector<BoneLink> linkPool;
    buildSkinStream(in.vertices, sources, linkPool);
    std::vector<SkinVertex> out(in.count);
    for (auto _ : state) {
        benchmark::DoNotOptimize(skinStream(sources, linkPool, in.palette, out));
        benchmark::ClobberMemory();
    }
    countRates(state, in);
}
BENCHMARK(skinStreamJob)->ArgNames({"links", "vertices"})->ArgsProduct({{1, 2, 4}, {100000, 1000}})->Unit(benchmark::kMicrosecond);

// One frame of a character like the sample hero: about 1300 triangles, 750
// welded vertices of one to three links, 50 bones; the palette blended from
// two keys, every vertex skinned into the buffer and the draw recorded.
void skinnedFrame(benchmark::State& state)
{
    MemoryDevice device;
    EngineModel model(&device);
    if (!model.effect) {
        state.SkipWithError("Shaders/Phong.fx not found: run from the source folder");
        return;
    }
    std::mt19937 rng(3);
    const std::vector<Matrix> palette = makePalette(rng);
    EngineMesh& mesh = model.meshes[0];
    mesh.allocateNodes(kBones);
    for (int k = 0; k < kBones; ++k) mesh.nodes[static_cast<std::size_t>(k)].worldMatrix = palette[static_cast<std::size_t>(k)];
    std::vector<EngineVertex> vertices = makeVertices(750, 1, rng);
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        EngineVertex& v = vertices[i];
        v.linkCount = 1 + static_cast<int>(i % 3);
        for (int j = 0; j < v.linkCount; ++j) v.links.weight[j] = 1.0f / static_cast<float>(v.linkCount);
    }
    mesh.allocateVertices(static_cast<std::int32_t>(vertices.size()));
    std::copy(vertices.begin(), vertices.end(), mesh.vertices.begin());
    mesh.allocateTriangles(1300);
    for (std::int32_t t = 0; t < 1300; ++t)
        mesh.triangles[static_cast<std::size_t>(t)] = {t % 750, (t * 7 + 1) % 750, (t * 13 + 2) % 750};
    model.createBuffers(0);
    model.meshCount = 1;
    model.hasMesh = true;
    model.vertexCount = mesh.vertexCount;
    EngineAnimation& a = model.animations[0];
    a.allocate(30, kBones);
    for (int f = 0; f < 30; ++f)
        for (int k = 0; k < kBones; ++k)
            a.frame(f)[static_cast<std::size_t>(k)].worldMatrix = palette[static_cast<std::size_t>((k + f) % kBones)];
    model.hasAnimation = true;
    model.animationCount = 1;

    for (auto _ : state) {
        drawEngineModel(model, DrawMode::Play, kFillSolid, 0.5f, nullptr);
        device.draws.clear();
    }
    state.counters["frames/s"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(skinnedFrame)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace veskar
