#pragma once
// Outputs appear whole or not at all: the text goes to a temporary file beside
// the target, which is renamed over it only once everything was written.

#include <string>
#include <string_view>

namespace veskar {

// A file being written piece by piece; until commit() nothing shows under the
// target's name, and a file never committed leaves nothing behind.
class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile() { abandon(); }
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // False with a reason when no file can be made in the target's folder.
    bool create(const std::string& path, std::string& reason);
    // After the first failure further pieces are dropped; commit() reports it.
    void append(std::string_view bytes);
    // Renames the finished file over the target; false with a reason, and no
    // file left, when anything went wrong.
    bool commit(std::string& reason);
    void abandon();

private:
    std::string path_;
    std::string temp_;
    int fd_ = -1;
    std::string error_;
};

// The whole text at once. False with a reason when the file could not be
// written; the target is then untouched and no temporary file is left behind.
bool writeFileAtomically(const std::string& path, std::string_view contents, std::string& reason);

} // namespace veskar
