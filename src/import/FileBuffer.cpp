#include "import/FileBuffer.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace veskar {

int openRegularFile(const std::string& path, std::uint64_t& size, std::string& reason)
{
    // Without O_NONBLOCK, opening a named pipe waits for a writer that may
    // never come; regular files read the same either way.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        reason = std::strerror(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        reason = std::strerror(errno);
        ::close(fd);
        return -1;
    }
    if (S_ISDIR(st.st_mode) || !S_ISREG(st.st_mode)) {
        reason = S_ISDIR(st.st_mode) ? "is a directory" : "is not a regular file";
        ::close(fd);
        return -1;
    }
    size = static_cast<std::uint64_t>(st.st_size);
    return fd;
}

bool readWholeFile(const std::string& path, std::string& contents, std::string& reason)
{
    contents.clear();
    std::uint64_t size = 0;
    const int fd = openRegularFile(path, size, reason);
    if (fd < 0) return false;
    contents.resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < contents.size()) {
        const ssize_t n = ::read(fd, contents.data() + done, contents.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            reason = std::strerror(errno);
            ::close(fd);
            contents.clear();
            return false;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    contents.resize(done);
    ::close(fd);
    return true;
}

} // namespace veskar
