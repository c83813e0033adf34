// The Windows half of atomic outputs. The text goes to a temporary file beside
// the target that is marked for deletion from the moment it exists, so that
// Windows removes it when its handle closes for whatever reason (an error, a
// crash, Ctrl+C, a killed process) and nothing is ever left behind. Once the
// text is complete the mark is lifted, the handle closed, and the file moved
// over the target with MoveFileExW(MOVEFILE_REPLACE_EXISTING |
// MOVEFILE_WRITE_THROUGH). A program holding the target or the new file for a
// moment (an editor, a virus scanner looking at what was just written) makes
// the move fail; it is tried again for about two seconds before giving up.

#include <windows.h>

#include "system/AtomicFile.h"

#include "system/FileIdentity.h"
#include "system/win32/WideText.h"

#include <algorithm>
#include <functional>
#include <random>
#include <thread>

namespace veskar {

namespace {

// The waits between attempts at the move, in milliseconds: about two seconds in all.
constexpr DWORD kMoveRetryWaits[] = {10, 20, 40, 80, 160, 320, 500, 500, 500};

// guard_: whether the open temporary file carries the deletion mark.
constexpr int kUnmarked = -1;
constexpr int kMarked = 1;

std::string errorText(const char* what, DWORD error) { return std::string(what) + systemErrorText(error); }

// The folder part of path with its separator ('\', '/' or a drive's ':'), or
// "" for the working folder.
std::string folderOf(const std::string& path)
{
    const auto end = path.find_last_of("/\\:");
    return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

std::string temporaryName()
{
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}() ^ (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32) ^
                                        std::hash<std::thread::id>{}(std::this_thread::get_id())};
    std::string name = ".vsk";
    for (int i = 0; i < 8; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
    return name + ".tmp";
}

bool setDeletionMark(HANDLE file, bool marked)
{
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = marked ? TRUE : FALSE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

// Errors that another program's brief hold on a file gives.
bool isPassing(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED; }

bool isReadOnlyFile(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

bool AtomicFile::create(const std::string& path, std::string& reason)
{
    abandon();
    path_ = path;
    error_.clear();
    const DWORD attributes = GetFileAttributesW(systemPath(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))) {
        reason = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? "cannot replace the file: it is a folder" : "cannot replace the file: it is not a regular file";
        return false;
    }
    const std::string folder = folderOf(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp_ = folder + temporaryName();
        HANDLE file = CreateFileW(systemPath(temp_).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            handle_ = reinterpret_cast<std::intptr_t>(file);
            // Without the mark (a file system that refuses it) the file is
            // still removed on every path this object takes.
            guard_ = setDeletionMark(file, true) ? kMarked : kUnmarked;
            return true;
        }
        const DWORD error = GetLastError();
        temp_.clear();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            reason = errorText("cannot create a file in that folder: ", error);
            return false;
        }
    }
    reason = "cannot create a file in that folder: no free temporary name";
    return false;
}

// Its twin, with descriptors and write(), is posix/AtomicFile.cpp.
void AtomicFile::append(std::string_view bytes)
{
    if (handle_ < 0 || !error_.empty()) return;
    const auto file = reinterpret_cast<HANDLE>(handle_);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const auto piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, std::size_t{1} << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, piece, &written, nullptr)) {
            error_ = errorText("cannot write: ", GetLastError());
            return;
        }
        done += written;
    }
}

bool AtomicFile::commit(std::string& reason)
{
    if (handle_ < 0) {
        reason = "no file was created";
        return false;
    }
    const auto file = reinterpret_cast<HANDLE>(handle_);
    handle_ = -1;
    if (error_.empty()) {
        BY_HANDLE_FILE_INFORMATION information{};
        if (GetFileInformationByHandle(file, &information))
            noteFileUse({information.dwVolumeSerialNumber, std::uint64_t{information.nFileIndexHigh} << 32 | information.nFileIndexLow});
        if (guard_ == kMarked && !setDeletionMark(file, false)) error_ = errorText("cannot write: ", GetLastError());
    }
    // With the mark still on (an error), closing removes the file.
    if (!CloseHandle(file) && error_.empty()) error_ = errorText("cannot write: ", GetLastError());
    guard_ = kUnmarked;
    const std::wstring temp = systemPath(temp_);
    if (error_.empty()) {
        const std::wstring target = systemPath(path_);
        // A read-only target refuses at once rather than after the retries.
        bool moved = !isReadOnlyFile(target) && MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        DWORD error = moved ? ERROR_SUCCESS : (isReadOnlyFile(target) ? ERROR_ACCESS_DENIED : GetLastError());
        for (DWORD wait : kMoveRetryWaits) {
            if (moved || !isPassing(error) || isReadOnlyFile(target)) break;
            Sleep(wait);
            moved = MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
            error = moved ? ERROR_SUCCESS : GetLastError();
        }
        // Windows says "access denied" for a target another program has open
        // as for one the user may not replace; what is not read-only and
        // stayed so through the retries is most likely held.
        if (!moved && isPassing(error) && !isReadOnlyFile(target)) error_ = "cannot replace the file: another program holds it, or it may not be replaced";
        else if (!moved) error_ = errorText("cannot replace the file: ", error);
    }
    if (!error_.empty()) DeleteFileW(temp.c_str());
    temp_.clear();
    if (!error_.empty()) {
        reason = error_;
        return false;
    }
    return true;
}

void AtomicFile::abandon()
{
    if (handle_ >= 0) CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = -1;
    // Marked files are gone with their handle; this catches the others.
    if (!temp_.empty()) DeleteFileW(systemPath(temp_).c_str());
    guard_ = kUnmarked;
    temp_.clear();
}

} // namespace veskar
