#pragma once
// An accessor's elements read with every bound checked: the accessor's type
// and component type against what its use allows, its elements against its
// buffer view, the view against the bytes its buffer really holds, sparse
// indices against the count; float values that are not finite are refused.
// A refusal says what is wrong; the caller adds the JSON place of the use.

#include "gltf/TinyGltf.h"

#include <cstdint>
#include <string>
#include <vector>

namespace veskar {

// What a use of an accessor takes.
struct AccessorUse {
    int type = TINYGLTF_TYPE_SCALAR;
    bool floats = false;              // FLOAT components
    bool normalizedBytes = false;     // normalized UNSIGNED_BYTE and UNSIGNED_SHORT (and their signed kinds when `signedToo`)
    bool signedToo = false;
    bool wholeNumbers = false;        // UNSIGNED_BYTE, UNSIGNED_SHORT (and UNSIGNED_INT when `wideToo`), not normalized
    bool wideToo = false;
};

// The elements as numbers, components() a element: floats as they are,
// normalized integers as glTF scales them (to 0..1, or -1..1).
std::string readAccessorFloats(const tinygltf::Model& model, int accessor, const AccessorUse& use, std::vector<float>& out);
// Whole-number elements (indices, joints).
std::string readAccessorWhole(const tinygltf::Model& model, int accessor, const AccessorUse& use, std::vector<std::uint32_t>& out);

// The components an element of an accessor type holds (SCALAR 1, VEC3 3, MAT4 16).
int componentsOf(int type);

// How many elements an accessor holds; 0 for an index outside the file.
std::size_t accessorCount(const tinygltf::Model& model, int accessor);

} // namespace veskar
