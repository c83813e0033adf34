#pragma once
// A glTF file into the glTF library's model, checked on the way so that the
// library only ever sees what it can take safely: the binary container's
// chunks within the file, the JSON of the shape glTF gives it (see
// GltfSchema.h), every buffer of the length it declares and every buffer
// view within its buffer. Files are read as every model file is (regular
// files only), at most 1 GiB each.

#include "gltf/TinyGltf.h"
#include "import/Diagnostic.h"

#include <cstdint>
#include <string>
#include <vector>

namespace veskar {

constexpr std::uint64_t kGltfLargestFile = 1ull << 30;

struct GltfFile {
    tinygltf::Model model;
    bool binary = false;
    // The files it names that are read with it (.bin files) or beside it
    // (images), as paths.
    std::vector<std::string> sources;
};

// False with the refusal: the file, and in what the JSON place first when
// there is one ("/buffers/0/uri: cannot open a.bin: No such file or directory").
bool loadGltfFile(const std::string& path, GltfFile& out, Diagnostic& refusal);

// What a file's JSON alone tells: enough to know what converting it will
// write and read before anything is read in full.
struct GltfOutline {
    bool binary = false;
    std::vector<std::string> animationNames;   // "" for one without a name
    std::vector<std::string> sources;          // as GltfFile::sources
};
bool outlineGltfFile(const std::string& path, GltfOutline& out, Diagnostic& refusal);

// A URI's percent escapes decoded as the glTF library decodes them (it also
// reads '+' as a space), so that both look for the same file.
std::string gltfUriPath(const std::string& uri);

// A refusal at a JSON place, as every part of the reader words it.
inline Diagnostic gltfRefusal(const std::string& file, const std::string& place, const std::string& what)
{
    return {file, 0, place.empty() ? what : place + ": " + what};
}

} // namespace veskar
