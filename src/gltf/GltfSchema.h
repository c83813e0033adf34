#pragma once
// The JSON of a glTF 2.0 file checked against the shape the format gives it,
// before anything is taken from it: every property this reader or the glTF
// library looks at has its type, every index points into its array, every
// count and offset is a whole number in range. The glTF library itself
// passes over much of this silently (a name that is a number, an index of
// -1); here the first one found refuses the file, at its JSON place.

#include <nlohmann/json_fwd.hpp>

#include <string>

namespace veskar {

// The largest count, offset or length taken (2^31 - 1).
constexpr long long kGltfLargestCount = 2147483647LL;

struct GltfSchemaFault {
    std::string place;   // a JSON pointer: "/meshes/0/primitives/1/indices"
    std::string what;    // "index 7 beyond 5 accessors"
    bool empty() const { return what.empty(); }
};

GltfSchemaFault checkGltfSchema(const nlohmann::json& root);

// A JSON pointer's segment for an object key: "~" and "/" escaped as the
// pointer syntax has it, control characters as printable escapes.
std::string jsonPointerSegment(const std::string& key);

} // namespace veskar
