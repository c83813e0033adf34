#include "import/FileBuffer.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace veskar {

bool readWholeFile(const std::string& path, std::string& contents, std::string& reason)
{
    contents.clear();
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
    if (S_ISDIR(st.st_mode)) {
        reason = "is a directory";
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = "is not a regular file";
        ::close(fd);
        return false;
    }
    contents.resize(static_cast<std::size_t>(st.st_size));
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
