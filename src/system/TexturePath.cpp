#include "system/TexturePath.h"

#include "base/Utf8Path.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace veskar {

namespace fs = std::filesystem;

namespace {

bool equalsIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

std::string resolveTexturePath(const std::string& path)
{
    std::string portable = path;
    std::replace(portable.begin(), portable.end(), '\\', '/');
    std::error_code ec;
    if (fs::is_regular_file(pathFromUtf8(portable), ec)) return portable;

    // Walk the path component by component, matching each ignoring case.
    const fs::path p = pathFromUtf8(portable);
    fs::path current = p.has_root_path() ? p.root_path() : fs::path(".");
    bool relative = !p.has_root_path();
    for (const auto& part : p.relative_path()) {
        const std::string name = utf8FromPath(part);
        if (name.empty() || name == ".") continue;
        fs::path candidate = current / part;
        if (name == ".." || fs::exists(candidate, ec)) {
            current = candidate;
            continue;
        }
        bool found = false;
        for (fs::directory_iterator it(current, ec), end; !ec && it != end; it.increment(ec)) {
            if (equalsIgnoringCase(utf8FromPath(it->path().filename()), name)) {
                current = it->path();
                found = true;
                break;
            }
        }
        if (!found) return portable;
    }
    std::string result = utf8FromPath(current);
    if (relative && result.rfind("./", 0) == 0 && portable.rfind("./", 0) != 0) result = result.substr(2);
    return result;
}

} // namespace veskar
