// The POSIX half of file identity: device and inode numbers.

#include "system/FileIdentity.h"

#include <sys/stat.h>

namespace veskar {

bool identifyFile(const std::string& path, FileIdentity& identity)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return true;
}

} // namespace veskar
