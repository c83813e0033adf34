// The node hierarchy of a glTF file and the skeleton made of it.

#include "gltf/GltfReadParts.h"

#include "gltf/GltfFileLoad.h"

#include <cmath>
#include <deque>
#include <utility>

namespace veskar {

namespace {

std::string nodePlace(std::size_t node) { return "/nodes/" + std::to_string(node); }

bool finite(const std::vector<double>& values)
{
    for (const double v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

GltfSchemaFault restOf(const tinygltf::Node& node, std::size_t index, Trs& trs)
{
    const std::string place = nodePlace(index);
    const std::pair<const char*, const std::vector<double>*> parts[] = {
        {"matrix", &node.matrix}, {"translation", &node.translation}, {"rotation", &node.rotation}, {"scale", &node.scale}};
    for (const auto& [name, values] : parts)
        if (!finite(*values)) return {place + "/" + name, "holds a number that is not finite"};
    if (node.matrix.size() == 16) {
        Transform m{};
        for (std::size_t e = 0; e < 16; ++e) m[e] = node.matrix[e];
        trs = trsOf(m);
        return {};
    }
    for (std::size_t k = 0; k < 3 && node.translation.size() == 3; ++k) trs.t[k] = node.translation[k];
    for (std::size_t k = 0; k < 3 && node.scale.size() == 3; ++k) trs.s[k] = node.scale[k];
    if (node.rotation.size() == 4) {
        double length = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            trs.r[k] = node.rotation[k];
            length += trs.r[k] * trs.r[k];
        }
        if (!(length > 1e-12)) return {place + "/rotation", "a quaternion of length 0 is no rotation"};
        normaliseQuaternion(trs.r);
    }
    return {};
}

// Each node's parent from the children lists: one parent a node, no loops.
GltfSchemaFault readParents(const tinygltf::Model& model, GltfHierarchy& h)
{
    const std::size_t n = model.nodes.size();
    std::vector<std::size_t> slot(n, 0);
    for (std::size_t p = 0; p < n; ++p) {
        const auto& children = model.nodes[p].children;
        for (std::size_t k = 0; k < children.size(); ++k) {
            const auto c = static_cast<std::size_t>(children[k]);
            const std::string place = nodePlace(p) + "/children/" + std::to_string(k);
            if (c == p) return {place, "node " + std::to_string(c) + " is its own child"};
            if (h.parent[c] >= 0) return {place, "node " + std::to_string(c) + " is already a child of node " + std::to_string(h.parent[c])};
            h.parent[c] = static_cast<std::int32_t>(p);
            slot[c] = k;
        }
    }
    // With one parent each, a chain that meets itself again is a loop.
    std::vector<std::uint8_t> state(n, 0);   // 0 unseen, 1 on the chain walked now, 2 ends at a root
    std::vector<std::size_t> chain;
    for (std::size_t start = 0; start < n; ++start) {
        std::size_t at = start;
        while (state[at] == 0) {
            state[at] = 1;
            chain.push_back(at);
            if (h.parent[at] < 0) break;
            at = static_cast<std::size_t>(h.parent[at]);
        }
        if (state[at] == 1 && h.parent[at] >= 0)
            return {nodePlace(static_cast<std::size_t>(h.parent[at])) + "/children/" + std::to_string(slot[at]),
                    "the children form a loop: node " + std::to_string(at) + " is above itself"};
        for (const std::size_t c : chain) state[c] = 2;
        chain.clear();
    }
    return {};
}

} // namespace

GltfSchemaFault readHierarchy(const tinygltf::Model& model, GltfHierarchy& h)
{
    const std::size_t n = model.nodes.size();
    h.parent.assign(n, -1);
    h.rest.assign(n, Trs{});
    h.inScene.assign(n, false);
    h.order.clear();
    if (GltfSchemaFault f = readParents(model, h); !f.empty()) return f;
    for (std::size_t i = 0; i < n; ++i)
        if (GltfSchemaFault f = restOf(model.nodes[i], i, h.rest[i]); !f.empty()) return f;

    // Parents before children: breadth first from the roots.
    std::deque<std::int32_t> queue;
    for (std::size_t i = 0; i < n; ++i)
        if (h.parent[i] < 0) queue.push_back(static_cast<std::int32_t>(i));
    while (!queue.empty()) {
        const std::int32_t at = queue.front();
        queue.pop_front();
        h.order.push_back(at);
        for (const int c : model.nodes[static_cast<std::size_t>(at)].children) queue.push_back(c);
    }

    if (model.scenes.empty()) {
        h.inScene.assign(n, true);
        return {};
    }
    const std::size_t scene = model.defaultScene >= 0 ? static_cast<std::size_t>(model.defaultScene) : 0;
    const auto& roots = model.scenes[scene].nodes;
    if (roots.empty()) return {"/scenes/" + std::to_string(scene), "the scene holds no nodes"};
    std::vector<std::int32_t> stack(roots.begin(), roots.end());
    while (!stack.empty()) {
        const auto at = static_cast<std::size_t>(stack.back());
        stack.pop_back();
        if (h.inScene[at]) continue;
        h.inScene[at] = true;
        for (const int c : model.nodes[at].children) stack.push_back(c);
    }
    return {};
}

std::vector<Transform> worldTransforms(const GltfHierarchy& h, std::span<const Trs> locals)
{
    std::vector<Transform> world(locals.size());
    for (const std::int32_t i : h.order) {
        const auto at = static_cast<std::size_t>(i);
        const Transform own = transformOf(locals[at]);
        world[at] = h.parent[at] < 0 ? own : multiply(world[static_cast<std::size_t>(h.parent[at])], own);
    }
    return world;
}

std::string recordName(const std::string& name)
{
    std::string out = name;
    for (char& c : out)
        if (c == '"' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
    return out;
}

namespace {

// The joints of the skins the scene's meshes use, each once, in the skins' order.
GltfSchemaFault chooseJoints(const tinygltf::Model& model, const GltfHierarchy& h, GltfSkeleton& s)
{
    const std::size_t n = model.nodes.size();
    std::vector<bool> skinTaken(model.skins.size(), false);
    std::vector<std::int32_t> listedBy(n, -1);   // the skin that listed a node last
    for (std::size_t i = 0; i < n; ++i) {
        const tinygltf::Node& node = model.nodes[i];
        if (!h.inScene[i] || node.mesh < 0 || node.skin < 0 || skinTaken[static_cast<std::size_t>(node.skin)]) continue;
        skinTaken[static_cast<std::size_t>(node.skin)] = true;
        const auto& joints = model.skins[static_cast<std::size_t>(node.skin)].joints;
        for (std::size_t k = 0; k < joints.size(); ++k) {
            const auto j = static_cast<std::size_t>(joints[k]);
            if (listedBy[j] == node.skin) return {"/skins/" + std::to_string(node.skin) + "/joints/" + std::to_string(k), "node " + std::to_string(j) + " is listed twice"};
            listedBy[j] = node.skin;
            if (s.boneOf[j] < 0) {
                s.boneOf[j] = static_cast<std::int32_t>(s.node.size());
                s.node.push_back(static_cast<std::int32_t>(j));
            }
        }
    }
    return {};
}

} // namespace

GltfSchemaFault chooseSkeleton(const tinygltf::Model& model, const GltfHierarchy& h, GltfSkeleton& s)
{
    const std::size_t n = model.nodes.size();
    s = GltfSkeleton{};
    s.boneOf.assign(n, -1);
    if (GltfSchemaFault f = chooseJoints(model, h, s); !f.empty()) return f;
    const bool skinned = !s.node.empty();
    // Parents first, so the bone above a node is known from its parent's.
    // Without a skin every node of the scene is a bone; with one, a mesh that
    // does not follow the skin follows its node rigidly, so that node (or
    // one above it) must be a bone.
    s.above.assign(n, -1);
    for (const std::int32_t g : h.order) {
        const auto i = static_cast<std::size_t>(g);
        const std::int32_t parent = h.parent[i];
        s.above[i] = s.boneOf[i] >= 0 ? s.boneOf[i] : parent >= 0 ? s.above[static_cast<std::size_t>(parent)] : -1;
        const tinygltf::Node& node = model.nodes[i];
        bool bone = !skinned && h.inScene[i];
        if (skinned && h.inScene[i] && node.mesh >= 0 && s.above[i] < 0) {
            bone = node.skin < 0;
            for (const tinygltf::Primitive& p : model.meshes[static_cast<std::size_t>(node.mesh)].primitives) bone = bone || !p.attributes.count("JOINTS_0");
        }
        if (!bone || s.boneOf[i] >= 0) continue;
        s.boneOf[i] = s.above[i] = static_cast<std::int32_t>(s.node.size());
        s.node.push_back(g);
    }
    for (const std::int32_t g : s.node) {
        const std::int32_t parent = h.parent[static_cast<std::size_t>(g)];
        s.parent.push_back(parent < 0 ? -1 : s.above[static_cast<std::size_t>(parent)]);
        s.names.push_back(recordName(model.nodes[static_cast<std::size_t>(g)].name));
    }
    return {};
}

void poseSkeleton(const GltfHierarchy& h, const GltfSkeleton& s, std::span<const Trs> locals, std::span<const Transform> world, double scale, float* out)
{
    // A world transform without scale along the whole chain: a child's own
    // translation is then its offset in the parent's frame.
    std::vector<bool> rigid(locals.size(), false);
    for (const std::int32_t i : h.order) {
        const auto at = static_cast<std::size_t>(i);
        const Trs& own = locals[at];
        const bool unitScale = std::fabs(own.s[0] - 1) < 1e-9 && std::fabs(own.s[1] - 1) < 1e-9 && std::fabs(own.s[2] - 1) < 1e-9;
        rigid[at] = unitScale && (h.parent[at] < 0 || rigid[static_cast<std::size_t>(h.parent[at])]);
    }
    for (std::size_t b = 0; b < s.node.size(); ++b) {
        const auto g = static_cast<std::size_t>(s.node[b]);
        const std::int32_t parentNode = s.parent[b] < 0 ? -1 : s.node[static_cast<std::size_t>(s.parent[b])];
        float* line = out + 6 * b;
        if (h.parent[g] == parentNode && (parentNode < 0 || rigid[static_cast<std::size_t>(parentNode)])) {
            skeletonLine(locals[g].t, locals[g].r, scale, line);
            continue;
        }
        double t[3], q[4];
        rigidPart(world[g], t, q);
        if (parentNode >= 0) {
            double pt[3], pq[4];
            rigidPart(world[static_cast<std::size_t>(parentNode)], pt, pq);
            relativePose(pt, pq, t, q);
        }
        skeletonLine(t, q, scale, line);
    }
}

std::string materialTextureName(const tinygltf::Model& model, int material)
{
    if (material < 0 || static_cast<std::size_t>(material) >= model.materials.size()) return {};
    const tinygltf::Material& m = model.materials[static_cast<std::size_t>(material)];
    const int texture = m.pbrMetallicRoughness.baseColorTexture.index;
    if (texture >= 0 && static_cast<std::size_t>(texture) < model.textures.size()) {
        const int source = model.textures[static_cast<std::size_t>(texture)].source;
        if (source >= 0 && static_cast<std::size_t>(source) < model.images.size()) {
            const tinygltf::Image& image = model.images[static_cast<std::size_t>(source)];
            if (!image.uri.empty() && image.uri.rfind("data:", 0) != 0) return recordName(gltfUriPath(image.uri));
            if (!image.name.empty()) return recordName(image.name);
        }
    }
    return recordName(m.name);
}

} // namespace veskar
