#include "formats/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace veskar {

bool AtomicFile::create(const std::string& path, std::string& reason)
{
    abandon();
    path_ = path;
    temp_ = path + ".tmp-XXXXXX";
    error_.clear();
    fd_ = ::mkstemp(temp_.data());
    if (fd_ < 0) {
        reason = std::string("cannot create a file in that folder: ") + std::strerror(errno);
        temp_.clear();
        return false;
    }
    // mkstemp makes the file 0600; outputs get the usual mode.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
    return true;
}

void AtomicFile::append(std::string_view bytes)
{
    if (fd_ < 0 || !error_.empty()) return;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            error_ = std::string("cannot write: ") + std::strerror(errno);
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

bool AtomicFile::commit(std::string& reason)
{
    if (fd_ < 0) {
        reason = "no file was created";
        return false;
    }
    if (error_.empty() && ::close(fd_) != 0) error_ = std::string("cannot write: ") + std::strerror(errno);
    else if (!error_.empty()) ::close(fd_);
    fd_ = -1;
    if (error_.empty() && ::rename(temp_.c_str(), path_.c_str()) != 0)
        error_ = std::string("cannot replace the file: ") + std::strerror(errno);
    if (!error_.empty()) {
        reason = error_;
        ::unlink(temp_.c_str());
        temp_.clear();
        return false;
    }
    temp_.clear();
    return true;
}

void AtomicFile::abandon()
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

bool writeFileAtomically(const std::string& path, std::string_view contents, std::string& reason)
{
    AtomicFile file;
    if (!file.create(path, reason)) return false;
    file.append(contents);
    return file.commit(reason);
}

} // namespace veskar
