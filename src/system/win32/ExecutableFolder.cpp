// The Windows half of the executable's folder: GetModuleFileNameW, asked again
// with a larger buffer while the name does not fit.

#include <windows.h>

#include "system/ExecutableFolder.h"

#include "system/win32/WideText.h"

#include <vector>

namespace veskar {

std::string executableFolder()
{
    std::vector<wchar_t> name(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) return {};
        if (length < name.size()) {
            std::wstring path(name.data(), length);
            const std::size_t separator = path.find_last_of(L"\\/");
            if (separator == std::wstring::npos) return {};
            // "C:\" keeps its separator: "C:" alone is the drive's working folder.
            path.resize(separator == 2 && path[1] == L':' ? 3 : separator);
            // Long names come back with \\?\, which only wide calls take.
            if (path.rfind(L"\\\\?\\", 0) == 0 && path.rfind(L"\\\\?\\UNC\\", 0) != 0) path.erase(0, 4);
            return narrow(path);
        }
        if (name.size() >= 32768) return {};
        name.resize(name.size() * 2);
    }
}

} // namespace veskar
