#pragma once
// Outputs appear whole or not at all, and the file they replace stays as it
// was until then. An interrupted run leaves no partial file: where the system
// can, the text goes to a file without a name that is linked in place only
// once complete, so that not even a killed process leaves anything behind;
// elsewhere it goes to a named temporary file beside the target, which an
// interrupting signal (SIGINT, SIGTERM, SIGHUP, SIGPIPE) removes.

#include <cstdint>
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

    // False with a reason when no file can be made in the target's folder, or
    // when the target is something other than a regular file (a folder, a
    // device): only files are ever replaced.
    bool create(const std::string& path, std::string& reason);
    // After the first failure further pieces are dropped; commit() reports it.
    void append(std::string_view bytes);
    // Puts the finished file in the target's place, with the permission bits
    // of the file it replaces; false with a reason, and no file left, when
    // anything went wrong.
    bool commit(std::string& reason);
    void abandon();

private:
    std::string path_;
    std::string temp_;  // the temporary file's name, while it has one
    std::intptr_t handle_ = -1;
    int guard_ = -1;    // what lets an interrupting signal remove temp_
    std::string error_;
    // A file that replaces another has its text sent to the disk as it comes
    // (POSIX): the replacing rename then waits for little.
    bool replacing_ = false;
    std::uint64_t written_ = 0;
};

// The whole text at once. False with a reason when the file could not be
// written; the target is then untouched and no temporary file is left behind.
bool writeFileAtomically(const std::string& path, std::string_view contents, std::string& reason);

} // namespace veskar
