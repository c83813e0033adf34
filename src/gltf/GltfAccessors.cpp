#include "gltf/GltfAccessors.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <type_traits>

namespace veskar {

namespace {

// An accessor without a buffer view holds zeros (or its sparse values);
// nothing in the file bounds how many, so this does.
constexpr std::size_t kMostUnstoredElements = 1u << 24;

int sizeOf(int componentType)
{
    switch (componentType) {
    case TINYGLTF_COMPONENT_TYPE_BYTE:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: return 1;
    case TINYGLTF_COMPONENT_TYPE_SHORT:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: return 2;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
    case TINYGLTF_COMPONENT_TYPE_FLOAT: return 4;
    default: return 0;
    }
}

std::string componentName(int componentType, bool normalized)
{
    const char* name = "";
    switch (componentType) {
    case TINYGLTF_COMPONENT_TYPE_BYTE: name = "BYTE"; break;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: name = "UNSIGNED_BYTE"; break;
    case TINYGLTF_COMPONENT_TYPE_SHORT: name = "SHORT"; break;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: name = "UNSIGNED_SHORT"; break;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: name = "UNSIGNED_INT"; break;
    case TINYGLTF_COMPONENT_TYPE_FLOAT: return "FLOAT";
    default: return "component type " + std::to_string(componentType);
    }
    return std::string(normalized ? "normalized " : "") + name;
}

std::string typeName(int type)
{
    switch (type) {
    case TINYGLTF_TYPE_SCALAR: return "SCALAR";
    case TINYGLTF_TYPE_VEC2: return "VEC2";
    case TINYGLTF_TYPE_VEC3: return "VEC3";
    case TINYGLTF_TYPE_VEC4: return "VEC4";
    case TINYGLTF_TYPE_MAT2: return "MAT2";
    case TINYGLTF_TYPE_MAT3: return "MAT3";
    case TINYGLTF_TYPE_MAT4: return "MAT4";
    default: return "type " + std::to_string(type);
    }
}

bool allowed(const AccessorUse& use, int componentType, bool normalized)
{
    switch (componentType) {
    case TINYGLTF_COMPONENT_TYPE_FLOAT: return use.floats;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: return normalized ? use.normalizedBytes : use.wholeNumbers;
    case TINYGLTF_COMPONENT_TYPE_BYTE:
    case TINYGLTF_COMPONENT_TYPE_SHORT: return normalized && use.normalizedBytes && use.signedToo;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: return !normalized && use.wholeNumbers && use.wideToo;
    default: return false;
    }
}

// Elements within one buffer view, every byte of them inside the buffer.
struct Run {
    const unsigned char* data = nullptr;
    std::size_t stride = 0;
};

std::string runOf(const tinygltf::Model& model, int viewIndex, std::size_t offset, std::size_t count, std::size_t elementSize, bool strided, Run& run)
{
    if (viewIndex < 0 || static_cast<std::size_t>(viewIndex) >= model.bufferViews.size())
        return "buffer view " + std::to_string(viewIndex) + " is not in the file";
    const tinygltf::BufferView& view = model.bufferViews[static_cast<std::size_t>(viewIndex)];
    if (view.buffer < 0 || static_cast<std::size_t>(view.buffer) >= model.buffers.size()) return "buffer view " + std::to_string(viewIndex) + " has no buffer";
    const std::vector<unsigned char>& bytes = model.buffers[static_cast<std::size_t>(view.buffer)].data;
    const std::size_t stride = strided && view.byteStride > 0 ? view.byteStride : elementSize;
    if (stride < elementSize)
        return "buffer view " + std::to_string(viewIndex) + " has a stride of " + std::to_string(stride) + " bytes, less than an element's " + std::to_string(elementSize);
    const std::uint64_t need = static_cast<std::uint64_t>(offset) + static_cast<std::uint64_t>(stride) * (count - 1) + elementSize;
    if (count == 0 || need > view.byteLength)
        return std::to_string(count) + " elements from byte " + std::to_string(offset) + " need " + std::to_string(need) + " bytes of buffer view " +
               std::to_string(viewIndex) + ", which has " + std::to_string(view.byteLength);
    if (static_cast<std::uint64_t>(view.byteOffset) + view.byteLength > bytes.size())
        return "buffer view " + std::to_string(viewIndex) + " lies beyond the bytes of its buffer";
    run.data = bytes.data() + view.byteOffset + offset;
    run.stride = stride;
    return {};
}

// One component at p, as a number: normalized integers scaled as glTF scales them.
double componentAt(const unsigned char* p, int componentType, bool normalized)
{
    switch (componentType) {
    case TINYGLTF_COMPONENT_TYPE_BYTE: {
        const auto c = static_cast<std::int8_t>(*p);
        return normalized ? std::max(c / 127.0, -1.0) : c;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: return normalized ? *p / 255.0 : *p;
    case TINYGLTF_COMPONENT_TYPE_SHORT: {
        std::int16_t c;
        std::memcpy(&c, p, 2);
        return normalized ? std::max(c / 32767.0, -1.0) : c;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
        std::uint16_t c;
        std::memcpy(&c, p, 2);
        return normalized ? c / 65535.0 : c;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: {
        std::uint32_t c;
        std::memcpy(&c, p, 4);
        return c;
    }
    default: {
        float c;
        std::memcpy(&c, p, 4);
        return c;
    }
    }
}

template <typename Out>
std::string readElements(const tinygltf::Model& model, int index, const AccessorUse& use, std::vector<Out>& out)
{
    if (index < 0 || static_cast<std::size_t>(index) >= model.accessors.size()) return "accessor " + std::to_string(index) + " is not in the file";
    const tinygltf::Accessor& a = model.accessors[static_cast<std::size_t>(index)];
    const std::string name = "accessor " + std::to_string(index);
    if (a.type != use.type) return name + " is " + typeName(a.type) + " where " + typeName(use.type) + " is needed";
    if (!allowed(use, a.componentType, a.normalized))
        return name + " holds " + componentName(a.componentType, a.normalized) + " values, which this does not take";
    const auto components = static_cast<std::size_t>(componentsOf(a.type));
    const auto size = static_cast<std::size_t>(sizeOf(a.componentType));
    const std::size_t count = a.count;
    if (a.bufferView < 0 && count > kMostUnstoredElements)
        return name + " has no buffer view and " + std::to_string(count) + " elements, more than " + std::to_string(kMostUnstoredElements);
    // The elements are known to be in the file before room is made for them.
    Run run;
    if (a.bufferView >= 0) {
        if (const std::string why = runOf(model, a.bufferView, a.byteOffset, count, components * size, true, run); !why.empty()) return name + ": " + why;
    }
    try {
        out.assign(count * components, Out{});
    } catch (const std::bad_alloc&) {
        return "not enough memory for the " + std::to_string(count) + " elements of " + name;
    }
    const auto store = [&](const unsigned char* element, std::size_t at) {
        for (std::size_t c = 0; c < components; ++c) out[at * components + c] = static_cast<Out>(componentAt(element + c * size, a.componentType, a.normalized));
    };
    if (run.data)
        for (std::size_t i = 0; i < count; ++i) store(run.data + i * run.stride, i);
    if (a.sparse.isSparse) {
        const auto sparseCount = static_cast<std::size_t>(std::max(a.sparse.count, 0));
        const int indexType = a.sparse.indices.componentType;
        if (sparseCount == 0 || sparseCount > count) return name + ": " + std::to_string(a.sparse.count) + " sparse values for " + std::to_string(count) + " elements";
        if (indexType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE && indexType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT && indexType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT)
            return name + ": sparse indices of " + componentName(indexType, false) + "; they are unsigned integers";
        Run indices, values;
        const auto indexSize = static_cast<std::size_t>(sizeOf(indexType));
        if (std::string why = runOf(model, a.sparse.indices.bufferView, static_cast<std::size_t>(std::max(a.sparse.indices.byteOffset, 0)), sparseCount, indexSize, false, indices);
            !why.empty())
            return name + ": sparse indices: " + why;
        if (std::string why = runOf(model, a.sparse.values.bufferView, static_cast<std::size_t>(std::max(a.sparse.values.byteOffset, 0)), sparseCount, components * size, false, values);
            !why.empty())
            return name + ": sparse values: " + why;
        double previous = -1;
        for (std::size_t k = 0; k < sparseCount; ++k) {
            const double at = componentAt(indices.data + k * indexSize, indexType, false);
            if (at <= previous || at >= static_cast<double>(count))
                return name + ": sparse index " + std::to_string(static_cast<std::uint64_t>(at)) + " is not above the one before it and below " + std::to_string(count);
            previous = at;
            store(values.data + k * values.stride, static_cast<std::size_t>(at));
        }
    }
    if constexpr (std::is_floating_point_v<Out>) {
        for (std::size_t i = 0; i < out.size(); ++i)
            if (!std::isfinite(out[i])) return name + ": element " + std::to_string(i / components) + " holds a number that is not finite";
    }
    return {};
}

} // namespace

int componentsOf(int type)
{
    switch (type) {
    case TINYGLTF_TYPE_SCALAR: return 1;
    case TINYGLTF_TYPE_VEC2: return 2;
    case TINYGLTF_TYPE_VEC3: return 3;
    case TINYGLTF_TYPE_VEC4:
    case TINYGLTF_TYPE_MAT2: return 4;
    case TINYGLTF_TYPE_MAT3: return 9;
    case TINYGLTF_TYPE_MAT4: return 16;
    default: return 0;
    }
}

std::size_t accessorCount(const tinygltf::Model& model, int accessor)
{
    if (accessor < 0 || static_cast<std::size_t>(accessor) >= model.accessors.size()) return 0;
    return model.accessors[static_cast<std::size_t>(accessor)].count;
}

std::string readAccessorFloats(const tinygltf::Model& model, int accessor, const AccessorUse& use, std::vector<float>& out)
{
    return readElements(model, accessor, use, out);
}

std::string readAccessorWhole(const tinygltf::Model& model, int accessor, const AccessorUse& use, std::vector<std::uint32_t>& out)
{
    return readElements(model, accessor, use, out);
}

} // namespace veskar
