#pragma once
// Opening model files: only regular files are read, and a named pipe is never
// waited on.

#include <cstdint>
#include <string>

namespace veskar {

// A descriptor open for reading and the file's size, or -1 with a reason
// ("No such file or directory", "is a directory", ...).
int openRegularFile(const std::string& path, std::uint64_t& size, std::string& reason);

// The whole file in memory; false with a reason when it cannot be read as a
// regular file.
bool readWholeFile(const std::string& path, std::string& contents, std::string& reason);

} // namespace veskar
