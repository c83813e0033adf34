#include "system/ExecutableFolder.h"

#include <unistd.h>

#include <climits>

namespace veskar {

std::string executableFolder()
{
    // /proc/self/exe names the file itself even when the program was started
    // through a link or a relative path; argv[0] does neither reliably.
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof path) return {};
    std::string folder(path, static_cast<std::size_t>(length));
    const std::size_t slash = folder.rfind('/');
    if (slash == std::string::npos) return {};
    folder.resize(slash == 0 ? 1 : slash);
    return folder;
}

} // namespace veskar
