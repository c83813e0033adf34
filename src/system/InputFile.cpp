#include "system/InputFile.h"

namespace veskar {

bool readWholeFile(const std::string& path, std::string& contents, std::string& reason)
{
    contents.clear();
    InputFile file;
    if (!file.open(path, reason)) return false;
    contents.resize(static_cast<std::size_t>(file.size()));
    std::size_t done = 0;
    while (done < contents.size()) {
        const std::int64_t n = file.readAt(done, contents.data() + done, contents.size() - done, reason);
        if (n < 0) {
            contents.clear();
            return false;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    contents.resize(done);
    return true;
}

} // namespace veskar
