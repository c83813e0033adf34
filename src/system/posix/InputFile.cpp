// The POSIX half of reading files: open, fstat and pread.

#include "system/InputFile.h"

#include "system/FileIdentity.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace veskar {

bool InputFile::open(const std::string& path, std::string& reason)
{
    close();
    // Without O_NONBLOCK, opening a named pipe waits for a writer that may
    // never come; regular files read the same either way.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        reason = std::strerror(errno);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = S_ISDIR(st.st_mode) ? "is a directory" : "is not a regular file";
        ::close(fd);
        return false;
    }
    handle_ = fd;
    size_ = static_cast<std::uint64_t>(st.st_size);
    noteFileUse({static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)});
    return true;
}

void InputFile::close()
{
    if (handle_ != kClosed) ::close(static_cast<int>(handle_));
    handle_ = kClosed;
    size_ = 0;
}

std::int64_t InputFile::readAt(std::uint64_t offset, char* buffer, std::size_t length, std::string& reason) const
{
    if (handle_ == kClosed) {
        reason = "the file is not open";
        return -1;
    }
    for (;;) {
        const ssize_t n = ::pread(static_cast<int>(handle_), buffer, length, static_cast<off_t>(offset));
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        reason = std::strerror(errno);
        return -1;
    }
}

} // namespace veskar
