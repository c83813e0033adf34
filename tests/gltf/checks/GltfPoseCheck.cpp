// Compares what three.js made of an exported .glb (three_check.mjs's JSON)
// with Veskar's own skinning of the same SMD files, posed at the animation key
// each time falls on and carried from the viewer's axes into glTF's. Every
// sampled vertex must land within 1/1000 of the model's size.
//
// glTF skins by linear blending: each link carries the file's position by
// its own bone, and the results are weighted. The viewer first blends the
// position into one bind-space point and carries that by every bone; the two
// agree for a vertex on one bone and part for a vertex on several. So every
// vertex is compared with the linear blend of Veskar's own bone matrices, and
// the vertices on one bone also with the viewer's skinning job itself; how far
// the viewer's blend lies from glTF's on the others is printed.
// Usage: gltf_pose_check REFERENCE.smd ANIMATION.smd THREE.json FPS SCALE

#include "render/SmdModel.h"
#include "base/Math.h"
#include "render/SkinningJobs.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

using namespace veskar;

namespace {

int fail(const std::string& what)
{
    std::printf("gltf_pose_check: %s\n", what.c_str());
    return 1;
}

// The viewer shows (x, y, z) of the file as (-x, z, y); glTF has it as (x, z, -y).
void viewerToGltf(const float v[3], double scale, double out[3])
{
    out[0] = -v[0] * scale;
    out[1] = v[1] * scale;
    out[2] = -v[2] * scale;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 6) return fail("usage: gltf_pose_check REFERENCE.smd ANIMATION.smd THREE.json FPS SCALE");
    const double fps = std::atof(argv[4]);
    const double scale = std::atof(argv[5]);
    SmdModel model(nullptr);
    if (!model.loadReference(argv[1]) || !model.loadAnimation(argv[2])) return fail("cannot read the SMD files: " + model.diagnostic.text());
    const SmdMesh& mesh = model.meshes[0];
    const SmdAnimation& animation = model.animations[0];
    // The viewer puts animation node i on model node i.
    for (std::size_t i = 0; i < mesh.nodes.size(); ++i)
        if (animation.nodeCount != mesh.nodeCount || animation.frame(0)[i].name != mesh.nodes[i].name)
            return fail("the check needs an animation with the reference's nodes in the same order");

    std::ifstream in(argv[3]);
    const nlohmann::json three = nlohmann::json::parse(in, nullptr, false);
    if (three.is_discarded() || !three.contains("meshes")) return fail(std::string("cannot read ") + argv[3]);

    // The model's size: the diagonal of its bind pose.
    double low[3] = {1e30, 1e30, 1e30}, high[3] = {-1e30, -1e30, -1e30};
    for (const SmdTriangle& t : mesh.triangles)
        for (const SmdVertex& v : t.vertices)
            for (int c = 0; c < 3; ++c) {
                low[c] = std::min(low[c], double(v.position[c]) * scale);
                high[c] = std::max(high[c], double(v.position[c]) * scale);
            }
    const double size = std::hypot(high[0] - low[0], high[1] - low[1], high[2] - low[2]);
    const double tolerance = 1e-3 * size;

    // Triangles of each material, in file order: a primitive lists them so.
    std::map<std::string, std::vector<std::size_t>> trianglesOf;
    for (std::size_t t = 0; t < mesh.triangles.size(); ++t)
        trianglesOf[model.materialNames[static_cast<std::size_t>(mesh.triangles[t].material)]].push_back(t);

    std::vector<Matrix> unbind(mesh.nodes.size());
    for (std::size_t i = 0; i < mesh.nodes.size(); ++i) matrixInverse(mesh.nodes[i].worldMatrix, unbind[i]);
    std::vector<SmdNode> pose;
    std::vector<SmdVertex> skinned(mesh.triangles.size() * 3);
    double worst = 0, worstViewer = 0, viewerApart = 0;
    std::size_t compared = 0, oneBone = 0;
    const auto& times = three["times"];
    for (std::size_t ti = 0; ti < times.size(); ++ti) {
        const double t = times[ti].get<double>();
        const long key = std::lround(t * fps);
        if (std::fabs(t * fps - double(key)) > 1e-4 || key < 0 || key >= animation.frameCount)
            return fail("time " + std::to_string(t) + " is not on a key of the animation");
        const auto frame = animation.frame(static_cast<std::int32_t>(key));
        pose.assign(frame.begin(), frame.end());
        if (!skinTriangles(mesh.triangles, mesh.bindVertices, mesh.linkPool, pose, skinned)) return fail("the skinning refused the model");
        for (const auto& entry : three["meshes"]) {
            const std::string material = entry["material"].get<std::string>();
            const auto found = trianglesOf.find(material);
            if (found == trianglesOf.end()) return fail("three.js shows a material the reference does not have: " + material);
            const std::vector<std::size_t>& triangles = found->second;
            const std::vector<std::uint32_t> indices = entry["indices"].get<std::vector<std::uint32_t>>();
            if (indices.size() != 3 * triangles.size())
                return fail(material + ": " + std::to_string(indices.size() / 3) + " triangles in three.js, " + std::to_string(triangles.size()) + " in the file");
            const std::vector<std::uint32_t> sample = entry["sample"].get<std::vector<std::uint32_t>>();
            const std::vector<double> positions = entry["poses"][ti].get<std::vector<double>>();
            for (std::size_t s = 0; s < sample.size(); ++s) {
                const auto at = std::find(indices.begin(), indices.end(), sample[s]);
                if (at == indices.end()) return fail(material + ": vertex " + std::to_string(sample[s]) + " is in no triangle");
                const std::size_t slot = static_cast<std::size_t>(at - indices.begin());
                const std::size_t triangle = triangles[slot / 3];
                const int corner = static_cast<int>(slot % 3);
                // Each link carries the file's position (in the viewer's axes)
                // from its bone's bind pose to the key's pose.
                const float* p = mesh.triangles[triangle].vertices[corner].position;
                const Vector3 shown = transformPoint({p[0], p[1], p[2]}, model.axisMatrix);
                float blend[3] = {0, 0, 0};
                const auto links = mesh.links(static_cast<std::int32_t>(triangle), corner);
                for (const BoneLink& link : links) {
                    const auto bone = static_cast<std::size_t>(link.bone);
                    const Vector3 moved = transformPoint(transformPoint(shown, unbind[bone]), pose[bone].worldMatrix);
                    blend[0] += link.weight * moved.x;
                    blend[1] += link.weight * moved.y;
                    blend[2] += link.weight * moved.z;
                }
                double expected[3], viewer[3];
                viewerToGltf(blend, scale, expected);
                viewerToGltf(skinned[3 * triangle + static_cast<std::size_t>(corner)].position, scale, viewer);
                const double* got = &positions[3 * s];
                const double error = std::hypot(got[0] - expected[0], got[1] - expected[1], got[2] - expected[2]);
                const double fromViewer = std::hypot(got[0] - viewer[0], got[1] - viewer[1], got[2] - viewer[2]);
                worst = std::max(worst, error);
                ++compared;
                if (links.size() == 1) {
                    worstViewer = std::max(worstViewer, fromViewer);
                    ++oneBone;
                } else {
                    viewerApart = std::max(viewerApart, fromViewer);
                }
                if (error > tolerance || (links.size() == 1 && fromViewer > tolerance)) {
                    std::printf("  %s vertex %u at %.4f s: three.js (%.5f %.5f %.5f), Veskar (%.5f %.5f %.5f), viewer (%.5f %.5f %.5f)\n", material.c_str(),
                                sample[s], t, got[0], got[1], got[2], expected[0], expected[1], expected[2], viewer[0], viewer[1], viewer[2]);
                }
            }
        }
    }
    std::printf("gltf_pose_check: vertices on one bone: %zu positions, largest difference from the viewer's skinning %.3g of the model's size\n",
                oneBone, worstViewer / size);
    std::printf("gltf_pose_check: vertices on several bones: the viewer's blend lies up to %.3g of the model's size from glTF's\n", viewerApart / size);
    std::printf("gltf_pose_check: %zu positions at %zu keys; largest difference %.3g of the model's size %.4g (allowed 1e-3)\n", compared, times.size(),
                worst / size, size);
    if (compared == 0) return fail("nothing was compared");
    return worst <= tolerance && worstViewer <= tolerance ? 0 : 1;
}
