#pragma once
// Model files are read whole into memory once; the readers then make their
// passes over the buffer.

#include <string>

namespace veskar {

// False with a reason ("No such file or directory", "is a directory", ...) when
// the path cannot be read as a regular file.
bool readWholeFile(const std::string& path, std::string& contents, std::string& reason);

} // namespace veskar
