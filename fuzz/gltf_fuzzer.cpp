// glTF reader on arbitrary bytes, as a file of its own: a .gltf names its
// .bin and image files beside it, so the input is written where nothing else
// is and read from there.

#include "FuzzSupport.h"

#include "convert/FormatConverter.h"
#include "gltf/GltfImport.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

using namespace veskar;

VESKAR_FUZZ_TARGET("model.glb")
{
    // The input goes beside nothing the run reads: the folder file names
    // resolve against stays empty.
    const std::string file = fuzz::outputFolder() + "/" + name.substr(name.find_last_of('/') + 1);
    std::FILE* out = std::fopen(file.c_str(), "wb");
    VESKAR_FUZZ_CHECK(out && std::fwrite(text.data(), 1, text.size(), out) == text.size() && std::fclose(out) == 0, file);
    FormatConverter converter;
    converter.smdModel = std::make_unique<SmdModelRecords>();
    SmdModelRecords& model = *converter.smdModel;
    const GltfRead read = readGltf(file, {}, model);
    if (!read.ok) {
        VESKAR_FUZZ_CHECK(!read.diagnostic.what.empty() && read.diagnostic.file == file && read.diagnostic.line == 0, read.diagnostic.text());
        VESKAR_FUZZ_CHECK(model.meshCount == 0 && !model.hasMesh && model.meshes[0].nodes.empty(), "a refused file left a mesh");
        return 0;
    }
    const SmdMesh& mesh = model.meshes[0];
    VESKAR_FUZZ_CHECK(model.meshCount == 1 && mesh.nodeCount > 0 && mesh.nodes.size() == static_cast<std::size_t>(mesh.nodeCount), "node table");
    VESKAR_FUZZ_CHECK(mesh.triangles.size() == static_cast<std::size_t>(mesh.triangleCount), "triangle table");
    for (const SmdNode& node : mesh.nodes) VESKAR_FUZZ_CHECK(node.parent >= -1 && node.parent < mesh.nodeCount, "a parent out of range");
    for (std::int32_t t = 0; t < mesh.triangleCount; ++t) {
        const SmdTriangle& triangle = mesh.triangles[static_cast<std::size_t>(t)];
        VESKAR_FUZZ_CHECK(triangle.material >= 0 && triangle.material < model.materialCount, "a material out of range");
        for (int c = 0; c < 3; ++c) {
            VESKAR_FUZZ_CHECK(triangle.linkCount[c] >= 1 && triangle.linkCount[c] <= kMaxLinks, "a link count out of range");
            VESKAR_FUZZ_CHECK(triangle.linkStart[c] + static_cast<std::uint32_t>(triangle.linkCount[c]) <= mesh.linkPool.size(), "links beyond the pool");
            for (const BoneLink& link : mesh.links(t, c)) VESKAR_FUZZ_CHECK(link.bone >= 0 && link.bone < mesh.nodeCount, "a link bone out of range");
        }
    }
    for (const GltfAnimationRead& animation : read.animations) {
        VESKAR_FUZZ_CHECK(animation.keys.matchesCounts() && animation.keys.nodeCount == mesh.nodeCount, "keys and their counts");
        if (model.animationCount < 2) gltfAnimationToSlot(animation, file, model);
    }
    VESKAR_FUZZ_CHECK(converter.weldVertices(), "welding");
    return 0;
}
