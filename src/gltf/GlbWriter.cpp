// The export's use of the glTF library: it only lays out a GltfScene's
// arrays in one binary buffer and describes them. Images are written as the
// bytes they already are, so the library's own image code stays out.

#include "gltf/GlbWriter.h"

// The library's code is compiled here, once.
#define TINYGLTF_IMPLEMENTATION
#include "gltf/TinyGltf.h"

#include <cstring>
#include <limits>
#include <sstream>

namespace veskar {

namespace {

class GlbLayout {
public:
    explicit GlbLayout(tinygltf::Model& model) : model_(model) {}

    // A buffer view over bytes appended at a 4-byte boundary (every glTF
    // component is at most 4 bytes wide).
    int addView(const void* data, std::size_t size, int target)
    {
        while (bytes_.size() % 4) bytes_.push_back(0);
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = bytes_.size();
        view.byteLength = size;
        view.target = target;
        const auto* p = static_cast<const unsigned char*>(data);
        bytes_.insert(bytes_.end(), p, p + size);
        model_.bufferViews.push_back(view);
        return static_cast<int>(model_.bufferViews.size() - 1);
    }

    template <typename T>
    int addAccessor(const std::vector<T>& values, int componentType, int type, int components, int target)
    {
        tinygltf::Accessor accessor;
        accessor.bufferView = addView(values.data(), values.size() * sizeof(T), target);
        accessor.byteOffset = 0;
        accessor.componentType = componentType;
        accessor.type = type;
        accessor.count = values.size() / static_cast<std::size_t>(components);
        model_.accessors.push_back(accessor);
        return static_cast<int>(model_.accessors.size() - 1);
    }

    tinygltf::Accessor& accessor(int index) { return model_.accessors[static_cast<std::size_t>(index)]; }
    std::vector<unsigned char>& bytes() { return bytes_; }

private:
    tinygltf::Model& model_;
    std::vector<unsigned char> bytes_;
};

// glTF's JSON is UTF-8, and names from Windows exporters are often in the
// user's code page (CP949 here). Bytes that are not UTF-8 become U+FFFD.
std::string utf8(const std::string& name)
{
    std::string out;
    out.reserve(name.size());
    const auto* p = reinterpret_cast<const unsigned char*>(name.data());
    const std::size_t n = name.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        bool valid = length > 0 && i + length <= n;
        for (std::size_t k = 1; valid && k < length; ++k) valid = (p[i + k] & 0xC0) == 0x80;
        if (valid && length > 1) {
            // No overlong forms, no surrogates, nothing above U+10FFFF.
            const unsigned c1 = p[i + 1];
            valid = !(length == 2 && c < 0xC2) && !(length == 3 && c == 0xE0 && c1 < 0xA0) && !(length == 3 && c == 0xED && c1 >= 0xA0) &&
                    !(length == 4 && c == 0xF0 && c1 < 0x90) && !(length == 4 && (c > 0xF4 || (c == 0xF4 && c1 >= 0x90)));
        }
        if (c == 0) valid = false;
        if (valid) {
            out.append(name, i, length);
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

constexpr int kArrayBuffer = TINYGLTF_TARGET_ARRAY_BUFFER;
constexpr int kElementArrayBuffer = TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER;
constexpr int kNoTarget = 0;

void addPrimitives(const GltfScene& scene, GlbLayout& layout, tinygltf::Mesh& mesh)
{
    for (const GltfPrimitive& p : scene.primitives) {
        tinygltf::Primitive primitive;
        primitive.mode = TINYGLTF_MODE_TRIANGLES;
        primitive.material = p.material;
        const int position = layout.addAccessor(p.positions, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, 3, kArrayBuffer);
        layout.accessor(position).minValues = {p.minimum[0], p.minimum[1], p.minimum[2]};
        layout.accessor(position).maxValues = {p.maximum[0], p.maximum[1], p.maximum[2]};
        primitive.attributes["POSITION"] = position;
        primitive.attributes["NORMAL"] = layout.addAccessor(p.normals, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, 3, kArrayBuffer);
        primitive.attributes["TEXCOORD_0"] = layout.addAccessor(p.texcoords, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC2, 2, kArrayBuffer);
        if (!scene.joints.empty()) {
            primitive.attributes["JOINTS_0"] =
                layout.addAccessor(p.joints, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT, TINYGLTF_TYPE_VEC4, kGltfInfluences, kArrayBuffer);
            primitive.attributes["WEIGHTS_0"] =
                layout.addAccessor(p.weights, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC4, kGltfInfluences, kArrayBuffer);
        }
        // The largest value of a type is a restart marker, which glTF forbids.
        if (p.vertexCount() <= std::numeric_limits<std::uint16_t>::max()) {
            const std::vector<std::uint16_t> narrow(p.indices.begin(), p.indices.end());
            primitive.indices = layout.addAccessor(narrow, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT, TINYGLTF_TYPE_SCALAR, 1, kElementArrayBuffer);
        } else {
            primitive.indices = layout.addAccessor(p.indices, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, TINYGLTF_TYPE_SCALAR, 1, kElementArrayBuffer);
        }
        mesh.primitives.push_back(std::move(primitive));
    }
}

void addMaterials(const GltfScene& scene, GlbLayout& layout, tinygltf::Model& model)
{
    for (const GltfImage& image : scene.images) {
        tinygltf::Image out;
        out.name = utf8(image.name);
        out.mimeType = image.mimeType;
        out.bufferView = layout.addView(image.bytes.data(), image.bytes.size(), kNoTarget);
        model.images.push_back(std::move(out));
        tinygltf::Texture texture;
        texture.sampler = 0;
        texture.source = static_cast<int>(model.images.size() - 1);
        model.textures.push_back(texture);
    }
    if (!scene.images.empty()) {
        tinygltf::Sampler sampler;
        sampler.magFilter = TINYGLTF_TEXTURE_FILTER_LINEAR;
        sampler.minFilter = TINYGLTF_TEXTURE_FILTER_LINEAR_MIPMAP_LINEAR;
        sampler.wrapS = sampler.wrapT = TINYGLTF_TEXTURE_WRAP_REPEAT;
        model.samplers.push_back(sampler);
    }
    for (const GltfMaterial& m : scene.materials) {
        tinygltf::Material material;
        material.name = utf8(m.name);
        // What the viewer draws: both faces, the texture's colour, no metal,
        // and texels of alpha below one half left out.
        material.doubleSided = true;
        material.pbrMetallicRoughness.metallicFactor = 0.0;
        material.pbrMetallicRoughness.roughnessFactor = 1.0;
        if (m.image >= 0) material.pbrMetallicRoughness.baseColorTexture.index = m.image;
        if (m.alphaMask) material.alphaMode = "MASK";
        model.materials.push_back(std::move(material));
    }
}

void addAnimations(const GltfScene& scene, GlbLayout& layout, tinygltf::Model& model)
{
    for (const GltfAnimation& a : scene.animations) {
        tinygltf::Animation animation;
        animation.name = utf8(a.name);
        const int times = layout.addAccessor(a.times, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_SCALAR, 1, kNoTarget);
        layout.accessor(times).minValues = {a.times.front()};
        layout.accessor(times).maxValues = {a.times.back()};
        for (const GltfChannel& c : a.channels) {
            const auto add = [&](const std::vector<float>& values, int type, int components, const char* path) {
                tinygltf::AnimationSampler sampler;
                sampler.input = times;
                sampler.output = layout.addAccessor(values, TINYGLTF_COMPONENT_TYPE_FLOAT, type, components, kNoTarget);
                sampler.interpolation = "LINEAR";
                animation.samplers.push_back(sampler);
                tinygltf::AnimationChannel channel;
                channel.sampler = static_cast<int>(animation.samplers.size() - 1);
                channel.target_node = c.joint;
                channel.target_path = path;
                animation.channels.push_back(channel);
            };
            add(c.translations, TINYGLTF_TYPE_VEC3, 3, "translation");
            add(c.rotations, TINYGLTF_TYPE_VEC4, 4, "rotation");
        }
        model.animations.push_back(std::move(animation));
    }
}

// The joints as nodes in the skeleton's order; with several roots, one more
// node above them all, its index left in rootNode (-1 without it).
bool addJointNodes(const GltfScene& scene, tinygltf::Model& model, tinygltf::Scene& root, int& rootNode, std::string& reason)
{
    const int jointCount = static_cast<int>(scene.joints.size());
    for (const GltfJoint& j : scene.joints) {
        tinygltf::Node node;
        node.name = utf8(j.name);
        node.translation = {j.translation[0], j.translation[1], j.translation[2]};
        node.rotation = {j.rotation[0], j.rotation[1], j.rotation[2], j.rotation[3]};
        model.nodes.push_back(std::move(node));
    }
    rootNode = -1;
    if (scene.commonRoot) {
        tinygltf::Node node;
        node.name = root.name;
        model.nodes.push_back(std::move(node));
        rootNode = static_cast<int>(model.nodes.size() - 1);
        root.nodes.push_back(rootNode);
    }
    for (int i = 0; i < jointCount; ++i) {
        const std::int32_t parent = scene.joints[static_cast<std::size_t>(i)].parent;
        if (parent >= jointCount) {
            reason = "joint " + std::to_string(i) + " has a parent outside the skeleton";
            return false;
        }
        if (parent >= 0) model.nodes[static_cast<std::size_t>(parent)].children.push_back(i);
        else if (rootNode >= 0) model.nodes[static_cast<std::size_t>(rootNode)].children.push_back(i);
        else root.nodes.push_back(i);
    }
    return true;
}

void addSkinnedMesh(const GltfScene& scene, GlbLayout& layout, tinygltf::Model& model, tinygltf::Scene& root, int rootNode)
{
    const int jointCount = static_cast<int>(scene.joints.size());
    addMaterials(scene, layout, model);
    tinygltf::Mesh mesh;
    mesh.name = root.name;
    addPrimitives(scene, layout, mesh);
    model.meshes.push_back(std::move(mesh));
    // A skinned mesh's node sits at the root with no transform of its own:
    // glTF places skinned vertices by the joints alone.
    tinygltf::Node node;
    node.name = root.name;
    node.mesh = 0;
    if (jointCount > 0) {
        tinygltf::Skin skin;
        skin.name = root.name;
        for (int i = 0; i < jointCount; ++i) skin.joints.push_back(i);
        skin.inverseBindMatrices = layout.addAccessor(scene.inverseBindMatrices, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_MAT4, 16, kNoTarget);
        if (rootNode >= 0) skin.skeleton = rootNode;
        else {
            for (int i = 0; i < jointCount; ++i)
                if (scene.joints[static_cast<std::size_t>(i)].parent < 0) skin.skeleton = i;
        }
        model.skins.push_back(std::move(skin));
        node.skin = 0;
    }
    model.nodes.push_back(std::move(node));
    root.nodes.push_back(static_cast<int>(model.nodes.size() - 1));
}

// The laid-out bytes become the one buffer and the library writes the .glb.
bool serialiseGlb(tinygltf::Model& model, std::vector<unsigned char>& data, std::string& bytes, std::string& reason)
{
    while (data.size() % 4) data.push_back(0);
    // A .glb counts its length in 32 bits; leave room for the JSON chunk.
    if (data.size() > (std::numeric_limits<std::uint32_t>::max() >> 1)) {
        reason = "the arrays and images take " + std::to_string(data.size() >> 20) + " MiB, more than a .glb can hold";
        return false;
    }
    if (!data.empty()) {
        tinygltf::Buffer buffer;
        buffer.data = std::move(data);
        model.buffers.push_back(std::move(buffer));
    }

    tinygltf::TinyGLTF writer;
    std::ostringstream stream;
    try {
        if (!writer.WriteGltfSceneToStream(&model, stream, false, true) || !stream) {
            reason = "the glTF library could not write the file";
            return false;
        }
    } catch (const std::exception& e) {
        reason = std::string("the glTF library could not write the file: ") + e.what();
        return false;
    }
    bytes = std::move(stream).str();
    return true;
}

} // namespace

bool writeGlb(const GltfScene& scene, const std::string& generator, std::string& bytes, std::string& reason)
{
    tinygltf::Model model;
    model.asset.version = "2.0";
    model.asset.generator = utf8(generator);
    GlbLayout layout(model);

    tinygltf::Scene root;
    root.name = utf8(scene.name);
    int rootNode = -1;
    if (!addJointNodes(scene, model, root, rootNode, reason)) return false;
    if (!scene.primitives.empty()) addSkinnedMesh(scene, layout, model, root, rootNode);
    addAnimations(scene, layout, model);

    model.scenes.push_back(std::move(root));
    model.defaultScene = 0;
    return serialiseGlb(model, layout.bytes(), bytes, reason);
}

} // namespace veskar
