#pragma once
// Outputs appear whole or not at all: the text goes to a temporary file beside
// the target, which is renamed over it only once everything was written.

#include <string>
#include <string_view>

namespace veskar {

// False with a reason when the file could not be written; the target is then
// untouched and no temporary file is left behind.
bool writeFileAtomically(const std::string& path, std::string_view contents, std::string& reason);

} // namespace veskar
