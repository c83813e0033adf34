#include "system/AtomicFile.h"

namespace veskar {

bool writeFileAtomically(const std::string& path, std::string_view contents, std::string& reason)
{
    AtomicFile file;
    if (!file.create(path, reason)) return false;
    file.append(contents);
    return file.commit(reason);
}

} // namespace veskar
