#pragma once
// Texture names come from Windows users: '\' separates folders, and a file
// that does not exist under its exact name is looked for ignoring case.

#include <string>

namespace veskar {

// The path on disk that a model's texture name refers to, or the name made
// portable when nothing matches.
std::string resolveTexturePath(const std::string& path);

} // namespace veskar
