// The Windows half of file identity: the volume's serial number and the
// file's index on it, which names the file whatever the spelling, case or
// link that leads to it.

#include <windows.h>

#include "system/FileIdentity.h"

#include "system/win32/WideText.h"

namespace veskar {

bool identifyFile(const std::string& path, FileIdentity& identity)
{
    // No access is asked for, so a file another program holds still answers;
    // backup semantics let folders answer too.
    HANDLE file = CreateFileW(systemPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION information{};
    const bool known = GetFileInformationByHandle(file, &information);
    CloseHandle(file);
    if (!known) return false;
    identity = {information.dwVolumeSerialNumber, std::uint64_t{information.nFileIndexHigh} << 32 | information.nFileIndexLow};
    return true;
}

} // namespace veskar
