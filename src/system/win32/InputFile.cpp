// The Windows half of reading files: CreateFileW with a UTF-8 name made wide,
// and ReadFile at an offset. Other programs may go on reading, writing,
// renaming or deleting the file meanwhile, as on Linux; what was there when it
// was opened is what is read.

#include <windows.h>

#include "system/InputFile.h"

#include "system/FileIdentity.h"
#include "system/win32/WideText.h"

#include <algorithm>

namespace veskar {

namespace {

bool isFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

bool InputFile::open(const std::string& path, std::string& reason)
{
    close();
    const std::wstring name = systemPath(path);
    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // A folder cannot be opened as a file at all; say what it is.
        reason = isFolder(name) ? "is a directory" : systemErrorText(error);
        return false;
    }
    // Pipes, consoles and devices such as NUL are no model files.
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        reason = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? "is a directory" : "is not a regular file";
        CloseHandle(file);
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    size_ = std::uint64_t{information.nFileSizeHigh} << 32 | information.nFileSizeLow;
    noteFileUse({information.dwVolumeSerialNumber, std::uint64_t{information.nFileIndexHigh} << 32 | information.nFileIndexLow});
    return true;
}

void InputFile::close()
{
    if (handle_ != kClosed) CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = kClosed;
    size_ = 0;
}

std::int64_t InputFile::readAt(std::uint64_t offset, char* buffer, std::size_t length, std::string& reason) const
{
    if (handle_ == kClosed) {
        reason = "the file is not open";
        return -1;
    }
    // The offset goes with the call, so threads sharing the handle do not
    // disturb each other; one call reads at most 1 GiB.
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    const auto wanted = static_cast<DWORD>(std::min<std::size_t>(length, std::size_t{1} << 30));
    if (ReadFile(reinterpret_cast<HANDLE>(handle_), buffer, wanted, &read, &at)) return read;
    const DWORD error = GetLastError();
    if (error == ERROR_HANDLE_EOF) return 0;
    reason = systemErrorText(error);
    return -1;
}

// Windows reads with ReadFile: no windows are mapped.
const char* InputFile::mapWindow(std::uint64_t, std::size_t) const { return nullptr; }

void InputFile::unmapWindow(const char*, std::size_t) {}

bool InputFile::cutShort() const
{
    LARGE_INTEGER now{};
    return handle_ != kClosed && GetFileSizeEx(reinterpret_cast<HANDLE>(handle_), &now) && static_cast<std::uint64_t>(now.QuadPart) < size_;
}

} // namespace veskar
