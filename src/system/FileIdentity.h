#pragma once
// Which file a path names, beyond its spelling: two paths are the same file
// through hard links, symbolic links, "." and "..", or a file system that
// ignores case. And the files this process has read or written, so that a
// later write can refuse to replace one of them.

#include <cstdint>
#include <string>

namespace veskar {

struct FileIdentity {
    std::uint64_t volume = 0;  // the device or volume holding the file
    std::uint64_t file = 0;    // its number there
    bool operator==(const FileIdentity&) const = default;
};

// The identity of the file path names, links followed; false when there is none.
bool identifyFile(const std::string& path, FileIdentity& identity);

// Once recording is on, every file opened for reading and every output
// written is remembered until the process ends.
void recordFileUse();
void noteFileUse(const FileIdentity& identity);
// True when recording is on and path names a file remembered.
bool wasFileUsed(const std::string& path);

} // namespace veskar
