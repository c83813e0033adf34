#pragma once
// veskar-convert gltf: characters to binary glTF 2.0 files.

#include <string>
#include <vector>

namespace veskar {

// args are the words after "gltf" with -j already taken out; returns the
// exit status (0 every file done, 1 some refused, 2 a usage error).
int runGltfCommand(const std::vector<std::string>& args, unsigned jobs);

} // namespace veskar
