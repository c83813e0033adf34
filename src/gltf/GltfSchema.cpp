#include "gltf/GltfSchema.h"

#include "base/PrintableName.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cmath>
#include <cstddef>
#include <span>
#include <string_view>

namespace veskar {

namespace {

using json = nlohmann::json;

// The arrays at the top of the file that indices point into.
enum class Top { None, Accessors, Buffers, BufferViews, Cameras, Images, Materials, Meshes, Nodes, Samplers, Scenes, Skins, Textures, Count };

struct TopName {
    Top top;
    const char* name;
};
constexpr TopName kTops[] = {{Top::Accessors, "accessors"}, {Top::Buffers, "buffers"},     {Top::BufferViews, "bufferViews"},
                             {Top::Cameras, "cameras"},     {Top::Images, "images"},       {Top::Materials, "materials"},
                             {Top::Meshes, "meshes"},       {Top::Nodes, "nodes"},         {Top::Samplers, "samplers"},
                             {Top::Scenes, "scenes"},       {Top::Skins, "skins"},         {Top::Textures, "textures"}};

enum class Kind {
    String,
    Number,
    Boolean,
    Whole,        // a whole number from min to max
    Index,        // into the top array `to`
    Indices,      // an array of them
    Numbers,      // an array of numbers; `length` of them when it is not 0
    Strings,
    Object,       // of `shape`
    Objects,      // an array of them
    IndexMap,     // an object whose values are indices (attributes)
    IndexMaps,    // an array of them (morph targets)
    Any,
};

struct Shape;

struct Field {
    const char* name;
    Kind kind;
    bool required = false;
    const Shape* shape = nullptr;
    Top to = Top::None;
    long long min = 0;
    long long max = kGltfLargestCount;
    std::size_t length = 0;
    std::span<const std::string_view> choices = {};   // of a string, when not empty
};

struct Shape {
    std::span<const Field> fields;
};

constexpr Field req(Field f)
{
    f.required = true;
    return f;
}
constexpr Field index(const char* name, Top to) { return {name, Kind::Index, false, nullptr, to}; }
constexpr Field whole(const char* name, long long min = 0, long long max = kGltfLargestCount) { return {name, Kind::Whole, false, nullptr, Top::None, min, max}; }
constexpr Field numbers(const char* name, std::size_t length) { return {name, Kind::Numbers, false, nullptr, Top::None, 0, 0, length}; }
constexpr Field object(const char* name, const Shape& shape) { return {name, Kind::Object, false, &shape}; }
constexpr Field objects(const char* name, const Shape& shape) { return {name, Kind::Objects, false, &shape}; }
constexpr Field text(const char* name) { return {name, Kind::String}; }
constexpr Field number(const char* name) { return {name, Kind::Number}; }

constexpr Field choice(const char* name, std::span<const std::string_view> choices)
{
    Field f = text(name);
    f.choices = choices;
    return f;
}

constexpr Field kName = text("name");
constexpr std::string_view kAccessorTypes[] = {"SCALAR", "VEC2", "VEC3", "VEC4", "MAT2", "MAT3", "MAT4"};
constexpr std::string_view kCameraTypes[] = {"perspective", "orthographic"};

constexpr Field kAssetFields[] = {req(text("version")), text("minVersion"), text("generator"), text("copyright")};
constexpr Shape kAsset{kAssetFields};

constexpr Field kSceneFields[] = {{"nodes", Kind::Indices, false, nullptr, Top::Nodes}, kName};
constexpr Shape kScene{kSceneFields};

constexpr Field kNodeFields[] = {
    index("camera", Top::Cameras), {"children", Kind::Indices, false, nullptr, Top::Nodes}, index("skin", Top::Skins), numbers("matrix", 16),
    index("mesh", Top::Meshes),    numbers("rotation", 4),  numbers("scale", 3), numbers("translation", 3), numbers("weights", 0), kName};
constexpr Shape kNode{kNodeFields};

constexpr Field kPrimitiveFields[] = {req({"attributes", Kind::IndexMap, false, nullptr, Top::Accessors}), index("indices", Top::Accessors),
                                      index("material", Top::Materials), whole("mode", 0, 6), {"targets", Kind::IndexMaps, false, nullptr, Top::Accessors}};
constexpr Shape kPrimitive{kPrimitiveFields};
constexpr Field kMeshFields[] = {req(objects("primitives", kPrimitive)), numbers("weights", 0), kName};
constexpr Shape kMesh{kMeshFields};

constexpr Field kSparseIndicesFields[] = {req(index("bufferView", Top::BufferViews)), whole("byteOffset"), req(whole("componentType"))};
constexpr Shape kSparseIndices{kSparseIndicesFields};
constexpr Field kSparseValuesFields[] = {req(index("bufferView", Top::BufferViews)), whole("byteOffset")};
constexpr Shape kSparseValues{kSparseValuesFields};
constexpr Field kSparseFields[] = {req(whole("count", 1)), req(object("indices", kSparseIndices)), req(object("values", kSparseValues))};
constexpr Shape kSparse{kSparseFields};
constexpr Field kAccessorFields[] = {index("bufferView", Top::BufferViews),
                                     whole("byteOffset"),
                                     req(whole("componentType", 5120, 5126)),
                                     {"normalized", Kind::Boolean},
                                     req(whole("count", 1)),
                                     req(choice("type", kAccessorTypes)),
                                     numbers("max", 0),
                                     numbers("min", 0),
                                     object("sparse", kSparse),
                                     kName};
constexpr Shape kAccessor{kAccessorFields};

constexpr Field kTargetFields[] = {index("node", Top::Nodes), req(text("path"))};
constexpr Shape kTarget{kTargetFields};
constexpr Field kChannelFields[] = {req(whole("sampler")), req(object("target", kTarget))};
constexpr Shape kChannel{kChannelFields};
constexpr Field kSamplerFields[] = {req(index("input", Top::Accessors)), text("interpolation"), req(index("output", Top::Accessors))};
constexpr Shape kAnimationSampler{kSamplerFields};
constexpr Field kAnimationFields[] = {req(objects("channels", kChannel)), req(objects("samplers", kAnimationSampler)), kName};
constexpr Shape kAnimation{kAnimationFields};

constexpr Field kBufferFields[] = {text("uri"), req(whole("byteLength", 1)), kName};
constexpr Shape kBuffer{kBufferFields};
constexpr Field kBufferViewFields[] = {req(index("buffer", Top::Buffers)), whole("byteOffset"), req(whole("byteLength", 1)), whole("byteStride", 4, 252),
                                       whole("target"), kName};
constexpr Shape kBufferView{kBufferViewFields};

constexpr Field kOrthographicFields[] = {req(number("xmag")), req(number("ymag")), req(number("zfar")), req(number("znear"))};
constexpr Shape kOrthographic{kOrthographicFields};
constexpr Field kPerspectiveFields[] = {number("aspectRatio"), req(number("yfov")), number("zfar"), req(number("znear"))};
constexpr Shape kPerspective{kPerspectiveFields};
constexpr Field kCameraFields[] = {object("orthographic", kOrthographic), object("perspective", kPerspective), req(choice("type", kCameraTypes)), kName};
constexpr Shape kCamera{kCameraFields};

constexpr Field kImageFields[] = {text("uri"), text("mimeType"), index("bufferView", Top::BufferViews), kName};
constexpr Shape kImage{kImageFields};

constexpr Field kTextureInfoFields[] = {req(index("index", Top::Textures)), whole("texCoord"), number("scale"), number("strength")};
constexpr Shape kTextureInfo{kTextureInfoFields};
constexpr Field kPbrFields[] = {numbers("baseColorFactor", 4), object("baseColorTexture", kTextureInfo), number("metallicFactor"),
                                number("roughnessFactor"), object("metallicRoughnessTexture", kTextureInfo)};
constexpr Shape kPbr{kPbrFields};
constexpr Field kMaterialFields[] = {kName,
                                     object("pbrMetallicRoughness", kPbr),
                                     object("normalTexture", kTextureInfo),
                                     object("occlusionTexture", kTextureInfo),
                                     object("emissiveTexture", kTextureInfo),
                                     numbers("emissiveFactor", 3),
                                     text("alphaMode"),
                                     number("alphaCutoff"),
                                     {"doubleSided", Kind::Boolean}};
constexpr Shape kMaterial{kMaterialFields};

constexpr Field kSamplerObjectFields[] = {whole("magFilter"), whole("minFilter"), whole("wrapS"), whole("wrapT"), kName};
constexpr Shape kSampler{kSamplerObjectFields};
constexpr Field kSkinFields[] = {index("inverseBindMatrices", Top::Accessors), index("skeleton", Top::Nodes),
                                 req({"joints", Kind::Indices, false, nullptr, Top::Nodes}), kName};
constexpr Shape kSkin{kSkinFields};
constexpr Field kTextureFields[] = {index("sampler", Top::Samplers), index("source", Top::Images), kName};
constexpr Shape kTexture{kTextureFields};

constexpr Field kRootFields[] = {req(object("asset", kAsset)),
                                 index("scene", Top::Scenes),
                                 objects("scenes", kScene),
                                 objects("nodes", kNode),
                                 objects("meshes", kMesh),
                                 objects("accessors", kAccessor),
                                 objects("animations", kAnimation),
                                 objects("buffers", kBuffer),
                                 objects("bufferViews", kBufferView),
                                 objects("cameras", kCamera),
                                 objects("images", kImage),
                                 objects("materials", kMaterial),
                                 objects("samplers", kSampler),
                                 objects("skins", kSkin),
                                 objects("textures", kTexture),
                                 {"extensionsUsed", Kind::Strings},
                                 {"extensionsRequired", Kind::Strings}};
constexpr Shape kRoot{kRootFields};

class SchemaCheck {
public:
    explicit SchemaCheck(const json& root)
    {
        for (const TopName& t : kTops) {
            const auto it = root.is_object() ? root.find(t.name) : root.end();
            if (it != root.end() && it->is_array()) sizes_[static_cast<std::size_t>(t.top)] = it->size();
        }
    }

    GltfSchemaFault run(const json& root)
    {
        if (checkObject(root, kRoot, "") && checkAnimationSamplers(root)) checkCameras(root);
        return fault_;
    }

private:
    bool fail(const std::string& place, const std::string& what)
    {
        fault_ = {place.empty() ? "/" : place, what};
        return false;
    }

    static const char* nameOf(Top top)
    {
        for (const TopName& t : kTops)
            if (t.top == top) return t.name;
        return "";
    }

    // A whole number: JSON gives it as an integer, or as a number with no
    // fraction (1.0).
    static bool wholeValue(const json& v, long long& out)
    {
        if (v.is_number_unsigned()) {
            const auto u = v.get<std::uint64_t>();
            out = u > static_cast<std::uint64_t>(kGltfLargestCount) ? kGltfLargestCount + 1 : static_cast<long long>(u);
            return true;
        }
        if (v.is_number_integer()) {
            out = v.get<std::int64_t>();
            return true;
        }
        if (!v.is_number_float()) return false;
        const double d = v.get<double>();
        if (!std::isfinite(d) || d != std::floor(d)) return false;
        out = d > static_cast<double>(kGltfLargestCount) ? kGltfLargestCount + 1 : d < -1e18 ? -1 : static_cast<long long>(d);
        return true;
    }

    bool checkWhole(const json& v, long long min, long long max, const std::string& at)
    {
        long long n = 0;
        if (!wholeValue(v, n) || n < min || n > max)
            return fail(at, "must be a whole number from " + std::to_string(min) + " to " + std::to_string(max));
        return true;
    }

    bool checkIndex(const json& v, Top to, const std::string& at)
    {
        long long n = 0;
        if (!wholeValue(v, n) || n < 0) return fail(at, std::string("must be an index into ") + nameOf(to) + " (a whole number from 0)");
        const std::size_t size = sizes_[static_cast<std::size_t>(to)];
        if (static_cast<unsigned long long>(n) >= size)
            return fail(at, "index " + std::to_string(n) + " beyond " + std::to_string(size) + " " + nameOf(to));
        return true;
    }

    bool checkString(const json& v, const Field& f, const std::string& at)
    {
        if (!v.is_string()) return fail(at, "must be a string");
        if (f.choices.empty()) return true;
        const auto& s = v.get_ref<const std::string&>();
        for (const std::string_view c : f.choices)
            if (s == c) return true;
        std::string list;
        for (const std::string_view c : f.choices) list += (list.empty() ? "" : ", ") + std::string(c);
        std::string what(1, '"');
        what += printableName(s);
        what += "\" is not one of ";
        return fail(at, what + list);
    }

    bool checkArray(const json& v, const std::string& at)
    {
        return v.is_array() ? true : fail(at, "must be an array");
    }

    bool checkValue(const json& v, const Field& f, const std::string& at)
    {
        switch (f.kind) {
        case Kind::String: return checkString(v, f, at);
        case Kind::Number: return v.is_number() || fail(at, "must be a number");
        case Kind::Boolean: return v.is_boolean() || fail(at, "must be true or false");
        case Kind::Whole: return checkWhole(v, f.min, f.max, at);
        case Kind::Index: return checkIndex(v, f.to, at);
        case Kind::Any: return true;
        case Kind::Object: return checkObject(v, *f.shape, at);
        case Kind::IndexMap: return checkIndexMap(v, f.to, at);
        default: break;
        }
        if (!checkArray(v, at)) return false;
        if (f.kind == Kind::Numbers && f.length > 0 && v.size() != f.length)
            return fail(at, "must hold " + std::to_string(f.length) + " numbers, not " + std::to_string(v.size()));
        for (std::size_t i = 0; i < v.size(); ++i) {
            const json& e = v[i];
            const std::string place = at + "/" + std::to_string(i);
            bool ok = true;
            switch (f.kind) {
            case Kind::Indices: ok = checkIndex(e, f.to, place); break;
            case Kind::Numbers: ok = e.is_number() || fail(place, "must be a number"); break;
            case Kind::Strings: ok = e.is_string() || fail(place, "must be a string"); break;
            case Kind::Objects: ok = checkObject(e, *f.shape, place); break;
            case Kind::IndexMaps: ok = checkIndexMap(e, f.to, place); break;
            default: break;
            }
            if (!ok) return false;
        }
        return true;
    }

    bool checkIndexMap(const json& v, Top to, const std::string& at)
    {
        if (!v.is_object()) return fail(at, "must be an object");
        for (auto it = v.begin(); it != v.end(); ++it)
            if (!checkIndex(it.value(), to, at + "/" + jsonPointerSegment(it.key()))) return false;
        return true;
    }

    bool checkObject(const json& v, const Shape& shape, const std::string& at)
    {
        if (!v.is_object()) return fail(at, "must be an object");
        for (const Field& f : shape.fields) {
            const auto it = v.find(f.name);
            if (it == v.end()) {
                if (f.required) return fail(at, std::string("needs \"") + f.name + "\"");
                continue;
            }
            if (!checkValue(*it, f, at + "/" + f.name)) return false;
        }
        // Each extension is an object of its own; extras may be anything.
        const auto extensions = v.find("extensions");
        if (extensions == v.end()) return true;
        if (!extensions->is_object()) return fail(at + "/extensions", "must be an object");
        for (auto it = extensions->begin(); it != extensions->end(); ++it)
            if (!it.value().is_object()) return fail(at + "/extensions/" + jsonPointerSegment(it.key()), "must be an object");
        return true;
    }

    // A channel's sampler is an index into its own animation's samplers.
    bool checkAnimationSamplers(const json& root)
    {
        const auto animations = root.find("animations");
        if (animations == root.end()) return true;
        for (std::size_t a = 0; a < animations->size(); ++a) {
            const json& animation = (*animations)[a];
            const std::size_t samplers = animation["samplers"].size();
            const json& channels = animation["channels"];
            for (std::size_t c = 0; c < channels.size(); ++c) {
                long long n = 0;
                wholeValue(channels[c]["sampler"], n);
                if (static_cast<unsigned long long>(n) >= samplers)
                    return fail("/animations/" + std::to_string(a) + "/channels/" + std::to_string(c) + "/sampler",
                                "index " + std::to_string(n) + " beyond " + std::to_string(samplers) + " samplers");
            }
        }
        return true;
    }

    // A camera holds the projection its type names.
    bool checkCameras(const json& root)
    {
        const auto cameras = root.find("cameras");
        if (cameras == root.end()) return true;
        for (std::size_t i = 0; i < cameras->size(); ++i) {
            const auto& type = (*cameras)[i]["type"].get_ref<const std::string&>();
            if (!(*cameras)[i].contains(type)) return fail("/cameras/" + std::to_string(i), "a camera of type " + type + " needs \"" + type + "\"");
        }
        return true;
    }

    std::array<std::size_t, static_cast<std::size_t>(Top::Count)> sizes_{};
    GltfSchemaFault fault_;
};

} // namespace

std::string jsonPointerSegment(const std::string& key)
{
    std::string out;
    for (const char c : key) {
        if (c == '~') out += "~0";
        else if (c == '/') out += "~1";
        else out += c;
    }
    return printableName(out);
}

GltfSchemaFault checkGltfSchema(const json& root)
{
    SchemaCheck check(root);
    return check.run(root);
}

} // namespace veskar
